// pontiq-cli's output: records of named fields written as an aligned table, as CSV or as one
// JSON document. Every text here is UTF-8; the caller converts the table for the terminal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/cli_args.h"

namespace pontiq::cli {

struct Field {
    std::string key;  // stable name: JSON member, CSV and table header
    std::string value;
    bool number = false;  // JSON writes it without quotes (value must be decimal digits)
};

using Record = std::vector<Field>;

// What one command prints: the records under `listKey` ("devices", "results", ...). A single
// record (show) is written as an object under `objectKey` instead when that is not empty.
struct Document {
    std::string command;
    std::string listKey;
    std::string objectKey;
    std::vector<Record> records;
    std::vector<Field> extra;  // more members of the JSON document (e.g. "exit_code")
};

// The text of the document in the chosen format, ending with a line feed (empty table: the
// header line alone). A table of one object record lists "field  value" lines.
std::string FormatDocument(const Document& document, OutputFormat format);

// Pieces, for tests and reuse.
std::string JsonString(std::string_view utf8);  // quoted, escaped; invalid UTF-8 bytes become U+FFFD
std::string FormatTable(const std::vector<std::string>& header,
                        const std::vector<std::vector<std::string>>& rows);
size_t DisplayWidth(std::string_view utf8);  // terminal columns: East Asian wide characters count 2

}  // namespace pontiq::cli
