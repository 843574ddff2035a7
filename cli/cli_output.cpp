#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>

#include "ui/lists/csv_rules.h"

namespace pontiq::cli {

namespace {

// One code point of UTF-8 at `i`; advances `i`. Invalid bytes give U+FFFD and advance by one.
char32_t NextCodePoint(std::string_view s, size_t& i)
{
    const auto b = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
    const uint8_t lead = b(i);
    size_t need = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        need = 1;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        need = 2;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        need = 3;
        cp = lead & 0x07;
    } else {
        ++i;
        return 0xFFFD;
    }
    if (i + need >= s.size()) {
        ++i;
        return 0xFFFD;
    }
    for (size_t k = 1; k <= need; ++k) {
        if ((b(i + k) & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    const bool overlong = (need == 2 && cp < 0x800) || (need == 3 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
        ++i;
        return 0xFFFD;
    }
    i += need + 1;
    return cp;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsWide(char32_t c)
{
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

// A table cell keeps to one line: control characters (a device may send any byte) show as blanks.
std::string CellText(std::string_view utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        AppendUtf8(out, cp < 0x20 || cp == 0x7F ? U' ' : cp);
    }
    return out;
}

std::string JsonRecord(const Record& record)
{
    std::string out = "{";
    for (size_t i = 0; i < record.size(); ++i) {
        if (i) out += ", ";
        out += JsonString(record[i].key) + ": " +
               (record[i].number && !record[i].value.empty() ? record[i].value : JsonString(record[i].value));
    }
    return out + "}";
}

}  // namespace

size_t DisplayWidth(std::string_view utf8)
{
    size_t width = 0;
    for (size_t i = 0; i < utf8.size();) width += IsWide(NextCodePoint(utf8, i)) ? 2 : 1;
    return width;
}

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size();) {
        const char32_t cp = NextCodePoint(utf8, i);
        switch (cp) {
            case U'"':
                out += "\\\"";
                break;
            case U'\\':
                out += "\\\\";
                break;
            case U'\n':
                out += "\\n";
                break;
            case U'\r':
                out += "\\r";
                break;
            case U'\t':
                out += "\\t";
                break;
            default:
                if (cp < 0x20 || cp == 0x7F) {
                    char buf[8];
                    std::snprintf(buf, sizeof(buf), "\\u%04x", static_cast<unsigned>(cp));
                    out += buf;
                } else {
                    AppendUtf8(out, cp);
                }
        }
    }
    return out + "\"";
}

std::string FormatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows)
{
    std::vector<size_t> widths(header.size(), 0);
    auto measure = [&](const std::vector<std::string>& row) {
        for (size_t c = 0; c < row.size() && c < widths.size(); ++c)
            widths[c] = std::max(widths[c], DisplayWidth(CellText(row[c])));
    };
    measure(header);
    for (const auto& row : rows) measure(row);
    auto line = [&](const std::vector<std::string>& row) {
        std::string out;
        for (size_t c = 0; c < widths.size(); ++c) {
            const std::string cell = c < row.size() ? CellText(row[c]) : std::string();
            out += cell;
            if (c + 1 < widths.size()) out += std::string(widths[c] - DisplayWidth(cell) + 2, ' ');
        }
        // No blanks at the end of a line.
        out.erase(out.find_last_not_of(' ') + 1);
        return out + "\n";
    };
    std::string out = line(header);
    for (const auto& row : rows) out += line(row);
    return out;
}

std::string FormatDocument(const Document& d, OutputFormat format)
{
    const bool single = !d.objectKey.empty();
    std::vector<std::string> header;
    if (!d.records.empty()) {
        for (const Field& f : d.records.front()) header.push_back(f.key);
    }
    std::vector<std::vector<std::string>> rows;
    for (const Record& r : d.records) {
        std::vector<std::string> row;
        for (const Field& f : r) row.push_back(f.value);
        rows.push_back(std::move(row));
    }

    switch (format) {
        case OutputFormat::Json: {
            std::string out = "{\"command\": " + JsonString(d.command);
            if (single) {
                out += ", " + JsonString(d.objectKey) + ": " +
                       (d.records.empty() ? std::string("null") : JsonRecord(d.records.front()));
            } else {
                out += ", " + JsonString(d.listKey) + ": [";
                for (size_t i = 0; i < d.records.size(); ++i)
                    out += (i ? ",\n  " : "\n  ") + JsonRecord(d.records[i]);
                out += d.records.empty() ? "]" : "\n]";
            }
            for (const Field& f : d.extra) {
                out += ", " + JsonString(f.key) + ": " + (f.number ? f.value : JsonString(f.value));
            }
            return out + "}\n";
        }
        case OutputFormat::Csv: {
            if (header.empty()) return {};
            std::string out = CsvLine(header);
            for (const auto& row : rows) out += CsvLine(row);
            return out;
        }
        case OutputFormat::Table:
        default:
            if (single) {
                std::vector<std::vector<std::string>> lines;
                if (!d.records.empty()) {
                    for (const Field& f : d.records.front()) lines.push_back({f.key, f.value});
                }
                return FormatTable({"field", "value"}, lines);
            }
            if (header.empty()) return {};
            return FormatTable(header, rows);
    }
}

}  // namespace pontiq::cli
