// The device wire protocol: a 16-byte little-endian header followed by a payload whose
// layout depends on the message type. Every layout is declared once, below, as a packed
// struct; encoding and decoding both go through these declarations, on the PC side and
// on the device side (the simulator).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "store/ap_info.h"

namespace pontiq {

using MacAddress = std::array<uint8_t, 6>;
using Ipv4Address = std::array<uint8_t, 4>;

// Ports and addressing.
inline constexpr uint16_t kPortDiscoveryReply = 9785;    // PC listens: discovery replies
inline constexpr uint16_t kPortDiscoveryRequest = 9786;  // devices listen: discovery requests
inline constexpr uint16_t kPortCommand = 9787;           // devices: commands; PC: heartbeats
inline constexpr uint16_t kPortCommandReply = 9788;      // PC listens: command replies
inline constexpr char kMulticastGroup[] = "239.255.255.250";
inline constexpr Ipv4Address kMulticastGroupAddress = {239, 255, 255, 250};

inline constexpr uint16_t kMagic = 0x1986;
inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kMaxDatagram = 1472;
inline constexpr size_t kMaxPayload = kMaxDatagram - kHeaderSize;

// Message types. 14 is neither sent nor interpreted.
inline constexpr uint16_t MSG_DISCOVER = 1;
inline constexpr uint16_t MSG_GET_INFO = 2;
inline constexpr uint16_t MSG_SET_IP = 3;
inline constexpr uint16_t MSG_SET_WIRELESS = 4;
inline constexpr uint16_t MSG_SET_TIMED_REBOOT = 5;
inline constexpr uint16_t MSG_SITE_SURVEY = 6;
inline constexpr uint16_t MSG_SET_BRIDGE = 7;
inline constexpr uint16_t MSG_SET_NAME = 8;
inline constexpr uint16_t MSG_REBOOT = 9;
inline constexpr uint16_t MSG_RESTORE = 10;
inline constexpr uint16_t MSG_UPGRADE = 11;
inline constexpr uint16_t MSG_UPGRADE_STATUS = 12;
inline constexpr uint16_t MSG_SET_VLAN = 13;
inline constexpr uint16_t MSG_HEARTBEAT = 15;
inline constexpr uint16_t MSG_UPGRADE_START = 16;
inline constexpr uint16_t MSG_RELEASE = 17;
inline constexpr uint16_t MSG_SET_TRANSPARENT_BRIDGE = 18;
inline constexpr uint16_t MSG_SET_KELVRA = 19;

#pragma pack(push, 1)

struct ProtocolHeader {
    uint16_t magic;
    uint16_t type_code;  // 0 from the PC; the model code (ap_type) from a device
    uint16_t msg_type;
    uint8_t multicast;  // 1 on everything the PC sends to the multicast group
    uint8_t reserved;
    uint8_t mac[6];  // command: target device; discovery request: sending adapter; reply: the device
    uint16_t payload_len;
};

// MSG_DISCOVER reply. The short form carries only version and its length (33 bytes).
struct DISCOVER_REPLY {
    char version[32];
    uint8_t version_len;
    uint8_t work_mode;
    uint8_t mode_btn_status;
    uint8_t unread35;
    uint32_t up_time;
    char ap_name[32];
    uint8_t ap_name_len;
    char ssid[32];
    uint8_t ssid_len;
    uint8_t channel;
    uint8_t bridge_transparent;
    uint8_t tdmaEn;
};

// MSG_HEARTBEAT: the first 40 bytes of the discovery reply.
struct HEARTBEAT_PAYLOAD {
    char version[32];
    uint8_t version_len;
    uint8_t work_mode;
    uint8_t mode_btn_status;
    uint8_t unread35;
    uint32_t up_time;
};

struct NAME_PAYLOAD {
    char ap_name[32];
    uint8_t ap_name_len;
};

struct UPGRADE_PAYLOAD {
    char file_name[260];  // local encoding, NUL-terminated, zero-padded
    uint8_t file_name_len;
    uint8_t zero261[3];
    uint32_t file_size;
};

struct SURVEY_PAGE_HEADER {
    uint8_t packet_count;  // pages of this answer
    uint8_t packet_id;     // 0-based index of this page
    uint8_t icount;        // entries in this page
};

// Opens the MSG_SET_BRIDGE payload; its own layout, not SECURITY_BLOCK.
struct BRIDGE_SECURITY_BLOCK {
    uint8_t work_mode;  // 2, station
    uint8_t ap_mac[6];
    uint8_t channel;
    char ssid[32];
    uint8_t ssid_len;
    uint8_t zero41;
    uint8_t secure_mode;  // 0 none, 1 WEP, 2 WPA-PSK, 3 WPA2-PSK, 4 mixed
    uint8_t cipher;       // PSK: 0 AES, 1 TKIP, 2 TKIP and AES
    char key[64];
    uint8_t key_len;
    uint32_t key_time;
    uint8_t wep_auth_type;  // 0 open, 1 shared
    uint8_t wep_key_index;
    WEP_KEY wep_key[4];
    uint8_t zero227[77];
};

struct BRIDGE_PAYLOAD {
    BRIDGE_SECURITY_BLOCK security;
    IP_BLOCK ip_block;
    uint8_t reserved326;  // never assigned by the wizard
    uint8_t reserved327;
};

// The radio extension appended for list W has the EXTENSION_BLOCK layout (only wl_dfs used).
using RADIO_EXTENSION = EXTENSION_BLOCK;

struct WIRELESS_PAYLOAD {
    RADIO_BLOCK radio_block;
    RADIO_EXTENSION extension;
};

struct VLAN_PAYLOAD {
    VLAN_BLOCK vlan_block;
    EXTENSION_BLOCK extension_block;
};

#pragma pack(pop)

// Sizes that follow from the layouts.
inline constexpr size_t kDiscoverReplyShort = offsetof(DISCOVER_REPLY, version_len) + 1;  // 33
inline constexpr size_t kDiscoverReplyLong = sizeof(DISCOVER_REPLY);                      // 109
inline constexpr size_t kWirelessPayloadShort = sizeof(RADIO_BLOCK);                      // 328
inline constexpr size_t kWirelessPayloadLong = sizeof(WIRELESS_PAYLOAD);                  // 344
inline constexpr size_t kVlanPayloadShort = sizeof(VLAN_BLOCK);                           // 10
inline constexpr size_t kVlanPayloadLong = sizeof(VLAN_PAYLOAD);                          // 26
inline constexpr size_t kMaxSurveyEntries = 32;
inline constexpr size_t kSurveyReadLimit = 1414;  // payload bytes of a page the PC looks at

// Offset in the MSG_GET_INFO payload of a device-record offset.
constexpr size_t RecordBodyOffset(size_t recordOffset)
{
    return recordOffset - kRecordPrefix;
}

// Type-code lists: W appends the radio extension to MSG_SET_WIRELESS, V appends
// EXTENSION_BLOCK to MSG_SET_VLAN.
bool InListW(uint32_t typeCode);
bool InListV(uint32_t typeCode);
size_t WirelessPayloadLength(uint32_t typeCode);  // 344 for list W, else 328
size_t VlanPayloadLength(uint32_t typeCode);      // 26 for list V, else 10

// A layout that may be copied byte for byte to and from the wire.
template <typename T>
concept WireLayout = std::is_trivially_copyable_v<T>;

// The bytes of a packed layout, for use as a payload.
template <WireLayout T>
std::span<const uint8_t, sizeof(T)> AsBytes(const T& value)
{
    return std::span<const uint8_t, sizeof(T)>(reinterpret_cast<const uint8_t*>(&value), sizeof(T));
}

// Reads a layout from the front of `bytes`; bytes past the end of `bytes` read as zero.
template <WireLayout T>
T DecodeLayout(std::span<const uint8_t> bytes)
{
    T value{};
    if (!bytes.empty()) {
        std::memcpy(&value, bytes.data(), bytes.size() < sizeof(T) ? bytes.size() : sizeof(T));
    }
    return value;
}

// ---- Encoding -------------------------------------------------------------------------

// Header (magic, typeCode, msgType, multicast flag, MAC, payload length) plus the payload.
// nullopt when the payload is longer than kMaxPayload.
std::optional<std::vector<uint8_t>> Encode(uint16_t msgType, std::span<const uint8_t> payload,
                                           const MacAddress& mac = {}, bool multicast = false,
                                           uint16_t typeCode = 0);

// A PC command to the multicast group: multicast flag 1, the target device's MAC.
std::optional<std::vector<uint8_t>> BuildCommand(uint16_t msgType, std::span<const uint8_t> payload,
                                                 const MacAddress& target);

// A 16-byte MSG_DISCOVER request carrying the sending adapter's MAC (zero for the fallback).
std::vector<uint8_t> BuildDiscoveryRequest(const MacAddress& adapterMac = {});

// Request payloads whose length depends on the device's type code.
std::vector<uint8_t> WirelessPayload(uint32_t typeCode, const RADIO_BLOCK& radio,
                                     const RADIO_EXTENSION& extension);
std::vector<uint8_t> VlanPayload(uint32_t typeCode, const VLAN_BLOCK& vlan, const EXTENSION_BLOCK& extension);

// `name` is already in its outgoing encoding; it is cut to 32 bytes.
NAME_PAYLOAD MakeNamePayload(std::string_view name);

// nullopt when the file name does not fit its field with a NUL and a one-byte length (255 bytes).
std::optional<UPGRADE_PAYLOAD> MakeUpgradePayload(std::string_view fileName, uint32_t fileSize);

// Device side (simulator): datagrams as a device sends them, its model code in the header.
std::vector<uint8_t> BuildDiscoveryReply(uint16_t typeCode, const MacAddress& mac,
                                         const DISCOVER_REPLY& reply, bool shortForm = false);
std::vector<uint8_t> BuildHeartbeat(uint16_t typeCode, const MacAddress& mac,
                                    const HEARTBEAT_PAYLOAD& heartbeat);
// Body = record bytes 24..783; the header type code is record.ap_type.
std::vector<uint8_t> BuildDeviceRecordReply(const MacAddress& mac, const ap_info_stu& record);
// nullopt when more than kMaxSurveyEntries entries are given.
std::optional<std::vector<uint8_t>> BuildSurveyPage(uint16_t typeCode, const MacAddress& mac,
                                                    uint8_t packetCount, uint8_t packetId,
                                                    std::span<const config_otherwl_basic> entries);
// A command reply whose payload is the single result byte.
std::vector<uint8_t> BuildResultReply(uint16_t typeCode, uint16_t msgType, const MacAddress& mac,
                                      uint8_t result);

// ---- Decoding -------------------------------------------------------------------------
// Every decoder takes exactly the received bytes, reads nothing past them nor past its
// layout, and gives nullopt when the datagram has no valid header (16..1472 bytes and
// the little-endian magic). Text length bytes above their field width come back clamped.

std::optional<ProtocolHeader> DecodeHeader(std::span<const uint8_t> datagram);

// The receive filter of the PC's listening ports: a valid header, and on 9785 only
// MSG_DISCOVER, on 9787 only MSG_HEARTBEAT, on 9788 any type. Other ports accept nothing.
bool Accept(uint16_t port, std::span<const uint8_t> datagram);

// The payload bytes actually received (after the header; the length field is not applied).
std::span<const uint8_t> ReceivedPayload(std::span<const uint8_t> datagram);

struct DiscoveryReply {
    bool long_form = false;   // payload-length field above 33
    DISCOVER_REPLY fields{};  // short form: only version and its length; unreceived bytes zero
};
std::optional<DiscoveryReply> DecodeDiscoveryReply(std::span<const uint8_t> datagram);

// Only version, its length and up_time are read; the other fields stay zero.
std::optional<HEARTBEAT_PAYLOAD> DecodeHeartbeat(std::span<const uint8_t> datagram);

// MSG_GET_INFO reply as a device record: the header MAC as text at 0, the header type code
// at 18, then min(length field, received payload, 760) body bytes from offset 24. Texts
// stay as received (UTF-8); converting them is the caller's job.
std::optional<ap_info_stu> DecodeDeviceRecord(std::span<const uint8_t> datagram);

struct SurveyPage {
    SURVEY_PAGE_HEADER header{};  // header.icount == entries.size()
    std::vector<config_otherwl_basic> entries;
    bool icount_mended = false;  // the page claimed more entries than it carries

