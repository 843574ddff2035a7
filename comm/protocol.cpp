#include "comm/protocol.h"

#include <algorithm>
#include <cstdio>

namespace pontiq {
namespace {

constexpr std::array<uint16_t, 20> kListW = {14,  15,  18,  19,  20,  22,  23,  24,  25,  272,
                                             273, 274, 277, 278, 279, 280, 281, 282, 283, 285};
constexpr std::array<uint16_t, 25> kListV = {10,  11,  14,  15,  18,  19,  20,  21,  23,  24,  25,  268, 269,
                                             270, 272, 273, 274, 277, 278, 279, 280, 282, 283, 284, 285};

template <size_t N>
bool Contains(const std::array<uint16_t, N>& list, uint32_t code)
{
    return std::find(list.begin(), list.end(), code) != list.end();
}

ProtocolHeader MakeHeader(uint16_t msgType, size_t payloadLen, const MacAddress& mac, bool multicast,
                          uint16_t typeCode)
{
    ProtocolHeader header{};
    header.magic = kMagic;
    header.type_code = typeCode;
    header.msg_type = msgType;
    header.multicast = multicast ? 1 : 0;
    std::copy(mac.begin(), mac.end(), header.mac);
    header.payload_len = static_cast<uint16_t>(payloadLen);
    return header;
}

// Callers guarantee payload.size() <= kMaxPayload.
std::vector<uint8_t> EncodeUnchecked(uint16_t msgType, std::span<const uint8_t> payload,
                                     const MacAddress& mac, bool multicast, uint16_t typeCode)
{
    const ProtocolHeader header = MakeHeader(msgType, payload.size(), mac, multicast, typeCode);
    std::vector<uint8_t> datagram(kHeaderSize + payload.size());
    std::memcpy(datagram.data(), &header, kHeaderSize);
    std::copy(payload.begin(), payload.end(), datagram.begin() + kHeaderSize);
    return datagram;
}

template <size_t N>
void ClampLength(const char (&)[N], uint8_t& len)
{
    len = static_cast<uint8_t>(std::min<size_t>(len, N));
}

void ClampRecordTexts(ap_info_stu& record)
{
    ClampLength(record.ap_name, record.ap_name_len);
    ClampLength(record.version, record.version_len);
    SECURITY_BLOCK& security = record.radio_block.security;
    ClampLength(security.ssid, security.ssid_len);
    ClampLength(security.wpapsk_key_value, security.wpapsk_key_value_len);
    for (WEP_KEY& key : security.wep_key) ClampLength(key.value, key.len);
    ClampLength(security.wpa_key, security.wpa_key_len);
    ClampLength(record.bridge_ssid, record.bridge_ssid_len);
}

}  // namespace

bool InListW(uint32_t typeCode)
{
    return Contains(kListW, typeCode);
}

bool InListV(uint32_t typeCode)
{
    return Contains(kListV, typeCode);
}

size_t WirelessPayloadLength(uint32_t typeCode)
{
    return InListW(typeCode) ? kWirelessPayloadLong : kWirelessPayloadShort;
}

size_t VlanPayloadLength(uint32_t typeCode)
{
    return InListV(typeCode) ? kVlanPayloadLong : kVlanPayloadShort;
}

std::optional<std::vector<uint8_t>> Encode(uint16_t msgType, std::span<const uint8_t> payload,
                                           const MacAddress& mac, bool multicast, uint16_t typeCode)
{
    if (payload.size() > kMaxPayload) return std::nullopt;
    return EncodeUnchecked(msgType, payload, mac, multicast, typeCode);
}

std::optional<std::vector<uint8_t>> BuildCommand(uint16_t msgType, std::span<const uint8_t> payload,
                                                 const MacAddress& target)
{
    return Encode(msgType, payload, target, true);
}

std::vector<uint8_t> BuildDiscoveryRequest(const MacAddress& adapterMac)
{
    return EncodeUnchecked(MSG_DISCOVER, {}, adapterMac, false, 0);
}

std::vector<uint8_t> WirelessPayload(uint32_t typeCode, const RADIO_BLOCK& radio,
                                     const RADIO_EXTENSION& extension)
{
    const WIRELESS_PAYLOAD whole{radio, extension};
    const auto bytes = AsBytes(whole);
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + WirelessPayloadLength(typeCode));
}

