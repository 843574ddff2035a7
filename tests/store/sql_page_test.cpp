// The device page query: paging, counts, sort orders, the search, and the equivalence of the
// counted/limited query with the read-every-row reference.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

struct PageResult {
    bool ok = false;
    std::vector<ap_info_stu> list;
    int pages = -1;
    int online = 0;
};

PageResult Page(CSqlManagement& store, int key, int size, int number, bool ascending, std::string_view search,
                bool readAll = false)
{
    PageResult r;
    r.ok = readAll
               ? store.ListDevicesPageReadAll(key, r.list, r.pages, r.online, size, number, ascending, search)
               : store.ListDevicesPage(key, r.list, r.pages, r.online, size, number, ascending, search);
    return r;
}

class SqlPage : public ::testing::Test {
protected:
    TempDir dir;
    CSqlManagement store{dir.path()};
};

TEST_F(SqlPage, SixtyFiveRowsInPagesOfThirty)
{
    for (int i = 0; i < 65; ++i) ASSERT_TRUE(store.SaveDevice(MakeDevice(i)));
    for (int i : {3, 17, 33, 61, 64}) ASSERT_TRUE(store.SetDeviceStatus(MacOf(i), STATUS_OUTLINE));

    struct Case {
        int page;
        int first;  // index of the first device on the page
        int rows;
    };
    for (const Case c : {Case{1, 0, 30}, Case{2, 30, 30}, Case{3, 60, 5}, Case{4, 0, 0}, Case{0, 0, 0}}) {
        SCOPED_TRACE(c.page);
        for (bool readAll : {false, true}) {
            const PageResult r = Page(store, 1, 30, c.page, true, "", readAll);
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(r.pages, 3);
            EXPECT_EQ(r.online, 60);  // every matching row counts, not only the page's
            std::vector<std::string> expected;
            for (int i = c.first; i < c.first + c.rows; ++i) expected.push_back(MacOf(i));
            EXPECT_EQ(MacsOf(r.list), expected);
        }
    }
}

TEST_F(SqlPage, PagesAppendAndTheOnlineCountAdds)
{
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(store.SaveDevice(MakeDevice(i)));
    PageResult r;
    r.list.push_back(MakeDevice(99));
    r.online = 10;
    ASSERT_TRUE(store.ListDevicesPage(0, r.list, r.pages, r.online, 2, 1, true, ""));
    EXPECT_EQ(MacsOf(r.list), (std::vector<std::string>{MacOf(99), MacOf(0), MacOf(1)}));
    EXPECT_EQ(r.online, 13);
    EXPECT_EQ(r.pages, 2);
}

TEST_F(SqlPage, NoMatchingRows)
{
    for (const std::string_view search : {std::string_view(""), std::string_view("x")}) {
        const PageResult r = Page(store, 0, 30, 1, true, search);
        EXPECT_TRUE(r.ok);
        EXPECT_TRUE(r.list.empty());
        EXPECT_EQ(r.pages, 0);
        EXPECT_EQ(r.online, 0);
    }
    ASSERT_TRUE(store.SaveDevice(MakeDevice(1)));
    const PageResult r = Page(store, 0, 30, 1, true, "no such text");
    EXPECT_TRUE(r.list.empty());
    EXPECT_EQ(r.pages, 0);
    EXPECT_EQ(r.online, 0);
}

TEST_F(SqlPage, RefusedArgumentsLeaveTheOutputs)
{
    ASSERT_TRUE(store.SaveDevice(MakeDevice(1)));
    struct Case {
        int key;
        int size;
    };
    for (const Case c : {Case{-1, 30}, Case{14, 30}, Case{1, 0}, Case{1, -30}}) {
        SCOPED_TRACE(testing::Message() << c.key << "/" << c.size);
        const PageResult r = Page(store, c.key, c.size, 1, true, "");
        EXPECT_FALSE(r.ok);
        EXPECT_TRUE(r.list.empty());
        EXPECT_EQ(r.pages, -1);
    }
    const PageResult far = Page(store, 1, 30, 2147483647, true, "");  // no overflow on a huge page number
    EXPECT_TRUE(far.ok);
    EXPECT_TRUE(far.list.empty());
    EXPECT_EQ(far.pages, 1);
}