    // packet_count 0 never completes a survey.
    bool IsLastPage() const { return header.packet_id + 1 == header.packet_count; }
};
std::optional<SurveyPage> DecodeSurveyPage(std::span<const uint8_t> datagram);

// Payload byte 0 of a command reply (also the MSG_UPGRADE_STATUS state); nullopt when the
// reply carries no payload byte.
std::optional<uint8_t> DecodeResultByte(std::span<const uint8_t> datagram);
inline std::optional<uint8_t> DecodeUpgradeStatus(std::span<const uint8_t> datagram)
{
    return DecodeResultByte(datagram);
}

// ---- Layout checks --------------------------------------------------------------------

#define PONTIQ_WIRE_AT(type, member, offset) \
    static_assert(offsetof(type, member) == (offset), #type "." #member)

static_assert(sizeof(ProtocolHeader) == kHeaderSize);
PONTIQ_WIRE_AT(ProtocolHeader, magic, 0);
PONTIQ_WIRE_AT(ProtocolHeader, type_code, 2);
PONTIQ_WIRE_AT(ProtocolHeader, msg_type, 4);
PONTIQ_WIRE_AT(ProtocolHeader, multicast, 6);
PONTIQ_WIRE_AT(ProtocolHeader, reserved, 7);
PONTIQ_WIRE_AT(ProtocolHeader, mac, 8);
PONTIQ_WIRE_AT(ProtocolHeader, payload_len, 14);
static_assert(kMaxPayload == 1456);

static_assert(sizeof(DISCOVER_REPLY) == 109);
PONTIQ_WIRE_AT(DISCOVER_REPLY, version, 0);
PONTIQ_WIRE_AT(DISCOVER_REPLY, version_len, 32);
PONTIQ_WIRE_AT(DISCOVER_REPLY, work_mode, 33);
PONTIQ_WIRE_AT(DISCOVER_REPLY, mode_btn_status, 34);
PONTIQ_WIRE_AT(DISCOVER_REPLY, unread35, 35);
PONTIQ_WIRE_AT(DISCOVER_REPLY, up_time, 36);
PONTIQ_WIRE_AT(DISCOVER_REPLY, ap_name, 40);
PONTIQ_WIRE_AT(DISCOVER_REPLY, ap_name_len, 72);
PONTIQ_WIRE_AT(DISCOVER_REPLY, ssid, 73);
PONTIQ_WIRE_AT(DISCOVER_REPLY, ssid_len, 105);
PONTIQ_WIRE_AT(DISCOVER_REPLY, channel, 106);
PONTIQ_WIRE_AT(DISCOVER_REPLY, bridge_transparent, 107);
PONTIQ_WIRE_AT(DISCOVER_REPLY, tdmaEn, 108);
static_assert(kDiscoverReplyShort == 33);

static_assert(sizeof(HEARTBEAT_PAYLOAD) == 40);
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, version, offsetof(DISCOVER_REPLY, version));
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, version_len, offsetof(DISCOVER_REPLY, version_len));
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, work_mode, offsetof(DISCOVER_REPLY, work_mode));
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, mode_btn_status, offsetof(DISCOVER_REPLY, mode_btn_status));
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, unread35, offsetof(DISCOVER_REPLY, unread35));
PONTIQ_WIRE_AT(HEARTBEAT_PAYLOAD, up_time, 36);
static_assert(sizeof(HEARTBEAT_PAYLOAD) == offsetof(DISCOVER_REPLY, ap_name));

