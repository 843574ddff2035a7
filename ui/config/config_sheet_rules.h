// Rules of the configuration sheet that need no window.
#pragma once

#include <cstdint>

namespace pontiq {

// The VLAN tab is disabled for these type codes (the page still exists).
bool IsVlanTabDisabled(uint32_t typeCode);
// The timed reboot tab is disabled for type code 33.
bool IsTimedRebootTabDisabled(uint32_t typeCode);

}  // namespace pontiq
