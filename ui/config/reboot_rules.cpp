#include "ui/config/reboot_rules.h"

#include <algorithm>
#include <cstring>

#include "ui/config/decimal_rules.h"

namespace pontiq {

uint8_t RebootDayMask(const std::array<bool, 7>& days)
{
    uint8_t mask = 0;
    for (size_t i = 0; i < days.size(); ++i) {
        if (days[i]) mask |= kRebootDayBits[i];
    }
    return mask;
}

RebootView RebootViewOf(const REBOOT_BLOCK& stored)
{
    RebootView view;
    view.enabled = stored.restart_en != 0;
    for (size_t i = 0; i < view.days.size(); ++i)
        view.days[i] = (stored.restart_type & kRebootDayBits[i]) != 0;
    view.everyday = (stored.restart_type & kEverydayMask) == kEverydayMask;
    const uint16_t time = stored.restart_time;
    view.hour = time / 60;
    view.minute = time % 60;
    return view;
}

const char* CheckRebootEntries(const RebootEntries& e)
{
    if (e.hour.empty() || e.minute.empty()) return "The time can not be empty!";
    // Compared as unsigned numbers: a negative value fails as well.
    const auto hour = static_cast<uint32_t>(ReadDecimal(e.hour));
    const auto minute = static_cast<uint32_t>(ReadDecimal(e.minute));
    if (hour > 23 || minute > 59) return "The time is error!";
    const bool anyBox = e.everyday || std::any_of(e.days.begin(), e.days.end(), [](bool d) { return d; });
    if (!anyBox) return "Please selectting the day that you want to reboot!";
    return nullptr;
}

RebootCollectResult CollectReboot(const REBOOT_BLOCK& stored, const RebootEntries& e)
{
    RebootCollectResult r;
    r.block = stored;
    if (e.enabled) {
        r.refusal = CheckRebootEntries(e);
        if (r.refusal) return r;
        r.block.restart_en = 1;
        r.block.restart_type = RebootDayMask(e.days);
        r.block.restart_time = static_cast<uint16_t>(ReadDecimal(e.hour) * 60 + ReadDecimal(e.minute));
    } else {
        r.block.restart_en = 0;
    }
    r.changed = std::memcmp(&r.block, &stored, sizeof(REBOOT_BLOCK)) != 0;
    return r;
}

}  // namespace pontiq
