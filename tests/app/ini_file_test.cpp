#include "app/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "tests/app/temp_dir.h"

namespace pontiq {
namespace {

using test::ReadBytes;
using test::TempDir;

struct ReadCase {
    const char* name;
    std::string text;
    const char* section;
    const char* key;
    size_t buffer;
    std::string expected;
};

TEST(IniFileRead, FollowsTheProfileStringRules)
{
    const std::string long200(200, 'x');
    std::string accents;  // 200 two-byte characters
    for (int i = 0; i < 200; ++i) accents += "\xC3\xA9";
    std::string accents127;
    for (int i = 0; i < 127; ++i) accents127 += "\xC3\xA9";
    std::string long1100(1100, 'y');

    const ReadCase cases[] = {
        {"plain", "[Color]\nLineColor=1,2,3\n", "Color", "LineColor", 128, "1,2,3"},
        {"section and key ignore case", "[COLOR]\nlinecolor=1\n", "color", "LINECOLOR", 128, "1"},
        {"blanks around key and value", "[S]\n  \tKey \t=  some value \t\n", "S", "Key", 128, "some value"},
        {"blanks inside brackets", "[  S  ]\nk=v\n", "S", "k", 128, "v"},
        {"indented section line", "   [S]\nk=v\n", "S", "k", 128, "v"},
        {"CRLF line ends", "[S]\r\na=1\r\nb=2\r\n", "S", "b", 128, "2"},
        {"CR line ends", "[S]\ra=1\rb=2\r", "S", "b", 128, "2"},
        {"UTF-8 BOM before first section", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", 128, "v"},
        {"no final line end", "[S]\nk=v", "S", "k", 128, "v"},
        {"equals sign inside value", "[S]\nurl=http://x/?a=b\n", "S", "url", 128, "http://x/?a=b"},
        {"empty value is not missing", "[S]\nk=\n", "S", "k", 128, ""},
        {"first key wins", "[S]\nk=first\nk=second\n", "S", "k", 128, "first"},
        {"first key wins across repeated sections", "[S]\nk=first\n[T]\n[S]\nk=second\n", "S", "k", 128,
         "first"},
        {"key found in a repeated section", "[S]\na=1\n[S]\nk=late\n", "S", "k", 128, "late"},
        {"double quotes stripped", "[S]\nk=\"  padded  \"\n", "S", "k", 128, "  padded  "},
        {"single quotes stripped", "[S]\nk='v'\n", "S", "k", 128, "v"},
        {"only one pair stripped", "[S]\nk=\"\"v\"\"\n", "S", "k", 128, "\"v\""},
        {"unmatched quotes kept", "[S]\nk=\"v'\n", "S", "k", 128, "\"v'"},
        {"one quote kept", "[S]\nk=\"\n", "S", "k", 128, "\""},
        {"inner quotes kept", "[S]\nk=a \"b\" c\n", "S", "k", 128, "a \"b\" c"},
        {"cut to 127", "[S]\nk=" + long200 + "\n", "S", "k", 128, long200.substr(0, 127)},
        {"cut to 1023", "[S]\nk=" + long1100 + "\n", "S", "k", 1024, long1100.substr(0, 1023)},
        {"cut counts UTF-8 characters", "[S]\nk=" + accents + "\n", "S", "k", 128, accents127},
        {"buffer of one gives empty", "[S]\nk=v\n", "S", "k", 1, ""},
    };
    for (const ReadCase& c : cases) {
        EXPECT_EQ(IniFile::Parse(c.text).GetString(c.section, c.key, "DEF", c.buffer), c.expected) << c.name;
    }
}

TEST(IniFileRead, GivesTheDefaultWhenTheKeyIsNotThere)
{
    const ReadCase cases[] = {
        {"other section", "[A]\nk=v\n", "B", "k", 128, ""},
        {"key before any section", "k=v\n[S]\n", "S", "k", 128, ""},
        {"comment line", "[S]\n;k=v\n  ; k=w\n", "S", "k", 128, ""},
        {"line without equals", "[S]\nk\n", "S", "k", 128, ""},
        {"unclosed section header", "[S\nk=v\n", "S", "k", 128, ""},
        {"empty key", "[S]\n=v\n", "S", "", 128, ""},
        {"empty text", "", "S", "k", 128, ""},
        {"key is a prefix", "[S]\nkey2=v\n", "S", "key", 128, ""},
    };
    for (const ReadCase& c : cases) {
        const IniFile ini = IniFile::Parse(c.text);
        EXPECT_FALSE(ini.HasKey(c.section, c.key)) << c.name;
        EXPECT_EQ(ini.GetString(c.section, c.key, "DEF", c.buffer), "DEF") << c.name;
    }
    // The default is cut like a value.
    EXPECT_EQ(IniFile().GetString("S", "k", std::string(300, 'd'), 128), std::string(127, 'd'));
}

TEST(IniFileRead, MissingOrUnreadableFilesReadAsEmpty)
{
    TempDir dir;
    std::filesystem::create_directory(dir.File("folder.ini"));
    for (const std::string& path :
         {dir.File("absent.ini"), dir.File("no/such/dir.ini"), dir.File("folder.ini"), std::string()}) {
        EXPECT_TRUE(IniFile::Load(path).Empty()) << path;
        EXPECT_EQ(COperateFileIni().ReadString(path, "S", "k", "def"), "def") << path;
    }
    dir.Write("real.ini", "[S]\r\nk = v \r\n");
    EXPECT_EQ(COperateFileIni().ReadString(dir.File("real.ini"), "s", "K", "def"), "v");
}

struct WriteCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(IniFileWrite, ChangesOneKeyAndKeepsEveryOtherByte)
{
    const WriteCase cases[] = {
        {"value replaced, spacing and comments kept",
         "; head\r\n[SERVER]\r\nPort = 69\r\nDirectory = C:\\old\r\n; tail\r\n", "SERVER", "Directory", "/fw",
         "; head\r\n[SERVER]\r\nPort = 69\r\nDirectory = /fw\r\n; tail\r\n"},
        {"key spelling of the file kept", "[server]\ndirectory=a\n", "SERVER", "Directory", "b",
         "[server]\ndirectory=b\n"},
        {"trailing blanks of the old value go", "[S]\nk=old   \n", "S", "k", "new", "[S]\nk=new\n"},
        {"empty old value", "[S]\nk=\nz=1\n", "S", "k", "v", "[S]\nk=v\nz=1\n"},
        {"only the first duplicate changes", "[S]\nk=1\nk=2\n", "S", "k", "9", "[S]\nk=9\nk=2\n"},
        {"the key a read would find", "[S]\na=1\n[T]\nk=t\n[S]\nk=2\n", "S", "k", "9",
         "[S]\na=1\n[T]\nk=t\n[S]\nk=9\n"},
        {"BOM kept", "\xEF\xBB\xBF[S]\nk=1\n", "S", "k", "2", "\xEF\xBB\xBF[S]\nk=2\n"},
        {"no final line end", "[S]\nk=1", "S", "k", "2", "[S]\nk=2"},
        {"missing key after the last key of its section", "[S]\r\na=1\r\n\r\n; about T\r\n[T]\r\nb=2\r\n",
         "S", "k", "v", "[S]\r\na=1\r\nk=v\r\n\r\n; about T\r\n[T]\r\nb=2\r\n"},
        {"missing key in an empty section", "[S]\n[T]\n", "S", "k", "v", "[S]\nk=v\n[T]\n"},
        {"missing key, section at end without line end", "[S]\na=1", "S", "k", "v", "[S]\na=1\nk=v"},
        {"missing section appended", "[A]\r\nx=1\r\n", "SERVER", "Directory", "/fw",
         "[A]\r\nx=1\r\n\r\n[SERVER]\r\nDirectory=/fw\r\n"},
        {"missing section, no final line end", "[A]\nx=1", "S", "k", "v", "[A]\nx=1\n\n[S]\nk=v\n"},
        {"missing section after a blank line", "[A]\nx=1\n\n", "S", "k", "v", "[A]\nx=1\n\n[S]\nk=v\n"},
        {"empty file", "", "S", "k", "v", "[S]\nk=v\n"},
        {"comment that looks like the key is left alone", "[S]\n;k=old\n", "S", "k", "v",
         "[S]\nk=v\n;k=old\n"},
        {"empty value", "[S]\nk=1\n", "S", "k", "", "[S]\nk=\n"},
    };
    for (const WriteCase& c : cases) {
        std::string out;
        ASSERT_TRUE(SetIniValue(c.before, c.section, c.key, c.value, out)) << c.name;
        EXPECT_EQ(out, c.after) << c.name;
        EXPECT_EQ(IniFile::Parse(out).GetString(c.section, c.key, "DEF"), c.value) << c.name;
    }
}

TEST(IniFileWrite, RefusesWhatWouldNotReadBackAsOneLine)
{
    const struct {
        const char* name;
        std::string section;
        std::string key;
        std::string value;
    } cases[] = {
        {"line break in value", "S", "k", "a\nb"},
        {"carriage return in value", "S", "k", "a\rb"},
        {"NUL in value", "S", "k", std::string("a\0b", 3)},
        {"equals in key", "S", "a=b", "v"},
        {"empty key", "S", "  ", "v"},
        {"comment key", "S", ";k", "v"},
        {"bracket key", "S", "[k", "v"},
        {"line break in key", "S", "k\n", "v"},
        {"empty section", "", "k", "v"},
        {"bracket in section", "S]", "k", "v"},
        {"line break in section", "S\nT", "k", "v"},
    };
    for (const auto& c : cases) {
        std::string out = "untouched";
        EXPECT_FALSE(SetIniValue("[S]\nk=1\n", c.section, c.key, c.value, out)) << c.name;
        EXPECT_EQ(out, "untouched") << c.name;
    }
}

class IniFileOnDisk : public ::testing::Test {
protected:
    TempDir dir_;
    COperateFileIni ini_;
};

TEST_F(IniFileOnDisk, WriteKeepsTheRestOfARealFile)
{
    const std::string original = ReadBytes(PONTIQ_SOURCE_DIR "/tests/data/app/FileServer.ini");
    ASSERT_FALSE(original.empty());
    dir_.Write("service/FileServer.ini", original);
    const std::string path = dir_.File("service/FileServer.ini");

    ASSERT_TRUE(ini_.WriteString(path, "SERVER", "Directory", "/home/user/firmware/"));
    std::string expected = original;
    const std::string oldValue = "C:\\Firmware\\old";
    expected.replace(expected.find(oldValue), oldValue.size(), "/home/user/firmware/");
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ini_.ReadString(path, "SERVER", "Directory", ""), "/home/user/firmware/");
    // No temporary file left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.File("service")),
                            std::filesystem::directory_iterator()),
              1);
}

