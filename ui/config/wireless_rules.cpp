#include "ui/config/wireless_rules.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "comm/protocol.h"
#include "store/value_format.h"

namespace pontiq::wireless {

namespace {

// Channel lists L1..L25 of the country table.
constexpr uint8_t L1[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
constexpr uint8_t L2[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108, 112,
                          116, 120, 124, 128, 132, 136, 140, 149, 153, 157, 161, 165};
constexpr uint8_t L3[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104,
                          108, 112, 120, 128, 132, 136, 140, 149, 153, 157, 161};
constexpr uint8_t L4[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104,
                          108, 112, 132, 136, 140, 144, 149, 153, 157, 161};
constexpr uint8_t L5[] = {0, 52, 56, 60, 64, 149, 153, 157, 161, 165};
constexpr uint8_t L6[] = {0, 52, 56, 60, 64, 149, 153, 157, 161};
constexpr uint8_t L7[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104,
                          108, 112, 116, 120, 124, 128, 149, 153, 157, 161};
constexpr uint8_t L8[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
constexpr uint8_t L9[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108, 112,
                          116, 120, 124, 128, 132, 136, 140, 144, 149, 153, 157, 161, 165};
constexpr uint8_t L10[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108, 112,
                           116, 120, 124, 128, 132, 136, 140, 144, 149, 153, 157, 161};
constexpr uint8_t L11[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100,
                           104, 108, 112, 116, 120, 124, 128, 132, 136, 140};
constexpr uint8_t L12[] = {0,   36,  40,  44,  48,  52,  56,  60,  64, 100,
                           104, 108, 112, 116, 120, 124, 128, 132, 136};
constexpr uint8_t L13[] = {0, 36, 40, 44, 48, 52, 56, 60, 64, 100, 104, 108, 112, 116, 120, 124, 128};
constexpr uint8_t L14[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108,
                           112, 116, 120, 124, 128, 132, 136, 140, 149, 153, 157, 161};
constexpr uint8_t L15[] = {0,   52,  56,  60,  64,  100, 104, 108, 112, 116, 120,
                           124, 128, 132, 136, 140, 149, 153, 157, 161, 165};
constexpr uint8_t L16[] = {0,   52,  56,  60,  64,  100, 104, 108, 112,
                           120, 128, 132, 136, 140, 149, 153, 157, 161};
constexpr uint8_t L17[] = {0,   52,  56,  60,  64,  100, 104, 108, 112, 116,
                           120, 124, 128, 132, 136, 140, 149, 153, 157, 161};
constexpr uint8_t L18[] = {0, 36, 40, 44, 48, 149, 153, 157, 161, 165};
constexpr uint8_t L19[] = {0,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108,
                           112, 116, 120, 124, 128, 132, 136, 149, 153, 157, 161};
constexpr uint8_t L20[] = {0, 149, 153, 157, 161, 165};
constexpr uint8_t L21[] = {0, 149, 153, 157, 161};
constexpr uint8_t L22[] = {0, 36, 40, 44, 48, 149, 153, 157, 161};
constexpr uint8_t L23[] = {0, 36, 40, 44, 48};
constexpr uint8_t L24[] = {0,   8,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108, 112, 116,
                           120, 124, 128, 132, 136, 140, 149, 153, 157, 161, 165, 179, 181, 188};
constexpr uint8_t L25[] = {0,   8,   36,  40,  44,  48,  52,  56,  60,  64,  100, 104, 108, 112,
                           116, 120, 124, 128, 132, 136, 140, 149, 153, 157, 161, 179, 181, 188};

const Country kCountries[kCountryCount] = {
    {"AU", "Australia", L1, L2, L3, L4},
    {"AR", "Argentina", L1, L5, L6, L6},
    {"BR", "Brazil", L1, L2, L3, L7},
    {"CA", "Canada", L8, L9, L10, L10},
    {"CN", "China", L1, L9, L10, L10},
    {"CO", "Colombia", L8, L9, L10, L10},
    {"CZ", "CzechRepublic", L1, L11, L12, L13},
    {"EG", "Egypt", L1, L11, L12, L13},
    {"GB", "England", L1, L11, L12, L13},
    {"FR", "France", L1, L11, L12, L13},
    {"DE", "Germany", L1, L11, L12, L13},
    {"HK", "Hong Kong", L1, L2, L3, L14},
    {"IN", "India", L1, L2, L3, L14},
    {"ID", "Indonesia", L1, L2, L3, L14},
    {"IR", "Iran", L1, L15, L16, L17},
    {"IQ", "Iraq", L1, L2, L3, L14},
    {"MY", "Malaysia", L1, L15, L16, L17},
    {"MX", "Mexico", L8, L2, L3, L14},
    {"PE", "Peru", L1, L15, L16, L17},
    {"PK", "Pakistan", L1, L15, L16, L17},
    {"PH", "Philippines", L1, L2, L3, L14},
    {"PL", "Poland", L1, L11, L12, L13},
    {"RO", "Romania", L1, L11, L12, L13},
    {"RU", "Russia", L1, L18, L19, L7},
    {"SA", "Saudi Arabia", L1, L2, L3, L14},
    {"ZA", "South Afica", L1, L2, L3, L7},
    {"ES", "Spain", L1, L11, L12, L13},
    {"TW", "Taiwan", L8, L15, L16, L17},
    {"TH", "Thailand", L1, L2, L3, L14},
    {"TR", "Turkey", L1, L11, L12, L13},
    {"AE", "United Arab Emirates", L1, L20, L21, L21},
    {"US", "United States", L8, L2, L3, L14},
    {"UA", "Ukraine", L1, L18, L19, L22},
    {"VE", "Venezuela", L1, L15, L16, L17},
    {"VN", "Vietnam", L1, L11, L12, L13},
    {"IT", "Italy", L1, L23, L23, L23},
    {"AM", "Armenia", L1, L23, L23, L23},
    {"HU", "Hungary", L1, L23, L23, L23},
    {"KR", "Korea", L1, L18, L22, L22},
    {"AUT", "Austria", L1, L18, L22, L22},
    {"CHL", "Chile", L1, L18, L22, L22},
    {"Test", "Test", L1, L24, L25, L25},
};

// The filled slots of the 256 country-code slots.
constexpr const char* kCodeSlots[] = {
    "CN", "US", "GB", "ES", "IT", "FR", "DE", "NL", "CZ", "PL", "EE", "RU",  "TR",  "SE",   "CH", "DK",
    "BE", "BG", "AM", "FI", "SI", "SK", "RO", "PT", "AT", "GR", "CA", "MX",  "BR",  "AR",   "CL", "CO",
    "PE", "LV", "IN", "ID", "PH", "VN", "TH", "KR", "HK", "TW", "MY", "NZ",  "AU",  "PK",   "AE", "IQ",
    "SA", "ZA", "EG", "MA", "IL", "BD", "IR", "NP", "UA", "VE", "HU", "AUT", "CHL", "Test",
};

// Region group lists (20 MHz and Auto, 40 MHz, other widths); group 3 uses L24 / L25.
constexpr uint8_t kGroup0At20[] = {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136, 140};
constexpr uint8_t kGroup0At40[] = {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136};
constexpr uint8_t kGroup0Other[] = {0, 36, 40, 44, 48, 100, 104, 108, 112, 116};
constexpr uint8_t kGroup1At20[] = {0, 149, 153, 157, 161, 165};
constexpr uint8_t kGroup1At40[] = {0, 149, 153, 157, 161};
constexpr uint8_t kGroup2At20[] = {0,   36,  40,  44,  48,  100, 104, 108, 112,
                                   116, 132, 136, 140, 149, 153, 157, 161, 165};
constexpr uint8_t kGroup2At40[] = {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136, 149, 153, 157, 161};
constexpr uint8_t kGroup2Other[] = {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 149, 153, 157, 161};

struct RegionLists {
    std::span<const uint8_t> at20, at40, other;
};
const RegionLists kRegionGroups[4] = {
    {kGroup0At20, kGroup0At40, kGroup0Other},
    {kGroup1At20, kGroup1At40, kGroup1At40},
    {kGroup2At20, kGroup2At40, kGroup2Other},
    {L24, L25, L25},
};

bool In(uint32_t value, std::initializer_list<uint32_t> set)
{
    return std::find(set.begin(), set.end(), value) != set.end();
}

bool InRange(uint32_t value, uint32_t low, uint32_t high)
{
    return value >= low && value <= high;
}

// Type codes whose 5 GHz channels come from the region groups.
bool IsRegionType(uint32_t t)
{
    return In(t, {13, 14, 15, 18, 19, 20, 22, 23, 24, 25, 271, 272, 273, 274, 285}) || InRange(t, 277, 283);
}

// Type codes that do not offer the special channels of the "Test" country.
bool HidesTestChannels(uint32_t t)
{
    return In(t, {10, 11, 13, 22, 281, 284}) || InRange(t, 268, 271);
}

bool Has11ac(uint32_t t)
{
    return InRange(t, 18, 20) || InRange(t, 23, 25) || InRange(t, 268, 270) || InRange(t, 272, 274) ||
           InRange(t, 277, 280) || InRange(t, 282, 285);
}

bool HasReducedSecurity(uint32_t t)
{
    return In(t, {12, 13, 22, 33, 271, 281});
}

bool IsBlank(char16_t c)
{
    return c == u' ';
}

}  // namespace

// ---- Countries and channels --------------------------------------------------------------------

std::span<const Country> Countries()
{
    return kCountries;
}

std::string_view CountryCodeSlot(unsigned slot)
{
    return slot < std::size(kCodeSlots) ? std::string_view(kCodeSlots[slot]) : std::string_view();
}

std::optional<int> CountryIndexOfCode(unsigned countryCode)
{
    const std::string_view code = CountryCodeSlot(countryCode);
    if (code.empty()) return std::nullopt;
    for (int i = 0; i < kCountryCount; ++i) {
        if (code == kCountries[i].code) return i;
    }
    return std::nullopt;
}

uint8_t CountryCodeOfIndex(int countryIndex)
{
    if (countryIndex < 0 || countryIndex >= kCountryCount) return 0;
    const std::string_view code = kCountries[countryIndex].code;
    for (size_t slot = 0; slot < std::size(kCodeSlots); ++slot) {
        if (code == kCodeSlots[slot]) return static_cast<uint8_t>(slot);
    }
    return 0;
}

int RegionGroup(int c)
{
    if (In(static_cast<uint32_t>(c), {6, 7, 8, 9, 10, 21, 22, 26, 29, 34, 35, 36, 37})) return 0;
    if (In(static_cast<uint32_t>(c), {1, 14, 16, 18, 19, 30, 33})) return 1;
    if (c == kCountryTest) return 3;
    return 2;
}

bool IsDfsType(uint32_t t)
{
    return In(t, {14, 15, 18, 19, 20, 22, 23, 24, 25, 272, 273, 274, 285}) || InRange(t, 277, 283);
}

std::vector<uint8_t> ChannelList(std::optional<int> country, uint8_t rfType, uint8_t bandwidth,
                                 uint32_t typeCode)
{
    const bool known = country && *country >= 0 && *country < kCountryCount;
    auto asVector = [](std::span<const uint8_t> list) {
        return std::vector<uint8_t>(list.begin(), list.end());
    };

    if (Is24GHz(rfType)) {
        if (typeCode == 12 && !(known && (*country == kCountryCanada || *country == kCountryUnitedStates))) {
            return {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};
        }
        return known ? asVector(kCountries[*country].list24) : std::vector<uint8_t>{};
    }
    if (!known) return {};
    if (IsRegionType(typeCode)) {
        const RegionLists& g = kRegionGroups[RegionGroup(*country)];
        if (bandwidth == 0 || bandwidth == 2) return asVector(g.at20);
        return asVector(bandwidth == 1 ? g.at40 : g.other);
    }
    const Country& c = kCountries[*country];
    if (In(bandwidth, {0, 2, 4, 5})) return asVector(c.list5At20);
    return asVector(bandwidth == 1 ? c.list5At40 : c.list5Other);
}

std::vector<uint8_t> ChannelChoices(std::optional<int> country, uint8_t rfType, uint8_t bandwidth,
                                    uint32_t typeCode, bool dfs)
{
    std::vector<uint8_t> list = ChannelList(country, rfType, bandwidth, typeCode);
    const bool test = country && *country == kCountryTest;
    const bool dfsAllowed = IsDfsType(typeCode) && dfs;
    std::erase_if(list, [&](uint8_t ch) {
        if (!test) return InRange(ch, 52, 64) || (InRange(ch, 100, 144) && !dfsAllowed);
        // The special channels are 5 GHz ones; channel 8 of the 2.4 GHz list stays.
        return !Is24GHz(rfType) && HidesTestChannels(typeCode) && In(ch, {8, 179, 181, 188});
    });
    return list;
}

bool IsExpandChannelEnabled(uint8_t rfType, uint8_t networkMode, uint8_t bandwidth)
{
    return Is24GHz(rfType) && networkMode == 4 && bandwidth == 1;
}

std::vector<ExpandChoice> ExpandChannelChoices(uint8_t ch, std::span<const uint8_t> channelList)
{
    if (ch == 0) return {};
    if (ch <= 4) return {{static_cast<uint8_t>(ch + 4), 1}};
    const size_t n = channelList.size();
    const auto top = channelList.subspan(n > 4 ? n - 4 : 0);
    if (std::find(top.begin(), top.end(), ch) != top.end()) return {{static_cast<uint8_t>(ch - 4), 0}};
    return {{static_cast<uint8_t>(ch - 4), 0}, {static_cast<uint8_t>(ch + 4), 1}};
}

int ExpandChannelSelection(std::span<const ExpandChoice> choices, uint8_t recordValue)
{
    if (choices.empty()) return -1;
    if (choices.size() == 1) return 0;
    for (size_t i = 0; i < choices.size(); ++i) {
        if (choices[i].value == recordValue) return static_cast<int>(i);
    }
    return 0;
}

// ---- Value lists -----------------------------------------------------------------------------

std::vector<ValueItem> NetworkModeItems(uint8_t rfType, uint32_t t)
{
    if (Is24GHz(rfType)) return {{"11b", 1}, {"11g", 2}, {"11b/g", 0}, {"11b/g/n", 4}};
    if (t == 281) return {{"11a", 0}, {"11a/n", 1}, {"11ac", 2}};
    std::vector<ValueItem> items = {{"11a", 0}, {"11n", 3}, {"11a/n", 1}};
    if (Has11ac(t)) items.push_back({"11ac", 2});
    return items;
}

std::vector<ValueItem> BandwidthItems(uint8_t rfType, uint8_t mode, uint32_t t)
{
    if (Is24GHz(rfType)) {
        if (mode == 3 || mode == 4) return {{"Auto", 2}, {"20MHz", 0}, {"40MHz", 1}};
        return {{"20MHz", 0}};
    }
    if (In(t, {6, 8, 9, 265, 266, 267})) return {{"10MHz", 4}, {"20MHz", 0}, {"30MHz", 5}, {"40MHz", 1}};
    if (In(t, {10, 11, 268, 269, 270, 284})) {
        std::vector<ValueItem> items = {{"Auto", 2}, {"10MHz", 4}, {"20MHz", 0}, {"30MHz", 5}, {"40MHz", 1}};
        if (mode == 2) items.insert(items.end(), {{"50MHz", 6}, {"60MHz", 7}, {"80MHz", 3}});
        return items;
    }
    if (In(t, {13, 22, 271, 281})) {
        std::vector<ValueItem> items = {{"Auto", 2}, {"20MHz", 0}};
        if (mode == 1 || mode == 2) items.push_back({"40MHz", 1});
        if (mode == 2) items.push_back({"80MHz", 3});
        return items;
    }
    if (In(t, {14, 15, 18, 19, 20, 23, 24, 25, 272, 273, 274, 282, 283, 285}) || InRange(t, 277, 280)) {
        std::vector<ValueItem> items = {{"20MHz", 0}, {"40MHz", 1}};
        if (mode == 2) items.push_back({"80MHz", 3});
        return items;
    }
    return {{"20MHz", 0}, {"40MHz", 1}};
}

std::vector<ValueItem> SecurityModeItems(uint32_t t)
{
    if (HasReducedSecurity(t)) {
        return {{"None", kSecureNone},
                {"WPA-PSK", kSecureWpaPsk},
                {"WPA2-PSK", kSecureWpa2Psk},
                {"Mixed WPA/WPA2-PSK", kSecureMixedPsk}};
    }
    return {{"None", kSecureNone},
            {"WEP", kSecureWep},
            {"WPA-PSK", kSecureWpaPsk},
            {"WPA2-PSK", kSecureWpa2Psk},
            {"Mixed WPA/WPA2-PSK", kSecureMixedPsk},
            {"WPA", kSecureWpa},
            {"WPA2", kSecureWpa2}};
}

int FindItem(std::span<const ValueItem> items, uint8_t value)
{
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].value == value) return static_cast<int>(i);
    }
    return -1;
}

