#include "app/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace pontiq {

namespace {

// Settings and language files are small; anything larger is not one of ours and is not read
// (also keeps a stray device file from being read without end).
constexpr size_t kMaxIniFileSize = 16u * 1024u * 1024u;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// One line of the text: [begin, end) is its content, [end, next) its line terminator.
struct Line {
    size_t begin;
    size_t end;
    size_t next;
};

std::vector<Line> SplitLines(std::string_view text)
{
    std::vector<Line> lines;
    size_t pos = text.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            lines.push_back({pos, text.size(), text.size()});
            break;
        }
        size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

enum class LineKind { Ignored, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Ignored;
    std::string_view name;   // section name or key, trimmed
    std::string_view value;  // trimmed value of a key line
    size_t valueBegin = 0;   // offset in the whole text where the value part starts
};

ParsedLine ParseLine(std::string_view text, const Line& line)
{
    ParsedLine parsed;
    const std::string_view content = text.substr(line.begin, line.end - line.begin);
    const std::string_view trimmed = TrimIniBlanks(content);
    if (trimmed.empty() || trimmed.front() == ';') return parsed;
    if (trimmed.front() == '[') {
        const size_t close = trimmed.rfind(']');
        if (close == std::string_view::npos) return parsed;
        parsed.kind = LineKind::Section;
        parsed.name = TrimIniBlanks(trimmed.substr(1, close - 1));
        return parsed;
    }
    const size_t eq = content.find('=');
    if (eq == std::string_view::npos) return parsed;
    parsed.name = TrimIniBlanks(content.substr(0, eq));
    if (parsed.name.empty()) return parsed;
    size_t valueStart = eq + 1;
    while (valueStart < content.size() && IsBlank(content[valueStart])) ++valueStart;
    parsed.kind = LineKind::Key;
    parsed.value = TrimIniBlanks(content.substr(valueStart));
    parsed.valueBegin = line.begin + valueStart;
    return parsed;
}

enum class ReadStatus { Ok, Missing, Failed };

// Reads a whole regular file. Missing covers "no such file" and a missing folder.
ReadStatus ReadFileText(const std::string& path, std::string& out, struct stat* info = nullptr)
{
    out.clear();
    if (path.empty()) return ReadStatus::Missing;
    // O_NONBLOCK keeps a FIFO at that path from blocking the open.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::Missing : ReadStatus::Failed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > kMaxIniFileSize) {
        close(fd);
        return ReadStatus::Failed;
    }
    if (info) *info = st;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof(buffer));
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            close(fd);
            out.clear();
            return ReadStatus::Failed;
        }
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > kMaxIniFileSize) {
            close(fd);
            out.clear();
            return ReadStatus::Failed;
        }
    }
    close(fd);
    return ReadStatus::Ok;
}

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

bool HasAny(std::string_view text, std::string_view chars)
{
    return text.find_first_of(chars) != std::string_view::npos;
}

const std::string_view kLineBreakers("\r\n\0", 3);

}  // namespace