TEST_F(SqlPage, IpSortsByNumberAndMacSortsByText)
{
    struct Device {
        const char* mac;
        uint8_t ip[4];
    };
    const Device devices[] = {
        {"00:00:00:00:00:0b", {10, 0, 0, 10}},     {"00:00:00:00:00:0a", {200, 0, 0, 1}},
        {"00:00:00:00:00:0c", {10, 0, 0, 9}},      {"00:00:00:00:00:01", {192, 168, 0, 1}},
        {"00:00:00:00:00:10", {9, 255, 255, 255}},
    };
    for (const Device& d : devices) {
        ap_info_stu r = MakeDevice(0);
        SetCText(r.mac, d.mac);
        std::memcpy(r.ip_block.ip, d.ip, 4);
        ASSERT_TRUE(store.SaveDevice(r));
    }
    const auto ips = [](const std::vector<ap_info_stu>& list) {
        std::vector<std::string> texts;
        for (const ap_info_stu& r : list) texts.push_back(IpText(r.ip_block.ip));
        return texts;
    };
    EXPECT_EQ(
        ips(Page(store, 1, 30, 1, true, "").list),
        (std::vector<std::string>{"9.255.255.255", "10.0.0.9", "10.0.0.10", "192.168.0.1", "200.0.0.1"}));
    EXPECT_EQ(
        ips(Page(store, 1, 30, 1, false, "").list),
        (std::vector<std::string>{"200.0.0.1", "192.168.0.1", "10.0.0.10", "10.0.0.9", "9.255.255.255"}));
    EXPECT_EQ(MacsOf(Page(store, 0, 30, 1, true, "").list),
              (std::vector<std::string>{"00:00:00:00:00:01", "00:00:00:00:00:0a", "00:00:00:00:00:0b",
                                        "00:00:00:00:00:0c", "00:00:00:00:00:10"}));
}

TEST_F(SqlPage, EqualKeysKeepInsertionOrderAcrossPages)
{
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(store.SaveDevice(MakeDevice(i)));  // all channel 1
    std::vector<std::string> ascending, descending;
    for (int page = 1; page <= 4; ++page) {
        for (const ap_info_stu& r : Page(store, 6, 3, page, true, "").list)
            ascending.emplace_back(CText(r.mac));
        for (const ap_info_stu& r : Page(store, 6, 3, page, false, "").list)
            descending.emplace_back(CText(r.mac));
    }
    std::vector<std::string> expected;
    for (int i = 0; i < 10; ++i) expected.push_back(MacOf(i));
    EXPECT_EQ(ascending, expected);
    std::reverse(expected.begin(), expected.end());
    EXPECT_EQ(descending, expected);
}

TEST_F(SqlPage, SearchMatchesAnyOfTheFourteenColumns)
{
    const uint16_t type = NeutralModelCode({"6", "192", "online", "restart", "dev-", "10.0", "0:1:40", "zz"});
    struct Device {
        int index;
        uint8_t ip[4];
        uint8_t channel;
        uint8_t txPower;
    };
    const Device devices[] = {
        {1, {192, 168, 1, 10}, 1, 20}, {2, {10, 0, 0, 2}, 6, 20}, {3, {10, 0, 0, 3}, 36, 20},
        {4, {10, 0, 0, 4}, 1, 16},     {5, {10, 0, 0, 5}, 1, 20}, {7, {10, 0, 0, 7}, 0, 20},
    };
    for (const Device& d : devices) {
        ap_info_stu r = MakeDevice(d.index);
        r.ap_type = type;
        std::memcpy(r.ip_block.ip, d.ip, 4);
        r.radio_block.channel = d.channel;
        r.radio_block.tx_power = d.txPower;
        ASSERT_TRUE(store.SaveDevice(r));
    }
    ASSERT_TRUE(store.SetDeviceStatus(MacOf(5), STATUS_RESTARTING));

    struct Case {
        const char* search;
        std::vector<int> devices;  // in IP order
    };
    const Case cases[] = {
        {"192.168", {1}},
        {"Online", {2, 3, 4, 7, 1}},
        {"oNLINE", {2, 3, 4, 7, 1}},  // ASCII case is ignored
        {"6", {2, 3, 4, 1}},          // channel 6, channel 36, tx power 16, "168"
        {"36", {3}},
        {"Restarting", {5}},
        {"10.0.0.", {2, 3, 4, 5, 7}},
        {"dev-", {2, 3, 4, 5, 7, 1}},
        {"0:1:40", {2, 3, 4, 5, 7, 1}},  // the stored up-time text
        {"zz", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search);
        std::vector<std::string> expected;
        for (int i : c.devices) expected.push_back(MacOf(i));
        for (bool readAll : {false, true}) {
            const PageResult r = Page(store, 1, 30, 1, true, c.search, readAll);
            ASSERT_TRUE(r.ok);
            EXPECT_EQ(MacsOf(r.list), expected);
            EXPECT_EQ(r.online, static_cast<int>(c.devices.size()));  // Restarting is not 0: online
            EXPECT_EQ(r.pages, c.devices.empty() ? 0 : 1);
        }
    }
}

