#include "app/language.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "app/skin_paths.h"
#include "tests/app/temp_dir.h"

namespace pontiq {
namespace {

using test::TempDir;

TEST(LocaleNumber, FromPosixLocaleNames)
{
    const struct {
        const char* name;
        uint32_t expected;
    } cases[] = {
        {"zh_CN", 2052},
        {"zh_CN.UTF-8", 2052},
        {"zh_CN.GB18030", 2052},
        {"zh-cn", 2052},
        {"en_US.UTF-8", 1033},
        {"en_GB", 2057},
        {"zh_TW.UTF-8", 1028},
        {"zh_HK", 3076},
        {"de_DE", 1031},
        {"de_DE@euro", 1031},
        {"de_AT", 3079},
        {"fr_FR.UTF-8", 1036},
        {"ja_JP.eucJP", 1041},
        {"ko_KR", 1042},
        {"ru_RU", 1049},
        {"es_ES", 3082},
        {"pt_BR", 1046},
        {"zh", 2052},
        {"de_XX", 1031},
        {"C", 1033},
        {"C.UTF-8", 1033},
        {"POSIX", 1033},
        {"", 1033},
        {"xx_YY", 1033},
        {"_US", 1033},
        {".UTF-8", 1033},
    };
    for (const auto& c : cases) EXPECT_EQ(LocaleNumberFromName(c.name), c.expected) << '"' << c.name << '"';
}

TEST(LocaleNumber, FirstNonEmptyOfLcAllLcMessagesLang)
{
    const struct {
        std::map<std::string, std::string> env;
        uint32_t expected;
    } cases[] = {
        {{{"LC_ALL", "zh_CN.UTF-8"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "fr_FR"}}, 2052},
        {{{"LC_ALL", ""}, {"LC_MESSAGES", "de_DE"}, {"LANG", "fr_FR"}}, 1031},
        {{{"LANG", "ja_JP.UTF-8"}}, 1041},
        {{{"LC_CTYPE", "zh_CN.UTF-8"}}, 1033},
        {{}, 1033},
    };
    for (const auto& c : cases) {
        const uint32_t got = LocaleNumberFromEnvironment([&c](const char* name) -> const char* {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(got, c.expected);
    }
    EXPECT_EQ(LocaleNumberFromEnvironment(nullptr), 1033u);
}

TEST(LanguageSelection, PicksTheFileNamedForTheLocale)
{
    TempDir dir;
    dir.Write("Languages/Language.ini",
              "[LCID]\r\n1033=English\r\n  2052 =  Chinese  \r\n1041=\r\n1028=Chinese_TW\r\n");
    const struct {
        uint32_t locale;
        uint32_t expectedLocale;
        const char* expectedName;
    } cases[] = {
        {2052, 2052, "Chinese"},    {1033, 1033, "English"},
        {1028, 1028, "Chinese_TW"}, {1041, 1033, "English"},  // empty entry
        {1031, 1033, "English"},                              // no entry
        {0x20804, 1033, "English"},                           // the key is the whole number
    };
    for (const auto& c : cases) {
        const LanguageState s = SelectLanguage(dir.Dir(), c.locale);
        EXPECT_EQ(s.localeNumber, c.expectedLocale) << c.locale;
        EXPECT_EQ(s.languageName, c.expectedName) << c.locale;
        EXPECT_EQ(s.languageFilePath, dir.Dir() + "Languages/" + c.expectedName + ".lng") << c.locale;
    }

    TempDir empty;
    const LanguageState none = SelectLanguage(empty.Dir(), 2052);
    EXPECT_EQ(none.localeNumber, 1033u);
    EXPECT_EQ(none.languageName, "English");
    EXPECT_EQ(none.languageFilePath, empty.Dir() + "Languages/English.lng");
}

TEST(LanguageTable, TranslatesWithEscapes)
{
    const LanguageTable table = LanguageTable::Parse(
        "\xEF\xBB\xBF; comment\r\n"
        "[ProgramOutStr]\r\n"
        "online=在线\r\n"
        "caption=[~Null~]\r\n"
        "hidden=[~NullInfoChrys~]\r\n"
        "two lines=first\\r\\nsecond\r\n"
        "lf=a\\nb\r\n"
        "Mixed Case Key=found\r\n"
        "empty=\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "emptydup=\r\n"
        "emptydup=later\r\n"
        "quoted=\"  spaced  \"\r\n"
        "[Other]\r\n"
        "other=not this section\r\n");
    const struct {
        const char* text;
        std::string expected;
    } cases[] = {
        {"Online", "在线"},
        {"ONLINE", "在线"},
        {"  online ", "在线"},
        {"caption", " "},
        {"hidden", ""},
        {"Two lines", "first\r\nsecond"},
        {"lf", "a\nb"},
        {"mixed case key", "found"},
        {"Empty", "Empty"},
        {"dup", "first"},
        {"emptydup", "emptydup"},
        {"quoted", "  spaced  "},
        {"other", "other"},
        {"Not in the file", "Not in the file"},
        {"Built-in\\r\\nbreak[~Null~]x", "Built-in\r\nbreak x"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(table.Translate(c.text), c.expected) << '"' << c.text << '"';
}

TEST(LanguageTable, EscapesApplyInOrder)
{
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a\\r\\nb", "a\r\nb"},
        {"a\\rb", "a\\rb"},
        {"a\\n\\nb", "a\n\nb"},
        {"[~Null[~NullInfoChrys~]~]", " "},  // removal first, then the blank
        {"[~NullInfoChrys~][~Null~]", " "},
        {"x[~null~]", "x[~null~]"},
    };
    for (const auto& c : cases) EXPECT_EQ(ExpandLanguageEscapes(c.text), c.expected) << c.text;
}

TEST(LanguageTable, ValueIsCutTo1023Characters)
{
    const std::string value(1100, 'v');
    const LanguageTable table = LanguageTable::Parse("[ProgramOutStr]\nlong=" + value + "\n");
    EXPECT_EQ(table.Translate("long"), value.substr(0, 1023));
}

TEST(LanguageTable, MissingOrEmptyFileKeepsBuiltInTexts)
{
    TempDir dir;
    dir.Write("Empty.lng", "");
    for (const std::string& path : {dir.File("Absent.lng"), dir.File("Empty.lng"), dir.Dir()}) {
        const LanguageTable table = LanguageTable::Load(path);
        EXPECT_EQ(table.Size(), 0u) << path;
        EXPECT_EQ(table.Translate("Online"), "Online") << path;
    }
}

// The process-wide state; every test leaves it on built-in English.
class LoadedLanguage : public ::testing::Test {
protected:
    void SetUp() override
    {
        chinese_.Write("Languages/Language.ini", "[LCID]\n1033=English\n2052=Chinese\n");
        chinese_.Write("Languages/Chinese.lng", "[ProgramOutStr]\nonline=在线\nauto=自动\n");
        chinese_.Write("Languages/English.lng", "[ProgramOutStr]\nonline=Online\non2=On\n");
    }
    void TearDown() override { LoadLanguage(none_.Dir(), 1033); }

    TempDir chinese_;
    TempDir none_;
};

TEST_F(LoadedLanguage, ChineseLocaleGivesChineseTextsAndPictures)
{
    const LanguageState s = LoadLanguage(chinese_.Dir(), 2052);
    EXPECT_EQ(s.languageName, "Chinese");
    EXPECT_EQ(CurrentLocaleNumber(), 2052u);
    EXPECT_EQ(CurrentLanguage().languageFilePath, chinese_.Dir() + "Languages/Chinese.lng");
    EXPECT_EQ(Translate("Online"), "在线");
    EXPECT_EQ(Translate("Auto"), "自动");
    EXPECT_EQ(Translate("Outline"), "Outline");

    const SkinPaths skin = BuildSkinPaths(chinese_.Dir(), CurrentLocaleNumber());
    EXPECT_EQ(skin.help, chinese_.Dir() + "Skin/help_chinese.jpg");
    EXPECT_EQ(skin.web, chinese_.Dir() + "Skin/web_chinese.bmp");
    EXPECT_EQ(skin.bridge, chinese_.Dir() + "Skin/bridge_chinese.bmp");
}

TEST_F(LoadedLanguage, OtherLocalesGiveEnglish)
{
    for (uint32_t locale : {1033u, 1041u}) {
        const LanguageState s = LoadLanguage(chinese_.Dir(), locale);
        EXPECT_EQ(s.languageName, "English") << locale;
        EXPECT_EQ(s.localeNumber, 1033u) << locale;
        EXPECT_EQ(Translate("On2"), "On") << locale;
        EXPECT_EQ(BuildSkinPaths(chinese_.Dir(), s.localeNumber).help,
                  chinese_.Dir() + "Skin/help_other.jpg");
    }
    const LanguageState s = LoadLanguage(none_.Dir(), 2052);
    EXPECT_EQ(s.languageName, "English");
    EXPECT_EQ(s.localeNumber, 1033u);
    EXPECT_EQ(Translate("On2"), "On2");
}

TEST_F(LoadedLanguage, TranslateIsSafeWhileALanguageLoads)
{
    std::atomic<bool> stop{false};
    std::atomic<int> bad{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i) {
        readers.emplace_back([&] {
            while (!stop.load()) {
                const std::string t = Translate("Online");
                if (t != "在线" && t != "Online") bad.fetch_add(1);
            }
        });
    }
    for (int i = 0; i < 50; ++i) LoadLanguage(chinese_.Dir(), i % 2 ? 2052 : 1033);
    stop = true;
    for (std::thread& t : readers) t.join();
    EXPECT_EQ(bad.load(), 0);
}

TEST(SkinPaths, EveryPathIsInTheSkinFolder)
{
    const SkinPaths p = BuildSkinPaths("/opt/pontiq/", 1033);
    EXPECT_EQ(p.skinDir, "/opt/pontiq/Skin/");
    EXPECT_EQ(p.applicationIcon, "/opt/pontiq/Skin/Application.ico");
    EXPECT_EQ(p.waitSearch, "/opt/pontiq/Skin/wait_search.gif");
    EXPECT_EQ(p.signalStrength[0], "/opt/pontiq/Skin/singal_strength0.bmp");
    EXPECT_EQ(p.signalStrength[5], "/opt/pontiq/Skin/singal_strength5.bmp");
    EXPECT_EQ(p.help, "/opt/pontiq/Skin/help_other.jpg");
    // Only the low 16 bits of the locale decide the pictures.
    EXPECT_EQ(BuildSkinPaths("/p/", 0x20804).help, "/p/Skin/help_chinese.jpg");
    EXPECT_EQ(BuildSkinPaths("/p/", 1028).web, "/p/Skin/web_other.bmp");
}

TEST(ShippedLanguageFiles, ChineseAndEnglishAreSelectable)
{
    const std::string dir = PONTIQ_SOURCE_DIR "/resources/";
    for (const auto& [locale, name] : {std::pair{2052u, "Chinese"}, std::pair{1033u, "English"}}) {
        const LanguageState s = SelectLanguage(dir, locale);
        EXPECT_EQ(s.languageName, name);
        const LanguageTable table = LanguageTable::Load(s.languageFilePath);
        EXPECT_GT(table.Size(), 0u) << name;
        EXPECT_NE(table.Translate("On2"), "On2") << name;
        EXPECT_NE(table.Translate("Off2"), "Off2") << name;
    }
}

}  // namespace
}  // namespace pontiq
