// The IP apply routine of the status page: consecutive addresses for the ticked devices and one
// MSG_SET_IP for each, sent from a worker thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

class CommEngine;

// What the Set IP dialog hands to the routine: six addresses, 4 bytes each, first octet first.
struct IpApplySettings {
    std::array<uint8_t, 4> first{};
    std::array<uint8_t, 4> last{};  // read only with more than one device
    std::array<uint8_t, 4> mask{};
    std::array<uint8_t, 4> gateway{};
    std::array<uint8_t, 4> dns1{};
    std::array<uint8_t, 4> dns2{};
    friend bool operator==(const IpApplySettings&, const IpApplySettings&) = default;
};

// One device and the block it is sent.
struct IpAssignment {
    SelectionEntry device;
    IP_BLOCK block{};
};

// Address a.b.c.d as a.2^24 + b.2^16 + c.2^8 + d, and back.
uint32_t IpNumber(const std::array<uint8_t, 4>& ip);
std::array<uint8_t, 4> IpFromNumber(uint32_t number);

// The IP_BLOCK for one address: ip_mode 1, the address, the common mask, gateway and DNS servers,
// apply flag 1.
IP_BLOCK MakeIpBlock(const std::array<uint8_t, 4>& ip, const IpApplySettings& settings);

// Which device gets which address. One device: the first address. Several: the addresses from
// first to last (inclusive, ascending), skipping those ending in .0 or .255, to the devices in
// selection order; devices left over when the range runs out get nothing (they are not listed).
// A first address above the last gives no address to any of several devices.
std::vector<IpAssignment> PlanIpAssignments(const std::vector<SelectionEntry>& selection,
                                            const IpApplySettings& settings);

// The routine: for each assignment, in order, SetPendingAddress (MAC, current IP, new IP) and
// MSG_SET_IP to the current IP, with tracking. Checks `stop` before every device. Returns how
// many commands went out.
int RunIpApply(CommEngine& engine, const std::vector<SelectionEntry>& selection,
               const IpApplySettings& settings, const std::atomic<bool>& stop);

}  // namespace pontiq
