// CSV writing shared by the list pages' export and pontiq-cli: RFC 4180 fields and lines, the
// UTF-8 byte-order mark spreadsheet programs look for, the export's default file name, and the
// walk over every page of a device query.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A field quoted when it holds a comma, a quote, CR or LF or starts or ends with a blank; quotes
// doubled. With `guardFormula`, a text a spreadsheet would run as a formula (starting with =, +,
// -, @, tab or CR) gets a leading apostrophe, so a device name cannot run anything.
std::string CsvField(std::string_view text, bool guardFormula = false);
// The fields joined by commas, ending with CR LF.
std::string CsvLine(const std::vector<std::string>& fields, bool guardFormula = false);

// "Pontiq_<page>_YYYYMMDD_HHMMSS.csv"; blanks and characters not allowed in file names of
// `page` become '_'.
std::string CsvDefaultFileName(std::string_view page, int year, int month, int day, int hour, int minute,
                               int second);

// CSqlManagement::ListDevicesPage's shape.
using DevicePageQuery =
    std::function<bool(int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                       int pageSize, int pageNumber, bool ascending, std::string_view search)>;

// Every device that matches `search`, in the sort order, read page by page (`pageSize` rows per
// query) and handed to `row` with its running number from 1. False when a query fails; rows
// already handed over stay handed over.
bool ForEachMatchingDevice(const DevicePageQuery& query, int sortKey, bool ascending, std::string_view search,
                           int pageSize, const std::function<void(int number, const ap_info_stu&)>& row);

}  // namespace pontiq