int NetworkModeSelection(std::span<const ValueItem> items, uint8_t value)
{
    const int i = FindItem(items, value);
    if (i >= 0) return i;
    return items.size() >= 3 ? 2 : -1;
}

int BandwidthSelection(std::span<const ValueItem> items, uint8_t value)
{
    const int i = FindItem(items, value);
    if (i >= 0) return i;
    return items.empty() ? -1 : 0;
}

// ---- Fields shown per security mode ----------------------------------------------------------

SecurityFields FieldsForSecurityMode(uint8_t mode, uint32_t typeCode)
{
    SecurityFields f;
    f.wepShown = mode == kSecureWep;
    f.wpaShown = IsRadiusMode(mode);
    if (IsPskMode(mode)) {
        f.pskShown = f.keyEnabled = f.keyTimeEnabled = true;
        f.aesEnabled = f.tkipEnabled = true;
        f.tkipAesEnabled = mode != kSecureWpaPsk;
        if (typeCode == 33) f.tkipEnabled = f.tkipAesEnabled = f.keyTimeEnabled = false;
    }
    return f;
}

// ---- Checks ------------------------------------------------------------------------------------

std::optional<uint32_t> ParseNumber(std::u16string_view text)
{
    if (text.empty()) return std::nullopt;
    uint64_t n = 0;
    for (char16_t c : text) {
        if (c < u'0' || c > u'9') return std::nullopt;
        n = std::min<uint64_t>(n * 10 + (c - u'0'), std::numeric_limits<uint32_t>::max());
    }
    return static_cast<uint32_t>(n);
}

