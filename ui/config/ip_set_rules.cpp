#include "ui/config/ip_set_rules.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <span>

#include "store/value_format.h"

namespace pontiq {

const char* CheckIpTabEntries(const IpTabEntries& e)
{
    if (!IsValidIp(e.ip, false)) return "The ip address is invalid!";
    if (!IsValidMask(e.mask)) return "The subnet mask is invalid!";
    if (!IsValidIp(e.gateway, true)) return "The gateway address is invalid!";
    if (e.ip == e.gateway) return "The ip address and gateway address cannot be the same!";
    const auto ip = IpToBytes(e.ip);
    const auto mask = IpToBytes(e.mask);
    if (NetworkAddress(ip, mask) == e.ip) return "IP Address can't be the network segment!";
    if (!e.gateway.empty() && e.gateway != "0.0.0.0" && !InSameSubnet(IpToBytes(e.gateway), ip, mask)) {
        return "Ip address and gateway address is not in the same subnet!";
    }
    if (!IsValidIp(e.dns1, true)) return "The primary DNS Server is invalid!";
    if (!IsValidIp(e.dns2, true)) return "The secondary DNS Server is invalid!";
    if (!AreDnsDifferent(e.dns1, e.dns2))
        return "Primary DNS Server and Secondary DNS Server can't be the same!";
    return nullptr;
}

IP_BLOCK IpTabBlock(const IP_BLOCK& stored, const IpTabEntries& e)
{
    IP_BLOCK block = stored;
    block.ip_mode = 1;
    const auto put = [](uint8_t(&field)[4], const std::string& text) {
        const std::array<uint8_t, 4> bytes = text.empty() ? std::array<uint8_t, 4>{} : IpToBytes(text);
        std::copy(bytes.begin(), bytes.end(), field);
    };
    put(block.ip, e.ip);
    put(block.ip_mask, e.mask);
    put(block.ip_gateway, e.gateway);
    put(block.ip_dns1, e.dns1);
    put(block.ip_dns2, e.dns2);
    return block;
}

bool IsIpInUse(std::string_view newIp, std::string_view ownIp, const std::vector<std::string>& storedIps)
{
    if (newIp == ownIp) return false;
    return std::find(storedIps.begin(), storedIps.end(), newIp) != storedIps.end();
}

NameRefusal CheckDeviceName(std::u16string_view name, uint32_t apType)
{
    if (name.empty()) return NameRefusal::Empty;
    if (UsesNameRuleA(apType)) return IsNameTextA(name) ? NameRefusal::None : NameRefusal::RuleA;
    return IsNameTextB(name) ? NameRefusal::None : NameRefusal::RuleB;
}

const char* NameRefusalMessage(NameRefusal refusal)
{
    switch (refusal) {
        case NameRefusal::None:
            return nullptr;
        case NameRefusal::Empty:
            return "The device name can not be empty!";
        case NameRefusal::RuleA:
            return "Device name maximum allowed 32 bytes, only support combination of Chinese, lowercase "
                   "letters, 0-9 numbers";
        case NameRefusal::RuleB:
            return "Device name maximum allowed 32 bytes, only support combination of Chinese, ASCII "
                   "characters";
    }
    return nullptr;
}

void FillNameBlock(uint8_t (&block)[33], std::string_view localName)
{
    const size_t n = std::min<size_t>(localName.size(), 32);
    std::memset(block, 0, sizeof block);
    if (n) std::memcpy(block, localName.data(), n);
    block[32] = static_cast<uint8_t>(n);
}

std::string_view NameBlockText(const uint8_t (&block)[33])
{
    return std::string_view(reinterpret_cast<const char*>(block), std::min<size_t>(block[32], 32));
}

}  // namespace pontiq
