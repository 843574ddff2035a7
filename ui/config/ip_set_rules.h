// Rules of the IP settings tab that need no window: the single-device address checks, the block
// the tab hands back, the "already in use" test and the device-name checks.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

// The five address controls as text ("" for a blank control).
struct IpTabEntries {
    std::string ip;
    std::string mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
};

// The single-device checks in their order; the message key of the first failure, or nullptr.
const char* CheckIpTabEntries(const IpTabEntries& entries);

// The stored block with ip_mode 1 and the five addresses of the entries (blank reads 0.0.0.0);
// the apply byte stays as stored.
IP_BLOCK IpTabBlock(const IP_BLOCK& stored, const IpTabEntries& entries);

// A new address that another stored device already has. The device's own stored address is
// never "in use".
bool IsIpInUse(std::string_view newIp, std::string_view ownIp, const std::vector<std::string>& storedIps);

enum class NameRefusal { None, Empty, RuleA, RuleB };
// The device-name checks: not empty, then rule A for the type codes that take it, else rule B.
NameRefusal CheckDeviceName(std::u16string_view name, uint32_t apType);
// The message key of a refusal (nullptr for None).
const char* NameRefusalMessage(NameRefusal refusal);

// The 33-byte name block: at most 32 bytes of local text, zero-padded, then the byte count.
void FillNameBlock(uint8_t (&block)[33], std::string_view localName);
// The name block's text.
std::string_view NameBlockText(const uint8_t (&block)[33]);

}  // namespace pontiq
