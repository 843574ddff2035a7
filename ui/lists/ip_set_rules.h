// The checks of the Set IP entries, without the dialog: the window and pontiq-cli refuse the same
// entries with the same messages.
#pragma once

#include <string>

namespace pontiq {

// The six entries as 8-bit address texts, in the dialog's order.
struct IpRangeTexts {
    std::string first;
    std::string last;
    std::string mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
};

// The checks in their order; returns the message key of the first failure, or nullptr when the
// entries pass. `several`: more than one device gets an address (the last address counts).
const char* CheckIpRangeTexts(const IpRangeTexts& entries, bool several);

}  // namespace pontiq