const char* CheckSsid(uint32_t typeCode, std::u16string_view ssid)
{
    if (ssid.empty()) return kMsgSsidEmpty;
    if (std::all_of(ssid.begin(), ssid.end(), IsBlank)) return kMsgSsidBlank;
    if (UsesNameRuleA(typeCode)) return IsNameTextA(ssid) ? nullptr : kMsgSsidRuleA;
    return IsNameTextB(ssid) ? nullptr : kMsgSsidRuleB;
}

const char* CheckPower(std::u16string_view text, int minPower, int maxPower)
{
    const std::optional<uint32_t> n = ParseNumber(text);
    if (!n || static_cast<int64_t>(*n) < minPower || static_cast<int64_t>(*n) > maxPower)
        return kMsgPowerRange;
    return nullptr;
}

const char* CheckWepKey(uint8_t keyType, std::u16string_view key)
{
    if (keyType == kWepHex) {
        return (key.size() == 10 || key.size() == 26) && IsHexText(key) ? nullptr : kMsgWepHex;
    }
    if (key.size() != 5 && key.size() != 13) return kMsgWepAsciiLength;
    return IsAsciiText(key) ? nullptr : kMsgWepAsciiChars;
}

const char* CheckPskKey(uint32_t typeCode, std::u16string_view key)
{
    const size_t n = key.size();
    if (typeCode == 33 && (n < 8 || n > 63)) return kMsgPskKey63;
    if (n < 8 || n > 64 || (n == 64 && !IsHexText(key)) || !IsAsciiText(key)) return kMsgPskKey64;
    return nullptr;
}