TEST_F(IniFileOnDisk, CreatesAMissingFileButNotAMissingFolder)
{
    const std::string path = dir_.File("new.ini");
    ASSERT_TRUE(ini_.WriteString(path, "SERVER", "Directory", "/fw"));
    EXPECT_EQ(ReadBytes(path), "[SERVER]\nDirectory=/fw\n");
    EXPECT_FALSE(ini_.WriteString(dir_.File("absent/new.ini"), "SERVER", "Directory", "/fw"));
    EXPECT_FALSE(std::filesystem::exists(dir_.File("absent")));
}

TEST_F(IniFileOnDisk, KeepsModeAndSymbolicLink)
{
    dir_.Write("real.ini", "[S]\nk=1\n");
    chmod(dir_.File("real.ini").c_str(), 0640);
    std::filesystem::create_symlink(dir_.File("real.ini"), dir_.File("link.ini"));

    ASSERT_TRUE(ini_.WriteString(dir_.File("link.ini"), "S", "k", "2"));
    EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("link.ini")));
    EXPECT_EQ(ReadBytes(dir_.File("real.ini")), "[S]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(stat(dir_.File("real.ini").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IniFileOnDisk, RefusesToReplaceWhatItCannotRead)
{
    std::filesystem::create_directory(dir_.File("folder.ini"));
    EXPECT_FALSE(ini_.WriteString(dir_.File("folder.ini"), "S", "k", "v"));
    EXPECT_TRUE(std::filesystem::is_directory(dir_.File("folder.ini")));
    EXPECT_FALSE(ini_.WriteString("", "S", "k", "v"));

    // A refused value leaves the file as it was.
    dir_.Write("keep.ini", "[S]\nk=1\n");
    EXPECT_FALSE(ini_.WriteString(dir_.File("keep.ini"), "S", "k", "two\nlines"));
    EXPECT_EQ(ReadBytes(dir_.File("keep.ini")), "[S]\nk=1\n");
}

}  // namespace
}  // namespace pontiq
