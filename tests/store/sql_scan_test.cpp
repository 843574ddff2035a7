// Site-survey results: one row per access point, overwritten by later pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

config_otherwl_basic Entry(const char* mac, const char* ssid, int8_t signal, uint8_t channel, uint8_t secure)
{
    config_otherwl_basic e{};
    SetMac(e.mac, mac);
    e.ssid_len = SetFieldText(e.ssid, ssid);
    e.signal = signal;
    e.channel = channel;
    e.secure_mode = secure;
    e.exchannel = 1;
    e.bandwidth = 2;
    return e;
}

ScanPage MakePage(uint8_t count, uint8_t id, std::initializer_list<config_otherwl_basic> entries)
{
    ScanPage page;
    page.packet_count = count;
    page.packet_id = id;
    for (const config_otherwl_basic& e : entries) page.entries[page.icount++] = e;
    return page;
}

std::vector<std::string> SsidsOf(const std::vector<config_otherwl_basic>& list)
{
    std::vector<std::string> ssids;
    for (const config_otherwl_basic& e : list) ssids.emplace_back(FieldText(e.ssid, e.ssid_len));
    return ssids;
}

class SqlScan : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(store.SaveScanPage(MakePage(2, 0,
                                                {Entry("00:00:00:00:00:03", "gamma", -40, 36, 3),
                                                 Entry("00:00:00:00:00:01", "Alpha", -85, 149, 0)})));
        ASSERT_TRUE(store.SaveScanPage(MakePage(2, 1, {Entry("00:00:00:00:00:02", "beta", -60, 1, 6)})));
    }
    TempDir dir;
    CSqlManagement store{dir.path()};
};

TEST_F(SqlScan, EveryKeyInBothDirections)
{
    struct Case {
        int key;
        std::vector<std::string> ascending;
    };
    const Case cases[] = {
        {0, {"Alpha", "beta", "gamma"}},  // mac
        {1, {"Alpha", "beta", "gamma"}},  // ssid, ASCII case ignored
        {2, {"beta", "gamma", "Alpha"}},  // channel 1, 36, 149
        {3, {"Alpha", "gamma", "beta"}},  // security 0, 3, 6
        {4, {"Alpha", "beta", "gamma"}},  // signal -85, -60, -40: signed
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        std::vector<config_otherwl_basic> list;
        ASSERT_TRUE(store.ListScanResults(c.key, list, true));
        EXPECT_EQ(SsidsOf(list), c.ascending);
        list.clear();
        ASSERT_TRUE(store.ListScanResults(c.key, list, false));
        EXPECT_EQ(SsidsOf(list), std::vector<std::string>(c.ascending.rbegin(), c.ascending.rend()));
    }
    std::vector<config_otherwl_basic> list;
    EXPECT_FALSE(store.ListScanResults(5, list, true));
    EXPECT_FALSE(store.ListScanResults(-1, list, true));
}

TEST_F(SqlScan, EntryRoundTripsAndALaterPageOverwrites)
{
    config_otherwl_basic e;
    ASSERT_TRUE(store.GetScanResult(e, "00:00:00:00:00:01"));
    const config_otherwl_basic expected = Entry("00:00:00:00:00:01", "Alpha", -85, 149, 0);
    EXPECT_EQ(std::memcmp(&e, &expected, sizeof(e)), 0);

    ASSERT_TRUE(store.SaveScanPage(MakePage(1, 0, {Entry("00:00:00:00:00:01", "Alpha-2", -30, 6, 4)})));
    std::vector<config_otherwl_basic> list;
    ASSERT_TRUE(store.ListScanResults(0, list, true));
    EXPECT_EQ(SsidsOf(list), (std::vector<std::string>{"Alpha-2", "beta", "gamma"}));
    EXPECT_EQ(list[0].signal, -30);
    OutsideReader reader(store.DatabasePath());
    EXPECT_EQ(reader.One("SELECT packet_count, packet_id, icount FROM ap_other_info WHERE ssid='Alpha-2'"),
              "1|0|1");

    e = Entry("ff:ff:ff:ff:ff:ff", "stale", 1, 1, 1);
    EXPECT_FALSE(store.GetScanResult(e, "00:00:00:00:00:09"));
    const config_otherwl_basic zero{};
    EXPECT_EQ(std::memcmp(&e, &zero, sizeof(e)), 0);  // zeroed even when nothing was found
}

TEST_F(SqlScan, ClearEmptiesTheTable)
{
    EXPECT_TRUE(store.ClearScanResults());
    std::vector<config_otherwl_basic> list;
    ASSERT_TRUE(store.ListScanResults(0, list, true));
    EXPECT_TRUE(list.empty());
}

TEST_F(SqlScan, OnlyThePagesEntriesAreStored)
{
    ASSERT_TRUE(store.ClearScanResults());
    ScanPage page;
    for (size_t k = 0; k < ScanPage::kMaxEntries; ++k) {
        char mac[18];
        std::snprintf(mac, sizeof(mac), "10:00:00:00:00:%02zx", k);
        page.entries[k] = Entry(mac, "ap", -50, 1, 0);
    }
    struct Case {
        uint8_t icount;
        size_t rows;
    };
    for (const Case c : {Case{0, 0}, Case{3, 3}, Case{32, 32}, Case{255, 32}}) {  // a count over 32 is cut
        SCOPED_TRACE(static_cast<int>(c.icount));
        ASSERT_TRUE(store.ClearScanResults());
        page.icount = c.icount;
        EXPECT_TRUE(store.SaveScanPage(page));
        std::vector<config_otherwl_basic> list;
        ASSERT_TRUE(store.ListScanResults(0, list, true));
        EXPECT_EQ(list.size(), c.rows);
    }
}

}  // namespace
}  // namespace pontiq::test