const char* CheckKeyInterval(std::u16string_view text)
{
    if (text.empty()) return kMsgKeyIntervalEmpty;
    const std::optional<uint32_t> n = ParseNumber(text);
    if (!n || !(*n == 0 || InRange(*n, 60, 99999))) return kMsgKeyIntervalRange;
    return nullptr;
}

const char* CheckRadiusServer(const std::array<uint8_t, 4>& a)
{
    if (a[0] == 0 || a[0] == 127 || a[0] >= 224 || a[3] == 0 || a[3] == 255) return kMsgRadiusServer;
    return nullptr;
}

const char* CheckRadiusPort(std::u16string_view text)
{
    const uint32_t port = text.empty() ? 0 : ParseNumber(text).value_or(0);
    return InRange(port, 1, 65535) ? nullptr : kMsgRadiusPort;
}

const char* CheckRadiusKey(std::u16string_view key)
{
    return !key.empty() && key.size() <= 64 && IsAsciiText(key) ? nullptr : kMsgRadiusKey;
}

CheckResult CheckWepEntries(const WepEntries& wep)
{
    constexpr Field kKeys[4] = {Field::WepKey1, Field::WepKey2, Field::WepKey3, Field::WepKey4};
    for (size_t k = 0; k < 4; ++k) {
        if (wep.key[k].empty()) continue;
        if (const char* m = CheckWepKey(wep.keyType[k], wep.key[k])) return {m, kKeys[k]};
    }
    const size_t d = std::min<size_t>(wep.defaultKey, 3);
    if (wep.key[d].empty()) return {kMsgWepKeyEmpty[d], kKeys[d]};
    return {};
}

