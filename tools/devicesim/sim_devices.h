// The simulated device set: every device's identity and full record, drawn from the seed so
// that a run can be repeated exactly, and the access points each one sees in a site survey.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "comm/protocol.h"
#include "store/ap_info.h"
#include "tools/devicesim/sim_options.h"

namespace pontiq::sim {

struct DeviceSpec {
    MacAddress mac{};
    Ipv4Address ip{};
    bool shortForm = false;  // answers discovery with version only
    bool silent = false;
    ap_info_stu record{};  // as the device holds it: texts in UTF-8, bytes 0..23 as the PC fills them
    uint32_t upTimeAtStart = 0;
};

// The devices of `options`, in order; deterministic for one seed.
std::vector<DeviceSpec> MakeDevices(const SimOptions& options);

// The site-survey answer of device `index`; deterministic for one seed. `bridgeAp` (the record
// of the access point a bridged station belongs to, or null) is seen first.
std::vector<config_otherwl_basic> MakeSurvey(const SimOptions& options, size_t index,
                                             const ap_info_stu* bridgeAp);

// `text` cut to at most `limit` bytes, possibly inside a UTF-8 character, as devices cut names.
std::string CutBytes(std::string_view text, size_t limit);

}  // namespace pontiq::sim