std::vector<uint8_t> VlanPayload(uint32_t typeCode, const VLAN_BLOCK& vlan, const EXTENSION_BLOCK& extension)
{
    const VLAN_PAYLOAD whole{vlan, extension};
    const auto bytes = AsBytes(whole);
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + VlanPayloadLength(typeCode));
}

NAME_PAYLOAD MakeNamePayload(std::string_view name)
{
    NAME_PAYLOAD payload{};
    payload.ap_name_len = SetFieldText(payload.ap_name, name);
    return payload;
}

std::optional<UPGRADE_PAYLOAD> MakeUpgradePayload(std::string_view fileName, uint32_t fileSize)
{
    UPGRADE_PAYLOAD payload{};
    // The length byte must count every byte of the name, and a NUL must follow it; cutting
    // the name instead would make the device fetch a different file.
    constexpr size_t kMaxName = std::min<size_t>(sizeof(payload.file_name) - 1, UINT8_MAX);
    if (fileName.size() > kMaxName) return std::nullopt;
    payload.file_name_len = SetFieldText(payload.file_name, fileName);
    payload.file_size = fileSize;
    return payload;
}

std::vector<uint8_t> BuildDiscoveryReply(uint16_t typeCode, const MacAddress& mac,
                                         const DISCOVER_REPLY& reply, bool shortForm)
{
    const auto bytes = AsBytes(reply);
    return EncodeUnchecked(MSG_DISCOVER, bytes.first(shortForm ? kDiscoverReplyShort : kDiscoverReplyLong),
                           mac, false, typeCode);
}

std::vector<uint8_t> BuildHeartbeat(uint16_t typeCode, const MacAddress& mac,
                                    const HEARTBEAT_PAYLOAD& heartbeat)
{
    return EncodeUnchecked(MSG_HEARTBEAT, AsBytes(heartbeat), mac, false, typeCode);
}

std::vector<uint8_t> BuildDeviceRecordReply(const MacAddress& mac, const ap_info_stu& record)
{
    return EncodeUnchecked(MSG_GET_INFO, AsBytes(record).subspan<kRecordPrefix>(), mac, false,
                           record.ap_type);
}

std::optional<std::vector<uint8_t>> BuildSurveyPage(uint16_t typeCode, const MacAddress& mac,
                                                    uint8_t packetCount, uint8_t packetId,
                                                    std::span<const config_otherwl_basic> entries)
{
    if (entries.size() > kMaxSurveyEntries) return std::nullopt;
    const SURVEY_PAGE_HEADER page{packetCount, packetId, static_cast<uint8_t>(entries.size())};
    std::vector<uint8_t> payload(sizeof(page) + entries.size_bytes());
    std::memcpy(payload.data(), &page, sizeof(page));
    if (!entries.empty()) std::memcpy(payload.data() + sizeof(page), entries.data(), entries.size_bytes());
    return EncodeUnchecked(MSG_SITE_SURVEY, payload, mac, false, typeCode);
}

std::vector<uint8_t> BuildResultReply(uint16_t typeCode, uint16_t msgType, const MacAddress& mac,
                                      uint8_t result)
{
    const uint8_t payload[1] = {result};
    return EncodeUnchecked(msgType, payload, mac, false, typeCode);
}

std::optional<ProtocolHeader> DecodeHeader(std::span<const uint8_t> datagram)
{
    if (datagram.size() < kHeaderSize || datagram.size() > kMaxDatagram) return std::nullopt;
    const auto header = DecodeLayout<ProtocolHeader>(datagram);
    if (header.magic != kMagic) return std::nullopt;
    return header;
}

bool Accept(uint16_t port, std::span<const uint8_t> datagram)
{
    const auto header = DecodeHeader(datagram);
    if (!header) return false;
    switch (port) {
        case kPortDiscoveryReply:
            return header->msg_type == MSG_DISCOVER;
        case kPortCommand:
            return header->msg_type == MSG_HEARTBEAT;
        case kPortCommandReply:
            return true;
        default:
            return false;
    }
}

