#include "ui/lists/csv_rules.h"

#include <cstdio>

namespace pontiq {

std::string CsvField(std::string_view text, bool guardFormula)
{
    std::string value;
    if (guardFormula && !text.empty() &&
        (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@' || text[0] == '\t' ||
         text[0] == '\r')) {
        value.push_back('\'');
    }
    value.append(text);
    const bool quote = value.find_first_of(",\"\r\n") != std::string::npos ||
                       (!value.empty() && (value.front() == ' ' || value.back() == ' '));
    if (!quote) return value;
    std::string out = "\"";
    for (char c : value) {
        if (c == '"') out.push_back('"');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

std::string CsvLine(const std::vector<std::string>& fields, bool guardFormula)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line.push_back(',');
        line += CsvField(fields[i], guardFormula);
    }
    return line + "\r\n";
}

std::string CsvDefaultFileName(std::string_view page, int year, int month, int day, int hour, int minute,
                               int second)
{
    std::string name = "Pontiq_";
    for (char c : page) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '-' || static_cast<unsigned char>(c) >= 0x80;
        name.push_back(plain ? c : '_');
    }
    char stamp[40];
    std::snprintf(stamp, sizeof(stamp), "_%04d%02d%02d_%02d%02d%02d.csv", year, month, day, hour, minute,
                  second);
    return name + stamp;
}

bool ForEachMatchingDevice(const DevicePageQuery& query, int sortKey, bool ascending, std::string_view search,
                           int pageSize, const std::function<void(int number, const ap_info_stu&)>& row)
{
    if (pageSize < 1) pageSize = 1;
    int number = 0;
    int pageCount = 1;
    for (int page = 1; page <= pageCount; ++page) {
        std::vector<ap_info_stu> list;
        int online = 0;
        int count = 0;
        if (!query(sortKey, list, count, online, pageSize, page, ascending, search)) return false;
        // The count of the first answer holds: rows added while exporting do not make it run on.
        if (page == 1) pageCount = count;
        for (const ap_info_stu& r : list) row(++number, r);
        if (list.empty()) break;
    }
    return true;
}

}  // namespace pontiq
