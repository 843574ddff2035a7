#include "ui/bridge/bridge_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace pontiq::bridge {
namespace {

TEST(BridgeApGrid, SignalPictureAtTheThresholds)
{
    const struct {
        int signal;
        int picture;
    } cases[] = {{-128, 1}, {-76, 1}, {-75, 1}, {-74, 3}, {-60, 3}, {-59, 5}, {0, 5}, {127, 5}};
    for (const auto& c : cases) EXPECT_EQ(SignalPicture(c.signal), c.picture) << c.signal;
}

TEST(BridgeApGrid, SecurityTextOfEveryCode)
{
    const char* expected[] = {"None",
                              "WEP",
                              "WPA-PSK/AES",
                              "WPA-PSK/TKIP",
                              "WPA2-PSK/AES",
                              "WPA2-PSK/TKIP",
                              "WPA2-PSK/TKIP&AES",
                              "WPA/WPA2-PSK/AES",
                              "WPA/WPA2-PSK/TKIP",
                              "WPA/WPA2-PSK/TKIP&AES"};
    for (uint32_t code = 0; code < std::size(expected); ++code)
        EXPECT_EQ(ApSecurityText(code), expected[code]);
    for (uint32_t code : {10u, 12u, 255u, 0xFFFFFFFFu}) EXPECT_EQ(ApSecurityText(code), "WPA-PSK/TKIP&AES");
}

TEST(BridgeApGrid, SortKeyOfEveryColumn)
{
    // Store keys: 0 mac, 1 ssid, 2 channel, 3 secure_mode, 4 signal.
    const int expected[] = {1, 1, 2, 0, 3, 4, 1};
    for (int column = 0; column < 7; ++column) EXPECT_EQ(ScanSortKey(column), expected[column]) << column;
    EXPECT_EQ(ScanSortKey(-1), 1);
}

TEST(BridgeSurveyWatch, CompleteEndsAtOnceTimeoutAtThirty)
{
    SurveyWatch w;
    EXPECT_EQ(w.Tick(true, 21), SurveyWatch::Step::Wait) << "not started";
    w.Start();
    EXPECT_EQ(w.Tick(false, 21), SurveyWatch::Step::Wait);
    EXPECT_EQ(w.Tick(true, 21), SurveyWatch::Step::Finish);
    EXPECT_FALSE(w.Running());
    EXPECT_EQ(w.Tick(true, 21), SurveyWatch::Step::Wait) << "stopped";

    // A lost last page: the flag never comes; the watch ends on tick 30.
    w.Start();
    for (int t = 1; t < 30; ++t) ASSERT_EQ(w.Tick(false, 21), SurveyWatch::Step::Wait) << t;
    EXPECT_EQ(w.Tick(false, 21), SurveyWatch::Step::Finish);
    EXPECT_EQ(w.Ticks(), 30);
}

TEST(BridgeSurveyWatch, TypeThirtyThreeIsAskedEverySecond)
{
    SurveyWatch w;
    w.Start();
    int asks = 0;
    SurveyWatch::Step step;
    while ((step = w.Tick(false, 33)) != SurveyWatch::Step::Finish)
        asks += step == SurveyWatch::Step::AskAgain;
    EXPECT_EQ(asks, 29);  // ticks 1..29; tick 30 ends the watch
}

TEST(BridgeSecurityLists, WepOnlyForItsTypesAndOnce)
{
    for (uint32_t type : {14u, 25u, 272u, 285u}) {
        const auto e = SecureModeEntries(type);
        ASSERT_EQ(e.size(), 5u) << type;
        EXPECT_EQ(e[1], (ListEntry{"WEP", 1}));
    }
    for (uint32_t type : {1u, 12u, 13u, 22u, 33u, 281u, 284u}) {
        const auto e = SecureModeEntries(type);
        ASSERT_EQ(e.size(), 4u) << type;
        EXPECT_EQ(e[0], (ListEntry{"None", 0}));
        EXPECT_EQ(e[1], (ListEntry{"WPA-PSK", 2}));
        EXPECT_EQ(e[3], (ListEntry{"Mixed WPA/WPA2-PSK", 4}));
    }
}

TEST(BridgeSecurityLists, PreselectionOfEveryCode)
{
    const struct {
        uint32_t ap;
        SecurityChoice choice;
    } cases[] = {
        {0, {0, 0}}, {1, {1, 0}}, {2, {2, 0}}, {3, {2, 1}},  {4, {3, 0}},  {5, {3, 1}},   {6, {3, 2}},
        {7, {4, 0}}, {8, {4, 1}}, {9, {4, 2}}, {10, {2, 2}}, {11, {0, 0}}, {255, {0, 0}},
    };
    for (const auto& c : cases) EXPECT_EQ(PreselectSecurity(c.ap, 14), c.choice) << c.ap;
    // No "WEP" in the list: the page falls back to None instead of selecting nothing.
    EXPECT_EQ(PreselectSecurity(1, 21), (SecurityChoice{0, 0}));
    // WPA-PSK has no TKIP-and-AES: code 10 ends with AES.
    EXPECT_EQ(CipherForMode(kModeWpaPsk, kCipherTkipAes), kCipherAes);
    EXPECT_EQ(CipherForMode(kModeWpa2Psk, kCipherTkipAes), kCipherTkipAes);
}

TEST(BridgeSecurityLists, FieldsOfEveryMode)
{
    EXPECT_FALSE(FieldsOfMode(0).psk);
    EXPECT_FALSE(FieldsOfMode(0).wep);
    EXPECT_TRUE(FieldsOfMode(1).wep);
    EXPECT_FALSE(FieldsOfMode(1).psk);
    EXPECT_TRUE(FieldsOfMode(2).psk);
    EXPECT_FALSE(FieldsOfMode(2).tkipAesEnabled);
    EXPECT_TRUE(FieldsOfMode(3).tkipAesEnabled);
    EXPECT_TRUE(FieldsOfMode(4).tkipAesEnabled);
}

TEST(BridgeSecurityLists, BandwidthListShownForItsTypes)
{
    for (uint32_t t : {10u, 12u, 13u, 22u, 271u, 281u, 284u}) EXPECT_TRUE(ShowsBandwidth(t)) << t;
    for (uint32_t t : {1u, 11u, 14u, 33u, 285u}) EXPECT_FALSE(ShowsBandwidth(t)) << t;
}

TEST(BridgeSecurityLists, ChannelListOfTheDevicesCountry)
{
    ap_info_stu r{};
    r.ap_type = 21;
    r.radio_block.rf_type = 1;
    bool test = true;
    r.radio_block.country_code = 1;  // US: the 5 GHz list at 20 MHz
    const std::vector<int> us = WirelessChannelList(r, 0, test);
    EXPECT_FALSE(test);
    ASSERT_FALSE(us.empty());
    EXPECT_EQ(us.front(), 0);
    EXPECT_EQ(us.back(), 165);
    r.radio_block.country_code = 61;  // "Test"
    WirelessChannelList(r, 0, test);
    EXPECT_TRUE(test);
    r.radio_block.country_code = 200;  // no country: no channels
    EXPECT_TRUE(WirelessChannelList(r, 0, test).empty());
    EXPECT_FALSE(test);
}

TEST(BridgeSecurityLists, ChannelFilter)
{
    const std::vector<int> all = {0, 8, 36, 52, 64, 100, 120, 128, 140, 144, 149, 165, 179, 181, 188};
    using V = std::vector<int>;
    const struct {
        bool test;
        uint32_t type;
        uint8_t dfs;
        V expected;
    } cases[] = {
        // Not "Test": 52..64 always out, 100..144 only for the DFS types with DFS on.
        {false, 21, 1, {0, 8, 36, 149, 165, 179, 181, 188}},
        {false, 14, 0, {0, 8, 36, 149, 165, 179, 181, 188}},
        {false, 14, 1, {0, 8, 36, 100, 120, 128, 140, 144, 149, 165, 179, 181, 188}},
        {false, 22, 1, {0, 8, 36, 100, 120, 128, 140, 144, 149, 165, 179, 181, 188}},
        // "Test": 8/179/181/188 out for the narrow types, 120/124/128 for the DFS types.
        {true, 10, 0, {0, 36, 52, 64, 100, 120, 128, 140, 144, 149, 165}},
        {true, 14, 0, {0, 8, 36, 52, 64, 100, 140, 144, 149, 165, 179, 181, 188}},
        {true, 21, 0, all},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterBridgeChannels(all, c.test, c.type, c.dfs), c.expected)
            << c.test << "/" << c.type << "/" << int(c.dfs);
    }
}

