#include "ui/lists/ip_set_rules.h"

#include "store/value_format.h"

namespace pontiq {

namespace {

constexpr const char* kMsgIpInvalid = "The ip address is invalid!";
constexpr const char* kMsgMaskInvalid = "The subnet mask is invalid!";
constexpr const char* kMsgGatewayInvalid = "The gateway address is invalid!";
constexpr const char* kMsgIpIsGateway = "The ip address and gateway address cannot be the same!";
constexpr const char* kMsgNetworkSegment = "IP Address can't be the network segment!";
constexpr const char* kMsgGatewaySubnet = "Ip address and gateway address is not in the same subnet!";
constexpr const char* kMsgDns1Invalid = "The primary DNS Server is invalid!";
constexpr const char* kMsgDns2Invalid = "The secondary DNS Server is invalid!";
constexpr const char* kMsgDnsSame = "Primary DNS Server and Secondary DNS Server can't be the same!";

}  // namespace

const char* CheckIpRangeTexts(const IpRangeTexts& e, bool several)
{
    const std::string& first = e.first;
    const std::string& last = e.last;
    const std::string& mask = e.mask;
    const std::string& gateway = e.gateway;
    const std::string& dns1 = e.dns1;
    const std::string& dns2 = e.dns2;

    if (!IsValidIp(first, false)) return kMsgIpInvalid;
    if (!IsValidMask(mask)) return kMsgMaskInvalid;
    if (!IsValidIp(gateway, true)) return kMsgGatewayInvalid;
    if (first == gateway) return kMsgIpIsGateway;
    if (several) {
        if (!IsValidIp(last, false)) return kMsgIpInvalid;
        if (IpToNumber(first) >= IpToNumber(last)) return kMsgIpInvalid;
        if (last == gateway) return kMsgIpIsGateway;
    }
    const auto firstBytes = IpToBytes(first);
    const auto lastBytes = IpToBytes(last);
    const auto maskBytes = IpToBytes(mask);
    const auto gatewayBytes = IpToBytes(gateway);
    if (NetworkAddress(firstBytes, maskBytes) == first) return kMsgNetworkSegment;
    if (!gateway.empty() && gateway != "0.0.0.0") {
        if (!InSameSubnet(gatewayBytes, firstBytes, maskBytes)) return kMsgGatewaySubnet;
        if (several && !InSameSubnet(gatewayBytes, lastBytes, maskBytes)) return kMsgGatewaySubnet;
    }
    if (!IsValidIp(dns1, true)) return kMsgDns1Invalid;
    if (!IsValidIp(dns2, true)) return kMsgDns2Invalid;
    if (!AreDnsDifferent(dns1, dns2)) return kMsgDnsSame;
    return nullptr;
}

}  // namespace pontiq
