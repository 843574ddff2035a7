// The PC's own network adapters: what each one is called, its MAC and its IPv4 addresses,
// read from the host's interface list, and the subnet arithmetic on dotted address texts
// that chooses the adapter through which a device is reached.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pontiq {

// One IPv4 address of an adapter, as dotted texts in fixed NUL-terminated fields.
struct AdapterAddress {
    char ip[16];
    char mask[16];
    char unused[16];  // third text field, never read
};

inline constexpr int32_t kMaxAdapterAddresses = 10;

// Adapter kinds. Only kind 1 is ever used for sending; the others say why an interface is not.
inline constexpr uint8_t kAdapterUsable = 1;  // up, not loopback, can broadcast
inline constexpr uint8_t kAdapterLoopback = 2;
inline constexpr uint8_t kAdapterDown = 3;
inline constexpr uint8_t kAdapterNoBroadcast = 4;  // up, but point-to-point or similar

struct AdapterInfo {
    uint8_t kind = 0;
    uint8_t mac[6] = {};
    char description[132] = {};  // readable label, e.g. "eth0 (virtio_net)"
    char name[260] = {};         // interface name, which is also libpcap's device name
    int32_t addressCount = 0;    // 0..10
    AdapterAddress addresses[kMaxAdapterAddresses] = {};
};

// The query is injected where adapters are read, so tests replace it without touching the host.
using AdapterQuery = std::function<std::vector<AdapterInfo>()>;

// Every interface of the host (of the calling thread's network namespace) that has a link-layer
// or an IPv4 entry, in interface order; addresses in the order the kernel reports them, at most
// ten per interface. Address labels ("eth0:1") count as their interface. Empty on failure.
std::vector<AdapterInfo> QueryHostAdapters();

// Kind 1, 1..10 addresses, and a first address text other than "0.0.0.0": an adapter whose first
// address is unset (no cable, no lease yet) is ignored as a whole.
bool IsUsableAdapter(const AdapterInfo& a);

// Address texts are strict dotted quads: four decimal numbers 0..255 of one to three digits, no
// leading zeros (other parsers read "010" as octal, so such a text is ambiguous), no blanks, nothing
// after the last number. A text ends at its first NUL, so whole char[16] fields may be passed.
// Anything else is not an address, and the operations below then report false or failure.
std::optional<uint32_t> ParseDottedIpv4(std::string_view text);  // host byte order

// (adapter AND mask) == (device AND mask); false when any text is empty, unparsable or "0.0.0.0".
bool SameSubnet(std::string_view adapterIp, std::string_view mask, std::string_view deviceIp);

// Dotted text of (address OR NOT mask); fails when the address or the mask is empty, unparsable
// or "0.0.0.0".
std::optional<std::string> DirectedBroadcast(std::string_view ip, std::string_view mask);

}  // namespace pontiq