CheckResult CheckWpaEntries(const WpaEntries& wpa)
{
    if (const char* m = CheckRadiusServer(wpa.radiusServer)) return {m, Field::RadiusServer};
    if (const char* m = CheckRadiusPort(wpa.port)) return {m, Field::RadiusPort};
    if (const char* m = CheckRadiusKey(wpa.key)) return {m, Field::RadiusKey};
    if (const char* m = CheckKeyInterval(wpa.keyTime)) return {m, Field::RadiusKeyTime};
    return {};
}

CheckResult CheckWirelessEntries(const WirelessEntries& e, const ap_info_stu& record)
{
    const uint32_t type = record.ap_type;
    const RADIO_BLOCK& r = record.radio_block;
    if (const char* m = CheckSsid(type, e.ssid)) return {m, Field::Ssid};
    if (const char* m = CheckPower(e.power, r.tx_power_min, r.tx_power_max)) return {m, Field::Power};
    const uint8_t mode = e.secureMode.value_or(r.security.secure_mode);
    if (mode == kSecureWep) return CheckWepEntries(e.wep);
    if (IsPskMode(mode)) {
        if (const char* m = CheckPskKey(type, e.pskKey)) return {m, Field::PskKey};
        if (const char* m = CheckKeyInterval(e.pskKeyTime)) return {m, Field::PskKeyTime};
    }
    if (IsRadiusMode(mode)) return CheckWpaEntries(e.wpa);
    return {};
}