SecurityInput Psk(std::u16string key, uint32_t type = 21)
{
    SecurityInput in;
    in.typeCode = type;
    in.ssid = u"Link";
    in.ssidLocal = "Link";
    in.mode = kModeWpa2Psk;
    in.key = key;
    in.keyLocal = std::string(key.begin(), key.end());
    return in;
}

TEST(BridgeSecurityChecks, SsidRules)
{
    SecurityInput in = Psk(u"12345678");
    in.ssid.clear();
    EXPECT_STREQ(CheckSecurity(in).message, "The ssid can not be empty!");
    EXPECT_EQ(CheckSecurity(in).field, SecurityField::Ssid);
    in.ssid = u"Upper Case";
    EXPECT_TRUE(CheckSecurity(in).ok()) << "rule B takes any ASCII";
    in.typeCode = 4;  // rule A: lower case letters and digits only
    EXPECT_STREQ(CheckSecurity(in).message,
                 "SSID maximum allowed 32 bytes, only support combination of Chinese, lowercase letters, 0-9 "
                 "numbers");
    in.typeCode = 21;
    in.ssid = std::u16string(33, u'a');
    EXPECT_STREQ(CheckSecurity(in).message,
                 "SSID maximum allowed 32 bytes, only support combination of Chinese, ASCII characters");
}

