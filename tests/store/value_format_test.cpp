#include "store/value_format.h"

#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace pontiq {
namespace {

// A "translation" that marks every looked-up key, so a test sees which texts went through it.
class TranslatedTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetTextTranslator([](std::string_view key) { return "<" + std::string(key) + ">"; });
    }
    void TearDown() override { SetTextTranslator(nullptr); }
};

TEST_F(TranslatedTextTest, DisplayTextsGoThroughTheHook)
{
    EXPECT_EQ(StatusText(5), "<Reseting>");
    EXPECT_EQ(WorkModeText(3), "<Universal Repeater>");
    EXPECT_EQ(SecurityText(4), "<WPAWPA2_PSK>");
    EXPECT_EQ(ChannelText(0), "<Auto>");
    EXPECT_EQ(ChannelText(149), "149");
    EXPECT_EQ(TransparentBridgeText(1, 1, 1), "<On2>");
    EXPECT_EQ(KelvraText(6, 0), "<Off2>");
    // Not translated: the "N/A" marker, model names, empty texts of unknown codes.
    EXPECT_EQ(TransparentBridgeText(4, 1, 1), "N/A");
    EXPECT_EQ(KelvraText(1, 1), "N/A");
    EXPECT_NE(ModelName(1).front(), '<');
    EXPECT_EQ(StatusText(10), "");
}

TEST_F(TranslatedTextTest, HookCanBeReadFromSeveralThreads)
{
    std::vector<std::thread> threads;
    std::array<bool, 4> ok{};
    for (size_t t = 0; t < ok.size(); ++t) {
        threads.emplace_back([&ok, t] {
            bool all = true;
            for (int i = 0; i < 2000; ++i) all = all && StatusText(1) == "<Online>";
            ok[t] = all;
        });
    }
    for (auto& th : threads) th.join();
    for (bool b : ok) EXPECT_TRUE(b);
}

TEST(ValueTextTest, WithoutHookTheKeyIsShown)
{
    SetTextTranslator(nullptr);
    EXPECT_EQ(TranslateText("Online"), "Online");
    EXPECT_EQ(ChannelText(0), "Auto");
}

TEST(ValueTextTest, CodeTables)
{
    const std::vector<std::string> status = {
        "Outline",  "Online",       "Bridge success", "Bridge fail",     "Restarting",
        "Reseting", "Upgrade wait", "Upgrading",      "Upgrade success", "Upgrade fail"};
    for (uint32_t i = 0; i < status.size(); ++i) EXPECT_EQ(StatusText(i), status[i]) << i;
    EXPECT_EQ(StatusText(10), "");
    EXPECT_EQ(StatusText(0xFFFFFFFFu), "");

    const std::vector<std::string> modes = {
        "", "AP", "Station", "Universal Repeater", "Repeater", "P2MP", "WISP", "Router", ""};
    for (uint32_t i = 0; i < modes.size(); ++i) EXPECT_EQ(WorkModeText(i), modes[i]) << i;

    const std::vector<std::string> security = {"Disable",     "WEP", "WPA_PSK", "WPA2_PSK",
                                               "WPAWPA2_PSK", "WPA", "WPA2",    ""};
    for (uint32_t i = 0; i < security.size(); ++i) EXPECT_EQ(SecurityText(i), security[i]) << i;
}

TEST(ValueTextTest, Uptime)
{
    const struct {
        uint32_t seconds;
        const char* text;
    } cases[] = {
        {0, "0:0:0"},
        {59, "0:0:59"},
        {3661, "1:1:1"},
        {86399, "23:59:59"},
        {86400, "1 0:0:0"},
        {90061, "1 1:1:1"},
        {0xFFFFFFFFu, "49710 6:28:15"},
    };
    for (const auto& c : cases) EXPECT_EQ(UptimeText(c.seconds), c.text) << c.seconds;
}

