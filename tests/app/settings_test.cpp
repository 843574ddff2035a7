#include "app/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "app/ini_file.h"
#include "tests/app/temp_dir.h"

namespace pontiq {
namespace {

using test::TempDir;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kPrevious{1, 2, 3};

SkinSettings DefaultSkin()
{
    SkinSettings s;
    s.childBkColor = {255, 255, 255};
    s.fontName = "Arial";
    s.buttonMenuFontWeight = 0;
    s.buttonMenuFontHeight = 15;
    s.buttonMenuFontColor = kBlack;
    s.buttonFontWeight = 0;
    s.buttonFontHeight = 15;
    s.buttonFontColor = kBlack;
    s.staticFontWeight = 0;
    s.staticFontHeight = 15;
    s.staticFontTextColor = kBlack;
    s.staticFontBkColor = {255, 255, 255};
    s.textDownColor = {216, 34, 40};
    s.lineColor = {215, 215, 215};
    s.expertTextColor = {255, 0, 0};
    s.staticTextNumberColor = {142, 142, 142};
    s.gridTitleFontWeight = 700;
    s.gridTitleFontHeight = 15;
    s.gridFontWeight = 0;
    s.gridFontHeight = 15;
    s.gridTextColor = kBlack;
    s.gridTitleTextColor = {237, 112, 32};
    s.gridTitleBkColor = {221, 217, 196};
    s.textUnlineColor = {142, 142, 142};
    s.textOnlineColor = {0, 153, 0};
    s.gridTitleFont = {15, 700, "Arial"};
    s.gridFont = {15, 0, "Arial"};
    return s;
}

// Field by field, so that a failure names the field.
void ExpectSkin(const SkinSettings& actual, const SkinSettings& expected)
{
#define PONTIQ_EXPECT_FIELD(f) EXPECT_TRUE(actual.f == expected.f) << #f
    PONTIQ_EXPECT_FIELD(childBkColor);
    PONTIQ_EXPECT_FIELD(fontName);
    PONTIQ_EXPECT_FIELD(buttonMenuFontWeight);
    PONTIQ_EXPECT_FIELD(buttonMenuFontHeight);
    PONTIQ_EXPECT_FIELD(buttonMenuFontColor);
    PONTIQ_EXPECT_FIELD(buttonFontWeight);
    PONTIQ_EXPECT_FIELD(buttonFontHeight);
    PONTIQ_EXPECT_FIELD(buttonFontColor);
    PONTIQ_EXPECT_FIELD(staticFontWeight);
    PONTIQ_EXPECT_FIELD(staticFontHeight);
    PONTIQ_EXPECT_FIELD(staticFontTextColor);
    PONTIQ_EXPECT_FIELD(staticFontBkColor);
    PONTIQ_EXPECT_FIELD(textDownColor);
    PONTIQ_EXPECT_FIELD(lineColor);
    PONTIQ_EXPECT_FIELD(expertTextColor);
    PONTIQ_EXPECT_FIELD(staticTextNumberColor);
    PONTIQ_EXPECT_FIELD(gridTitleFontWeight);
    PONTIQ_EXPECT_FIELD(gridTitleFontHeight);
    PONTIQ_EXPECT_FIELD(gridFontWeight);
    PONTIQ_EXPECT_FIELD(gridFontHeight);
    PONTIQ_EXPECT_FIELD(gridTextColor);
    PONTIQ_EXPECT_FIELD(gridTitleTextColor);
    PONTIQ_EXPECT_FIELD(gridTitleBkColor);
    PONTIQ_EXPECT_FIELD(textUnlineColor);
    PONTIQ_EXPECT_FIELD(textOnlineColor);
    PONTIQ_EXPECT_FIELD(gridTitleFont);
    PONTIQ_EXPECT_FIELD(gridFont);
#undef PONTIQ_EXPECT_FIELD
}

TEST(SettingNumber, ReadsLikeAtoi)
{
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        {"2000", 2000},
        {"  12abc", 12},
        {"\t\r\n 7", 7},
        {"-5", -5},
        {"+8", 8},
        {"abc", 0},
        {"", 0},
        {"- 3", 0},
        {"--3", 0},
        {"0x10", 0},
        {"1 2", 1},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-99999999999999999999", INT_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSettingNumber(c.text), c.expected) << '"' << c.text << '"';
}

TEST(SettingColour, NeedsExactlyThreePartsOf0To255)
{
    const struct {
        const char* text;
        Rgb expected;
    } cases[] = {
        {"10,20,30", {10, 20, 30}},
        {"10, 20, 30", {10, 20, 30}},
        {" 10 ,\t20 , 30 ", {10, 20, 30}},
        {"0,0,0", kBlack},
        {"255,255,255", {255, 255, 255}},
        {"007,08,9", {7, 8, 9}},
        {"10,20", kPrevious},
        {"10,20,256", kPrevious},
        {"1,2,3,4", kPrevious},
        {"1,2,3,", kPrevious},
        {"10,,30", kPrevious},
        {"-1,2,3", kPrevious},
        {"+1,2,3", kPrevious},
        {"a,b,c", kPrevious},
        {"1,2,3x", kPrevious},
        {"1 2,3,4", kPrevious},
        {"99999999999,2,3", kPrevious},
        {"", kPrevious},
        {"red", kPrevious},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(ParseSettingColour(c.text, kPrevious) == c.expected) << '"' << c.text << '"';
    }
}

class SettingsLoader : public ::testing::Test {
protected:
    AppSettings Load(const std::string& settingIni)
    {
        dir_.Write("Setting.ini", settingIni);
        return LoadSettings(dir_.Dir(), "1.0.0.1");
    }
    TempDir dir_;
};

TEST_F(SettingsLoader, MissingFileGivesEveryDefault)
{
    const AppSettings s = LoadSettings(dir_.Dir(), "1.0.0.1");
    ExpectSkin(s.skin, DefaultSkin());
    EXPECT_EQ(s.retransmissionMax, 3);
    EXPECT_EQ(s.retransmissionInterval, 2000);
    EXPECT_EQ(s.gridRowHeight, 48);
    EXPECT_EQ(s.versionLabel, "V1.0.0.1");
    EXPECT_EQ(s.programDir, dir_.Dir());
}

TEST_F(SettingsLoader, ShippedFileHoldsTheDefaults)
{
    const std::string dir = PONTIQ_SOURCE_DIR "/resources/";
    const IniFile shipped = IniFile::Load(dir + "Setting.ini");
    ASSERT_FALSE(shipped.Empty());
    const AppSettings s = LoadSettings(dir, "");
    ExpectSkin(s.skin, DefaultSkin());
    EXPECT_EQ(s.retransmissionMax, 3);
    EXPECT_EQ(s.retransmissionInterval, 2000);
    EXPECT_EQ(s.versionLabel, "V");
    // Every key is written out, not just defaulted.
    for (const char* key : {"ChildBkColor", "ButtonMenuFontColor", "TextOnlineColor", "ExpertTextColor"}) {
        EXPECT_TRUE(shipped.HasKey("Color", key)) << key;
    }
    for (const char* key : {"FontName", "GridTitleFontWeight", "StaticFontHeight"}) {
        EXPECT_TRUE(shipped.HasKey("Font", key)) << key;
    }
    EXPECT_TRUE(shipped.HasKey("Setting", "retransmission_max"));
    EXPECT_TRUE(shipped.HasKey("Setting", "retransmission_interval"));
}

TEST_F(SettingsLoader, MalformedColourIsBlackNotTheDefault)
{
    for (const char* value : {"10,20", "10,20,256", "white", ""}) {
        const AppSettings s = Load(std::string("[Color]\nChildBkColor=") + value + "\n");
        EXPECT_TRUE(s.skin.childBkColor == kBlack) << value;
        EXPECT_TRUE(s.skin.staticFontBkColor == (Rgb{255, 255, 255})) << "other keys keep their defaults";
    }
    EXPECT_TRUE(Load("[Color]\nChildBkColor=10, 20, 30\n").skin.childBkColor == (Rgb{10, 20, 30}));
}

TEST_F(SettingsLoader, MalformedColourOnALaterLoadKeepsTheGoodOne)
{
    AppSettings s;
    ReadSettings(IniFile::Parse("[Color]\nLineColor=1,2,3\n"), "", "", s);
    ReadSettings(IniFile::Parse("[Color]\nLineColor=1,2\n"), "", "", s);
    EXPECT_TRUE(s.skin.lineColor == (Rgb{1, 2, 3}));
}

TEST_F(SettingsLoader, NumbersAndRetransmission)
{
    const AppSettings s = Load(
        "\xEF\xBB\xBF[setting]\r\nRETRANSMISSION_MAX = 5\r\nretransmission_interval=fast\r\n"
        "[FONT]\r\nGridFontHeight=  12abc\r\nGridTitleFontWeight=\r\nfontname = Noto Sans CJK SC \r\n");
    EXPECT_EQ(s.retransmissionMax, 5);
    EXPECT_EQ(s.retransmissionInterval, 0);
    EXPECT_EQ(s.skin.gridFontHeight, 12);
    EXPECT_EQ(s.skin.gridTitleFontWeight, 0);
    EXPECT_TRUE(s.skin.gridFont == (FontSpec{12, 0, "Noto Sans CJK SC"}));
    EXPECT_TRUE(s.skin.gridTitleFont == (FontSpec{15, 0, "Noto Sans CJK SC"}));
    EXPECT_EQ(s.gridRowHeight, 48);
}

TEST_F(SettingsLoader, LongFontNameIsCutTo127)
{
    const AppSettings s = Load("[Font]\nFontName=" + std::string(300, 'F') + "\n");
    EXPECT_EQ(s.skin.fontName, std::string(127, 'F'));
    EXPECT_EQ(s.skin.gridFont.face, s.skin.fontName);
}

}  // namespace
}  // namespace pontiq