std::string_view TrimIniBlanks(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

bool IniNameEquals(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

void LimitUtf8Chars(std::string& text, size_t maxChars)
{
    size_t chars = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
        if (chars == maxChars) {
            text.resize(i);
            return;
        }
        ++chars;
    }
}

std::string IniValueForRead(std::string_view stored, size_t bufferSize)
{
    if (stored.size() >= 2 && (stored.front() == '"' || stored.front() == '\'') &&
        stored.back() == stored.front()) {
        stored = stored.substr(1, stored.size() - 2);
    }
    std::string value(stored);
    LimitUtf8Chars(value, bufferSize == 0 ? 0 : bufferSize - 1);
    return value;
}

IniFile IniFile::Parse(std::string_view text)
{
    IniFile file;
    Section* current = nullptr;  // keys before the first section belong to none
    for (const Line& line : SplitLines(text)) {
        const ParsedLine parsed = ParseLine(text, line);
        if (parsed.kind == LineKind::Section) {
            file.sections_.push_back({std::string(parsed.name), {}});
            current = &file.sections_.back();
        } else if (parsed.kind == LineKind::Key && current) {
            current->entries.push_back({std::string(parsed.name), std::string(parsed.value)});
        }
    }
    return file;
}

IniFile IniFile::Load(const std::string& path)
{
    std::string text;
    if (ReadFileText(path, text) != ReadStatus::Ok) return {};
    return Parse(text);
}

const std::string* IniFile::Find(std::string_view section, std::string_view key) const
{
    section = TrimIniBlanks(section);
    key = TrimIniBlanks(key);
    for (const Section& s : sections_) {
        if (!IniNameEquals(s.name, section)) continue;
        for (const Entry& e : s.entries) {
            if (IniNameEquals(e.key, key)) return &e.value;
        }
    }
    return nullptr;
}

bool IniFile::HasKey(std::string_view section, std::string_view key) const
{
    return Find(section, key) != nullptr;
}

std::string IniFile::GetString(std::string_view section, std::string_view key, std::string_view def,
                               size_t bufferSize) const
{
    if (const std::string* value = Find(section, key)) return IniValueForRead(*value, bufferSize);
    std::string result(def);
    LimitUtf8Chars(result, bufferSize == 0 ? 0 : bufferSize - 1);
    return result;
}

bool SetIniValue(std::string_view text, std::string_view section, std::string_view key,
                 std::string_view value, std::string& out)
{
    section = TrimIniBlanks(section);
    key = TrimIniBlanks(key);
    // Anything that would read back as another line, another section or a comment is refused.
    if (section.empty() || HasAny(section, kLineBreakers) || HasAny(section, "]")) return false;
    if (key.empty() || HasAny(key, kLineBreakers) || HasAny(key, "=") || key.front() == ';' ||
        key.front() == '[') {
        return false;
    }
    if (HasAny(value, kLineBreakers)) return false;

    const std::vector<Line> lines = SplitLines(text);
    std::string eol = "\n";
    for (const Line& line : lines) {
        if (line.next > line.end) {
            eol.assign(text.substr(line.end, line.next - line.end));
            break;
        }
    }
    const std::string newLine = std::string(key) + "=" + std::string(value);

    bool inTarget = false;
    bool targetSeen = false;
    bool inFirstTarget = false;
    size_t insertAfter = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        const ParsedLine parsed = ParseLine(text, lines[i]);
        if (parsed.kind == LineKind::Section) {
            inTarget = IniNameEquals(parsed.name, section);
            inFirstTarget = inTarget && !targetSeen;
            if (inFirstTarget) {
                targetSeen = true;
                insertAfter = i;
            }
        } else if (parsed.kind == LineKind::Key && inTarget) {
            if (IniNameEquals(parsed.name, key)) {
                out.assign(text.substr(0, parsed.valueBegin));
                out.append(value);
                out.append(text.substr(lines[i].end));
                return true;
            }
            if (inFirstTarget) insertAfter = i;
        }
    }

    if (targetSeen) {
        const Line& after = lines[insertAfter];
        if (after.next > after.end) {
            out.assign(text.substr(0, after.next));
            out.append(newLine).append(eol);
        } else {  // last line of a file without a final line end
            out.assign(text.substr(0, after.end));
            out.append(eol).append(newLine);
        }
        out.append(text.substr(after.next));
        return true;
    }

    out.assign(text);
    if (!lines.empty()) {
        const Line& last = lines.back();
        if (last.next == last.end) out.append(eol);
        if (!TrimIniBlanks(text.substr(last.begin, last.end - last.begin)).empty()) out.append(eol);
    }
    out.append("[").append(section).append("]").append(eol);
    out.append(newLine).append(eol);
    return true;
}

std::string COperateFileIni::ReadString(const std::string& path, std::string_view section,
                                        std::string_view key, std::string_view def, size_t bufferSize) const
{
    return IniFile::Load(path).GetString(section, key, def, bufferSize);
}

bool COperateFileIni::WriteString(const std::string& path, std::string_view section, std::string_view key,
                                  std::string_view value) const
{
    if (path.empty()) return false;
    // Write through a symbolic link rather than replacing the link with a file.
    std::string target = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        target = real;
        free(real);
    }

    std::string text;
    struct stat info {};
    const ReadStatus status = ReadFileText(target, text, &info);
    if (status == ReadStatus::Failed) return false;  // never replace what could not be read

    std::string updated;
    if (!SetIniValue(text, section, key, value, updated)) return false;
    if (status == ReadStatus::Ok && updated == text) return true;

    std::string temp = target + ".XXXXXX";
    const int fd = mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, updated);
    if (ok) {
        if (status == ReadStatus::Ok) {
            ok = fchmod(fd, info.st_mode & 07777) == 0;
            // Keeps the owner when run with the privilege to do so; otherwise it is ours anyway.
            [[maybe_unused]] const int owner = fchown(fd, info.st_uid, info.st_gid);
        } else {
            ok = fchmod(fd, 0644) == 0;
        }
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) unlink(temp.c_str());
    return ok;
}

}  // namespace pontiq
