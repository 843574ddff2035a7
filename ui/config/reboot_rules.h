// Rules of the timed reboot tab that need no window: the weekday mask, what the tab shows for a
// stored block, the validation and the block a save hands back.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "store/ap_info.h"

namespace pontiq {

// Monday .. Sunday; bit 0 of restart_type is not used.
inline constexpr std::array<uint8_t, 7> kRebootDayBits = {2, 4, 8, 16, 32, 64, 128};
inline constexpr uint8_t kEverydayMask = 254;

uint8_t RebootDayMask(const std::array<bool, 7>& days);

// What the tab shows when it opens.
struct RebootView {
    bool enabled = false;
    std::array<bool, 7> days{};
    bool everyday = false;  // all seven day bits are set
    int hour = 0;
    int minute = 0;
};
RebootView RebootViewOf(const REBOOT_BLOCK& stored);

// The entries at save time. `anyBox` counts the Everyday box too.
struct RebootEntries {
    bool enabled = false;
    std::string hour;
    std::string minute;
    std::array<bool, 7> days{};
    bool everyday = false;
};

// The validation (only for an enabled schedule): the message key of the first failure, or nullptr.
const char* CheckRebootEntries(const RebootEntries& entries);

struct RebootCollectResult {
    const char* refusal = nullptr;
    REBOOT_BLOCK block{};
    bool changed = false;
};
RebootCollectResult CollectReboot(const REBOOT_BLOCK& stored, const RebootEntries& entries);

}  // namespace pontiq
