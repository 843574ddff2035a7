// A device record, and a site-survey entry, as the named fields pontiq-cli prints. Texts the
// store keeps in the local encoding pass through `toUtf8`.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "cli/cli_output.h"
#include "store/ap_info.h"

namespace pontiq::cli {

using ToUtf8 = std::function<std::string(std::string_view local)>;

enum class FieldSet {
    Summary,  // discover: mac, ip, name, model, version, status
    Columns,  // list: the status page's columns
    Full,     // show: every field of the record
};

Record DeviceRecord(const ap_info_stu& r, FieldSet set, const ToUtf8& toUtf8);
Record SurveyRecord(const config_otherwl_basic& ap, const ToUtf8& toUtf8);

}  // namespace pontiq::cli
