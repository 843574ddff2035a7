// Language selection and the lookup of built-in English texts in the chosen language file.
//
// The language file is loaded once, when the language is selected, and served from memory:
// Translate runs on the engine's threads for every stored status text, far too often to read
// the file each time. Translate may be called from any thread; LoadLanguage replaces the table
// atomically (readers see the old or the new table, never a mix).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pontiq {

class IniFile;

inline constexpr uint32_t kLocaleEnglishUs = 1033;
inline constexpr uint32_t kLocaleChineseSimplified = 2052;

// Locale number (Windows LCID) of a POSIX locale name such as "zh_CN.UTF-8" or "de_DE@euro".
// A known language with an unknown territory gives the language's main locale; "C", "POSIX",
// empty and unknown names give 1033.
uint32_t LocaleNumberFromName(std::string_view posixLocale);

// The first non-empty of LC_ALL, LC_MESSAGES, LANG, as the C library picks the message locale.
// getEnv stands in for std::getenv so tests need not touch the process environment.
using EnvLookup = std::function<const char*(const char* name)>;
uint32_t LocaleNumberFromEnvironment(const EnvLookup& getEnv);

// The system default locale number of this process.
uint32_t SystemLocaleNumber();

struct LanguageState {
    uint32_t localeNumber = kLocaleEnglishUs;
    std::string languageName = "English";
    std::string languageFilePath;  // programDir + "Languages/" + name + ".lng"
};

// Picks the language for systemLocale from programDir + "Languages/Language.ini" (section
// "LCID", key = the locale number in decimal). No entry: "English" and 1033. Reads only.
LanguageState SelectLanguage(const std::string& programDir, uint32_t systemLocale);

// The translations of one language file (section "ProgramOutStr"), keyed without ASCII case.
class LanguageTable {
public:
    LanguageTable() = default;
    // A missing or empty file gives an empty table.
    static LanguageTable Load(const std::string& path);
    static LanguageTable Parse(std::string_view text);

    // The translation with the escapes expanded, or text itself (escapes expanded) when the
    // file has no non-empty translation for it. Empty text gives empty.
    std::string Translate(std::string_view text) const;
    size_t Size() const { return translations_.size(); }

private:
    static LanguageTable FromIni(const IniFile& ini);

    std::unordered_map<std::string, std::string> translations_;  // lower-case key -> expanded text
};

// The lookup key of a built-in text: blanks trimmed, ASCII letters lower-cased. Bytes of
// UTF-8 sequences are kept as they are, so non-ASCII keys match only exactly.
std::string LanguageKey(std::string_view text);

// The escapes of a language value, in this order: "\r\n" (4 characters) -> CR LF,
// "\n" (2 characters) -> LF, "[~NullInfoChrys~]" -> nothing, "[~Null~]" -> one blank.
std::string ExpandLanguageEscapes(std::string_view text);

// Selects the language, loads its file and makes both the process-wide state.
// Returns the state now in force. May be run again (tests point it at other folders).
LanguageState LoadLanguage(const std::string& programDir, uint32_t systemLocale);
LanguageState LoadLanguage(const std::string& programDir);  // with SystemLocaleNumber()

// The process-wide state; before any LoadLanguage: 1033, "English", no file.
LanguageState CurrentLanguage();
uint32_t CurrentLocaleNumber();

// The UTF-8 translation of a built-in English text in the loaded language.
std::string Translate(std::string_view text);

}  // namespace pontiq
