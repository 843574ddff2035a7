#include "cli/device_fields.h"

#include <algorithm>
#include <cstdio>
#include <span>

#include "store/value_format.h"

namespace pontiq::cli {

namespace {

// A fixed text field up to its length byte and, inside that, up to a NUL a device may have
// counted in (as the list pages read it).
template <size_t N>
std::string Text(const char (&field)[N], uint8_t len, const ToUtf8& toUtf8)
{
    const std::string_view text = FieldText(field, len);
    return toUtf8(text.substr(0, std::min(text.size(), text.find('\0'))));
}

std::string Ip(const uint8_t (&ip)[4])
{
    return IpText(std::span<const uint8_t, 4>(ip));
}

std::string Mac6(const uint8_t (&mac)[6])
{
    return MacText(std::span<const uint8_t, 6>(mac));
}

Field Num(std::string key, uint64_t value)
{
    return {std::move(key), std::to_string(value), true};
}

Field Str(std::string key, std::string value)
{
    return {std::move(key), std::move(value), false};
}

std::string Status(const ap_info_stu& r)
{
    return r.ap_status == STATUS_DISCOVERED_ONLY ? std::string("Discovered") : StatusText(r.ap_status);
}

}  // namespace

Record DeviceRecord(const ap_info_stu& r, FieldSet set, const ToUtf8& toUtf8)
{
    const std::string mac(CText(r.mac));
    const SECURITY_BLOCK& s = r.radio_block.security;
    const EXTENSION_BLOCK& x = r.extension_block;
    switch (set) {
        case FieldSet::Summary:
            return {Str("mac", mac),
                    Str("ip", Ip(r.ip_block.ip)),
                    Str("name", Text(r.ap_name, r.ap_name_len, toUtf8)),
                    Str("model", ModelName(r.ap_type)),
                    Str("version", Text(r.version, r.version_len, toUtf8)),
                    Str("status", Status(r))};
        case FieldSet::Columns:
            return {Str("name", Text(r.ap_name, r.ap_name_len, toUtf8)),
                    Str("model", ModelName(r.ap_type)),
                    Str("ip", Ip(r.ip_block.ip)),
                    Str("mac", mac),
                    Str("work_mode", WorkModeText(r.work_mode)),
                    Str("ssid", Text(s.ssid, s.ssid_len, toUtf8)),
                    Str("channel", ChannelText(r.radio_block.channel)),
                    Str("security", SecurityText(s.secure_mode)),
                    Num("tx_power", r.radio_block.tx_power),
                    Str("version", Text(r.version, r.version_len, toUtf8)),
                    Str("transparent_bridge",
                        TransparentBridgeText(r.ap_type, r.work_mode, x.bridge_transparent)),
                    Str("kelvra", KelvraText(r.ap_type, x.tdmaEn)),
                    Str("uptime", UptimeText(r.up_time)),
                    Str("status", Status(r))};
        case FieldSet::Full:
        default:
            break;
    }
    char rebootTime[8];
    std::snprintf(rebootTime, sizeof(rebootTime), "%02u:%02u", r.reboot_block.restart_time / 60U % 100U,
                  r.reboot_block.restart_time % 60U);
    Record f = {
        Str("mac", mac),
        Num("type_code", r.ap_type),
        Str("model", ModelName(r.ap_type)),
        Num("status_code", r.ap_status),
        Str("status", Status(r)),
        Num("work_mode_code", r.work_mode),
        Str("work_mode", WorkModeText(r.work_mode)),
        Num("mode_button", r.mode_btn_status),
        Num("up_time_seconds", r.up_time),
        Str("uptime", UptimeText(r.up_time)),
        Num("ip_mode", r.ip_block.ip_mode),
        Str("ip", Ip(r.ip_block.ip)),
        Str("mask", Ip(r.ip_block.ip_mask)),
        Str("gateway", Ip(r.ip_block.ip_gateway)),
        Str("dns1", Ip(r.ip_block.ip_dns1)),
        Str("dns2", Ip(r.ip_block.ip_dns2)),
        Str("name", Text(r.ap_name, r.ap_name_len, toUtf8)),
        Str("version", Text(r.version, r.version_len, toUtf8)),
        Num("reboot_enabled", r.reboot_block.restart_en),
        Num("reboot_days", r.reboot_block.restart_type),
        Str("reboot_time", rebootTime),
        Num("rf_count", r.radio_block.rf_count),
        Num("rf_enabled", r.radio_block.rf_en),
        Num("rf_type", r.radio_block.rf_type),
        Num("country_code", r.radio_block.country_code),
        Num("network_mode", r.radio_block.network_mode),
        Num("bandwidth", r.radio_block.bandwidth),
        Str("channel", ChannelText(r.radio_block.channel)),
        Num("expand_channel", r.radio_block.expand_channel),
        Num("tx_power", r.radio_block.tx_power),
        Num("tx_power_min", r.radio_block.tx_power_min),
        Num("tx_power_max", r.radio_block.tx_power_max),
        Num("ssid_rf_type", r.radio_block.ssid_rf_type),
        Num("ssid_id", s.ssid_id),
        Num("ssid_hidden", s.ssid_hide),
        Str("ssid_mac", Mac6(s.ssid_mac)),
        Str("ssid", Text(s.ssid, s.ssid_len, toUtf8)),
        Num("security_code", s.secure_mode),
        Str("security", SecurityText(s.secure_mode)),
        Num("wpapsk_auth_type", s.wpapsk_auth_type),
        Str("wpapsk_key", Text(s.wpapsk_key_value, s.wpapsk_key_value_len, toUtf8)),
        Num("wpapsk_key_time", s.wpapsk_key_time),
        Num("wep_auth_type", s.wep_auth_type),
        Num("wep_key_index", s.wep_key_index),
    };
    for (size_t i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i + 1);
        f.push_back(Num("wep_key" + n + "_type", s.wep_key[i].type));
        f.push_back(Str("wep_key" + n, Text(s.wep_key[i].value, s.wep_key[i].len, toUtf8)));
    }
    const Record rest = {
        Str("radius_ip", Ip(s.wpa_radius_ip)),
        Num("radius_port", s.wpa_radius_port),
        Num("wpa_auth_type", s.wpa_auth_type),
        Str("wpa_key", Text(s.wpa_key, s.wpa_key_len, toUtf8)),
        Num("wpa_key_time", s.wpa_key_time),
        Num("ssid_count", s.ssid_count),
        Num("bridge_work_mode", r.bridge_work_mode),
        Str("bridge_mac", Mac6(r.bridge_mac)),
        Num("bridge_channel", r.bridge_channel),
        Str("bridge_ssid", Text(r.bridge_ssid, r.bridge_ssid_len, toUtf8)),
        Num("vlan_enabled", r.vlan_block.vlan_en),
        Num("vlan_id", r.vlan_block.vlan_id),
        Num("vlan_id_wlan", r.vlan_block.vlan_id_wlan),
        Num("vlan_id_lan", r.vlan_block.vlan_id_lan),
        Num("vlan_apply", r.vlan_block.apply),
        Num("transparent_bridge_code", x.bridge_transparent),
        Str("transparent_bridge", TransparentBridgeText(r.ap_type, r.work_mode, x.bridge_transparent)),
        Num("kelvra_code", x.tdmaEn),
        Str("kelvra", KelvraText(r.ap_type, x.tdmaEn)),
        Num("vlan_pvid", x.vlan_pvid),
        Num("vlan_id_lan2", x.vlan_id_lan2),
        Num("vlan_id_lan3", x.vlan_id_lan3),
        Num("vlan_id_lan4", x.vlan_id_lan4),
        Num("wl_dfs", x.wl_dfs),
        Num("trunk_port", x.trunk_port),
    };
    f.insert(f.end(), rest.begin(), rest.end());
    return f;
}

Record SurveyRecord(const config_otherwl_basic& ap, const ToUtf8& toUtf8)
{
    return {Str("mac", Mac6(ap.mac)),
            Str("ssid", Text(ap.ssid, ap.ssid_len, toUtf8)),
            Str("channel", ChannelText(ap.channel)),
            Str("security", SecurityText(ap.secure_mode)),
            {"signal", std::to_string(ap.signal), true},
            Num("bandwidth", ap.bandwidth),
            Num("extension_channel", ap.exchannel)};
}

}  // namespace pontiq::cli