static_assert(sizeof(NAME_PAYLOAD) == 33);
PONTIQ_WIRE_AT(NAME_PAYLOAD, ap_name, 0);
PONTIQ_WIRE_AT(NAME_PAYLOAD, ap_name_len, 32);

static_assert(sizeof(UPGRADE_PAYLOAD) == 268);
PONTIQ_WIRE_AT(UPGRADE_PAYLOAD, file_name, 0);
PONTIQ_WIRE_AT(UPGRADE_PAYLOAD, file_name_len, 260);
PONTIQ_WIRE_AT(UPGRADE_PAYLOAD, zero261, 261);
PONTIQ_WIRE_AT(UPGRADE_PAYLOAD, file_size, 264);

static_assert(sizeof(SURVEY_PAGE_HEADER) == 3);
PONTIQ_WIRE_AT(SURVEY_PAGE_HEADER, packet_count, 0);
PONTIQ_WIRE_AT(SURVEY_PAGE_HEADER, packet_id, 1);
PONTIQ_WIRE_AT(SURVEY_PAGE_HEADER, icount, 2);
static_assert(sizeof(SURVEY_PAGE_HEADER) + kMaxSurveyEntries * sizeof(config_otherwl_basic) == 1411);
static_assert(kSurveyReadLimit <= kMaxPayload);