TEST(ValueTextTest, TransparentBridgeAndKelvraSets)
{
    // WISP (and the other routed modes) is "N/A" whatever the code and value.
    for (uint32_t mode : {4u, 5u, 6u, 7u}) {
        for (uint32_t code : {1u, 6u, 265u}) {
            EXPECT_EQ(TransparentBridgeText(code, mode, 0), "N/A");
            EXPECT_EQ(TransparentBridgeText(code, mode, 1), "N/A");
        }
    }
    for (uint32_t code : {4u, 32u, 33u, 261u}) EXPECT_EQ(TransparentBridgeText(code, 1, 1), "N/A") << code;
    EXPECT_EQ(TransparentBridgeText(5, 2, 7), "On2");
    EXPECT_EQ(TransparentBridgeText(5, 3, 0), "Off2");

    int kelvra = 0;
    for (uint32_t code : ModelCodes()) kelvra += IsKelvraAvailable(code) ? 1 : 0;
    EXPECT_EQ(kelvra, 30);
    EXPECT_EQ(KelvraText(285, 1), "On2");
    EXPECT_EQ(KelvraText(271, 1), "N/A");
    EXPECT_EQ(KelvraText(0, 1), "N/A");

    for (uint32_t code : {4u, 17u, 261u, 276u}) EXPECT_TRUE(UsesNameRuleA(code)) << code;
    EXPECT_FALSE(UsesNameRuleA(5));
}

TEST(ModelTest, FiftySixDistinctNamesThatRoundTrip)
{
    const std::vector<uint32_t> codes = ModelCodes();
    ASSERT_EQ(codes.size(), 56u);
    std::vector<uint32_t> expected;
    for (uint32_t c = 1; c <= 25; ++c) expected.push_back(c);
    expected.push_back(32);
    expected.push_back(33);
    for (uint32_t c = 257; c <= 285; ++c) expected.push_back(c);
    EXPECT_EQ(codes, expected);

    std::set<std::string> names;
    for (uint32_t c : codes) {
        const std::string name = ModelName(c);
        EXPECT_FALSE(name.empty()) << c;
        names.insert(name);
        EXPECT_EQ(ModelCode(name), static_cast<int32_t>(c)) << name;
    }
    EXPECT_EQ(names.size(), 56u);
}

TEST(ModelTest, UnknownCodesAndNamesFallBackToCodeOne)
{
    for (uint32_t code : {0u, 26u, 31u, 34u, 256u, 286u, 0xFFFFFFFFu})
        EXPECT_EQ(ModelName(code), ModelName(1));
    EXPECT_EQ(ModelCode(""), 1);
    EXPECT_EQ(ModelCode("no such model"), 1);
    // Exact and case-sensitive.
    std::string lower = ModelName(5);
    for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    EXPECT_EQ(ModelCode(lower), 1);
    EXPECT_EQ(ModelCode(ModelName(5) + " "), 1);
}

TEST(AddressTest, TextForms)
{
    const uint8_t ip[4] = {192, 168, 0, 254};
    EXPECT_EQ(IpText(ip), "192.168.0.254");
    const uint8_t mac[6] = {0x00, 0x1a, 0xAB, 0xff, 0x01, 0x10};
    EXPECT_EQ(MacText(mac), "00:1a:ab:ff:01:10");

    const uint8_t mask[4] = {255, 255, 252, 0};
    const uint8_t host[4] = {10, 20, 7, 9};
    EXPECT_EQ(NetworkAddress(host, mask), "10.20.4.0");
    const uint8_t same[4] = {10, 20, 5, 200};
    const uint8_t other[4] = {10, 20, 8, 1};
    EXPECT_TRUE(InSameSubnet(host, same, mask));
    EXPECT_FALSE(InSameSubnet(host, other, mask));
}