// A pseudo-random population with ties, empty texts and offline rows; both ways must agree
// on every key, direction, page size, page and search.
TEST_F(SqlPage, CountedQueryEqualsReadingEveryRow)
{
    uint32_t seed = 12345;
    const auto next = [&](uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    const char* names[] = {"", "alpha", "Alpha", "beta", "O'Neil", "50%_off", "dev"};
    const auto codes = ModelCodes();
    for (int i = 0; i < 120; ++i) {
        ap_info_stu r = MakeDevice(i);
        r.ap_type = static_cast<uint16_t>(codes[next(static_cast<uint32_t>(codes.size()))]);
        r.work_mode = static_cast<uint8_t>(next(8));
        r.up_time = next(5) * 40000u;
        SetIp(r.ip_block.ip, static_cast<uint8_t>(next(2) ? 10 : 192), 0, 0, static_cast<uint8_t>(next(12)));
        r.ap_name_len = SetFieldText(r.ap_name, names[next(7)]);
        r.version_len = SetFieldText(r.version, next(2) ? "v1" : "V2");
        r.radio_block.channel = static_cast<uint8_t>(next(4) * 12);
        r.radio_block.tx_power = static_cast<uint8_t>(next(3) * 8);
        r.radio_block.security.secure_mode = static_cast<uint8_t>(next(7));
        r.radio_block.security.ssid_len = SetFieldText(r.radio_block.security.ssid, next(3) ? "net" : "");
        r.extension_block.bridge_transparent = static_cast<uint8_t>(next(2));
        r.extension_block.tdmaEn = static_cast<uint8_t>(next(2));
        ASSERT_TRUE(store.SaveDevice(r));
        if (next(4) == 0) {
            ASSERT_TRUE(store.SetDeviceStatus(MacOf(i), next(3) ? STATUS_OUTLINE : STATUS_UPGRADING));
        }
    }
    const char* searches[] = {"", "1", "online", "alpha", "%"};
    int compared = 0;
    for (int key = 0; key < CSqlManagement::kDeviceSortKeys; ++key) {
        for (bool ascending : {true, false}) {
            for (int size : {7, 30}) {
                for (const char* search : searches) {
                    const int last = Page(store, key, size, 1, ascending, search).pages;  // compared below
                    for (int number : {0, 1, last, last + 1}) {
                        SCOPED_TRACE(testing::Message()
                                     << "key " << key << (ascending ? " asc" : " desc") << " size " << size
                                     << " search '" << search << "' page " << number);
                        const PageResult fast = Page(store, key, size, number, ascending, search);
                        const PageResult all = Page(store, key, size, number, ascending, search, true);
                        ASSERT_TRUE(fast.ok);
                        ASSERT_TRUE(all.ok);
                        EXPECT_EQ(fast.pages, all.pages);
                        EXPECT_EQ(fast.online, all.online);
                        ASSERT_EQ(fast.list.size(), all.list.size());
                        for (size_t i = 0; i < fast.list.size(); ++i) {
                            EXPECT_EQ(std::memcmp(&fast.list[i], &all.list[i], sizeof(ap_info_stu)), 0)
                                << "row " << i;
                        }
                        ++compared;
                    }
                }
            }
        }
    }
    EXPECT_EQ(compared, 14 * 2 * 2 * 5 * 4);
}

}  // namespace
}  // namespace pontiq::test
