#include "comm/operate_character.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <thread>
#include <vector>

namespace pontiq {
namespace {

// UTF-8 and GBK forms of the same texts.
const std::string kZhongUtf8 = "\xE4\xB8\xAD";  // 中
const std::string kZhongGbk = "\xD6\xD0";
const std::string kWenUtf8 = "\xE6\x96\x87";  // 文
const std::string kWenGbk = "\xCE\xC4";
const std::string kEAcuteUtf8 = "\xC3\xA9";  // é
const std::string kEAcuteGbk = "\xA8\xA6";
const std::string kMiddleDotUtf8 = "\xC2\xB7";  // ·, counted as Chinese punctuation
const std::string kMiddleDotGbk = "\xA1\xA4";
const std::string kGrinUtf8 = "\xF0\x9F\x98\x80";  // U+1F600, not in GBK

std::string Repeat(const std::string& s, size_t n)
{
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

class OperateCharacterGbkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!gbk.IsLocalUtf8() && gbk.LocalEncoding() == "GBK") return;
        GTEST_SKIP() << "iconv has no GBK converter";
    }
    COperateCharacter gbk{"GBK"};
    COperateCharacter utf8{"UTF-8"};
};

TEST(OperateCharacterTest, EncodingNames)
{
    EXPECT_TRUE(COperateCharacter("UTF-8").IsLocalUtf8());
    EXPECT_TRUE(COperateCharacter("utf8").IsLocalUtf8());
    EXPECT_FALSE(COperateCharacter("ISO-8859-1").IsLocalUtf8());
    // An encoding iconv does not know degrades to copies instead of failing every call.
    const COperateCharacter unknown("NO-SUCH-CODESET");
    EXPECT_EQ(unknown.LocalEncoding(), "UTF-8");
    EXPECT_EQ(unknown.Utf8ToLocal(kZhongUtf8), kZhongUtf8);
}