static_assert(sizeof(BRIDGE_SECURITY_BLOCK) == 304);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, work_mode, 0);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, ap_mac, 1);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, channel, 7);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, ssid, 8);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, ssid_len, 40);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, zero41, 41);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, secure_mode, 42);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, cipher, 43);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, key, 44);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, key_len, 108);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, key_time, 109);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_auth_type, 113);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key_index, 114);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key, 115);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[0].type, 115);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[0].value, 116);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[0].len, 142);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[1].type, 143);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[2].type, 171);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[3].type, 199);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[3].value, 200);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, wep_key[3].len, 226);
PONTIQ_WIRE_AT(BRIDGE_SECURITY_BLOCK, zero227, 227);

static_assert(sizeof(BRIDGE_PAYLOAD) == 328);
PONTIQ_WIRE_AT(BRIDGE_PAYLOAD, security, 0);
PONTIQ_WIRE_AT(BRIDGE_PAYLOAD, ip_block, 304);
PONTIQ_WIRE_AT(BRIDGE_PAYLOAD, ip_block.apply, 325);
PONTIQ_WIRE_AT(BRIDGE_PAYLOAD, reserved326, 326);
PONTIQ_WIRE_AT(BRIDGE_PAYLOAD, reserved327, 327);

static_assert(sizeof(WIRELESS_PAYLOAD) == 344);
PONTIQ_WIRE_AT(WIRELESS_PAYLOAD, radio_block, 0);
PONTIQ_WIRE_AT(WIRELESS_PAYLOAD, extension, 328);
PONTIQ_WIRE_AT(WIRELESS_PAYLOAD, extension.wl_dfs, 340);