std::span<const uint8_t> ReceivedPayload(std::span<const uint8_t> datagram)
{
    if (datagram.size() <= kHeaderSize) return {};
    return datagram.subspan(kHeaderSize, std::min(datagram.size(), kMaxDatagram) - kHeaderSize);
}

std::optional<DiscoveryReply> DecodeDiscoveryReply(std::span<const uint8_t> datagram)
{
    const auto header = DecodeHeader(datagram);
    if (!header) return std::nullopt;
    DiscoveryReply reply;
    reply.long_form = header->payload_len > kDiscoverReplyShort;
    auto payload = ReceivedPayload(datagram);
    // A short reply is read as such even when more bytes follow it.
    if (!reply.long_form) payload = payload.first(std::min(payload.size(), kDiscoverReplyShort));
    reply.fields = DecodeLayout<DISCOVER_REPLY>(payload);
    ClampLength(reply.fields.version, reply.fields.version_len);
    ClampLength(reply.fields.ap_name, reply.fields.ap_name_len);
    ClampLength(reply.fields.ssid, reply.fields.ssid_len);
    return reply;
}

std::optional<HEARTBEAT_PAYLOAD> DecodeHeartbeat(std::span<const uint8_t> datagram)
{
    if (!DecodeHeader(datagram)) return std::nullopt;
    const auto received = DecodeLayout<HEARTBEAT_PAYLOAD>(ReceivedPayload(datagram));
    HEARTBEAT_PAYLOAD heartbeat{};
    std::memcpy(heartbeat.version, received.version, sizeof(heartbeat.version));
    heartbeat.version_len = received.version_len;
    ClampLength(heartbeat.version, heartbeat.version_len);
    heartbeat.up_time = received.up_time;
    return heartbeat;
}

std::optional<ap_info_stu> DecodeDeviceRecord(std::span<const uint8_t> datagram)
{
    const auto header = DecodeHeader(datagram);
    if (!header) return std::nullopt;
    ap_info_stu record{};
    std::snprintf(record.mac, sizeof(record.mac), "%02x:%02x:%02x:%02x:%02x:%02x", header->mac[0],
                  header->mac[1], header->mac[2], header->mac[3], header->mac[4], header->mac[5]);
    record.ap_type = header->type_code;
    const auto payload = ReceivedPayload(datagram);
    const size_t n = std::min({static_cast<size_t>(header->payload_len), payload.size(), kRecordBody});
    if (n > 0) std::memcpy(reinterpret_cast<uint8_t*>(&record) + kRecordPrefix, payload.data(), n);
    ClampRecordTexts(record);
    return record;
}

std::optional<SurveyPage> DecodeSurveyPage(std::span<const uint8_t> datagram)
{
    if (!DecodeHeader(datagram)) return std::nullopt;
    auto payload = ReceivedPayload(datagram);
    payload = payload.first(std::min(payload.size(), kSurveyReadLimit));

    SurveyPage page;
    page.header = DecodeLayout<SURVEY_PAGE_HEADER>(payload);
    const size_t carried =
        payload.size() > sizeof(SURVEY_PAGE_HEADER)
            ? std::min((payload.size() - sizeof(SURVEY_PAGE_HEADER)) / sizeof(config_otherwl_basic),
                       kMaxSurveyEntries)
            : 0;
    const size_t count = std::min<size_t>(page.header.icount, carried);
    page.icount_mended = count != page.header.icount;
    page.header.icount = static_cast<uint8_t>(count);

    page.entries.resize(count);
    for (size_t k = 0; k < count; ++k) {
        config_otherwl_basic& entry = page.entries[k];
        entry = DecodeLayout<config_otherwl_basic>(
            payload.subspan(sizeof(SURVEY_PAGE_HEADER) + k * sizeof(config_otherwl_basic)));
        ClampLength(entry.ssid, entry.ssid_len);
    }
    return page;
}

std::optional<uint8_t> DecodeResultByte(std::span<const uint8_t> datagram)
{
    if (!DecodeHeader(datagram)) return std::nullopt;
    const auto payload = ReceivedPayload(datagram);
    if (payload.empty()) return std::nullopt;
    return payload[0];
}

}  // namespace pontiq
