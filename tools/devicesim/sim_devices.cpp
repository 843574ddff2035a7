#include "tools/devicesim/sim_devices.h"

#include <algorithm>
#include <cstdio>
#include <random>

#include "store/value_format.h"

namespace pontiq::sim {

namespace {

// One generator per device, so that changing the count keeps the first devices as they were.
std::mt19937_64 DeviceRng(uint64_t seed, size_t index, uint64_t salt)
{
    std::seed_seq seq{static_cast<uint32_t>(seed), static_cast<uint32_t>(seed >> 32),
                      static_cast<uint32_t>(index), static_cast<uint32_t>(salt)};
    return std::mt19937_64(seq);
}

int Pick(std::mt19937_64& rng, int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(rng);
}

template <typename T, size_t N>
const T& PickOf(std::mt19937_64& rng, const T (&items)[N])
{
    return items[static_cast<size_t>(Pick(rng, 0, static_cast<int>(N) - 1))];
}

std::string Format(const char* pattern, long long value)
{
    char buffer[96];
    std::snprintf(buffer, sizeof(buffer), pattern, value);
    return buffer;
}

template <size_t N>
uint8_t PutText(char (&field)[N], std::string_view text)
{
    return SetFieldText(field, CutBytes(text, N));
}

void PutIp(uint8_t (&field)[4], const Ipv4Address& ip)
{
    std::copy(ip.begin(), ip.end(), field);
}

MacAddress AddToMac(const MacAddress& base, uint32_t n)
{
    MacAddress mac = base;
    uint64_t v = 0;
    for (uint8_t b : mac) v = v << 8 | b;
    v += n;
    for (int i = 5; i >= 0; --i) {
        mac[static_cast<size_t>(i)] = static_cast<uint8_t>(v);
        v >>= 8;
    }
    return mac;
}

// Device names as installers type them: plain, Chinese, Chinese or emoji too long for the
// 32-byte field (the device cuts them inside a character), exactly 32 bytes, two-byte letters.
std::string DeviceName(size_t index, std::mt19937_64& rng)
{
    const long long n = static_cast<long long>(index) + 1;
    switch (index % 7) {
        case 0:
            return Format("CPE-%04lld", n);
        case 1:
            return Format("楼顶基站%lld号", n);
        case 2:
            return "东区三号楼顶无线网桥设备编号" + std::to_string(n);  // 42+ bytes of 3-byte characters
        case 3:
            return Format("AP-东门-%lld", n);
        case 4:
            return Format("Outdoor-Link-%019lld", n);  // 32 bytes
        case 5:
            return Format("Café Bridge %lld", n);
        default:
            return "A🌐🌐🌐🌐🌐🌐🌐🌐" + std::to_string(Pick(rng, 0, 9));  // cut inside the 8th emoji
    }
}

std::string Ssid(size_t index, std::mt19937_64& rng)
{
    const long long n = static_cast<long long>(index) + 1;
    switch (Pick(rng, 0, 4)) {
        case 0:
            return Format("Net-%03lld", n % 1000);
        case 1:
            return Format("无线网络-%lld", n % 100);
        case 2:
            return "西山风电场无线回传主干链路一二三";  // 48 bytes, cut inside a character
        case 3:
            return "5G-Backhaul";
        default:
            return Format("WISP_%lld_uplink", n % 50);
    }
}

constexpr uint8_t kChannels24[] = {0, 1, 6, 11, 13};
constexpr uint8_t kChannels5[] = {0, 36, 40, 44, 48, 149, 153, 157, 161, 165};

void FillRecord(ap_info_stu& r, const DeviceSpec& d, uint16_t type, const SimOptions& o, size_t index,
                std::mt19937_64& rng)
{
    std::memset(&r, 0, sizeof(r));
    SetCText(r.mac, MacText(d.mac));
    r.ap_type = type;
    r.work_mode = static_cast<uint8_t>(Pick(rng, 1, 7));
    r.mode_btn_status = static_cast<uint8_t>(Pick(rng, 0, 2));
    r.unread26[0] = 0xA5;  // carried bytes the PC never reads
    r.up_time = d.upTimeAtStart;

    const Ipv4Address mask = MaskOf(o.prefixLen);
    const uint32_t network = IpToHost(o.firstIp) & IpToHost(mask);
    const Ipv4Address gateway = o.gateway == Ipv4Address{} ? HostToIp(network + 1) : o.gateway;
    r.ip_block.ip_mode = static_cast<uint8_t>(Pick(rng, 0, 9) == 0 ? 0 : 1);
    PutIp(r.ip_block.ip, d.ip);
    PutIp(r.ip_block.ip_mask, mask);
    PutIp(r.ip_block.ip_gateway, gateway);
    PutIp(r.ip_block.ip_dns1, gateway);
    if (Pick(rng, 0, 1) == 1) PutIp(r.ip_block.ip_dns2, HostToIp(network + 2));

    r.ap_name_len = PutText(r.ap_name, DeviceName(index, rng));
    r.version_len =
        PutText(r.version, Format("V2.%lld", Pick(rng, 0, 9)) + "." + std::to_string(Pick(rng, 0, 30)) +
                               " build 2024" + Format("%02lld", Pick(rng, 1, 12)) +
                               Format("%02lld", Pick(rng, 1, 28)));

    r.reboot_block.restart_en = static_cast<uint8_t>(Pick(rng, 0, 1));
    r.reboot_block.restart_type = static_cast<uint8_t>(Pick(rng, 1, 127));
    r.reboot_block.restart_time = static_cast<uint16_t>(Pick(rng, 0, 1439));

    RADIO_BLOCK& radio = r.radio_block;
    radio.rf_count = 1;
    radio.rf_en = 1;
    radio.rf_type = static_cast<uint8_t>(Pick(rng, 0, 1));
    radio.country_code = static_cast<uint8_t>(Pick(rng, 0, 5));
    radio.network_mode = static_cast<uint8_t>(Pick(rng, 0, 4));
    radio.bandwidth = static_cast<uint8_t>(Pick(rng, 0, 3));
    radio.channel = radio.rf_type == 0 ? PickOf(rng, kChannels24) : PickOf(rng, kChannels5);
    radio.expand_channel = static_cast<uint8_t>(Pick(rng, 0, 2));
    radio.tx_power_min = 1;
    radio.tx_power_max = static_cast<uint8_t>(Pick(rng, 20, 30));
    radio.tx_power = static_cast<uint8_t>(Pick(rng, radio.tx_power_min, radio.tx_power_max));
    radio.unread11[3] = 0x5A;
    radio.ssid_rf_type = radio.rf_type;
    radio.unread327 = 0x3C;

    SECURITY_BLOCK& s = radio.security;
    s.ssid_id = 0;
    s.ssid_hide = static_cast<uint8_t>(Pick(rng, 0, 4) == 0 ? 1 : 0);
    // The wireless MAC differs from the wired one in a locally administered bit.
    const MacAddress wireless = {
        static_cast<uint8_t>(d.mac[0] ^ 0x04), d.mac[1], d.mac[2], d.mac[3], d.mac[4], d.mac[5]};
    std::copy(wireless.begin(), wireless.end(), s.ssid_mac);
    s.ssid_len = PutText(s.ssid, Ssid(index, rng));
    s.secure_mode = static_cast<uint8_t>(Pick(rng, 0, 6));
    s.wpapsk_auth_type = static_cast<uint8_t>(Pick(rng, 0, 2));
    if (s.secure_mode >= 2) {
        s.wpapsk_key_value_len =
            PutText(s.wpapsk_key_value, Format("key-%08llx-outdoor", Pick(rng, 0, 1 << 30)));
        s.wpapsk_key_time = static_cast<uint32_t>(Pick(rng, 0, 1) == 0 ? 3600 : 86400 + index);
    }
    s.wep_auth_type = static_cast<uint8_t>(Pick(rng, 0, 1));
    s.wep_key_index = static_cast<uint8_t>(Pick(rng, 0, 3));
    static const char* const kWepKeys[] = {"abcde", "0123456789", "qwertyuiopasd",
                                           "0123456789abcdef0123456789"};
    for (size_t k = 0; k < 4; ++k) {
        WEP_KEY& key = s.wep_key[k];
        key.type = static_cast<uint8_t>(k % 2);
        if (s.secure_mode == 1 || k == s.wep_key_index) key.len = PutText(key.value, kWepKeys[k]);
    }
    s.unread226 = 0x77;
    PutIp(s.wpa_radius_ip, HostToIp(network + 3));
    s.wpa_radius_port = 1812;
    s.wpa_auth_type = static_cast<uint8_t>(Pick(rng, 0, 2));
    if (s.secure_mode >= 5)
        s.wpa_key_len = PutText(s.wpa_key, "radius-shared-secret-" + std::to_string(index));
    s.wpa_key_time = 7200;
    s.ssid_count = 1;

    r.unread493[0] = 0xEE;
    r.unread493[262] = 0x11;

    VLAN_BLOCK& v = r.vlan_block;
    v.vlan_en = static_cast<uint8_t>(Pick(rng, 0, 1));
    v.vlan_id = static_cast<uint16_t>(Pick(rng, 1, 4094));
    v.vlan_id_wlan = static_cast<uint16_t>(Pick(rng, 1, 4094));
    v.vlan_id_lan = static_cast<uint16_t>(Pick(rng, 1, 4094));

    EXTENSION_BLOCK& e = r.extension_block;
    e.bridge_transparent = static_cast<uint8_t>(Pick(rng, 0, 1));
    e.tdmaEn = static_cast<uint8_t>(Pick(rng, 0, 1));
    e.vlan_pvid = static_cast<uint16_t>(Pick(rng, 1, 4094));
    e.vlan_id_lan3 = static_cast<uint16_t>(Pick(rng, 1, 4094));
    e.vlan_id_lan4 = static_cast<uint16_t>(Pick(rng, 1, 4094));
    e.wl_dfs = static_cast<uint8_t>(Pick(rng, 0, 1));
    e.trunk_port = static_cast<uint8_t>(Pick(rng, 0, 4));
    e.vlan_id_lan2 = static_cast<uint16_t>(Pick(rng, 1, 4094));
    r.unread782[1] = 0x99;
}

}  // namespace

std::string CutBytes(std::string_view text, size_t limit)
{
    return std::string(text.substr(0, std::min(limit, text.size())));
}

std::vector<DeviceSpec> MakeDevices(const SimOptions& o)
{
    std::vector<uint16_t> types = o.types;
    if (types.empty()) {
        for (uint32_t code : ModelCodes()) types.push_back(static_cast<uint16_t>(code));
    }
    std::vector<DeviceSpec> devices(static_cast<size_t>(o.count));
    const uint32_t first = IpToHost(o.firstIp);
    for (size_t i = 0; i < devices.size(); ++i) {
        DeviceSpec& d = devices[i];
        std::mt19937_64 rng = DeviceRng(o.seed, i, 1);
        d.mac = AddToMac(o.macBase, static_cast<uint32_t>(i + 1));
        d.ip = HostToIp(first + static_cast<uint32_t>(i));
        d.shortForm = Pick(rng, 0, 99) < o.shortFormPercent;
        d.upTimeAtStart = static_cast<uint32_t>(Pick(rng, 0, 40 * 86400));
        const uint16_t type = types[static_cast<size_t>(Pick(rng, 0, static_cast<int>(types.size()) - 1))];
        if (o.conflict && i + 1 == devices.size()) d.ip = devices[0].ip;
        FillRecord(d.record, d, type, o, i, rng);
        d.silent = static_cast<int>(devices.size() - i) <= o.silentCount ||
                   std::find(o.silentMacs.begin(), o.silentMacs.end(), d.mac) != o.silentMacs.end();
    }
    if (o.bridgedPair) {
        ap_info_stu& ap = devices[0].record;
        ap_info_stu& station = devices[1].record;
        ap.work_mode = 1;
        station.work_mode = 2;
        station.bridge_work_mode = 2;
        std::copy(std::begin(ap.radio_block.security.ssid_mac), std::end(ap.radio_block.security.ssid_mac),
                  station.bridge_mac);
        station.bridge_channel = ap.radio_block.channel;
        station.bridge_ssid_len = SetFieldText(
            station.bridge_ssid, FieldText(ap.radio_block.security.ssid, ap.radio_block.security.ssid_len));
        station.radio_block.channel = ap.radio_block.channel;
        station.radio_block.rf_type = ap.radio_block.rf_type;
    }
    return devices;
}

std::vector<config_otherwl_basic> MakeSurvey(const SimOptions& o, size_t index, const ap_info_stu* bridgeAp)
{
    std::mt19937_64 rng = DeviceRng(o.seed, index, 2);
    std::vector<config_otherwl_basic> aps(static_cast<size_t>(o.surveyAps));
    for (size_t k = 0; k < aps.size(); ++k) {
        config_otherwl_basic& ap = aps[k];
        std::memset(&ap, 0, sizeof(ap));
        const MacAddress mac =
            AddToMac({0x0e, 0x5a, static_cast<uint8_t>(index >> 8), static_cast<uint8_t>(index), 0x00, 0x00},
                     static_cast<uint32_t>(k + 1));
        std::copy(mac.begin(), mac.end(), ap.mac);
        ap.signal = static_cast<int8_t>(Pick(rng, -92, -35));
        const bool five = Pick(rng, 0, 1) == 1;
        ap.channel = five ? PickOf(rng, kChannels5) : PickOf(rng, kChannels24);
        if (ap.channel == 0) ap.channel = five ? 36 : 1;
        ap.secure_mode = static_cast<uint8_t>(Pick(rng, 0, 10));
        ap.ssid_len = PutText(ap.ssid, Ssid(index * 131 + k, rng));
        ap.exchannel = static_cast<uint8_t>(Pick(rng, 0, 2));
        ap.bandwidth = static_cast<uint8_t>(Pick(rng, 0, 3));
    }
    // A bridged station sees its own access point, strongest, first.
    if (bridgeAp != nullptr && !aps.empty()) {
        const ap_info_stu& ap = *bridgeAp;
        config_otherwl_basic& e = aps[0];
        std::copy(std::begin(ap.radio_block.security.ssid_mac), std::end(ap.radio_block.security.ssid_mac),
                  e.mac);
        e.signal = -41;
        e.channel = ap.radio_block.channel;
        e.secure_mode = ap.radio_block.security.secure_mode;
        e.ssid_len =
            SetFieldText(e.ssid, FieldText(ap.radio_block.security.ssid, ap.radio_block.security.ssid_len));
    }
    return aps;
}

}  // namespace pontiq::sim