static_assert(sizeof(VLAN_PAYLOAD) == 26);
PONTIQ_WIRE_AT(VLAN_PAYLOAD, vlan_block, 0);
PONTIQ_WIRE_AT(VLAN_PAYLOAD, extension_block, 10);

// The MSG_GET_INFO body is the device record from byte 24 on.
static_assert(offsetof(ap_info_stu, work_mode) == kRecordPrefix);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, work_mode)) == 0);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, mode_btn_status)) == 1);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, up_time)) == 4);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, ip_block)) == 8);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, ap_name)) == 30);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, ap_name_len)) == 62);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, version)) == 63);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, version_len)) == 95);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, reboot_block)) == 96);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, radio_block)) == 100);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, bridge_work_mode)) == 428);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, bridge_mac)) == 429);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, bridge_channel)) == 435);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, bridge_ssid)) == 436);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, bridge_ssid_len)) == 468);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, unread493)) == 469);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, vlan_block)) == 732);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, extension_block)) == 742);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, extension_block.tdmaEn)) == 743);
static_assert(RecordBodyOffset(offsetof(ap_info_stu, unread782)) == 758);
static_assert(RecordBodyOffset(sizeof(ap_info_stu)) == kRecordBody);
static_assert(kRecordBody <= kMaxPayload);

#undef PONTIQ_WIRE_AT

}  // namespace pontiq
