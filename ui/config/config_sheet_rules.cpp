#include "ui/config/config_sheet_rules.h"

#include <algorithm>
#include <array>

namespace pontiq {

bool IsVlanTabDisabled(uint32_t typeCode)
{
    static constexpr std::array<uint32_t, 6> kNoVlan = {12, 13, 22, 33, 271, 281};
    return std::find(kNoVlan.begin(), kNoVlan.end(), typeCode) != kNoVlan.end();
}

bool IsTimedRebootTabDisabled(uint32_t typeCode)
{
    return typeCode == 33;
}

}  // namespace pontiq
