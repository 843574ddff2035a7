#include "ui/config/wireless_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "comm/protocol.h"

namespace pontiq::wireless {
namespace {

using Channels = std::vector<uint8_t>;

Channels Range(int from, int to)
{
    Channels c;
    for (int ch = from; ch <= to; ++ch) c.push_back(static_cast<uint8_t>(ch));
    return c;
}

int IndexOf(std::string_view name)
{
    const auto countries = Countries();
    for (size_t i = 0; i < countries.size(); ++i) {
        if (name == countries[i].name) return static_cast<int>(i);
    }
    ADD_FAILURE() << "no country " << name;
    return -1;
}

bool Contains(const Channels& list, int ch)
{
    return std::find(list.begin(), list.end(), ch) != list.end();
}

TEST(WirelessCountries, TableAndCodeSlots)
{
    const auto countries = Countries();
    ASSERT_EQ(countries.size(), 42u);
    EXPECT_STREQ(countries[25].name, "South Afica");
    EXPECT_STREQ(countries[6].name, "CzechRepublic");
    EXPECT_STREQ(countries[41].code, "Test");

    struct Case {
        unsigned slot;
        std::optional<int> index;  // country table entry of the slot
    };
    const Case cases[] = {
        {0, IndexOf("China")},  {1, IndexOf("United States")}, {59, IndexOf("Austria")},
        {60, IndexOf("Chile")}, {61, IndexOf("Test")},         {7, std::nullopt},  // NL: no entry
        {62, std::nullopt},     {255, std::nullopt},           {256, std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(CountryIndexOfCode(c.slot), c.index) << c.slot;

    // Every entry saves as a slot that reads back as the same entry.
    for (int i = 0; i < kCountryCount; ++i) {
        EXPECT_EQ(CountryIndexOfCode(CountryCodeOfIndex(i)), i) << countries[i].name;
    }
    EXPECT_EQ(CountryCodeOfIndex(-1), 0);
    EXPECT_EQ(CountryCodeOfIndex(42), 0);
}

TEST(WirelessChannels, ListsByCountryBandWidthAndType)
{
    const Channels us24 = [] {
        Channels c = Range(1, 11);
        c.insert(c.begin(), 0);
        return c;
    }();
    struct Case {
        const char* what;
        std::optional<int> country;
        uint8_t rfType;
        uint8_t bandwidth;
        uint32_t type;
        bool dfs;
        Channels expected;
    };
    const Case cases[] = {
        {"US 2.4 GHz: Auto and 1..11", IndexOf("United States"), 0, 0, 1, false, us24},
        {"type 12, China: 1..13 without Auto", IndexOf("China"), 0, 0, 12, false, Range(1, 13)},
        {"type 12, US keeps its own list", IndexOf("United States"), 0, 0, 12, false, us24},
        {"type 12, Canada keeps its own list", IndexOf("Canada"), 0, 1, 12, false, us24},
        {"type 12 without a country", std::nullopt, 0, 0, 12, false, Range(1, 13)},
        {"no country, other type: nothing", std::nullopt, 0, 0, 1, false, {}},
        {"no country on 5 GHz: nothing", std::nullopt, 1, 0, 14, true, {}},
        {"Test on 2.4 GHz keeps channel 8",
         IndexOf("Test"),
         0,
         0,
         10,
         false,
         {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
        // 5 GHz, country lists (type 1): 52..64 and 100..144 filtered out.
        {"China 5 GHz 20 MHz",
         IndexOf("China"),
         1,
         0,
         1,
         false,
         {0, 36, 40, 44, 48, 149, 153, 157, 161, 165}},
        {"China 5 GHz 40 MHz", IndexOf("China"), 1, 1, 1, false, {0, 36, 40, 44, 48, 149, 153, 157, 161}},
        {"Italy 5 GHz 10 MHz uses the 20 MHz list", IndexOf("Italy"), 1, 4, 1, false, {0, 36, 40, 44, 48}},
        {"Argentina 80 MHz: other widths", IndexOf("Argentina"), 1, 3, 1, false, {0, 149, 153, 157, 161}},
        {"DFS box on a type not in the DFS list",
         IndexOf("China"),
         1,
         0,
         1,
         true,
         {0, 36, 40, 44, 48, 149, 153, 157, 161, 165}},
        // Region groups (type 14 is a region type and a DFS type).
        {"group 0 (France), DFS off", IndexOf("France"), 1, 0, 14, false, {0, 36, 40, 44, 48}},
        {"group 0 (France), DFS on",
         IndexOf("France"),
         1,
         0,
         14,
         true,
         {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136, 140}},
        {"group 1 (Argentina), 40 MHz", IndexOf("Argentina"), 1, 1, 14, true, {0, 149, 153, 157, 161}},
        {"group 2 (US), Auto width",
         IndexOf("United States"),
         1,
         2,
         14,
         true,
         {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 132, 136, 140, 149, 153, 157, 161, 165}},
        {"group 2 (US), 80 MHz",
         IndexOf("United States"),
         1,
         3,
         14,
         true,
         {0, 36, 40, 44, 48, 100, 104, 108, 112, 116, 149, 153, 157, 161}},
        {"type 13: region lists, no DFS channels",
         IndexOf("United States"),
         1,
         0,
         13,
         true,
         {0, 36, 40, 44, 48, 149, 153, 157, 161, 165}},
        // Test: 52..64 stay; its special channels go for some type codes.
        {"Test, type 14", IndexOf("Test"), 1, 0, 14, false, {0,   8,   36,  40,  44,  48,  52,  56,  60,  64,
                                                             100, 104, 108, 112, 116, 120, 124, 128, 132, 136,
                                                             140, 149, 153, 157, 161, 165, 179, 181, 188}},
        {"Test, type 13 hides 8, 179, 181, 188", IndexOf("Test"), 1, 1, 13, false, {0,   36,  40,  44,  48,
                                                                                    52,  56,  60,  64,  100,
                                                                                    104, 108, 112, 116, 120,
                                                                                    124, 128, 132, 136, 140,
                                                                                    149, 153, 157, 161}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ChannelChoices(c.country, c.rfType, c.bandwidth, c.type, c.dfs), c.expected) << c.what;
    }
}

// Over every country, width and type code: 52..64 only for Test, 100..144 only for a DFS type
// with the box ticked (or Test), and every choice comes from the unfiltered list.
TEST(WirelessChannels, FiltersHoldForEveryCountryAndType)
{
    const uint32_t types[] = {1, 6, 10, 12, 13, 14, 22, 33, 268, 271, 272, 281, 284, 285};
    for (int country = 0; country < kCountryCount; ++country) {
        for (uint8_t width : {0, 1, 2, 3, 4, 5, 6, 7}) {
            for (uint32_t type : types) {
                for (bool dfs : {false, true}) {
                    const Channels all = ChannelList(country, 1, width, type);
                    const Channels shown = ChannelChoices(country, 1, width, type, dfs);
                    const bool test = country == kCountryTest;
                    for (uint8_t ch : shown) {
                        ASSERT_TRUE(Contains(all, ch));
                        if (!test) {
                            ASSERT_FALSE(ch >= 52 && ch <= 64) << country << " " << type;
                            if (ch >= 100 && ch <= 144) {
                                ASSERT_TRUE(dfs && IsDfsType(type)) << country;
                            }
                        }
                    }
                    ASSERT_TRUE(Contains(shown, 0)) << country << " " << type;
                }
            }
        }
    }
}

TEST(WirelessChannels, ExpandChannel)
{
    EXPECT_TRUE(IsExpandChannelEnabled(0, 4, 1));
    EXPECT_FALSE(IsExpandChannelEnabled(1, 4, 1));  // 5 GHz
    EXPECT_FALSE(IsExpandChannelEnabled(0, 3, 1));
    EXPECT_FALSE(IsExpandChannelEnabled(0, 4, 2));

    const Channels us = ChannelChoices(IndexOf("United States"), 0, 1, 1, false);  // 0..11
    const Channels cn = ChannelChoices(IndexOf("China"), 0, 1, 1, false);          // 0..13
    struct Case {
        uint8_t channel;
        const Channels& list;
        std::vector<std::pair<int, int>> expected;  // (channel, value)
    };
    const Case cases[] = {
        {0, us, {}},
        {1, us, {{5, 1}}},
        {4, us, {{8, 1}}},
        {5, us, {{1, 0}, {9, 1}}},
        {6, us, {{2, 0}, {10, 1}}},
        {7, us, {{3, 0}, {11, 1}}},
        {8, us, {{4, 0}}},  // top four of 0..11
        {11, us, {{7, 0}}},
        {9, cn, {{5, 0}, {13, 1}}},
        {10, cn, {{6, 0}}},  // top four of 0..13
    };
    for (const Case& c : cases) {
        std::vector<std::pair<int, int>> got;
        for (const ExpandChoice& x : ExpandChannelChoices(c.channel, c.list))
            got.emplace_back(x.channel, x.value);
        EXPECT_EQ(got, c.expected) << int(c.channel);
    }

    const std::vector<ExpandChoice> two = {{2, 0}, {10, 1}};
    const std::vector<ExpandChoice> one = {{7, 0}};
    EXPECT_EQ(ExpandChannelSelection(two, 1), 1);
    EXPECT_EQ(ExpandChannelSelection(two, 0), 0);
    EXPECT_EQ(ExpandChannelSelection(two, kExpandNone), 0);
    EXPECT_EQ(ExpandChannelSelection(two, 9), 0);
    EXPECT_EQ(ExpandChannelSelection(one, 1), 0);
    EXPECT_EQ(ExpandChannelSelection({}, 1), -1);
}

std::vector<int> Values(const std::vector<ValueItem>& items)
{
    std::vector<int> v;
    for (const ValueItem& i : items) v.push_back(i.value);
    return v;
}

TEST(WirelessValueLists, ByBandAndTypeCode)
{
    struct Case {
        const char* what;
        std::vector<ValueItem> items;
        std::vector<int> values;
    };
    const Case cases[] = {
        {"mode 2.4", NetworkModeItems(0, 14), {1, 2, 0, 4}},
        {"mode 5, plain", NetworkModeItems(1, 14), {0, 3, 1}},
        {"mode 5, 11ac", NetworkModeItems(1, 18), {0, 3, 1, 2}},
        {"mode 5, 11ac 284", NetworkModeItems(1, 284), {0, 3, 1, 2}},
        {"mode 5, 281", NetworkModeItems(1, 281), {0, 1, 2}},
        {"security, full", SecurityModeItems(1), {0, 1, 2, 3, 4, 5, 6}},
        {"security, type 33", SecurityModeItems(33), {0, 2, 3, 4}},
        {"security, type 281", SecurityModeItems(281), {0, 2, 3, 4}},
        {"bw 2.4 11b", BandwidthItems(0, 1, 1), {0}},
        {"bw 2.4 11b/g/n", BandwidthItems(0, 4, 1), {2, 0, 1}},
        {"bw 5 type 6", BandwidthItems(1, 2, 6), {4, 0, 5, 1}},
        {"bw 5 type 10", BandwidthItems(1, 1, 10), {2, 4, 0, 5, 1}},
        {"bw 5 type 10 11ac", BandwidthItems(1, 2, 10), {2, 4, 0, 5, 1, 6, 7, 3}},
        {"bw 5 type 13 11a", BandwidthItems(1, 0, 13), {2, 0}},
        {"bw 5 type 13 11a/n", BandwidthItems(1, 1, 13), {2, 0, 1}},
        {"bw 5 type 281 11ac", BandwidthItems(1, 2, 281), {2, 0, 1, 3}},
        {"bw 5 type 14", BandwidthItems(1, 1, 14), {0, 1}},
        {"bw 5 type 280 11ac", BandwidthItems(1, 2, 280), {0, 1, 3}},
        {"bw 5 other", BandwidthItems(1, 2, 1), {0, 1}},
    };
    for (const Case& c : cases) EXPECT_EQ(Values(c.items), c.values) << c.what;

    const auto modes = NetworkModeItems(0, 1);
    EXPECT_EQ(NetworkModeSelection(modes, 4), 3);
    EXPECT_EQ(NetworkModeSelection(modes, 9), 2);  // none: the third item
    const auto widths = BandwidthItems(0, 4, 1);
    EXPECT_EQ(BandwidthSelection(widths, 1), 2);
    EXPECT_EQ(BandwidthSelection(widths, 9), 0);  // none: the first item
}

TEST(WirelessSecurityFields, ByModeAndTypeCode)
{
    struct Case {
        uint8_t mode;
        uint32_t type;
        SecurityFields f;
    };
    //                                psk    key    time   aes    tkip   both   wep    wpa
    const Case cases[] = {
        {kSecureNone, 1, {false, false, false, false, false, false, false, false}},
        {kSecureWep, 1, {false, false, false, false, false, false, true, false}},
        {kSecureWpaPsk, 1, {true, true, true, true, true, false, false, false}},
        {kSecureWpa2Psk, 1, {true, true, true, true, true, true, false, false}},
        {kSecureMixedPsk, 1, {true, true, true, true, true, true, false, false}},
        {kSecureWpa, 1, {false, false, false, false, false, false, false, true}},
        {kSecureWpa2, 1, {false, false, false, false, false, false, false, true}},
        {kSecureWpa2Psk, 33, {true, true, false, true, false, false, false, false}},
        {kSecureWpaPsk, 33, {true, true, false, true, false, false, false, false}},
    };
    for (const Case& c : cases) {
        const SecurityFields f = FieldsForSecurityMode(c.mode, c.type);
        const SecurityFields& e = c.f;
        EXPECT_EQ(std::tie(f.pskShown, f.keyEnabled, f.keyTimeEnabled, f.aesEnabled, f.tkipEnabled,
                           f.tkipAesEnabled, f.wepShown, f.wpaShown),
                  std::tie(e.pskShown, e.keyEnabled, e.keyTimeEnabled, e.aesEnabled, e.tkipEnabled,
                           e.tkipAesEnabled, e.wepShown, e.wpaShown))
            << int(c.mode) << " " << c.type;
    }
}

std::u16string Repeat(char16_t c, size_t n)
{
    return std::u16string(n, c);
}

TEST(WirelessChecks, SsidAndPower)
{
    const std::u16string chinese10 = Repeat(u'\u65e0', 10);  // 30 bytes of UTF-8
    const std::u16string chinese11 = Repeat(u'\u65e0', 11);  // 33 bytes
    struct Case {
        uint32_t type;
        std::u16string ssid;
        const char* expected;
    };
    const Case cases[] = {
        {1, u"", kMsgSsidEmpty},       {1, u"   ", kMsgSsidBlank},     {4, u" ", kMsgSsidBlank},
        {1, u"Net 1", nullptr},        {1, Repeat(u'a', 32), nullptr}, {1, Repeat(u'a', 33), kMsgSsidRuleB},
        {1, chinese10, nullptr},       {1, chinese11, kMsgSsidRuleB},  {1, u"caf\u00e9", kMsgSsidRuleB},
        {4, u"net-1_\u65e0", nullptr}, {4, u"net 1", kMsgSsidRuleA},  // rule A has no blank
        {276, u"a,b", kMsgSsidRuleA},  {17, chinese11, kMsgSsidRuleA},
    };
    for (const Case& c : cases) {
        const char* got = CheckSsid(c.type, c.ssid);
        EXPECT_STREQ(got ? got : "", c.expected ? c.expected : "") << c.type << " " << c.ssid.size();
    }

    struct PowerCase {
        std::u16string text;
        bool ok;
    };
    const PowerCase powers[] = {{u"", false},   {u"0", false},  {u"1", true},      {u"27", true},
                                {u"28", false}, {u"2a", false}, {u"99999", false}, {u"-5", false}};
    for (const PowerCase& p : powers) EXPECT_EQ(CheckPower(p.text, 1, 27) == nullptr, p.ok) << p.text.size();
}

TEST(WirelessChecks, PskKeyAndInterval)
{
    const std::u16string hex64 = Repeat(u'a', 63) + u"F";
    const std::u16string hex64WithG = Repeat(u'a', 63) + u"g";
    struct Case {
        uint32_t type;
        std::u16string key;
        const char* expected;
    };
    const Case cases[] = {
        {1, Repeat(u'x', 7), kMsgPskKey64},
        {1, Repeat(u'x', 8), nullptr},
        {1, u"any ~!@# ascii text " + Repeat(u'.', 43), nullptr},
        {1, hex64, nullptr},
        {1, hex64WithG, kMsgPskKey64},
        {1, Repeat(u'a', 65), kMsgPskKey64},
        {1, u"password\u65e0", kMsgPskKey64},
        {33, Repeat(u'x', 7), kMsgPskKey63},
        {33, Repeat(u'x', 63), nullptr},
        {33, hex64, kMsgPskKey63},
        {33, u"password\u65e0", kMsgPskKey64},
    };
    ASSERT_EQ(cases[2].key.size(), 63u);
    for (const Case& c : cases) {
        const char* got = CheckPskKey(c.type, c.key);
        EXPECT_STREQ(got ? got : "", c.expected ? c.expected : "") << c.type << " " << c.key.size();
    }

    struct IntervalCase {
        std::u16string text;
        const char* expected;
    };
    const IntervalCase intervals[] = {
        {u"", kMsgKeyIntervalEmpty},
        {u"0", nullptr},
        {u"59", kMsgKeyIntervalRange},
        {u"60", nullptr},
        {u"99999", nullptr},
        {u"100000", kMsgKeyIntervalRange},
        {u"4294967296", kMsgKeyIntervalRange},  // would wrap to 0 in 32 bits
        {u"6O", kMsgKeyIntervalRange},
        {u" 60", kMsgKeyIntervalRange},
    };
    for (const IntervalCase& c : intervals) {
        const char* got = CheckKeyInterval(c.text);
        EXPECT_STREQ(got ? got : "", c.expected ? c.expected : "") << c.text.size();
    }
}

TEST(WirelessChecks, WepKeys)
{
    struct Case {
        uint8_t type;
        std::u16string key;
        const char* expected;
    };
    const Case cases[] = {
        {kWepAscii, u"abcde", nullptr},         {kWepAscii, u"abcdef", kMsgWepAsciiLength},
        {kWepAscii, u"abcdefghijklm", nullptr}, {kWepAscii, u"abcd\u00e9", kMsgWepAsciiChars},
        {kWepHex, u"0123456789", nullptr},      {kWepHex, u"0123456789abcdefABCDEF0123", nullptr},
        {kWepHex, u"012345678", kMsgWepHex},    {kWepHex, u"012345678g", kMsgWepHex},
        {kWepHex, u"abcde", kMsgWepHex},
    };
    for (const Case& c : cases) {
        const char* got = CheckWepKey(c.type, c.key);
        EXPECT_STREQ(got ? got : "", c.expected ? c.expected : "") << int(c.type) << " " << c.key.size();
    }

    WepEntries wep;
    wep.keyType = {kWepAscii, kWepHex, kWepAscii, kWepHex};
    wep.defaultKey = 2;
    CheckResult r = CheckWepEntries(wep);
    EXPECT_STREQ(r.message, "Please enter the WEP key3!");
    EXPECT_EQ(r.field, Field::WepKey3);

    wep.key[2] = u"abcde";
    EXPECT_TRUE(CheckWepEntries(wep).ok());
    wep.key[3] = u"xyz";  // a later key is checked although it is not the default
    r = CheckWepEntries(wep);
    EXPECT_STREQ(r.message, kMsgWepHex);
    EXPECT_EQ(r.field, Field::WepKey4);
    wep.key[0] = u"abc";  // key order: the first bad key wins
    EXPECT_EQ(CheckWepEntries(wep).field, Field::WepKey1);
}

TEST(WirelessChecks, RadiusEntries)
{
    struct ServerCase {
        std::array<uint8_t, 4> ip;
        bool ok;
    };
    const ServerCase servers[] = {
        {{10, 0, 0, 3}, true},  {{0, 1, 2, 3}, false},  {{127, 0, 0, 1}, false},  {{224, 0, 0, 1}, false},
        {{223, 1, 1, 1}, true}, {{10, 0, 0, 0}, false}, {{10, 0, 0, 255}, false},
    };
    for (const ServerCase& s : servers) EXPECT_EQ(CheckRadiusServer(s.ip) == nullptr, s.ok) << int(s.ip[0]);

    struct PortCase {
        std::u16string text;
        bool ok;
    };
    const PortCase ports[] = {{u"", false}, {u"0", false}, {u"1", true}, {u"65535", true}, {u"65536", false}};
    for (const PortCase& p : ports) EXPECT_EQ(CheckRadiusPort(p.text) == nullptr, p.ok) << p.text.size();

    EXPECT_EQ(CheckRadiusKey(u""), kMsgRadiusKey);
    EXPECT_EQ(CheckRadiusKey(u"k"), nullptr);
    EXPECT_EQ(CheckRadiusKey(Repeat(u'k', 64)), nullptr);
    EXPECT_EQ(CheckRadiusKey(Repeat(u'k', 65)), kMsgRadiusKey);
    EXPECT_EQ(CheckRadiusKey(u"\u65e0"), kMsgRadiusKey);

    WpaEntries wpa{0, {10, 0, 0, 3}, u"1812", u"secret", u"0"};
    EXPECT_TRUE(CheckWpaEntries(wpa).ok());
    struct OrderCase {
        void (*spoil)(WpaEntries&);
        Field field;
    };
    const OrderCase order[] = {
        {[](WpaEntries& w) { w.keyTime = u"59"; }, Field::RadiusKeyTime},
        {[](WpaEntries& w) { w.key.clear(); }, Field::RadiusKey},
        {[](WpaEntries& w) { w.port.clear(); }, Field::RadiusPort},
        {[](WpaEntries& w) { w.radiusServer[0] = 0; }, Field::RadiusServer},
    };
    for (const OrderCase& o : order) {  // each spoils one more entry: the earliest check reports
        o.spoil(wpa);
        EXPECT_EQ(CheckWpaEntries(wpa).field, o.field);
    }
}

// A record as a device of list W on 2.4 GHz sends it.
ap_info_stu Record(uint16_t type)
{
    ap_info_stu r{};
    r.ap_type = type;
    RADIO_BLOCK& b = r.radio_block;
    b.rf_count = 1;
    b.rf_en = 1;
    b.rf_type = 0;
    b.country_code = 1;  // US
    b.network_mode = 4;
    b.bandwidth = 1;
    b.channel = 6;
    b.expand_channel = 1;
    b.tx_power = 20;
    b.tx_power_min = 1;
    b.tx_power_max = 27;
    b.unread11[3] = 0x5A;
    b.unread327 = 0x3C;
    SECURITY_BLOCK& s = b.security;
    s.ssid_len = SetFieldText(s.ssid, "Net-1");
    s.secure_mode = kSecureWpa2Psk;
    s.wpapsk_key_value_len = SetFieldText(s.wpapsk_key_value, "password1");
    s.wpapsk_key_time = 3600;
    s.wep_key[0].len = SetFieldText(s.wep_key[0].value, "abcde");
    s.wpa_radius_port = 1812;
    s.ssid_count = 1;
    r.extension_block.wl_dfs = 1;
    return r;
}

// The entries of a page loaded from `r` and not touched.
WirelessEntries Entries(const ap_info_stu& r)
{
    const RADIO_BLOCK& b = r.radio_block;
    const SECURITY_BLOCK& s = b.security;
    WirelessEntries e;
    e.ssid = u"Net-1";
    e.ssidLocal = "Net-1";
    e.dfs = r.extension_block.wl_dfs != 0;
    e.country = CountryIndexOfCode(b.country_code);
    e.networkMode = b.network_mode;
    e.bandwidth = b.bandwidth;
    e.channel = b.channel;
    e.expandChannel = b.expand_channel;
    e.power = std::u16string(u"20");
    e.secureMode = s.secure_mode;
    e.pskCipher = s.wpapsk_auth_type;
    e.pskKey = u"password1";
    e.pskKeyTime = u"3600";
    e.wep.key[0] = u"abcde";
    e.wpa.port = u"1812";
    return e;
}

TEST(WirelessBlocks, UnchangedEntriesGiveTheRecordsBlock)
{
    const ap_info_stu r = Record(25);  // list W
    ASSERT_TRUE(InListW(25));
    const WirelessEntries e = Entries(r);
    EXPECT_TRUE(CheckWirelessEntries(e, r).ok());
    const RADIO_BLOCK b = BuildRadioBlock(r, e);
    EXPECT_EQ(std::memcmp(&b, &r.radio_block, sizeof b), 0);
    EXPECT_FALSE(IsWirelessChanged(r, b, BuildRadioExtension(true)));
    EXPECT_TRUE(IsWirelessChanged(r, b, BuildRadioExtension(false)));  // DFS alone counts for list W

    const ap_info_stu notW = Record(1);
    EXPECT_FALSE(IsWirelessChanged(notW, BuildRadioBlock(notW, Entries(notW)), BuildRadioExtension(false)))
        << "the DFS byte is not sent outside list W, so it cannot be a change";

    const EXTENSION_BLOCK x = BuildRadioExtension(true);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&x);
    for (size_t i = 0; i < sizeof x; ++i) EXPECT_EQ(bytes[i], i == 12 ? 1 : 0) << i;
}

TEST(WirelessBlocks, FieldsFromTheEntries)
{
    ap_info_stu r = Record(1);
    r.radio_block.rf_count = 0;
    r.radio_block.ssid_rf_type = 7;
    r.radio_block.security.ssid_id = 3;
    WirelessEntries e = Entries(r);
    e.country = IndexOf("Test");
    e.channel = 9;
    e.expandChannel = 0;
    e.power = u"27";
    e.ssidHide = true;
    e.ssid = u"\u65e0\u7ebf";
    e.ssidLocal = "\xe6\x97\xa0\xe7\xba\xbf";
    e.secureMode = kSecureWep;
    e.wep.authType = 1;
    e.wep.defaultKey = 3;
    e.wep.keyType = {kWepAscii, kWepHex, kWepAscii, kWepHex};
    e.wep.key = {u"abcde", u"", u"", u"0123456789abcdef0123456789"};
    ASSERT_TRUE(CheckWirelessEntries(e, r).ok());

    const RADIO_BLOCK b = BuildRadioBlock(r, e);
    EXPECT_EQ(b.rf_count, 1);
    EXPECT_EQ(b.ssid_rf_type, 0);
    EXPECT_EQ(b.country_code, 61);
    EXPECT_EQ(b.channel, 9);
    EXPECT_EQ(b.expand_channel, 0);
    EXPECT_EQ(b.tx_power, 27);
    EXPECT_EQ(b.unread11[3], 0x5A);  // bytes without a name keep the record's value
    EXPECT_EQ(b.unread327, 0x3C);
    const SECURITY_BLOCK& s = b.security;
    EXPECT_EQ(s.ssid_id, 0);
    EXPECT_EQ(s.ssid_hide, 1);
    EXPECT_EQ(FieldText(s.ssid, s.ssid_len), "\xe6\x97\xa0\xe7\xba\xbf");
    EXPECT_EQ(s.secure_mode, kSecureWep);
    EXPECT_EQ(s.wep_auth_type, 1);
    EXPECT_EQ(s.wep_key_index, 3);
    EXPECT_EQ(s.wep_key[1].type, kWepHex);
    EXPECT_EQ(s.wep_key[1].len, 0);
    EXPECT_EQ(FieldText(s.wep_key[3].value, s.wep_key[3].len), "0123456789abcdef0123456789");
    // The PSK fields of the mode not chosen keep the record's bytes.
    EXPECT_EQ(FieldText(s.wpapsk_key_value, s.wpapsk_key_value_len), "password1");
    EXPECT_TRUE(IsWirelessChanged(r, b, BuildRadioExtension(true)));
}

TEST(WirelessBlocks, ExpandChannelAndUnselectedCombos)
{
    const ap_info_stu r = Record(1);
    struct Case {
        const char* what;
        std::optional<uint8_t> mode, width, channel, expand;
        uint8_t rfType;
        uint8_t expected;
    };
    const Case cases[] = {
        {"40 MHz 11b/g/n: the chosen item", 4, 1, 6, 0, 0, 0},
        {"20 MHz: none", 4, 0, 6, 0, 0, kExpandNone},
        {"11b/g: none", 0, 1, 6, 1, 0, kExpandNone},
        {"Auto channel: none", 4, 1, 0, 1, 0, kExpandNone},
        {"5 GHz: the record's value", 3, 0, 36, 0, 1, 1},
    };
    for (const Case& c : cases) {
        ap_info_stu rec = r;
        rec.radio_block.rf_type = c.rfType;
        WirelessEntries e = Entries(rec);
        e.networkMode = c.mode;
        e.bandwidth = c.width;
        e.channel = c.channel;
        e.expandChannel = c.expand;
        EXPECT_EQ(BuildRadioBlock(rec, e).expand_channel, c.expected) << c.what;
    }

    // Combos without a selection keep the record's fields.
    WirelessEntries e = Entries(r);
    e.country.reset();
    e.channel.reset();
    e.secureMode.reset();
    const RADIO_BLOCK b = BuildRadioBlock(r, e);
    EXPECT_EQ(b.country_code, r.radio_block.country_code);
    EXPECT_EQ(b.channel, r.radio_block.channel);
    EXPECT_EQ(b.security.secure_mode, r.radio_block.security.secure_mode);
}

TEST(WirelessChecks, CollectOrder)
{
    const ap_info_stu r = Record(1);
    struct Case {
        const char* what;
        void (*spoil)(WirelessEntries&);
        Field field;
        const char* message;
    };
    const Case cases[] = {
        {"ssid first", [](WirelessEntries& e) { e.ssid.clear(), e.power.clear(); }, Field::Ssid,
         kMsgSsidEmpty},
        {"power", [](WirelessEntries& e) { e.power = u"28", e.pskKey.clear(); }, Field::Power,
         kMsgPowerRange},
        {"psk key", [](WirelessEntries& e) { e.pskKey = u"short", e.pskKeyTime.clear(); }, Field::PskKey,
         kMsgPskKey64},
        {"psk interval", [](WirelessEntries& e) { e.pskKeyTime.clear(); }, Field::PskKeyTime,
         kMsgKeyIntervalEmpty},
        {"none checks no key", [](WirelessEntries& e) { e.secureMode = kSecureNone, e.pskKey.clear(); },
         Field::None, nullptr},
        {"wep default key", [](WirelessEntries& e) { e.secureMode = kSecureWep, e.wep.defaultKey = 1; },
         Field::WepKey2, kMsgWepKeyEmpty[1]},
        {"radius", [](WirelessEntries& e) { e.secureMode = kSecureWpa2; }, Field::RadiusServer,
         kMsgRadiusServer},
        {"unselected mode: the record's (WPA2-PSK)",
         [](WirelessEntries& e) { e.secureMode.reset(), e.pskKey.clear(); }, Field::PskKey, kMsgPskKey64},
    };
    for (const Case& c : cases) {
        WirelessEntries e = Entries(r);
        c.spoil(e);
        const CheckResult got = CheckWirelessEntries(e, r);
        EXPECT_EQ(got.field, c.field) << c.what;
        EXPECT_STREQ(got.message ? got.message : "", c.message ? c.message : "") << c.what;
    }
}

}  // namespace
}  // namespace pontiq::wireless
