#include "comm/local_adapter.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace pontiq {
namespace {

// Copies text into a fixed field, cut to fit, always NUL-terminated.
template <size_t N>
void CopyText(char (&field)[N], std::string_view text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

std::string DottedText(uint32_t address)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%u.%u.%u.%u", (address >> 24) & 0xffu, (address >> 16) & 0xffu,
                  (address >> 8) & 0xffu, address & 0xffu);
    return text;
}

void SetDotted(char (&field)[16], const sockaddr* sa)
{
    if (sa == nullptr || sa->sa_family != AF_INET) {
        CopyText(field, "0.0.0.0");
        return;
    }
    const auto* in = reinterpret_cast<const sockaddr_in*>(sa);
    CopyText(field, DottedText(ntohl(in->sin_addr.s_addr)));
}

// The kernel driver bound to the interface's device, e.g. "virtio_net"; empty for virtual
// interfaces (veth, bridges), which have no device.
std::string DriverName(const std::string& ifname)
{
    const std::string link = "/sys/class/net/" + ifname + "/device/driver";
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof(target) - 1);
    if (n <= 0) return {};
    const std::string_view path(target, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

uint8_t KindFromFlags(unsigned flags)
{
    if (flags & IFF_LOOPBACK) return kAdapterLoopback;
    if (!(flags & IFF_UP)) return kAdapterDown;
    if (!(flags & IFF_BROADCAST)) return kAdapterNoBroadcast;
    return kAdapterUsable;
}

}  // namespace

std::optional<uint32_t> ParseDottedIpv4(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    uint32_t address = 0;
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= text.size() || text[pos] != '.') return std::nullopt;
            ++pos;
        }
        const size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && pos - start < 3 && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[pos] - '0');
            ++pos;
        }
        const size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0')) return std::nullopt;
        address = (address << 8) | value;
    }
    if (pos != text.size()) return std::nullopt;
    return address;
}

bool IsUsableAdapter(const AdapterInfo& a)
{
    if (a.kind != kAdapterUsable || a.addressCount < 1 || a.addressCount > kMaxAdapterAddresses) return false;
    const std::string_view first(a.addresses[0].ip, strnlen(a.addresses[0].ip, sizeof(a.addresses[0].ip)));
    return first != "0.0.0.0";
}

bool SameSubnet(std::string_view adapterIp, std::string_view mask, std::string_view deviceIp)
{
    const auto adapter = ParseDottedIpv4(adapterIp);
    const auto m = ParseDottedIpv4(mask);
    const auto device = ParseDottedIpv4(deviceIp);
    // The only spelling of 0 that parses is "0.0.0.0".
    if (!adapter || !m || !device || *adapter == 0 || *m == 0 || *device == 0) return false;
    return (*adapter & *m) == (*device & *m);
}

std::optional<std::string> DirectedBroadcast(std::string_view ip, std::string_view mask)
{
    const auto address = ParseDottedIpv4(ip);
    const auto m = ParseDottedIpv4(mask);
    if (!address || !m || *address == 0 || *m == 0) return std::nullopt;
    return DottedText(*address | ~*m);
}

std::vector<AdapterInfo> QueryHostAdapters()
{
    std::vector<AdapterInfo> adapters;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return adapters;

    // getifaddrs reports every link-layer entry (in interface order) before any address entry,
    // so grouping by first appearance keeps the interface order.
    auto adapterFor = [&adapters](std::string_view name, unsigned flags) -> AdapterInfo& {
        for (auto& a : adapters) {
            if (name == a.name) return a;
        }
        AdapterInfo& a = adapters.emplace_back();
        CopyText(a.name, name);
        a.kind = KindFromFlags(flags);
        return a;
    };

    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_name == nullptr || entry->ifa_addr == nullptr) continue;
        const int family = entry->ifa_addr->sa_family;
        if (family != AF_PACKET && family != AF_INET) continue;
        // An IPv4 entry is named by its address label; labels are "<interface>:<tag>", and ':'
        // cannot occur in an interface name.
        std::string_view name = entry->ifa_name;
        name = name.substr(0, name.find(':'));
        if (name.empty() || name.size() >= IFNAMSIZ) continue;
        AdapterInfo& a = adapterFor(name, entry->ifa_flags);

        if (family == AF_PACKET) {
            const auto* ll = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
            if (ll->sll_halen == sizeof(a.mac)) std::memcpy(a.mac, ll->sll_addr, sizeof(a.mac));
        } else if (a.addressCount < kMaxAdapterAddresses) {
            AdapterAddress& address = a.addresses[a.addressCount++];
            SetDotted(address.ip, entry->ifa_addr);
            SetDotted(address.mask, entry->ifa_netmask);
        }
    }
    freeifaddrs(list);

    for (auto& a : adapters) {
        const std::string driver = DriverName(a.name);
        CopyText(a.description,
                 driver.empty() ? std::string(a.name) : std::string(a.name) + " (" + driver + ")");
    }
    return adapters;
}

}  // namespace pontiq