TEST(AddressTest, IpToBytesFollowsScanRules)
{
    const struct {
        const char* text;
        std::array<uint8_t, 4> bytes;
    } cases[] = {
        {"", {0, 0, 0, 0}},
        {"192.168.1.20", {192, 168, 1, 20}},
        {"1.2.3", {1, 2, 3, 0}},                         // missing part reads as 0
        {"1.2.x.4", {1, 2, 0, 0}},                       // the scan stops at the first unreadable part
        {"256.257.-1.300", {0, 1, 255, 44}},             // low 8 bits of each part
        {" 7. 8.9.10", {7, 8, 9, 10}},                   // %d skips blanks before a number
        {"7 .8.9.10", {7, 0, 0, 0}},                     // ... but the dot must follow directly
        {"99999999999999999999.1.1.1", {255, 1, 1, 1}},  // no overflow: 10^20 - 1 mod 256
        {"1.2.3.4junk", {1, 2, 3, 4}},
    };
    for (const auto& c : cases) EXPECT_EQ(IpToBytes(c.text), c.bytes) << c.text;
}

TEST(AddressTest, IpToNumber)
{
    EXPECT_EQ(IpToNumber(""), 0u);
    EXPECT_EQ(IpToNumber("192.168.1.20"), 0xC0A80114u);
    EXPECT_EQ(IpToNumber("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(IpToNumber("10.0.0"), 0x0A000000u);
    // An out-of-range part keeps its low 8 bits and never spills into the next octet.
    EXPECT_EQ(IpToNumber("1.256.3.4"), 0x01000304u);
    EXPECT_EQ(IpToNumber("1.2.3.-1"), 0x010203FFu);
    // Agrees with the bytes for every well-formed text.
    for (const char* t : {"0.0.0.1", "172.16.254.3", "224.0.0.251"}) {
        const auto b = IpToBytes(t);
        EXPECT_EQ(IpToNumber(t),
                  (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]);
    }
}

TEST(AddressTest, MacToBytes)
{
    using Mac = std::array<uint8_t, 6>;
    EXPECT_EQ(MacToBytes(""), Mac{});
    EXPECT_EQ(MacToBytes("00:1a:AB:ff:01:10"), (Mac{0x00, 0x1a, 0xab, 0xff, 0x01, 0x10}));
    EXPECT_EQ(MacToBytes("00:1a:ab"), (Mac{0x00, 0x1a, 0xab, 0, 0, 0}));
    EXPECT_EQ(MacToBytes("zz:11:22:33:44:55"), Mac{});
    // Three hex digits: the scan takes two, then fails at the third where ':' is expected.
    EXPECT_EQ(MacToBytes("123:45:67:89:ab:cd"), (Mac{0x12, 0, 0, 0, 0, 0}));

    // A view into a field that continues past the text must not be read beyond its end.
    const char field[] = "aa:bb:cc:dd:ee:ff99";
    EXPECT_EQ(MacToBytes(std::string_view(field, 16)), (Mac{0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x0f}));
    const char unterminated[4] = {'1', '2', ':', '3'};
    EXPECT_EQ(MacToBytes(std::string_view(unterminated, 4)), (Mac{0x12, 0x03, 0, 0, 0, 0}));
}

TEST(AddressTest, HeaderMacFromText)
{
    using Mac = std::array<uint8_t, 6>;
    EXPECT_EQ(HeaderMacFromText(""), Mac{});
    EXPECT_EQ(HeaderMacFromText("01:02:03:04:05:06"), (Mac{1, 2, 3, 4, 5, 6}));
    const char raw[6] = {'\x01', '\x00', '\xff', 'A', 'b', '\x7f'};
    EXPECT_EQ(HeaderMacFromText(std::string_view(raw, 6)), (Mac{1, 0, 0xff, 'A', 'b', 0x7f}));
    EXPECT_EQ(HeaderMacFromText("ab"), (Mac{'a', 'b', 0, 0, 0, 0}));
}

TEST(SplitTextTest, Parts)
{
    using Parts = std::vector<std::string>;
    const struct {
        const char* text;
        const char* separator;
        Parts parts;
    } cases[] = {
        {"", ".", {""}},
        {"abc", ".", {"abc"}},
        {"1.2.3.4", ".", {"1", "2", "3", "4"}},
        {"1..3", ".", {"1", "", "3"}},
        {".a", ".", {"", "a"}},
        {"a.b.c.", ".", {"a", "b", "c", ""}},  // three separators give four parts, none extra
        {"a, b, c", ", ", {"a", "b", "c"}},    // a longer separator keeps the last part
        {"a.b", "", {"a.b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitText(c.text, c.separator), c.parts) << c.text;
}

TEST(ValidationTest, Ip)
{
    const struct {
        const char* text;
        bool allowEmpty;
        bool valid;
    } cases[] = {
        {"", true, true},
        {"0.0.0.0", true, true},
        {"", false, false},
        {"0.0.0.0", false, false},
        {"10.1.2.3", false, true},
        {"127.0.0.1", false, false},
        {"10.0.0.0", false, false},
        {"10.0.0.255", false, false},
        {"224.0.0.1", false, false},
        {"223.1.1.1", false, true},
        {"255.1.1.1", false, false},
        {"0.1.2.3", true, false},
        {"10.0.0", true, false},
        {"10.0.0.1.2", false, false},
        {"1.2.3.", false, false},
        {"a.b.c.d", false, false},
        {"1.2.3.256", false, false},
        // A part the bytes cannot hold must not pass as a different address.
        {"1.2.3.257", false, false},
        {"300.1.1.1", false, false},
        {"10.1.2.3x", false, false},
        {"10.1.2. 3", false, false},
        {"10.+1.2.3", false, false},
        {"010.1.2.3", false, true},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidIp(c.text, c.allowEmpty), c.valid) << c.text;
}

TEST(ValidationTest, Mask)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"255.255.255.0", true},    {"255.255.255.254", true},  {"128.0.0.0", true},
        {"255.0.0.0", true},        {"255.255.0.0", true},      {"255.255.255.128", true},
        {"255.255.255.255", false}, {"0.0.0.0", false},         {"255.0.255.0", false},
        {"255.255.0", false},       {"255.255.253.0", false},   {"255.255.255.0 ", false},
        {"255x255.255.0", false},   {"255.255.255.0.0", false}, {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsValidMask(c.text), c.valid) << c.text;
}

TEST(ValidationTest, DnsDifferent)
{
    EXPECT_FALSE(AreDnsDifferent("8.8.8.8", "8.8.8.8"));
    EXPECT_TRUE(AreDnsDifferent("8.8.8.8", "8.8.4.4"));
    EXPECT_TRUE(AreDnsDifferent("", ""));
    EXPECT_TRUE(AreDnsDifferent("0.0.0.0", "0.0.0.0"));
    EXPECT_TRUE(AreDnsDifferent("8.8.8.8", ""));
    EXPECT_TRUE(AreDnsDifferent("0.0.0.0", "8.8.8.8"));
}

TEST(ValidationTest, HexAndAscii)
{
    EXPECT_TRUE(IsHexText(u""));
    EXPECT_TRUE(IsHexText(u"0123456789abcdefABCDEF"));
    EXPECT_FALSE(IsHexText(u"12g4"));
    EXPECT_FALSE(IsHexText(u"\uFF11"));  // full-width digit
    EXPECT_TRUE(IsAsciiText(u""));
    EXPECT_TRUE(IsAsciiText(u"abc\x7f"));
    EXPECT_FALSE(IsAsciiText(u"caf\u00e9"));
}

TEST(ValidationTest, WideChineseRange)
{
    const char16_t punctuation[] = {0x00B7, 0x2014, 0x2018, 0x2019, 0x201C, 0x201D, 0x2026, 0x3001, 0x3002,
                                    0x3008, 0x3009, 0x300A, 0x300B, 0x300C, 0x300D, 0x300E, 0x300F, 0x3010,
                                    0x3011, 0x3014, 0x3015, 0xFE43, 0xFE44, 0xFE4F, 0xFF01, 0xFF08, 0xFF09,
                                    0xFF0C, 0xFF1A, 0xFF1B, 0xFF1F, 0xFF5E, 0xFFE5};
    static_assert(std::size(punctuation) == 33);
    std::set<char16_t> listed(std::begin(punctuation), std::end(punctuation));
    // Every code unit outside the ideograph block is accepted exactly when it is listed.
    for (uint32_t c = 0; c <= 0xFFFF; ++c) {
        const auto ch = static_cast<char16_t>(c);
        const bool expected = (c >= 0x4E00 && c <= 0x9FA5) || listed.count(ch) > 0;
        ASSERT_EQ(IsWideChinese(ch), expected) << std::hex << c;
    }
}

TEST(ValidationTest, NameRules)
{
    const std::u16string ten(10, u'\u4E2D');
    const std::u16string eleven(11, u'\u4E2D');
    EXPECT_EQ(Utf8Length(ten), 30u);
    EXPECT_EQ(Utf8Length(eleven), 33u);

    const struct {
        std::u16string text;
        bool a;
        bool b;
    } cases[] = {
        {u"", true, true},
        {u"AP-01_roof.east", true, true},
        {u"!#$%&()*+-./<=>?^_~@", true, true},
        {ten, true, true},
        {eleven, false, false},
        {ten + u"ab", true, true},     // 32 bytes
        {ten + u"abc", false, false},  // 33 bytes
        {u"roof east", false, true},   // a blank is rule B only
        {u"a,b;c'\"", false, true},
        {u"caf\u00e9", false, false},         // Latin-1 letter: neither
        {u"\u4E2D\u3002\uFF01", true, true},  // Chinese punctuation counts as Chinese
        {std::u16string(1, u'\0'), false, false},
        {std::u16string(32, u'x'), true, true},
        {std::u16string(33, u'x'), false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsNameTextA(c.text), c.a) << Utf8Length(c.text);
        EXPECT_EQ(IsNameTextB(c.text), c.b) << Utf8Length(c.text);
    }
}

TEST(Utf8LengthTest, CountsPerCodeUnit)
{
    EXPECT_EQ(Utf8Length(u""), 0u);
    EXPECT_EQ(Utf8Length(u"\u007F"), 1u);
    EXPECT_EQ(Utf8Length(u"\u0080"), 2u);
    EXPECT_EQ(Utf8Length(u"\u07FF"), 2u);
    EXPECT_EQ(Utf8Length(u"\u0800"), 3u);
    EXPECT_EQ(Utf8Length(u"\U0001F600"), 6u);  // a surrogate pair counts twice three
}

TEST(Utf8LengthTest, TruncateKeepsWholeCharacters)
{
    // 40 bytes: 8 ASCII, 4 two-byte, 3 three-byte (25), an emoji (31), 3 + 4 + 2 more.
    const std::u16string text =
        u"abcdefgh\u00e9\u00e9\u00e9\u00e9\u4E2D\u4E2D\u4E2D\U0001F600\u4E2D\u00e9\u00e9xy";
    ASSERT_EQ(Utf8Length(text), 40u);

    EXPECT_EQ(TruncateUtf8(text, 32), text.substr(0, 17));  // through the emoji: 31 bytes
    EXPECT_EQ(TruncateUtf8(text, 30), text.substr(0, 15));  // the emoji goes whole, not half
    EXPECT_EQ(TruncateUtf8(text, 40), text);
    EXPECT_EQ(TruncateUtf8(u"\u4E2D", 2), u"");

    for (size_t budget = 0; budget <= 41; ++budget) {
        const std::u16string cut = TruncateUtf8(text, budget);
        ASSERT_EQ(text.compare(0, cut.size(), cut), 0);
        EXPECT_LE(Utf8Length(cut), budget);
        if (cut.size() == text.size()) continue;
        EXPECT_FALSE(cut.size() > 0 && cut.back() >= 0xD800 && cut.back() <= 0xDBFF) << budget;
        // Longest prefix: the next whole character would not fit.
        const size_t units = text[cut.size()] >= 0xD800 && text[cut.size()] <= 0xDBFF ? 2 : 1;
        EXPECT_GT(Utf8Length(text.substr(0, cut.size() + units)), budget) << budget;
    }
}

}  // namespace
}  // namespace pontiq
