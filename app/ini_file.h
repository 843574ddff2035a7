// INI files with the rules of the Windows profile-string functions, so that settings and
// language files written for the Windows build read the same here.
//
// Reading:
//  - section and key names match without regard to ASCII case; blanks (space, tab) around
//    section names, keys and values are dropped;
//  - the first matching key wins, also across repeated sections of the same name;
//  - lines end in LF, CR LF or CR; a UTF-8 byte-order mark at the start is skipped;
//  - lines starting with ';' are comments; lines without '=' and "[" lines without "]" are
//    ignored (a key without '=' reads as missing);
//  - a value enclosed in one pair of matching quotes (" or ') loses that pair, as the Windows
//    functions do; quotes inside a value or on one side only are kept;
//  - a value is cut to bufferSize - 1 characters, as a read through a buffer of that size
//    would be; characters are UTF-8 sequences, so a value is never cut inside one;
//  - a missing or unreadable file reads as empty: every lookup gives the default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pontiq {

// Buffer sizes of the reads this program makes (the limit is one less).
inline constexpr size_t kIniShortBuffer = 128;
inline constexpr size_t kIniLongBuffer = 1024;

// A parsed INI file, for reading many keys from one load.
class IniFile {
public:
    struct Entry {
        std::string key;
        std::string value;  // trimmed, enclosing quotes still present
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;  // in file order, duplicates kept
    };

    IniFile() = default;
    static IniFile Parse(std::string_view text);
    // Missing, unreadable or non-regular files give an empty IniFile.
    static IniFile Load(const std::string& path);

    // The value of key in section, or def when absent; cut to bufferSize - 1 characters.
    std::string GetString(std::string_view section, std::string_view key, std::string_view def,
                          size_t bufferSize = kIniShortBuffer) const;
    bool HasKey(std::string_view section, std::string_view key) const;

    // Every section in file order; repeated names appear repeatedly.
    const std::vector<Section>& Sections() const { return sections_; }
    bool Empty() const { return sections_.empty(); }

private:
    const std::string* Find(std::string_view section, std::string_view key) const;

    std::vector<Section> sections_;
};

// Value as the profile functions hand it out: one pair of enclosing quotes dropped,
// then cut to bufferSize - 1 UTF-8 characters.
std::string IniValueForRead(std::string_view stored, size_t bufferSize);

// Cuts text to at most maxChars UTF-8 characters (a stray byte counts as one character).
void LimitUtf8Chars(std::string& text, size_t maxChars);

// ASCII case-insensitive equality, the comparison of section and key names.
bool IniNameEquals(std::string_view a, std::string_view b);

// Drops leading and trailing spaces and tabs.
std::string_view TrimIniBlanks(std::string_view text);

// Returns text with key in section set to value, every other byte unchanged: an existing key
// (the one a read would find) keeps its line up to the value; a missing key is added after the
// last key of the section; a missing section is added at the end. False (and out untouched)
// when section, key or value cannot be written as one INI line.
bool SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value, std::string& out);

// Reads and writes INI files on disk.
class COperateFileIni final {
public:
    COperateFileIni() = default;
    COperateFileIni(const COperateFileIni&) = delete;
    COperateFileIni& operator=(const COperateFileIni&) = delete;

    // One lookup, reading the file afresh.
    std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                           std::string_view def, size_t bufferSize = kIniShortBuffer) const;

    // Sets one key, keeping every other line byte for byte; creates the file when absent (but
    // not its folder). The file is replaced atomically, so a failed write leaves the old one.
    // False when the file exists but cannot be read, is not a regular file, or on any write error.
    bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                     std::string_view value) const;
};

}  // namespace pontiq
