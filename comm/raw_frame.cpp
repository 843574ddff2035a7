#include "comm/raw_frame.h"

#include <algorithm>
#include <cstring>

namespace pontiq {
namespace {

constexpr uint8_t kIpProtocolUdp = 17;

void PutBe16(uint8_t (&field)[2], uint16_t value)
{
    field[0] = static_cast<uint8_t>(value >> 8);
    field[1] = static_cast<uint8_t>(value);
}

}  // namespace

uint16_t InternetChecksum(std::span<const uint8_t> data)
{
    uint64_t sum = 0;
    size_t i = 0;
    for (; i + 1 < data.size(); i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (i < data.size()) sum += static_cast<uint32_t>(data[i] << 8);
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint16_t>(~sum);
}

RawFrame BuildRawDiscoveryFrame(const MacAddress& target, const MacAddress& adapterMac,
                                const Ipv4Address& adapterIp, const Ipv4Address& broadcastIp)
{
    RAW_DISCOVERY_FRAME frame{};
    std::copy(target.begin(), target.end(), frame.eth_dst);
    std::copy(adapterMac.begin(), adapterMac.end(), frame.eth_src);
    PutBe16(frame.ether_type, 0x0800);

    frame.ip_version_ihl = 0x45;
    frame.ip_tos = 0;
    PutBe16(frame.ip_total_length, kRawFrameIpHeaderSize + kRawFrameUdpSize);
    PutBe16(frame.ip_identification, kRawFrameIdentification);
    PutBe16(frame.ip_flags_fragment, 0);
    frame.ip_ttl = kRawFrameTtl;
    frame.ip_protocol = kIpProtocolUdp;
    std::copy(adapterIp.begin(), adapterIp.end(), frame.ip_src);
    std::copy(broadcastIp.begin(), broadcastIp.end(), frame.ip_dst);

    PutBe16(frame.udp_src_port, kPortDiscoveryRequest);
    PutBe16(frame.udp_dst_port, kPortDiscoveryRequest);
    PutBe16(frame.udp_length, kRawFrameUdpSize);

    const std::vector<uint8_t> request = BuildDiscoveryRequest();
    std::memcpy(&frame.header, request.data(), sizeof(frame.header));

    RawFrame bytes{};
    std::memcpy(bytes.data(), &frame, sizeof(frame));
    const auto ipHeader = std::span<const uint8_t>(bytes).subspan(kRawFrameIpOffset, kRawFrameIpHeaderSize);
    PutBe16(frame.ip_checksum, InternetChecksum(ipHeader));

    // Pseudo-header (source, destination, zero, protocol, UDP length), then the UDP datagram.
    std::array<uint8_t, 12 + kRawFrameUdpSize> pseudo{};
    std::copy(adapterIp.begin(), adapterIp.end(), pseudo.begin());
    std::copy(broadcastIp.begin(), broadcastIp.end(), pseudo.begin() + 4);
    pseudo[9] = kIpProtocolUdp;
    pseudo[11] = static_cast<uint8_t>(kRawFrameUdpSize);
    std::copy_n(bytes.begin() + kRawFrameUdpOffset, kRawFrameUdpSize, pseudo.begin() + 12);
    const uint16_t udpChecksum = InternetChecksum(pseudo);
    // A computed 0 goes out as all ones: 0 in this field means "no checksum".
    PutBe16(frame.udp_checksum, udpChecksum == 0 ? 0xFFFF : udpChecksum);

    std::memcpy(bytes.data(), &frame, sizeof(frame));
    return bytes;
}

}  // namespace pontiq