TEST(BridgeSecurityChecks, PskKeyLengthsAndCharacters)
{
    const char* kMsg = "Please enter a key for 8~63 ASCII characters or 8~64 HEX characters!";
    const struct {
        std::u16string key;
        bool ok;
    } cases[] = {
        {std::u16string(64, u'a'), true},          // 64 hex digits
        {std::u16string(63, u'a') + u"g", false},  // 64 with a g
        {std::u16string(63, u'~'), true},          // 63 of any ASCII
        {u"1234567", false},                       // 7
        {u"12345678", true},                       // 8
        {std::u16string(65, u'0'), false},         // 65
        {u"1234567\u00e9", false},                 // not ASCII
        {u"", false},
    };
    for (const auto& c : cases) {
        for (int mode : {kModeWpaPsk, kModeWpa2Psk, kModeMixed}) {
            SecurityInput in = Psk(c.key);
            in.mode = mode;
            const SecurityVerdict v = CheckSecurity(in);
            EXPECT_EQ(v.ok(), c.ok) << c.key.size() << " mode " << mode;
            if (!c.ok) {
                EXPECT_STREQ(v.message, kMsg);
                EXPECT_EQ(v.field, SecurityField::Key);
                EXPECT_FALSE(v.applicationCaption);
            }
        }
    }
    SecurityInput none = Psk(u"");
    none.mode = kModeNone;
    EXPECT_TRUE(CheckSecurity(none).ok()) << "no key without security";
}

SecurityInput Wep(std::array<WepKeyInput, 4> keys, int defaultKey)
{
    SecurityInput in = Psk(u"");
    in.mode = kModeWep;
    in.wepKeys = keys;
    in.wepDefaultKey = defaultKey;
    return in;
}

