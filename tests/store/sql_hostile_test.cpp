// Texts from users and devices are values, never SQL: quotes, wildcards, comments, statement
// separators, NUL bytes, long texts and double-byte local text neither break a query nor
// match or change anything they should not.
#include <gtest/gtest.h>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

using namespace std::string_literals;

const std::string kNames[] = {
    "",                            // index 0 unused
    "O'Brien",                     // 1
    "x'; DROP TABLE ap_info; --",  // 2
    "50%_off",                     // 3
    "a_b",                         // 4
    "semi;colon",                  // 5
    "ab\0cd"s,                     // 6: a NUL inside the name; the text ends at it
    "plain",                       // 7
    "\xC4\xE3\xBA\xC3",            // 8: two GBK characters
    "abXcd",                       // 9
};
constexpr int kDevices = 9;

class SqlHostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        const uint16_t type = NeutralModelCode({"'", "%", "_", "--", ";", "cd", "\\"});
        for (int i = 1; i <= kDevices; ++i) {
            ap_info_stu r = MakeDevice(i);
            r.ap_type = type;
            r.ap_name_len = SetFieldText(r.ap_name, kNames[i]);
            ASSERT_TRUE(store.SaveDevice(r));
        }
    }

    std::vector<std::string> AllMacs()
    {
        std::vector<std::string> macs;
        EXPECT_TRUE(store.GetAllMacs(macs));
        return macs;
    }

    TempDir dir;
    CSqlManagement store{dir.path()};
};

TEST_F(SqlHostile, SearchTextIsAPlainSubstring)
{
    struct Case {
        std::string search;
        std::vector<int> devices;
    };
    const Case cases[] = {
        {"'", {1, 2}},
        {"' OR '1'='1", {}},
        {"%", {3}},
        {"_", {2, 3, 4}},  // "ap_info" in the name of 2
        {"a_b", {4}},
        {"%_o", {3}},
        {"--", {2}},
        {";", {2, 5}},
        {"; DROP TABLE ap_info; --", {2}},
        {"x'; DELETE FROM ap_info; --", {}},
        {"\\", {}},
        {"\0"s, {}},  // stored texts end at their first NUL
        {"ab\0cd"s, {}},
        {"ab\0"s, {}},
        {"cd", {9}},
        {"\xC4\xE3", {8}},  // a LIKE over UTF-8 characters misses both halves of a GBK text
        {"\xBA\xC3", {8}},
        {std::string(10 * 1024, 'a'), {}},
        {std::string(10 * 1024, '%'), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "search of " << c.search.size() << " bytes: " << c.search.substr(0, 30));
        std::vector<std::string> expected;
        for (int i : c.devices) expected.push_back(MacOf(i));
        for (bool readAll : {false, true}) {
            std::vector<ap_info_stu> list;
            int pages = -1;
            int online = 0;
            const bool ok = readAll
                                ? store.ListDevicesPageReadAll(0, list, pages, online, 30, 1, true, c.search)
                                : store.ListDevicesPage(0, list, pages, online, 30, 1, true, c.search);
            ASSERT_TRUE(ok);
            EXPECT_EQ(MacsOf(list), expected);
            EXPECT_EQ(online, static_cast<int>(expected.size()));
        }
    }
    EXPECT_EQ(AllMacs().size(), static_cast<size_t>(kDevices));
}

TEST_F(SqlHostile, NamesComeBackByteForByteUpToTheFirstNul)
{
    for (int i = 1; i <= kDevices; ++i) {
        SCOPED_TRACE(i);
        ap_info_stu r;
        ASSERT_NE(store.GetDevice(r, MacOf(i)), 0u);
        const std::string& name = kNames[i];
        EXPECT_EQ(FieldText(r.ap_name, r.ap_name_len), name.substr(0, name.find('\0')));
        EXPECT_EQ(r.ap_name_len, std::min(name.size(), name.find('\0')));
    }
}

TEST_F(SqlHostile, MacArgumentsMatchOnlyTheirExactText)
{
    const std::string macs[] = {
        "' OR '1'='1",
        "' OR 1=1 --",
        "%",
        "_",
        MacOf(1) + "' OR '1'='1",
        MacOf(1).substr(0, 16) + "%",
        MacOf(1).substr(0, 16) + "_",
        MacOf(1) + "\0"s,  // a NUL must not make it equal to the MAC before it
        MacOf(1) + "\0x"s,
        MacOf(1).substr(0, 5) + "\0"s + MacOf(1).substr(6),
        "'; DROP TABLE ap_info; --",
        std::string(10 * 1024, '\''),
    };
    for (const std::string& mac : macs) {
        SCOPED_TRACE(testing::Message() << mac.size() << " bytes: " << mac.substr(0, 30));
        ap_info_stu r;
        EXPECT_EQ(store.GetDevice(r, mac), 0u);
        EXPECT_FALSE(store.SetDeviceStatus(mac, STATUS_RESTARTING));
        EXPECT_FALSE(store.UpdateUptime(mac, "1.2.3.4", 1));
        EXPECT_FALSE(store.StartUpgradeStatus(mac));
        EXPECT_FALSE(store.ClearUpgradeFail(mac));
        EXPECT_FALSE(store.IsUpgradeWaiting(mac));
        EXPECT_EQ(store.GetDeviceStatus(mac), 0u);
        EXPECT_FALSE(store.HasBridgedStation(mac));
        std::string peer;
        EXPECT_FALSE(store.FindBridgePeer(mac, peer));
        config_otherwl_basic e;
        EXPECT_FALSE(store.GetScanResult(e, mac));
        EXPECT_TRUE(store.DeleteDevice(mac));  // runs, deletes nothing
    }
    EXPECT_EQ(AllMacs().size(), static_cast<size_t>(kDevices));
    for (int i = 1; i <= kDevices; ++i) EXPECT_EQ(store.GetDeviceStatus(MacOf(i)), 1u);
}

TEST_F(SqlHostile, AHostileMacTextIsJustAKey)
{
    ap_info_stu r = MakeDevice(20);
    SetCText(r.mac, "';DROP TABLE t;--");
    ASSERT_TRUE(store.SaveDevice(r));
    ap_info_stu read;
    EXPECT_NE(store.GetDevice(read, "';DROP TABLE t;--"), 0u);
    EXPECT_TRUE(store.SetDeviceStatus("';DROP TABLE t;--", STATUS_RESETING));
    EXPECT_EQ(store.GetDeviceStatus("';DROP TABLE t;--"), uint32_t{STATUS_RESETING});
    EXPECT_TRUE(store.DeleteDevice("';DROP TABLE t;--"));
    EXPECT_EQ(AllMacs().size(), static_cast<size_t>(kDevices));
}

TEST_F(SqlHostile, StackedStatementsAreNeverRun)
{
    EXPECT_FALSE(store.ExecuteSql("DELETE FROM ap_info WHERE mac='none'; DROP TABLE ap_info"));
    EXPECT_EQ(AllMacs().size(), static_cast<size_t>(kDevices));
}

}  // namespace
}  // namespace pontiq::test
