#include "ui/lists/ip_range.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "comm/comm_engine.h"

namespace pontiq {

uint32_t IpNumber(const std::array<uint8_t, 4>& ip)
{
    return (uint32_t{ip[0]} << 24) | (uint32_t{ip[1]} << 16) | (uint32_t{ip[2]} << 8) | uint32_t{ip[3]};
}

std::array<uint8_t, 4> IpFromNumber(uint32_t number)
{
    return {static_cast<uint8_t>(number >> 24), static_cast<uint8_t>(number >> 16),
            static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number)};
}

IP_BLOCK MakeIpBlock(const std::array<uint8_t, 4>& ip, const IpApplySettings& settings)
{
    IP_BLOCK block{};
    block.ip_mode = 1;
    std::copy(ip.begin(), ip.end(), block.ip);
    std::copy(settings.mask.begin(), settings.mask.end(), block.ip_mask);
    std::copy(settings.gateway.begin(), settings.gateway.end(), block.ip_gateway);
    std::copy(settings.dns1.begin(), settings.dns1.end(), block.ip_dns1);
    std::copy(settings.dns2.begin(), settings.dns2.end(), block.ip_dns2);
    block.apply = 1;
    return block;
}

std::vector<IpAssignment> PlanIpAssignments(const std::vector<SelectionEntry>& selection,
                                            const IpApplySettings& settings)
{
    std::vector<IpAssignment> plan;
    if (selection.empty()) return plan;
    if (selection.size() == 1) {
        plan.push_back({selection.front(), MakeIpBlock(settings.first, settings)});
        return plan;
    }
    // 64-bit walk: a last address of 255.255.255.255 must not wrap the counter round.
    const uint64_t last = IpNumber(settings.last);
    size_t next = 0;
    for (uint64_t n = IpNumber(settings.first); n <= last && next < selection.size(); ++n) {
        const uint8_t low = static_cast<uint8_t>(n & 0xff);
        if (low == 0 || low == 255) continue;
        plan.push_back({selection[next++], MakeIpBlock(IpFromNumber(static_cast<uint32_t>(n)), settings)});
    }
    return plan;
}

int RunIpApply(CommEngine& engine, const std::vector<SelectionEntry>& selection,
               const IpApplySettings& settings, const std::atomic<bool>& stop)
{
    int sent = 0;
    for (const IpAssignment& a : PlanIpAssignments(selection, settings)) {
        if (stop.load()) break;
        const std::string_view ip(a.device.ip, strnlen(a.device.ip, sizeof(a.device.ip)));
        const std::string_view mac(a.device.mac, strnlen(a.device.mac, sizeof(a.device.mac)));
        // SetIpSettings records the pending address right before the MSG_SET_IP goes out.
        if (engine.SetIpSettings(ip, mac, a.block)) ++sent;
    }
    return sent;
}

}  // namespace pontiq