TEST(BridgeSecurityChecks, WepKeys)
{
    const char* kAscii = "WEP key is invalid! Please enter 5 or 13 ASCII characters!";
    const char* kHex = "WEP key is invalid! Please enter 10 or 26 HEX characters!";
    const struct {
        const char* name;
        std::array<WepKeyInput, 4> keys;
        int defaultKey;
        const char* message;
        int key;
    } cases[] = {
        {"ascii 5", {{{u"abcde"}}}, 0, nullptr, -1},
        {"ascii 13", {{{std::u16string(13, u'x')}}}, 0, nullptr, -1},
        {"ascii 6", {{{u"abcdef"}}}, 0, kAscii, 0},
        {"ascii not ascii", {{{u"abcd\u00e9"}}}, 0, kAscii, 0},
        {"hex 10", {{{u"0123456789", kWepHex}}}, 0, nullptr, -1},
        {"hex 26", {{{std::u16string(26, u'F'), kWepHex}}}, 0, nullptr, -1},
        {"hex 5", {{{u"abcde", kWepHex}}}, 0, kHex, 0},
        {"hex with g", {{{u"012345678g", kWepHex}}}, 0, kHex, 0},
        {"bad key 3 with good default", {{{u"abcde"}, {}, {u"abc"}, {}}}, 0, kAscii, 2},
        {"default key 2 empty", {{{u"abcde"}, {}, {}, {}}}, 1, "Please enter the WEP key2!", 1},
        {"default key 4 empty", {{{u"abcde"}, {}, {}, {}}}, 3, "Please enter the WEP key4!", 3},
        {"default key 1 empty", {{{}, {u"abcde"}, {}, {}}}, 0, "Please enter the WEP key1!", 0},
        // Checked as typed and sent: a leading blank is a sixth character.
        {"leading blank", {{{u" abcde"}}}, 0, kAscii, 0},
        {"thirteen with blank", {{{u" abcdefghijkl"}}}, 0, nullptr, -1},
    };
    for (const auto& c : cases) {
        const SecurityVerdict v = CheckSecurity(Wep(c.keys, c.defaultKey));
        if (c.message == nullptr) {
            EXPECT_TRUE(v.ok()) << c.name << ": " << v.message;
            continue;
        }
        EXPECT_STREQ(v.message, c.message) << c.name;
        EXPECT_EQ(v.wepKey, c.key) << c.name;
        EXPECT_TRUE(v.applicationCaption) << c.name;
    }
}

TEST(BridgeSecurityBlock, PskLayout)
{
    SecurityInput in = Psk(u"secret-key");
    in.apMac = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    in.channel = 149;
    in.cipher = kCipherTkipAes;
    in.keyTime = u"0";
    const BRIDGE_SECURITY_BLOCK b = BuildSecurityBlock(in);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&b);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[6], 0x55);
    EXPECT_EQ(bytes[7], 149);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 8)), "Link");
    EXPECT_EQ(bytes[40], 4);
    EXPECT_EQ(bytes[41], 0);
    EXPECT_EQ(bytes[42], kModeWpa2Psk);
    EXPECT_EQ(bytes[43], kCipherTkipAes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 44)), "secret-key");
    EXPECT_EQ(bytes[108], 10);
    for (size_t i = 109; i < 304; ++i) ASSERT_EQ(bytes[i], 0) << i;

    // WPA-PSK never sends TKIP and AES.
    in.mode = kModeWpaPsk;
    EXPECT_EQ(BuildSecurityBlock(in).cipher, kCipherAes);
    // A 32-byte SSID fills its field; a longer local text is cut.
    in.ssidLocal = std::string(40, 's');
    const BRIDGE_SECURITY_BLOCK cut = BuildSecurityBlock(in);
    EXPECT_EQ(cut.ssid_len, 32);
    EXPECT_EQ(cut.zero41, 0);
}

TEST(BridgeSecurityBlock, WepLayoutKeepsTheKeyAsTyped)
{
    SecurityInput in = Wep({{{u" abcdefghijkl"}, {u"0123456789", kWepHex}, {}, {}}}, 1);
    in.wepKeysLocal = {" abcdefghijkl", "0123456789", "", ""};
    in.wepAuth = 1;
    in.key = u"ignored1";
    in.keyLocal = "ignored1";
    const BRIDGE_SECURITY_BLOCK b = BuildSecurityBlock(in);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&b);
    EXPECT_EQ(bytes[42], kModeWep);
    for (size_t i = 43; i < 113; ++i) ASSERT_EQ(bytes[i], 0) << "no PSK bytes in WEP mode: " << i;
    EXPECT_EQ(bytes[113], 1);
    EXPECT_EQ(bytes[114], 1);
    EXPECT_EQ(bytes[115], 0);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 116), 13), " abcdefghijkl");
    EXPECT_EQ(bytes[142], 13);
    EXPECT_EQ(bytes[143], 1);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes + 144), 10), "0123456789");
    EXPECT_EQ(bytes[170], 10);
    EXPECT_EQ(bytes[171 + 27], 0);
    for (size_t i = 227; i < 304; ++i) ASSERT_EQ(bytes[i], 0) << i;
}

