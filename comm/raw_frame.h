// The discovery request as a complete Ethernet frame, for sending through the packet-capture
// library when one device is searched for by its MAC. Ethernet, IPv4 and UDP fields are
// big-endian (network order); the embedded protocol header keeps its little-endian fields.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "comm/protocol.h"

namespace pontiq {

#pragma pack(push, 1)

struct RAW_DISCOVERY_FRAME {
    uint8_t eth_dst[6];
    uint8_t eth_src[6];
    uint8_t ether_type[2];
    uint8_t ip_version_ihl;
    uint8_t ip_tos;
    uint8_t ip_total_length[2];
    uint8_t ip_identification[2];
    uint8_t ip_flags_fragment[2];
    uint8_t ip_ttl;
    uint8_t ip_protocol;
    uint8_t ip_checksum[2];
    uint8_t ip_src[4];
    uint8_t ip_dst[4];
    uint8_t udp_src_port[2];
    uint8_t udp_dst_port[2];
    uint8_t udp_length[2];
    uint8_t udp_checksum[2];
    ProtocolHeader header;
};

#pragma pack(pop)

inline constexpr size_t kRawFrameSize = 58;
inline constexpr size_t kRawFrameIpOffset = 14;
inline constexpr size_t kRawFrameIpHeaderSize = 20;
inline constexpr size_t kRawFrameUdpOffset = 34;
inline constexpr size_t kRawFrameUdpSize = 8 + kHeaderSize;
inline constexpr uint16_t kRawFrameIdentification = 0x370D;
inline constexpr uint8_t kRawFrameTtl = 64;

using RawFrame = std::array<uint8_t, kRawFrameSize>;

// Internet checksum (RFC 1071) over `data` read as big-endian 16-bit words, an odd last
// byte counting as the high byte of a word of its own. Store the result high byte first.
uint16_t InternetChecksum(std::span<const uint8_t> data);

// Destination `target`; source the adapter's MAC and IPv4 address; IPv4 destination the
// directed broadcast address of the adapter's subnet; UDP 9786 -> 9786; payload a 16-byte
// MSG_DISCOVER request with an all-zero MAC.
RawFrame BuildRawDiscoveryFrame(const MacAddress& target, const MacAddress& adapterMac,
                                const Ipv4Address& adapterIp, const Ipv4Address& broadcastIp);

#define PONTIQ_FRAME_AT(member, offset) \
    static_assert(offsetof(RAW_DISCOVERY_FRAME, member) == (offset), "RAW_DISCOVERY_FRAME." #member)

static_assert(sizeof(RAW_DISCOVERY_FRAME) == kRawFrameSize);
PONTIQ_FRAME_AT(eth_dst, 0);
PONTIQ_FRAME_AT(eth_src, 6);
PONTIQ_FRAME_AT(ether_type, 12);
PONTIQ_FRAME_AT(ip_version_ihl, kRawFrameIpOffset);
PONTIQ_FRAME_AT(ip_tos, 15);
PONTIQ_FRAME_AT(ip_total_length, 16);
PONTIQ_FRAME_AT(ip_identification, 18);
PONTIQ_FRAME_AT(ip_flags_fragment, 20);
PONTIQ_FRAME_AT(ip_ttl, 22);
PONTIQ_FRAME_AT(ip_protocol, 23);
PONTIQ_FRAME_AT(ip_checksum, 24);
PONTIQ_FRAME_AT(ip_src, 26);
PONTIQ_FRAME_AT(ip_dst, 30);
PONTIQ_FRAME_AT(udp_src_port, kRawFrameUdpOffset);
PONTIQ_FRAME_AT(udp_dst_port, 36);
PONTIQ_FRAME_AT(udp_length, 38);
PONTIQ_FRAME_AT(udp_checksum, 40);
PONTIQ_FRAME_AT(header, 42);
static_assert(kRawFrameIpOffset + kRawFrameIpHeaderSize == kRawFrameUdpOffset);
static_assert(kRawFrameUdpOffset + kRawFrameUdpSize == kRawFrameSize);

#undef PONTIQ_FRAME_AT

}  // namespace pontiq
