// The device record and the shared records. Each layout is declared once, here;
// the protocol codec, the store's column mapping and the simulator all use these
// declarations. Multi-byte integers are little-endian on the wire and in the record.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

static_assert(std::endian::native == std::endian::little,
              "records are read in place: the host must be little-endian");

namespace pontiq {

#pragma pack(push, 1)

// Bytes 32..53 of the record; payload of MSG_SET_IP.
struct IP_BLOCK {
    uint8_t ip_mode;
    uint8_t ip[4];
    uint8_t ip_mask[4];
    uint8_t ip_gateway[4];
    uint8_t ip_dns1[4];
    uint8_t ip_dns2[4];
    uint8_t apply;
};

// Bytes 120..123; payload of MSG_SET_TIMED_REBOOT.
struct REBOOT_BLOCK {
    uint8_t restart_en;
    uint8_t restart_type;   // weekday bit mask
    uint16_t restart_time;  // minutes after midnight
};

struct WEP_KEY {
    uint8_t type;
    char value[26];
    uint8_t len;
};

// Bytes 147..450, inside RADIO_BLOCK.
struct SECURITY_BLOCK {
    uint8_t ssid_id;
    uint8_t ssid_hide;
    uint8_t ssid_mac[6];
    char ssid[32];
    uint8_t ssid_len;
    uint8_t secure_mode;
    uint8_t wpapsk_auth_type;
    char wpapsk_key_value[64];
    uint8_t wpapsk_key_value_len;
    uint32_t wpapsk_key_time;
    uint8_t wep_auth_type;
    uint8_t wep_key_index;
    WEP_KEY wep_key[4];
    uint8_t unread226;
    uint8_t wpa_radius_ip[4];
    uint16_t wpa_radius_port;
    uint8_t wpa_auth_type;
    char wpa_key[64];
    uint8_t wpa_key_len;
    uint32_t wpa_key_time;
    uint8_t ssid_count;
};

// Bytes 124..451; payload of MSG_SET_WIRELESS (list W appends a 16-byte extension).
struct RADIO_BLOCK {
    uint8_t rf_count;
    uint8_t rf_en;
    uint8_t rf_type;
    uint8_t country_code;
    uint8_t network_mode;
    uint8_t bandwidth;
    uint8_t channel;
    uint8_t expand_channel;
    uint8_t tx_power;
    uint8_t tx_power_min;
    uint8_t tx_power_max;
    uint8_t unread11[11];
    uint8_t ssid_rf_type;
    SECURITY_BLOCK security;
    uint8_t unread327;
};

// Bytes 756..765; payload of MSG_SET_VLAN.
struct VLAN_BLOCK {
    uint8_t vlan_en;
    uint8_t unread1;
    uint16_t vlan_id;
    uint16_t vlan_id_wlan;
    uint16_t vlan_id_lan;
    uint8_t apply;
    uint8_t unread9;
};

// Bytes 766..781; follows VLAN_BLOCK for list V, payload of the two switch messages.
struct EXTENSION_BLOCK {
    uint8_t bridge_transparent;
    uint8_t tdmaEn;
    uint16_t vlan_pvid;
    uint16_t vlan_id_lan3;
    uint16_t vlan_id_lan4;
    uint8_t unread8[4];
    uint8_t wl_dfs;
    uint8_t trunk_port;
    uint16_t vlan_id_lan2;
};

// Everything known about one device. Bytes 24..783 are the body of the MSG_GET_INFO reply;
// bytes 0..23 are filled by the PC.
struct ap_info_stu {
    char mac[18];  // "%02x:%02x:%02x:%02x:%02x:%02x" and a NUL
    uint16_t ap_type;
    uint32_t ap_status;
    uint8_t work_mode;
    uint8_t mode_btn_status;
    uint8_t unread26[2];
    uint32_t up_time;
    IP_BLOCK ip_block;
    char ap_name[32];
    uint8_t ap_name_len;
    char version[32];
    uint8_t version_len;
    REBOOT_BLOCK reboot_block;
    RADIO_BLOCK radio_block;
    uint8_t bridge_work_mode;
    uint8_t bridge_mac[6];
    uint8_t bridge_channel;
    char bridge_ssid[32];
    uint8_t bridge_ssid_len;
    uint8_t unread493[263];
    VLAN_BLOCK vlan_block;
    EXTENSION_BLOCK extension_block;
    uint8_t unread782[2];
};

// One access point of a site survey; also the 44-byte entry of a survey page.
struct config_otherwl_basic {
    uint8_t mac[6];
    int8_t signal;
    uint8_t channel;
    uint8_t secure_mode;
    char ssid[32];
    uint8_t ssid_len;
    uint8_t exchannel;
    uint8_t bandwidth;
};

#pragma pack(pop)

// One ticked grid row, as list pages hand devices to command dialogs and routines.
struct SelectionEntry {
    char ip[16] = {};
    char mac[18] = {};
    int32_t type_code = 0;
};

// Device status codes (ap_status).
enum DeviceStatus : uint32_t {
    STATUS_OUTLINE = 0,
    STATUS_ONLINE = 1,
    STATUS_BRIDGE_SUCCESS = 2,
    STATUS_BRIDGE_FAIL = 3,
    STATUS_RESTARTING = 4,
    STATUS_RESETING = 5,
    STATUS_UPGRADE_WAIT = 6,
    STATUS_UPGRADING = 7,
    STATUS_UPGRADE_SUCCESS = 8,
    STATUS_UPGRADE_FAIL = 9,
    STATUS_DISCOVERED_ONLY = 10,
};

constexpr size_t kRecordPrefix = 24;  // bytes the PC fills itself
constexpr size_t kRecordBody = 760;   // bytes of the MSG_GET_INFO reply
constexpr size_t kSurveyEntrySize = 44;

// A text field is read as min(length byte, field width) bytes, never more, and ends at its
// first NUL: a length byte beyond the text must not make the padding part of it.
template <size_t N>
inline std::string_view FieldText(const char (&field)[N], uint8_t len)
{
    const size_t n = std::min<size_t>(len, N);
    return std::string_view(field, strnlen(field, n));
}

// Writes text into a fixed field, zero-padded, cut to the field width; returns the length byte.
template <size_t N>
inline uint8_t SetFieldText(char (&field)[N], std::string_view text)
{
    const size_t n = std::min(text.size(), N);
    std::memset(field, 0, N);
    if (n) std::memcpy(field, text.data(), n);  // an empty view may hold a null pointer
    return static_cast<uint8_t>(n);
}

// NUL-terminated text held in a fixed buffer (mac, ip texts).
template <size_t N>
inline std::string_view CText(const char (&field)[N])
{
    return std::string_view(field, strnlen(field, N));
}

template <size_t N>
inline void SetCText(char (&field)[N], std::string_view text)
{
    const size_t n = std::min(text.size(), N - 1);
    std::memset(field, 0, N);
    if (n) std::memcpy(field, text.data(), n);
}

// Compile-time layout checks: the tables are the contract.
#define PONTIQ_AT(type, member, offset) static_assert(offsetof(type, member) == (offset), #type "." #member)

static_assert(sizeof(IP_BLOCK) == 22);
PONTIQ_AT(IP_BLOCK, ip_mode, 0);
PONTIQ_AT(IP_BLOCK, ip, 1);
PONTIQ_AT(IP_BLOCK, ip_mask, 5);
PONTIQ_AT(IP_BLOCK, ip_gateway, 9);
PONTIQ_AT(IP_BLOCK, ip_dns1, 13);
PONTIQ_AT(IP_BLOCK, ip_dns2, 17);
PONTIQ_AT(IP_BLOCK, apply, 21);

static_assert(sizeof(REBOOT_BLOCK) == 4);
PONTIQ_AT(REBOOT_BLOCK, restart_en, 0);
PONTIQ_AT(REBOOT_BLOCK, restart_type, 1);
PONTIQ_AT(REBOOT_BLOCK, restart_time, 2);

static_assert(sizeof(WEP_KEY) == 28);
static_assert(sizeof(SECURITY_BLOCK) == 304);
PONTIQ_AT(SECURITY_BLOCK, ssid_id, 0);
PONTIQ_AT(SECURITY_BLOCK, ssid_hide, 1);
PONTIQ_AT(SECURITY_BLOCK, ssid_mac, 2);
PONTIQ_AT(SECURITY_BLOCK, ssid, 8);
PONTIQ_AT(SECURITY_BLOCK, ssid_len, 40);
PONTIQ_AT(SECURITY_BLOCK, secure_mode, 41);
PONTIQ_AT(SECURITY_BLOCK, wpapsk_auth_type, 42);
PONTIQ_AT(SECURITY_BLOCK, wpapsk_key_value, 43);
PONTIQ_AT(SECURITY_BLOCK, wpapsk_key_value_len, 107);
PONTIQ_AT(SECURITY_BLOCK, wpapsk_key_time, 108);
PONTIQ_AT(SECURITY_BLOCK, wep_auth_type, 112);
PONTIQ_AT(SECURITY_BLOCK, wep_key_index, 113);
PONTIQ_AT(SECURITY_BLOCK, wep_key, 114);
PONTIQ_AT(SECURITY_BLOCK, wpa_radius_ip, 227);
PONTIQ_AT(SECURITY_BLOCK, wpa_radius_port, 231);
PONTIQ_AT(SECURITY_BLOCK, wpa_auth_type, 233);
PONTIQ_AT(SECURITY_BLOCK, wpa_key, 234);
PONTIQ_AT(SECURITY_BLOCK, wpa_key_len, 298);
PONTIQ_AT(SECURITY_BLOCK, wpa_key_time, 299);
PONTIQ_AT(SECURITY_BLOCK, ssid_count, 303);

static_assert(sizeof(RADIO_BLOCK) == 328);
PONTIQ_AT(RADIO_BLOCK, rf_count, 0);
PONTIQ_AT(RADIO_BLOCK, rf_en, 1);
PONTIQ_AT(RADIO_BLOCK, rf_type, 2);
PONTIQ_AT(RADIO_BLOCK, country_code, 3);
PONTIQ_AT(RADIO_BLOCK, network_mode, 4);
PONTIQ_AT(RADIO_BLOCK, bandwidth, 5);
PONTIQ_AT(RADIO_BLOCK, channel, 6);
PONTIQ_AT(RADIO_BLOCK, expand_channel, 7);
PONTIQ_AT(RADIO_BLOCK, tx_power, 8);
PONTIQ_AT(RADIO_BLOCK, tx_power_min, 9);
PONTIQ_AT(RADIO_BLOCK, tx_power_max, 10);
PONTIQ_AT(RADIO_BLOCK, ssid_rf_type, 22);
PONTIQ_AT(RADIO_BLOCK, security, 23);
PONTIQ_AT(RADIO_BLOCK, unread327, 327);

static_assert(sizeof(VLAN_BLOCK) == 10);
PONTIQ_AT(VLAN_BLOCK, vlan_en, 0);
PONTIQ_AT(VLAN_BLOCK, vlan_id, 2);
PONTIQ_AT(VLAN_BLOCK, vlan_id_wlan, 4);
PONTIQ_AT(VLAN_BLOCK, vlan_id_lan, 6);
PONTIQ_AT(VLAN_BLOCK, apply, 8);

static_assert(sizeof(EXTENSION_BLOCK) == 16);
PONTIQ_AT(EXTENSION_BLOCK, bridge_transparent, 0);
PONTIQ_AT(EXTENSION_BLOCK, tdmaEn, 1);
PONTIQ_AT(EXTENSION_BLOCK, vlan_pvid, 2);
PONTIQ_AT(EXTENSION_BLOCK, vlan_id_lan3, 4);
PONTIQ_AT(EXTENSION_BLOCK, vlan_id_lan4, 6);
PONTIQ_AT(EXTENSION_BLOCK, wl_dfs, 12);
PONTIQ_AT(EXTENSION_BLOCK, trunk_port, 13);
PONTIQ_AT(EXTENSION_BLOCK, vlan_id_lan2, 14);

static_assert(sizeof(ap_info_stu) == 784);
PONTIQ_AT(ap_info_stu, mac, 0);
PONTIQ_AT(ap_info_stu, ap_type, 18);
PONTIQ_AT(ap_info_stu, ap_status, 20);
PONTIQ_AT(ap_info_stu, work_mode, 24);
PONTIQ_AT(ap_info_stu, mode_btn_status, 25);
PONTIQ_AT(ap_info_stu, up_time, 28);
PONTIQ_AT(ap_info_stu, ip_block, 32);
PONTIQ_AT(ap_info_stu, ip_block.ip_mode, 32);
PONTIQ_AT(ap_info_stu, ip_block.ip, 33);
PONTIQ_AT(ap_info_stu, ip_block.ip_mask, 37);
PONTIQ_AT(ap_info_stu, ip_block.ip_gateway, 41);
PONTIQ_AT(ap_info_stu, ip_block.ip_dns1, 45);
PONTIQ_AT(ap_info_stu, ip_block.ip_dns2, 49);
PONTIQ_AT(ap_info_stu, ip_block.apply, 53);
PONTIQ_AT(ap_info_stu, ap_name, 54);
PONTIQ_AT(ap_info_stu, ap_name_len, 86);
PONTIQ_AT(ap_info_stu, version, 87);
PONTIQ_AT(ap_info_stu, version_len, 119);
PONTIQ_AT(ap_info_stu, reboot_block, 120);
PONTIQ_AT(ap_info_stu, reboot_block.restart_en, 120);
PONTIQ_AT(ap_info_stu, reboot_block.restart_type, 121);
PONTIQ_AT(ap_info_stu, reboot_block.restart_time, 122);
PONTIQ_AT(ap_info_stu, radio_block, 124);
PONTIQ_AT(ap_info_stu, radio_block.rf_count, 124);
PONTIQ_AT(ap_info_stu, radio_block.rf_en, 125);
PONTIQ_AT(ap_info_stu, radio_block.rf_type, 126);
PONTIQ_AT(ap_info_stu, radio_block.country_code, 127);
PONTIQ_AT(ap_info_stu, radio_block.network_mode, 128);
PONTIQ_AT(ap_info_stu, radio_block.bandwidth, 129);
PONTIQ_AT(ap_info_stu, radio_block.channel, 130);
PONTIQ_AT(ap_info_stu, radio_block.expand_channel, 131);
PONTIQ_AT(ap_info_stu, radio_block.tx_power, 132);
PONTIQ_AT(ap_info_stu, radio_block.tx_power_min, 133);
PONTIQ_AT(ap_info_stu, radio_block.tx_power_max, 134);
PONTIQ_AT(ap_info_stu, radio_block.ssid_rf_type, 146);
PONTIQ_AT(ap_info_stu, radio_block.security, 147);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid_id, 147);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid_hide, 148);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid_mac, 149);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid, 155);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid_len, 187);
PONTIQ_AT(ap_info_stu, radio_block.security.secure_mode, 188);
PONTIQ_AT(ap_info_stu, radio_block.security.wpapsk_auth_type, 189);
PONTIQ_AT(ap_info_stu, radio_block.security.wpapsk_key_value, 190);
PONTIQ_AT(ap_info_stu, radio_block.security.wpapsk_key_value_len, 254);
PONTIQ_AT(ap_info_stu, radio_block.security.wpapsk_key_time, 255);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_auth_type, 259);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key_index, 260);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[0].type, 261);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[0].value, 262);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[0].len, 288);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[1].type, 289);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[2].type, 317);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[3].type, 345);
PONTIQ_AT(ap_info_stu, radio_block.security.wep_key[3].len, 372);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_radius_ip, 374);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_radius_port, 378);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_auth_type, 380);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_key, 381);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_key_len, 445);
PONTIQ_AT(ap_info_stu, radio_block.security.wpa_key_time, 446);
PONTIQ_AT(ap_info_stu, radio_block.security.ssid_count, 450);
PONTIQ_AT(ap_info_stu, bridge_work_mode, 452);
PONTIQ_AT(ap_info_stu, bridge_mac, 453);
PONTIQ_AT(ap_info_stu, bridge_channel, 459);
PONTIQ_AT(ap_info_stu, bridge_ssid, 460);
PONTIQ_AT(ap_info_stu, bridge_ssid_len, 492);
PONTIQ_AT(ap_info_stu, vlan_block, 756);
PONTIQ_AT(ap_info_stu, vlan_block.vlan_en, 756);
PONTIQ_AT(ap_info_stu, vlan_block.vlan_id, 758);
PONTIQ_AT(ap_info_stu, vlan_block.vlan_id_wlan, 760);
PONTIQ_AT(ap_info_stu, vlan_block.vlan_id_lan, 762);
PONTIQ_AT(ap_info_stu, vlan_block.apply, 764);
PONTIQ_AT(ap_info_stu, extension_block, 766);
PONTIQ_AT(ap_info_stu, extension_block.bridge_transparent, 766);
PONTIQ_AT(ap_info_stu, extension_block.tdmaEn, 767);
PONTIQ_AT(ap_info_stu, extension_block.vlan_pvid, 768);
PONTIQ_AT(ap_info_stu, extension_block.vlan_id_lan3, 770);
PONTIQ_AT(ap_info_stu, extension_block.vlan_id_lan4, 772);
PONTIQ_AT(ap_info_stu, extension_block.wl_dfs, 778);
PONTIQ_AT(ap_info_stu, extension_block.trunk_port, 779);
PONTIQ_AT(ap_info_stu, extension_block.vlan_id_lan2, 780);
static_assert(kRecordPrefix + kRecordBody == sizeof(ap_info_stu));

static_assert(sizeof(config_otherwl_basic) == kSurveyEntrySize);
PONTIQ_AT(config_otherwl_basic, mac, 0);
PONTIQ_AT(config_otherwl_basic, signal, 6);
PONTIQ_AT(config_otherwl_basic, channel, 7);
PONTIQ_AT(config_otherwl_basic, secure_mode, 8);
PONTIQ_AT(config_otherwl_basic, ssid, 9);
PONTIQ_AT(config_otherwl_basic, ssid_len, 41);
PONTIQ_AT(config_otherwl_basic, exchannel, 42);
PONTIQ_AT(config_otherwl_basic, bandwidth, 43);

#undef PONTIQ_AT

}  // namespace pontiq
