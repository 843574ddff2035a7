// The engine's side of the local adapters: the adapter address list, discovery out of every
// adapter, and the raw discovery frame of the MAC search.
#include <algorithm>

#include "comm/comm_engine.h"
#include "comm/raw_frame.h"

namespace pontiq {

struct CommEngine::DiscoveryTarget {
    std::string broadcast;
    MacAddress mac{};
    std::string adapterName;
    std::string ip;
};

namespace {

int32_t AddressCount(const AdapterInfo& a)
{
    return std::clamp<int32_t>(a.addressCount, 0, kMaxAdapterAddresses);
}

Ipv4Address AddressBytes(std::string_view text)
{
    Ipv4Address bytes{};
    if (const auto v = ParseDottedIpv4(text)) {
        bytes = {static_cast<uint8_t>(*v >> 24), static_cast<uint8_t>(*v >> 16),
                 static_cast<uint8_t>(*v >> 8), static_cast<uint8_t>(*v)};
    }
    return bytes;
}

}  // namespace

std::vector<AdapterInfo> CommEngine::GetLocalAdapters()
{
    std::vector<AdapterInfo> usable;
    {
        // The adapter source is not assumed to be re-entrant.
        std::lock_guard lock(adapterLock_);
        for (const AdapterInfo& a : adapterQuery_()) {
            if (IsUsableAdapter(a)) {
                usable.push_back(a);
            }
        }
    }
    MergeAddresses(usable);
    return usable;
}

void CommEngine::MergeAddresses(const std::vector<AdapterInfo>& adapters)
{
    auto reported = [&](std::string_view ip) {
        return std::any_of(adapters.begin(), adapters.end(), [&](const AdapterInfo& a) {
            for (int32_t k = 0; k < AddressCount(a); ++k) {
                if (CText(a.addresses[k].ip) == ip) return true;
            }
            return false;
        });
    };
    std::lock_guard lock(addressLock_);
    // Addresses that remain keep their place, so commands keep leaving the same way.
    std::erase_if(addresses_, [&](const AdapterAddress& e) { return !reported(CText(e.ip)); });
    for (const AdapterInfo& a : adapters) {
        for (int32_t k = 0; k < AddressCount(a); ++k) {
            const AdapterAddress& address = a.addresses[k];
            const std::string_view ip = CText(address.ip);
            // One entry per address text, also when two adapters report the same address:
            // a second entry would only send every command twice.
            const bool present = std::any_of(addresses_.begin(), addresses_.end(),
                                             [&](const AdapterAddress& e) { return CText(e.ip) == ip; });
            if (!present) {
                addresses_.push_back(address);
            }
        }
    }
}

void CommEngine::LoadCaptureDevices()
{
    std::vector<std::string> devices = captureQuery_();
    std::lock_guard lock(captureLock_);
    captureDevices_ = std::move(devices);
}

void CommEngine::Discover()
{
    const std::vector<AdapterInfo> adapters = GetLocalAdapters();
    std::vector<DiscoveryTarget> targets;
    for (const AdapterInfo& a : adapters) {
        MacAddress mac;
        std::copy(std::begin(a.mac), std::end(a.mac), mac.begin());
        for (int32_t k = 0; k < AddressCount(a); ++k) {
            const std::string_view ip = CText(a.addresses[k].ip);
            if (ip.empty()) {
                continue;
            }
            const auto broadcast = DirectedBroadcast(ip, CText(a.addresses[k].mask));
            if (!broadcast) {
                continue;
            }
            // Two addresses of one adapter in one subnet reach the same devices: one request.
            const bool known = std::any_of(targets.begin(), targets.end(), [&](const DiscoveryTarget& t) {
                return t.broadcast == *broadcast && t.mac == mac;
            });
            if (!known) {
                targets.push_back(
                    DiscoveryTarget{*broadcast, mac, std::string(CText(a.name)), std::string(ip)});
            }
        }
    }
    if (targets.empty()) {
        sender_->SendBroadcast("", "", "255.255.255.255", options_.discoveryRequestPort,
                               BuildDiscoveryRequest());
        return;
    }
    const bool raw = targetMacMode_.load();
    const MacAddress targetMac = TargetMac();
    for (const DiscoveryTarget& t : targets) {
        if (raw) {
            SendRawDiscovery(t, targetMac);
        } else {
            sender_->SendBroadcast(t.ip, t.adapterName, t.broadcast, options_.discoveryRequestPort,
                                   BuildDiscoveryRequest(t.mac));
        }
    }
}

void CommEngine::SendRawDiscovery(const DiscoveryTarget& target, const MacAddress& targetMac)
{
    if (target.adapterName.empty()) {
        return;
    }
    std::string device;
    {
        std::lock_guard lock(captureLock_);
        // The exact name first: "eth1" is also contained in "eth10".
        auto it = std::find(captureDevices_.begin(), captureDevices_.end(), target.adapterName);
        if (it == captureDevices_.end()) {
            it = std::find_if(captureDevices_.begin(), captureDevices_.end(), [&](const std::string& name) {
                return name.find(target.adapterName) != std::string::npos;
            });
        }
        if (it == captureDevices_.end()) {
            return;
        }
        device = *it;
    }
    const RawFrame frame = BuildRawDiscoveryFrame(targetMac, target.mac, AddressBytes(target.ip),
                                                  AddressBytes(target.broadcast));
    sender_->SendRaw(device, frame);
}

}  // namespace pontiq