// ---- Building the blocks ---------------------------------------------------------------------

namespace {

// Keys passed the ASCII checks; anything else still becomes one byte.
std::string Narrow(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

}  // namespace

RADIO_BLOCK BuildRadioBlock(const ap_info_stu& record, const WirelessEntries& e)
{
    RADIO_BLOCK b = record.radio_block;
    b.rf_count = 1;
    b.rf_en = 1;
    b.ssid_rf_type = b.rf_type;
    // A combo without a selection leaves its field as the record has it.
    if (e.country) b.country_code = CountryCodeOfIndex(*e.country);
    if (e.networkMode) b.network_mode = *e.networkMode;
    if (e.bandwidth) b.bandwidth = *e.bandwidth;
    if (e.channel) b.channel = *e.channel;
    if (Is24GHz(b.rf_type)) {
        const bool expand = b.network_mode == 4 && b.bandwidth == 1 && b.channel != 0;
        b.expand_channel = expand && e.expandChannel ? *e.expandChannel : kExpandNone;
    }
    if (const std::optional<uint32_t> power = ParseNumber(e.power)) {
        b.tx_power = static_cast<uint8_t>(std::min<uint32_t>(*power, 255));
    }

    SECURITY_BLOCK& s = b.security;
    s.ssid_id = 0;
    s.ssid_hide = e.ssidHide ? 1 : 0;
    s.ssid_len = SetFieldText(s.ssid, e.ssidLocal);
    if (e.secureMode) s.secure_mode = *e.secureMode;
    s.ssid_count = 1;

    // Only the fields of the chosen mode are written; the others keep the record's bytes.
    const uint8_t mode = s.secure_mode;
    if (mode == kSecureWep) {
        s.wep_auth_type = e.wep.authType;
        s.wep_key_index = e.wep.defaultKey;
        for (size_t k = 0; k < 4; ++k) {
            s.wep_key[k].type = e.wep.keyType[k];
            s.wep_key[k].len = SetFieldText(s.wep_key[k].value, Narrow(e.wep.key[k]));
        }
    } else if (IsPskMode(mode)) {
        s.wpapsk_auth_type = e.pskCipher;
        s.wpapsk_key_value_len = SetFieldText(s.wpapsk_key_value, Narrow(e.pskKey));
        s.wpapsk_key_time = ParseNumber(e.pskKeyTime).value_or(0);
    } else if (IsRadiusMode(mode)) {
        s.wpa_auth_type = e.wpa.authType;
        std::copy(e.wpa.radiusServer.begin(), e.wpa.radiusServer.end(), s.wpa_radius_ip);
        s.wpa_radius_port = static_cast<uint16_t>(ParseNumber(e.wpa.port).value_or(0));
        s.wpa_key_len = SetFieldText(s.wpa_key, Narrow(e.wpa.key));
        s.wpa_key_time = ParseNumber(e.wpa.keyTime).value_or(0);
    }
    return b;
}

EXTENSION_BLOCK BuildRadioExtension(bool dfs)
{
    EXTENSION_BLOCK x{};
    x.wl_dfs = dfs ? 1 : 0;
    return x;
}

bool IsWirelessChanged(const ap_info_stu& record, const RADIO_BLOCK& block, const EXTENSION_BLOCK& extension)
{
    if (std::memcmp(&block, &record.radio_block, sizeof block) != 0) return true;
    return InListW(record.ap_type) && extension.wl_dfs != record.extension_block.wl_dfs;
}

bool IsWirelessChanged(const ap_info_stu& record, const RADIO_BLOCK& block, const EXTENSION_BLOCK& extension,
                       const RADIO_BLOCK& loadedBlock, const EXTENSION_BLOCK& loadedExtension)
{
    const bool asLoaded = std::memcmp(&block, &loadedBlock, sizeof block) == 0 &&
                          (!InListW(record.ap_type) || extension.wl_dfs == loadedExtension.wl_dfs);
    return !asLoaded && IsWirelessChanged(record, block, extension);
}

}  // namespace pontiq::wireless
