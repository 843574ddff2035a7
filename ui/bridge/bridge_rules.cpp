#include "ui/bridge/bridge_rules.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "store/value_format.h"

namespace pontiq::bridge {

namespace {

bool OneOf(uint32_t value, std::initializer_list<uint32_t> set)
{
    return std::find(set.begin(), set.end(), value) != set.end();
}

// Type codes with "WEP" in the security list; also the 5 GHz DFS list of the channel filter
// (without 22 and 281) and the 20/40/80 MHz bandwidth group.
constexpr std::initializer_list<uint32_t> kWepTypes = {14,  15,  18,  19,  20,  23,  24,  25,  272,
                                                       273, 274, 277, 278, 279, 280, 282, 283, 285};
constexpr std::initializer_list<uint32_t> kDfsTypes = {14,  15,  18,  19,  20,  22,  23,  24,  25,  272,
                                                       273, 274, 277, 278, 279, 280, 281, 282, 283, 285};
constexpr std::initializer_list<uint32_t> kTestNarrowTypes = {10, 11, 13, 268, 269, 270, 271, 284};

// Copies local text into a fixed field, cut to its width; returns the length written.
uint8_t PutText(char* field, size_t width, std::string_view text)
{
    const size_t n = std::min(width, text.size());
    std::memset(field, 0, width);
    std::memcpy(field, text.data(), n);
    return static_cast<uint8_t>(n);
}

}  // namespace

// ---- Access-point search ---------------------------------------------------------------------

int SignalPicture(int signal)
{
    if (signal <= -75) return 1;
    if (signal <= -60) return 3;
    return 5;
}

std::string_view ApSecurityText(uint32_t secureMode)
{
    static constexpr std::string_view kTexts[] = {"None",
                                                  "WEP",
                                                  "WPA-PSK/AES",
                                                  "WPA-PSK/TKIP",
                                                  "WPA2-PSK/AES",
                                                  "WPA2-PSK/TKIP",
                                                  "WPA2-PSK/TKIP&AES",
                                                  "WPA/WPA2-PSK/AES",
                                                  "WPA/WPA2-PSK/TKIP",
                                                  "WPA/WPA2-PSK/TKIP&AES"};
    if (secureMode < std::size(kTexts)) return kTexts[secureMode];
    return "WPA-PSK/TKIP&AES";
}

int ScanSortKey(int column)
{
    switch (column) {
        case kApColSsid:
            return 1;
        case kApColChannel:
            return 2;
        case kApColMac:
            return 0;
        case kApColSecure:
            return 3;
        case kApColSignal:
            return 4;
        default:
            return 1;
    }
}

SurveyWatch::Step SurveyWatch::Tick(bool surveyComplete, uint32_t typeCode)
{
    if (!running_) return Step::Wait;
    ++ticks_;
    if (ticks_ >= kLimitTicks || surveyComplete) {
        running_ = false;
        return Step::Finish;
    }
    return typeCode == kRepeatTypeCode ? Step::AskAgain : Step::Wait;
}

// ---- Security page ---------------------------------------------------------------------------

bool OffersWep(uint32_t typeCode)
{
    return OneOf(typeCode, kWepTypes);
}

std::vector<ListEntry> SecureModeEntries(uint32_t typeCode)
{
    std::vector<ListEntry> entries{{"None", kModeNone}};
    if (OffersWep(typeCode)) entries.push_back({"WEP", kModeWep});
    entries.push_back({"WPA-PSK", kModeWpaPsk});
    entries.push_back({"WPA2-PSK", kModeWpa2Psk});
    entries.push_back({"Mixed WPA/WPA2-PSK", kModeMixed});
    return entries;
}

SecurityChoice PreselectSecurity(uint32_t apSecureMode, uint32_t typeCode)
{
    switch (apSecureMode) {
        case 1:
            return OffersWep(typeCode) ? SecurityChoice{kModeWep, kCipherAes} : SecurityChoice{};
        case 2:
            return {kModeWpaPsk, kCipherAes};
        case 3:
            return {kModeWpaPsk, kCipherTkip};
        case 4:
            return {kModeWpa2Psk, kCipherAes};
        case 5:
            return {kModeWpa2Psk, kCipherTkip};
        case 6:
            return {kModeWpa2Psk, kCipherTkipAes};
        case 7:
            return {kModeMixed, kCipherAes};
        case 8:
            return {kModeMixed, kCipherTkip};
        case 9:
            return {kModeMixed, kCipherTkipAes};
        case 10:
            return {kModeWpaPsk, kCipherTkipAes};
        default:
            return {};
    }
}

bool ShowsBandwidth(uint32_t typeCode)
{
    return OneOf(typeCode, {10, 12, 13, 22, 271, 281, 284});
}

std::vector<int> WirelessChannelList(const ap_info_stu& record, int bandwidth, bool& testCountry)
{
    const std::optional<int> country = wireless::CountryIndexOfCode(record.radio_block.country_code);
    testCountry = country == wireless::kCountryTest;
    const std::vector<uint8_t> list = wireless::ChannelList(country, record.radio_block.rf_type,
                                                            static_cast<uint8_t>(bandwidth), record.ap_type);
    return std::vector<int>(list.begin(), list.end());
}

std::vector<int> FilterBridgeChannels(std::span<const int> channels, bool testCountry, uint32_t typeCode,
                                      uint8_t wlDfs)
{
    const bool dfsAllowed = OneOf(typeCode, kDfsTypes) && wlDfs == 1;
    std::vector<int> out;
    out.reserve(channels.size());
    for (int ch : channels) {
        if (!testCountry) {
            if (ch >= 52 && ch <= 64) continue;
            if (ch >= 100 && ch <= 144 && !dfsAllowed) continue;
        } else {
            if (OneOf(typeCode, kTestNarrowTypes) && (ch == 8 || ch == 179 || ch == 181 || ch == 188))
                continue;
            if (OneOf(typeCode, kDfsTypes) && (ch == 120 || ch == 124 || ch == 128)) continue;
        }
        out.push_back(ch);
    }
    return out;
}

ModeFields FieldsOfMode(int mode)
{
    switch (mode) {
        case kModeWep:
            return {false, false, true};
        case kModeWpaPsk:
            return {true, false, false};
        case kModeWpa2Psk:
        case kModeMixed:
            return {true, true, false};
        default:
            return {};
    }
}

int CipherForMode(int mode, int cipher)
{
    return mode == kModeWpaPsk && cipher == kCipherTkipAes ? kCipherAes : cipher;
}

namespace {

SecurityVerdict Refuse(const char* message, SecurityField field, int wepKey = -1, bool appCaption = false)
{
    return {message, field, wepKey, appCaption};
}

}  // namespace

SecurityVerdict CheckSecurity(const SecurityInput& in)
{
    // The wireless page's SSID check also refuses an SSID of blanks; this page has no such step.
    if (in.ssid.empty()) return Refuse(wireless::kMsgSsidEmpty, SecurityField::Ssid);
    if (UsesNameRuleA(in.typeCode)) {
        if (!IsNameTextA(in.ssid)) return Refuse(wireless::kMsgSsidRuleA, SecurityField::Ssid);
    } else if (!IsNameTextB(in.ssid)) {
        return Refuse(wireless::kMsgSsidRuleB, SecurityField::Ssid);
    }

    if (in.mode == kModeWep) {
        // Every key is checked as it is typed and sent: a blank counts as one of its characters.
        for (int k = 0; k < 4; ++k) {
            const WepKeyInput& key = in.wepKeys[static_cast<size_t>(k)];
            if (key.text.empty()) continue;
            const size_t n = key.text.size();
            if (key.type == kWepHex) {
                if ((n != 10 && n != 26) || !IsHexText(key.text)) {
                    return Refuse("WEP key is invalid! Please enter 10 or 26 HEX characters!",
                                  SecurityField::WepKey, k, true);
                }
            } else if ((n != 5 && n != 13) || !IsAsciiText(key.text)) {
                return Refuse("WEP key is invalid! Please enter 5 or 13 ASCII characters!",
                              SecurityField::WepKey, k, true);
            }
        }
        static constexpr const char* kMissing[] = {"Please enter the WEP key1!", "Please enter the WEP key2!",
                                                   "Please enter the WEP key3!",
                                                   "Please enter the WEP key4!"};
        const int index = std::clamp(in.wepDefaultKey, 0, 3);
        if (in.wepKeys[static_cast<size_t>(index)].text.empty()) {
            return Refuse(kMissing[index], SecurityField::WepDefaultKey, index, true);
        }
        return {};
    }

    if (in.mode == kModeWpaPsk || in.mode == kModeWpa2Psk || in.mode == kModeMixed) {
        // The wireless page's key rule without its 8~63 variant for type code 33, which this page
        // does not have: any other type code gives the common rule.
        constexpr uint32_t kCommonRule = 0;
        if (const char* message = wireless::CheckPskKey(kCommonRule, in.key)) {
            return Refuse(message, SecurityField::Key);
        }
    }
    return {};
}

BRIDGE_SECURITY_BLOCK BuildSecurityBlock(const SecurityInput& in)
{
    BRIDGE_SECURITY_BLOCK b{};
    b.work_mode = 2;
    std::memcpy(b.ap_mac, in.apMac.data(), sizeof b.ap_mac);
    b.channel = static_cast<uint8_t>(in.channel);
    b.ssid_len = PutText(b.ssid, sizeof b.ssid, in.ssidLocal);
    b.secure_mode = static_cast<uint8_t>(in.mode);
    if (in.mode == kModeWpaPsk || in.mode == kModeWpa2Psk || in.mode == kModeMixed) {
        b.cipher = static_cast<uint8_t>(CipherForMode(in.mode, in.cipher));
        b.key_len = PutText(b.key, sizeof b.key, in.keyLocal);
        // The interval field is never shown and always holds "0"; read it all the same.
        uint32_t interval = 0;
        for (char16_t c : in.keyTime) {
            if (c < u'0' || c > u'9') break;
            interval = interval * 10 + static_cast<uint32_t>(c - u'0');
        }
        b.key_time = interval;
    } else if (in.mode == kModeWep) {
        b.wep_auth_type = static_cast<uint8_t>(in.wepAuth == 1 ? 1 : 0);
        b.wep_key_index = static_cast<uint8_t>(std::clamp(in.wepDefaultKey, 0, 3));
        for (size_t k = 0; k < 4; ++k) {
            WEP_KEY& key = b.wep_key[k];
            key.type = static_cast<uint8_t>(in.wepKeys[k].type == kWepHex ? 1 : 0);
            key.len = PutText(key.value, sizeof key.value, in.wepKeysLocal[k]);
        }
    }
    return b;
}

// ---- IP page ---------------------------------------------------------------------------------

const char* CheckIpPage(const IpInput& in, std::string_view currentIp, std::span<const std::string> storedIps)
{
    if (!IsValidIp(in.ip, false)) return "The ip address is invalid!";
    if (!IsValidMask(in.mask)) return "The subnet mask is invalid!";
    if (!IsValidIp(in.gateway, true)) return "The gateway address is invalid!";
    if (in.ip == in.gateway) return "The ip address and gateway address cannot be the same!";
    if (!in.gateway.empty() && in.gateway != "0.0.0.0") {
        const auto gw = IpToBytes(in.gateway);
        const auto ip = IpToBytes(in.ip);
        const auto mask = IpToBytes(in.mask);
        if (!InSameSubnet(gw, ip, mask)) return "Ip address and gateway address is not in the same subnet!";
    }
    if (!IsValidIp(in.dns1, true)) return "The primary DNS Server is invalid!";
    if (!AreDnsDifferent(in.dns1, in.dns2)) {
        return "The primary DNS server cannot be the same as the secondary DNS server!";
    }
    const std::string_view current = currentIp.empty() ? std::string_view("0.0.0.0") : currentIp;
    if (in.ip != current &&
        std::any_of(storedIps.begin(), storedIps.end(), [&](const std::string& s) { return s == in.ip; })) {
        return "The ip address is already in use, please respecify!";
    }
    return nullptr;
}

IP_BLOCK BuildIpBlock(const IpInput& in)
{
    IP_BLOCK b{};
    b.ip_mode = 1;
    const auto put = [](uint8_t* to, const std::string& text) {
        const auto bytes = IpToBytes(text);
        std::memcpy(to, bytes.data(), 4);
    };
    put(b.ip, in.ip);
    put(b.ip_mask, in.mask);
    put(b.ip_gateway, in.gateway);
    put(b.ip_dns1, in.dns1);
    put(b.ip_dns2, in.dns2);
    b.apply = 0;
    return b;
}

// ---- Payload ---------------------------------------------------------------------------------

BRIDGE_PAYLOAD BuildBridgePayload(const BRIDGE_SECURITY_BLOCK& security, const IP_BLOCK& ip)
{
    BRIDGE_PAYLOAD p{};
    p.security = security;
    p.ip_block = ip;
    p.reserved326 = kPayloadByte326;
    p.reserved327 = 0;
    return p;
}

}  // namespace pontiq::bridge