IpInput Ip(std::string ip, std::string gw = "192.168.1.1", std::string dns1 = "8.8.8.8",
           std::string dns2 = "8.8.4.4")
{
    return {std::move(ip), "255.255.255.0", std::move(gw), std::move(dns1), std::move(dns2)};
}

TEST(BridgeIpPage, ChecksInOrder)
{
    const std::vector<std::string> stored = {"192.168.1.20", "192.168.1.30"};
    const struct {
        const char* name;
        IpInput in;
        const char* current;
        const char* message;
    } cases[] = {
        {"valid", Ip("192.168.1.40"), "192.168.1.20", nullptr},
        {"own ip stored", Ip("192.168.1.20"), "192.168.1.20", nullptr},
        {"other stored ip", Ip("192.168.1.30"), "192.168.1.20",
         "The ip address is already in use, please respecify!"},
        {"empty current", Ip("192.168.1.30"), "", "The ip address is already in use, please respecify!"},
        {"empty ip", Ip(""), "192.168.1.20", "The ip address is invalid!"},
        {"bad ip", Ip("192.168.1.256"), "192.168.1.20", "The ip address is invalid!"},
        {"bad mask", {"192.168.1.40", "255.0.255.0", "", "", ""}, "", "The subnet mask is invalid!"},
        {"bad gateway", Ip("192.168.1.40", "1.2.3"), "", "The gateway address is invalid!"},
        {"ip is gateway", Ip("192.168.1.1", "192.168.1.1"), "",
         "The ip address and gateway address cannot be the same!"},
        {"gateway elsewhere", Ip("192.168.1.40", "10.0.0.1"), "",
         "Ip address and gateway address is not in the same subnet!"},
        {"gateway 0.0.0.0", Ip("192.168.1.40", "0.0.0.0"), "", nullptr},
        {"no gateway", Ip("192.168.1.40", ""), "", nullptr},
        {"bad dns", Ip("192.168.1.40", "192.168.1.1", "1.2.3"), "", "The primary DNS Server is invalid!"},
        {"same dns", Ip("192.168.1.40", "192.168.1.1", "8.8.8.8", "8.8.8.8"), "",
         "The primary DNS server cannot be the same as the secondary DNS server!"},
    };
    for (const auto& c : cases) {
        const char* m = CheckIpPage(c.in, c.current, stored);
        if (c.message == nullptr) {
            EXPECT_EQ(m, nullptr) << c.name << ": " << m;
        } else {
            EXPECT_STREQ(m, c.message) << c.name;
        }
    }
}

TEST(BridgeIpPage, BlockLayout)
{
    const IP_BLOCK b = BuildIpBlock(Ip("192.168.1.40", "0.0.0.0", "8.8.8.8", ""));
    const uint8_t expected[22] = {1, 192, 168, 1, 40, 255, 255, 255, 0, 0, 0,
                                  0, 0,   8,   8, 8,  8,   0,   0,   0, 0, 0};
    EXPECT_EQ(std::memcmp(&b, expected, sizeof expected), 0);
}

TEST(BridgePayload, SecurityIpAndReservedBytes)
{
    SecurityInput in = Psk(u"12345678");
    const BRIDGE_PAYLOAD p = BuildBridgePayload(BuildSecurityBlock(in), BuildIpBlock(Ip("192.168.1.40")));
    static_assert(sizeof p == 328);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&p);
    EXPECT_EQ(bytes[0], 2);
    EXPECT_EQ(bytes[304], 1);
    EXPECT_EQ(bytes[305], 192);
    EXPECT_EQ(bytes[325], 0);
    EXPECT_EQ(bytes[326], kPayloadByte326);
    EXPECT_EQ(bytes[327], 0);
}

}  // namespace
}  // namespace pontiq::bridge
