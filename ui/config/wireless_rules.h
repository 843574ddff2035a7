// Rules of the wireless settings: the country and channel tables, the value lists of the combos,
// the fields shown per security mode, the entry checks with their messages, and the building of
// the radio block and its extension. No window code here: the wireless page and the bridge
// wizard both call these.
//
// Texts the user typed are UTF-16, as window texts are. A check returns the message key of the
// first failure (the built-in English text, to be translated by the caller) or nullptr.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "store/ap_info.h"

namespace pontiq::wireless {

// ---- Message keys ----------------------------------------------------------------------------

inline constexpr char kMsgSsidEmpty[] = "The ssid can not be empty!";
inline constexpr char kMsgSsidBlank[] = "Please enter 1 to 32 byte ASCII charaters or chinese characters!";
inline constexpr char kMsgSsidRuleA[] =
    "SSID maximum allowed 32 bytes, only support combination of Chinese, lowercase letters, 0-9 numbers";
inline constexpr char kMsgSsidRuleB[] =
    "SSID maximum allowed 32 bytes, only support combination of Chinese, ASCII characters";
inline constexpr char kMsgPowerRange[] = "Power value range:%d-%d";  // min, max
inline constexpr char kMsgWepKeyEmpty[4][32] = {"Please enter the WEP key1!", "Please enter the WEP key2!",
                                                "Please enter the WEP key3!", "Please enter the WEP key4!"};
inline constexpr char kMsgWepHex[] = "WEP key is invalid! Please enter 10 or 26 HEX characters!";
inline constexpr char kMsgWepAsciiLength[] = "WEP key is invalid! Please enter 5 or 13 ASCII characters!";
inline constexpr char kMsgWepAsciiChars[] =
    "WEP key includes invalid characters (It should only include 0-9,a-z,A-Z,@,*,- and _.)!";
inline constexpr char kMsgPskKey63[] = "Please enter a key for 8~63 ASCII characters or 8~63 HEX characters!";
inline constexpr char kMsgPskKey64[] = "Please enter a key for 8~63 ASCII characters or 8~64 HEX characters!";
inline constexpr char kMsgKeyIntervalEmpty[] = "The key update interval should not be empty!";
inline constexpr char kMsgKeyIntervalRange[] = "The key update interval range: 60~99999 or 0!";
inline constexpr char kMsgRadiusKey[] = "Please enter a key for 1~64 ASCII characters!";
inline constexpr char kMsgRadiusServer[] = "Please enter a valid RADIUS Server address!";
inline constexpr char kMsgRadiusPort[] = "Please specify a valid RADIUS Port!";

// ---- Countries and channels --------------------------------------------------------------------

struct Country {
    const char* code;  // up to 7 characters
    const char* name;  // the built-in English name, key of its translation
    std::span<const uint8_t> list24;
    std::span<const uint8_t> list5At20;
    std::span<const uint8_t> list5At40;
    std::span<const uint8_t> list5Other;
};

inline constexpr int kCountryCount = 42;
inline constexpr int kCountryCanada = 3;
inline constexpr int kCountryUnitedStates = 31;
inline constexpr int kCountryTest = 41;
inline constexpr size_t kCountryNameMax = 32;  // bytes of a translated name

// The 42 entries in combo order; the combo position is the index.
std::span<const Country> Countries();
// The code of a `country_code` slot; empty for the unfilled slots.
std::string_view CountryCodeSlot(unsigned slot);
// The country table index for a record's `country_code`; nullopt when no entry has its code.
std::optional<int> CountryIndexOfCode(unsigned countryCode);
// The `country_code` for a country table index: the first slot with its code, 0 when none.
uint8_t CountryCodeOfIndex(int countryIndex);
// The region group (0..3) of a country table index, for the 5 GHz lists of the region types.
int RegionGroup(int countryIndex);

// "band": rf_type 0 is 2.4 GHz, anything else 5 GHz.
inline bool Is24GHz(uint8_t rfType)
{
    return rfType == 0;
}

// The channel list for a country index (nullopt: no country selected), band, bandwidth value and
// type code, before the combo's filters; 0 stands for Auto.
std::vector<uint8_t> ChannelList(std::optional<int> country, uint8_t rfType, uint8_t bandwidth,
                                 uint32_t typeCode);
// The channels the combo offers: ChannelList without the channels the country, the type code and
// the DFS box leave out.
std::vector<uint8_t> ChannelChoices(std::optional<int> country, uint8_t rfType, uint8_t bandwidth,
                                    uint32_t typeCode, bool dfs);
// Type codes whose 5 GHz channels 100..144 may be used (with the DFS box ticked).
bool IsDfsType(uint32_t typeCode);

// Expand channel (2.4 GHz only).
struct ExpandChoice {
    uint8_t channel;  // shown as "%d"
    uint8_t value;    // 0: below the channel, 1: above
};
inline constexpr uint8_t kExpandNone = 2;
bool IsExpandChannelEnabled(uint8_t rfType, uint8_t networkMode, uint8_t bandwidth);
// The items for a channel of `channelList` (the combo's list); empty for Auto.
std::vector<ExpandChoice> ExpandChannelChoices(uint8_t channel, std::span<const uint8_t> channelList);
// The item to select: the only one, else the one of the record's value (the first when the
// record says none, or holds a value no item has); -1 when there are no items.
int ExpandChannelSelection(std::span<const ExpandChoice> choices, uint8_t recordValue);

// ---- Value lists -----------------------------------------------------------------------------

struct ValueItem {
    const char* text;  // key of the item's translation
    uint8_t value;     // written to the record
};

std::vector<ValueItem> NetworkModeItems(uint8_t rfType, uint32_t typeCode);
std::vector<ValueItem> BandwidthItems(uint8_t rfType, uint8_t networkMode, uint32_t typeCode);
std::vector<ValueItem> SecurityModeItems(uint32_t typeCode);
// Position of the item with `value`, or -1.
int FindItem(std::span<const ValueItem> items, uint8_t value);
// The position a combo shows for a record value: its item, else the fallback (-1 for none).
int NetworkModeSelection(std::span<const ValueItem> items, uint8_t value);  // fallback: third item
int BandwidthSelection(std::span<const ValueItem> items, uint8_t value);    // fallback: first item

// Sub-page lists (the value is the list position).
inline constexpr const char* kWepAuthItems[] = {"Open", "Share"};
inline constexpr const char* kWepDefaultKeyItems[] = {"Key 1", "Key 2", "Key 3", "Key 4"};
inline constexpr const char* kWepKeyTypeItems[] = {"ASCII", "Hex"};
inline constexpr const char* kWpaAuthItems[] = {"AES", "TKIP", "AES/TKIP"};

enum SecureMode : uint8_t {
    kSecureNone = 0,
    kSecureWep = 1,
    kSecureWpaPsk = 2,
    kSecureWpa2Psk = 3,
    kSecureMixedPsk = 4,
    kSecureWpa = 5,
    kSecureWpa2 = 6,
};
enum WepKeyType : uint8_t { kWepAscii = 0, kWepHex = 1 };
enum PskCipher : uint8_t { kCipherAes = 0, kCipherTkip = 1, kCipherTkipAes = 2 };

// ---- Fields shown per security mode ----------------------------------------------------------

struct SecurityFields {
    bool pskShown = false;  // the PSK labels, radios and edits
    bool keyEnabled = false;
    bool keyTimeEnabled = false;
    bool aesEnabled = false;
    bool tkipEnabled = false;
    bool tkipAesEnabled = false;
    bool wepShown = false;
    bool wpaShown = false;
};
SecurityFields FieldsForSecurityMode(uint8_t secureMode, uint32_t typeCode);
inline bool IsPskMode(uint8_t m)
{
    return m == kSecureWpaPsk || m == kSecureWpa2Psk || m == kSecureMixedPsk;
}
inline bool IsRadiusMode(uint8_t m)
{
    return m == kSecureWpa || m == kSecureWpa2;
}

// ---- Checks ------------------------------------------------------------------------------------

// The number of a text of decimal digits; nullopt for an empty text or any other character.
// Values beyond 32 bits saturate.
std::optional<uint32_t> ParseNumber(std::u16string_view text);

const char* CheckSsid(uint32_t typeCode, std::u16string_view ssid);
const char* CheckPower(std::u16string_view text, int minPower, int maxPower);
const char* CheckWepKey(uint8_t keyType, std::u16string_view key);
const char* CheckPskKey(uint32_t typeCode, std::u16string_view key);
const char* CheckKeyInterval(std::u16string_view text);
const char* CheckRadiusServer(const std::array<uint8_t, 4>& address);
const char* CheckRadiusPort(std::u16string_view text);
const char* CheckRadiusKey(std::u16string_view key);

// The entry the focus goes to after a refusal.
enum class Field {
    None,
    Ssid,
    Power,
    WepKey1,
    WepKey2,
    WepKey3,
    WepKey4,
    PskKey,
    PskKeyTime,
    RadiusServer,
    RadiusPort,
    RadiusKey,
    RadiusKeyTime,
};

struct CheckResult {
    const char* message = nullptr;  // nullptr: accepted
    Field field = Field::None;
    bool ok() const { return message == nullptr; }
};

struct WepEntries {
    uint8_t authType = 0;
    uint8_t defaultKey = 0;  // 0..3
    std::array<uint8_t, 4> keyType{};
    std::array<std::u16string, 4> key;
};

struct WpaEntries {
    uint8_t authType = 0;  // list position
    std::array<uint8_t, 4> radiusServer{};
    std::u16string port;
    std::u16string key;
    std::u16string keyTime;
};

// Every check of the WEP sub-page in order: each non-empty key by its type, then the default key.
CheckResult CheckWepEntries(const WepEntries& wep);
// The RADIUS server and port, the key, then its renewal interval.
CheckResult CheckWpaEntries(const WpaEntries& wpa);

// What the wireless page's controls hold. A combo without a selection is nullopt: its record
// field stays as it is.
struct WirelessEntries {
    std::u16string ssid;
    std::string ssidLocal;  // the same text in the local 8-bit encoding
    bool ssidHide = false;
    bool dfs = false;
    std::optional<int> country;
    std::optional<uint8_t> networkMode;
    std::optional<uint8_t> bandwidth;
    std::optional<uint8_t> channel;
    std::optional<uint8_t> expandChannel;
    std::u16string power;
    std::optional<uint8_t> secureMode;
    uint8_t pskCipher = kCipherAes;
    std::u16string pskKey;
    std::u16string pskKeyTime;
    WepEntries wep;
    WpaEntries wpa;
};

// The checks of a Save in their order; `record` gives the type code and the power limits.
CheckResult CheckWirelessEntries(const WirelessEntries& entries, const ap_info_stu& record);

// ---- Building the blocks ---------------------------------------------------------------------

// The radio block from the record's RADIO_BLOCK and the entries (which passed the checks).
RADIO_BLOCK BuildRadioBlock(const ap_info_stu& record, const WirelessEntries& entries);
// The 16 bytes that follow the radio block for list W: zero but for wl_dfs.
EXTENSION_BLOCK BuildRadioExtension(bool dfs);
// The wireless changed flag: the radio block differs from the record's in any byte, or (for the
// type codes of list W, the only ones that send it) the DFS byte differs from the record's.
bool IsWirelessChanged(const ap_info_stu& record, const RADIO_BLOCK& block, const EXTENSION_BLOCK& extension);
// The flag of a page's Save. `loadedBlock` and `loadedExtension` are what the page built right
// after loading the record, before any edit: a Save that builds exactly those sends nothing,
// although the page shows (and builds) its list defaults where the record holds a value no list
// offers. Otherwise as above.
bool IsWirelessChanged(const ap_info_stu& record, const RADIO_BLOCK& block, const EXTENSION_BLOCK& extension,
                       const RADIO_BLOCK& loadedBlock, const EXTENSION_BLOCK& loadedExtension);

}  // namespace pontiq::wireless