TEST(OperateCharacterTest, ProcessEncodingOfTheCLocaleIsUtf8)
{
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(COperateCharacter::LocalEncodingName(), "UTF-8");
    if (std::setlocale(LC_ALL, "C.UTF-8") != nullptr) {
        EXPECT_TRUE(COperateCharacter(COperateCharacter::LocalEncodingName()).IsLocalUtf8());
    }
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(OperateCharacterTest, CompleteUtf8Length)
{
    const struct {
        std::string text;
        size_t length;
    } cases[] = {
        {"", 0},
        {"abc", 3},
        {"a" + kZhongUtf8, 4},
        {"a" + kZhongUtf8.substr(0, 2), 1},
        {"a" + kZhongUtf8.substr(0, 1), 1},
        {"a" + kEAcuteUtf8.substr(0, 1), 1},  // two-byte sequences are recognised too
        {"a" + kEAcuteUtf8, 3},
        {"a" + kGrinUtf8, 5},
        {"a" + kGrinUtf8.substr(0, 3), 1},
        {"a\x80", 2},  // stray continuation byte: not a cut-off tail
        {"\x80\x80\x80\x80", 4},
        {"\xE4", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(COperateCharacter::CompleteUtf8Length(c.text), c.length) << c.text;
}

TEST_F(OperateCharacterGbkTest, DeviceTextToLocal)
{
    const std::string tenZhongUtf8 = Repeat(kZhongUtf8, 10);
    const struct {
        const char* what;
        std::string field;
        uint8_t length;
        std::string asUtf8;
        std::string asGbk;
    } cases[] = {
        {"ascii", "AP-roof", 7, "AP-roof", "AP-roof"},
        {"length over field width", "abc", 200, "abc", "abc"},
        {"length under field width", "abcdef", 3, "abc", "abc"},
        {"empty", "xyz", 0, "", ""},
        {"cut inside a 3-byte char at 32", tenZhongUtf8 + kZhongUtf8.substr(0, 2), 32, tenZhongUtf8,
         Repeat(kZhongGbk, 10)},
        {"cut inside a 2-byte char", "caf" + kEAcuteUtf8.substr(0, 1), 4, "caf", "caf"},
        {"complete 2-byte char kept", "caf" + kEAcuteUtf8, 5, "caf" + kEAcuteUtf8, "caf" + kEAcuteGbk},
        {"3-byte then 2-byte", kZhongUtf8 + kEAcuteUtf8, 5, kZhongUtf8 + kEAcuteUtf8, kZhongGbk + kEAcuteGbk},
        {"cut inside a 4-byte char", "ok" + kGrinUtf8.substr(0, 3), 5, "ok", "ok"},
        {"complete 4-byte char GBK lacks", "ok" + kGrinUtf8, 6, "ok" + kGrinUtf8, "ok?"},
        {"invalid byte",
         "a\xFF"
         "b",
         3,
         "a\xFF"
         "b",
         "a?b"},
        {"stray continuation at end", "ab\x80", 3, "ab\x80", "ab?"},
        {"lone lead byte", "\xE4", 1, "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(utf8.DeviceTextToLocal(c.field, c.length), c.asUtf8) << c.what;
        EXPECT_EQ(gbk.DeviceTextToLocal(c.field, c.length), c.asGbk) << c.what;
    }
}

TEST_F(OperateCharacterGbkTest, RoundTrips)
{
    const std::string textUtf8 = "AP " + kZhongUtf8 + kWenUtf8 + kEAcuteUtf8 + kMiddleDotUtf8;
    const std::string textGbk = "AP " + kZhongGbk + kWenGbk + kEAcuteGbk + kMiddleDotGbk;
    const std::u16string text16 = u"AP \u4E2D\u6587\u00E9\u00B7";

    EXPECT_EQ(gbk.LocalToUtf8(textGbk), textUtf8);
    EXPECT_EQ(gbk.Utf8ToLocal(textUtf8), textGbk);
    EXPECT_EQ(gbk.LocalToUtf16(textGbk), text16);
    EXPECT_EQ(gbk.Utf16ToLocal(text16), textGbk);

    EXPECT_EQ(utf8.LocalToUtf8(textUtf8), textUtf8);
    EXPECT_EQ(utf8.Utf8ToLocal(textUtf8), textUtf8);
    EXPECT_EQ(utf8.LocalToUtf16(textUtf8), text16);
    EXPECT_EQ(utf8.Utf16ToLocal(text16), textUtf8);
    EXPECT_EQ(utf8.LocalToUtf16(kGrinUtf8), u"\U0001F600");
    EXPECT_EQ(utf8.Utf16ToLocal(u"\U0001F600"), kGrinUtf8);

    EXPECT_EQ(gbk.LocalToUtf8(""), "");
    EXPECT_EQ(gbk.LocalToUtf16(""), u"");
    EXPECT_EQ(gbk.Utf16ToLocal(u""), "");
}

TEST_F(OperateCharacterGbkTest, SubstitutionForBadInput)
{
    // One '?' per character GBK cannot hold, not one per byte or code unit.
    EXPECT_EQ(gbk.Utf8ToLocal("x" + kGrinUtf8 + "y"), "x?y");
    EXPECT_EQ(gbk.Utf8ToLocal("\xE0\xB8\x81"), "?");  // Thai letter
    EXPECT_EQ(gbk.Utf16ToLocal(u"x\U0001F600y"), "x?y");
    // One '?' per byte that starts no valid character; the conversion goes on after it.
    EXPECT_EQ(gbk.Utf8ToLocal("a\xC0\xAF"
                              "b"),
              "a??b");  // overlong '/'
    EXPECT_EQ(gbk.Utf8ToLocal("a\xED\xA0\x80"
                              "b"),
              "a???b");  // encoded surrogate
    EXPECT_EQ(gbk.Utf8ToLocal("a" + kZhongUtf8.substr(0, 2)), "a??");
    EXPECT_EQ(gbk.LocalToUtf16("\xD6"), u"?");  // lead byte at the end
    EXPECT_EQ(gbk.LocalToUtf16("\xD6"
                               "0"),
              u"?0");  // bad trail byte: the ASCII after it survives
    EXPECT_EQ(gbk.LocalToUtf8("a\xFF"
                              "b"),
              "a?b");
    // Lone surrogates in window text.
    const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
    EXPECT_EQ(gbk.Utf16ToLocal(lone), "a?b?");
    EXPECT_EQ(utf8.Utf16ToLocal(lone), "a?b?");
    // A UTF-8 local encoding copies local <-> UTF-8, but window text never holds bad bytes.
    EXPECT_EQ(utf8.Utf8ToLocal("a\xFF"
                               "b"),
              "a\xFF"
              "b");
    EXPECT_EQ(utf8.LocalToUtf16("a\xFF"
                                "b"),
              u"a?b");
}

TEST_F(OperateCharacterGbkTest, OutgoingTextRule)
{
    const struct {
        const char* what;
        const COperateCharacter& cs;
        std::string local;
        std::string wire;
    } cases[] = {
        {"ascii", gbk, "Tower-1", "Tower-1"},
        {"gbk with chinese becomes utf-8", gbk, "AP" + kZhongGbk + kWenGbk, "AP" + kZhongUtf8 + kWenUtf8},
        {"gbk punctuation counts as chinese", gbk, "a" + kMiddleDotGbk + kEAcuteGbk,
         "a" + kMiddleDotUtf8 + kEAcuteUtf8},
        {"gbk latin letter alone stays", gbk, "caf" + kEAcuteGbk, "caf" + kEAcuteGbk},
        {"high bytes without chinese stay", gbk, "caf\xE9", "caf\xE9"},
        {"utf-8 with chinese", utf8, "AP" + kZhongUtf8, "AP" + kZhongUtf8},
        {"utf-8 without chinese", utf8, "caf" + kEAcuteUtf8, "caf" + kEAcuteUtf8},
        {"latin-1 bytes on utf-8 stay", utf8, "caf\xE9 \xFC", "caf\xE9 \xFC"},
        {"empty", utf8, "", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.cs.OutgoingText(c.local), c.wire) << c.what;
}

TEST_F(OperateCharacterGbkTest, ConcurrentConversions)
{
    const std::string textUtf8 = Repeat(kZhongUtf8 + "ab" + kEAcuteUtf8 + kGrinUtf8, 20);
    const std::string expected = Repeat(kZhongGbk + "ab" + kEAcuteGbk + "?", 20);
    const std::string back = Repeat(kZhongUtf8 + "ab" + kEAcuteUtf8 + "?", 20);
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) {
                if (gbk.Utf8ToLocal(textUtf8) != expected) ++failures[t];
                if (gbk.LocalToUtf8(expected) != back) ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace
}  // namespace pontiq
