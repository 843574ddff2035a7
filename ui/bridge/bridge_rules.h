// Rules of the bridge page and the bridge wizard that need no window: the access-point grid's
// pictures, texts and sort keys, the survey watch, the security page's lists and preselection,
// the input checks of the security and IP pages and the MSG_SET_BRIDGE payload.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "comm/protocol.h"
#include "store/ap_info.h"
#include "ui/config/wireless_rules.h"

namespace pontiq::bridge {

// ---- Access-point search ---------------------------------------------------------------------

enum ApColumn : int {
    kApColSelect = 0,
    kApColSsid,
    kApColChannel,
    kApColMac,
    kApColSecure,
    kApColSignal,
    kApColumnCount
};

// Index into the six signal pictures: 1 up to -75, 3 up to -60, 5 above. 0, 2 and 4 are unused.
int SignalPicture(int signal);
// Security text of a surveyed access point's secure_mode (not translated).
std::string_view ApSecurityText(uint32_t secureMode);
// ListScanResults key of a grid column: 1 SSID, 2 channel, 0 MAC, 3 security, 4 signal; SSID
// for any other column.
int ScanSortKey(int column);

// The survey page's one-second watch: it ends at 30 ticks or as soon as the survey is complete.
// Devices of type code 33 are asked again on every tick until then.
class SurveyWatch {
public:
    static constexpr int kLimitTicks = 30;
    static constexpr uint32_t kRepeatTypeCode = 33;

    enum class Step { Wait, AskAgain, Finish };

    void Start() { ticks_ = 0, running_ = true; }
    void Stop() { running_ = false; }
    Step Tick(bool surveyComplete, uint32_t typeCode);
    int Ticks() const { return ticks_; }
    bool Running() const { return running_; }

private:
    int ticks_ = 0;
    bool running_ = false;
};

// ---- Security page ---------------------------------------------------------------------------

// The security modes and ciphers of the wireless page; the bridge offers the first five modes.
inline constexpr int kModeNone = wireless::kSecureNone;
inline constexpr int kModeWep = wireless::kSecureWep;
inline constexpr int kModeWpaPsk = wireless::kSecureWpaPsk;
inline constexpr int kModeWpa2Psk = wireless::kSecureWpa2Psk;
inline constexpr int kModeMixed = wireless::kSecureMixedPsk;
inline constexpr int kCipherAes = wireless::kCipherAes;
inline constexpr int kCipherTkip = wireless::kCipherTkip;
inline constexpr int kCipherTkipAes = wireless::kCipherTkipAes;

// A list entry: the built-in English text and the item data.
struct ListEntry {
    std::string_view text;
    int data = 0;
    bool operator==(const ListEntry&) const = default;
};

// "None", ["WEP",] "WPA-PSK", "WPA2-PSK", "Mixed WPA/WPA2-PSK".
std::vector<ListEntry> SecureModeEntries(uint32_t typeCode);
bool OffersWep(uint32_t typeCode);

struct SecurityChoice {
    int mode = kModeNone;
    int cipher = kCipherAes;
    bool operator==(const SecurityChoice&) const = default;
};
// The mode and cipher preselected for an access point's secure_mode. An access point secured
// with WEP on a device whose list has no "WEP" gets "None": the page cannot show a mode it has
// no entry for.
SecurityChoice PreselectSecurity(uint32_t apSecureMode, uint32_t typeCode);

// The bandwidth list is the wireless page's (wireless::BandwidthItems); it only shapes the
// channel list and is not part of the block. The bandwidth list and its label are shown only for these type
// codes.
bool ShowsBandwidth(uint32_t typeCode);

// The wireless page's channel list for the device's country, band, the bandwidth and the type
// code (wireless::ChannelList), before this page's filter. `testCountry`: the country is "Test".
std::vector<int> WirelessChannelList(const ap_info_stu& record, int bandwidth, bool& testCountry);
// The bridge page's own filter over the wireless page's channel list.
std::vector<int> FilterBridgeChannels(std::span<const int> channels, bool testCountry, uint32_t typeCode,
                                      uint8_t wlDfs);

// Which controls a security mode shows.
struct ModeFields {
    bool psk = false;             // key edit, its label, "Encryption_Type" and the three radios
    bool tkipAesEnabled = false;  // the TKIP-and-AES radio
    bool wep = false;             // the WEP sub-page
};
ModeFields FieldsOfMode(int mode);
// The cipher after a mode change: WPA-PSK has no TKIP and AES, so that radio gives way to AES.
int CipherForMode(int mode, int cipher);

inline constexpr int kWepAscii = wireless::kWepAscii;
inline constexpr int kWepHex = wireless::kWepHex;

struct WepKeyInput {
    std::u16string text;  // as typed
    int type = kWepAscii;
};

// What the security page holds when it is checked. Window texts are UTF-16; the bytes that go
// into the block are the same texts in the local 8-bit encoding.
struct SecurityInput {
    uint32_t typeCode = 0;
    std::array<uint8_t, 6> apMac{};
    int channel = 0;
    std::u16string ssid;
    std::string ssidLocal;
    int mode = kModeNone;
    int cipher = kCipherAes;
    std::u16string key;
    std::string keyLocal;
    std::u16string keyTime = u"0";
    int wepAuth = 0;        // 0 Open, 1 Share
    int wepDefaultKey = 0;  // 0..3
    std::array<WepKeyInput, 4> wepKeys{};
    std::array<std::string, 4> wepKeysLocal{};
};

// Which field a refusal is about.
enum class SecurityField { None, Ssid, WepKey, WepDefaultKey, Key };

struct SecurityVerdict {
    const char* message = nullptr;  // built-in English text; nullptr: accepted
    SecurityField field = SecurityField::None;
    int wepKey = -1;                  // the WEP key concerned (0..3)
    bool applicationCaption = false;  // the WEP sub-page's messages carry the application's name
    bool ok() const { return message == nullptr; }
};

// The checks in their order; the first failure.
SecurityVerdict CheckSecurity(const SecurityInput& input);
// The 304-byte block of the checked input.
BRIDGE_SECURITY_BLOCK BuildSecurityBlock(const SecurityInput& input);

// ---- IP page ---------------------------------------------------------------------------------

struct IpInput {
    std::string ip;  // "a.b.c.d", or empty
    std::string mask;
    std::string gateway;
    std::string dns1;
    std::string dns2;
};

// currentIp: the device's IP as the page was filled; storedIps: every stored device's IP.
const char* CheckIpPage(const IpInput& input, std::string_view currentIp,
                        std::span<const std::string> storedIps);
IP_BLOCK BuildIpBlock(const IpInput& input);

// ---- Payload ---------------------------------------------------------------------------------

// Byte 326 has no input in the wizard; it is sent as zero, like byte 327.
inline constexpr uint8_t kPayloadByte326 = 0;

// The 328-byte MSG_SET_BRIDGE payload with the SSID in local text; the engine's SetBridge turns a
// Chinese SSID into UTF-8 on the way out.
BRIDGE_PAYLOAD BuildBridgePayload(const BRIDGE_SECURITY_BLOCK& security, const IP_BLOCK& ip);

}  // namespace pontiq::bridge
