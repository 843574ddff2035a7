// The writes of one worker batch go in one transaction: each does what its single operation
// does, in order, and a reader sees all of them or none.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

TEST(SqlBatch, EachWriteDoesWhatItsOperationDoesInOrder)
{
    TempDir dir;
    CSqlManagement store(dir.path());
    ASSERT_TRUE(store.SaveDevice(MakeDevice(1)));
    ASSERT_TRUE(store.SetDeviceStatus(MacOf(1), STATUS_UPGRADE_WAIT));
    ScanPage page;
    page.packet_count = 1;
    page.icount = 1;
    SetMac(page.entries[0].mac, "aa:bb:cc:dd:ee:01");
    page.entries[0].ssid_len = SetFieldText(page.entries[0].ssid, "ap");

    ap_info_stu unnamed = MakeDevice(3);
    SetCText(unnamed.mac, "");
    const std::vector<StoreWrite> writes = {
        SaveDeviceWrite{MakeDevice(2)},
        StatusWrite{MacOf(2), STATUS_RESTARTING},
        UpgradeStartWrite{MacOf(1)},  // 6 -> 7
        UpgradeStartWrite{MacOf(2)},  // 4 stays
        UptimeWrite{MacOf(1), "10.9.9.9", 42},
        StatusWrite{MacOf(9), STATUS_ONLINE},  // no such device
        SaveDeviceWrite{unnamed},              // refused: no MAC text
        ScanPageWrite{page},
    };
    EXPECT_EQ(store.ApplyWrites(writes), 5u);

    EXPECT_EQ(store.GetDeviceStatus(MacOf(1)), STATUS_UPGRADING);
    EXPECT_EQ(store.GetDeviceStatus(MacOf(2)), STATUS_RESTARTING);
    ap_info_stu r;
    ASSERT_NE(store.GetDevice(r, MacOf(1)), 0u);
    EXPECT_EQ(r.up_time, 42u);
    EXPECT_EQ(IpText(r.ip_block.ip), "10.9.9.9");
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_EQ(macs, (std::vector<std::string>{MacOf(1), MacOf(2)}));
    config_otherwl_basic e;
    EXPECT_TRUE(store.GetScanResult(e, "aa:bb:cc:dd:ee:01"));
}

TEST(SqlBatch, ReaderSeesAWholeBatchOrNone)
{
    TempDir dir;
    CSqlManagement store(dir.path());
    constexpr int kBatch = 200;
    std::vector<StoreWrite> writes;
    for (int k = 0; k < kBatch; ++k) writes.emplace_back(SaveDeviceWrite{MakeDevice(k)});

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done) {
            std::vector<std::string> macs;
            store.GetAllMacs(macs);
            if (macs.size() % kBatch != 0) torn++;
        }
    });
    EXPECT_EQ(store.ApplyWrites(writes), static_cast<size_t>(kBatch));
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    EXPECT_EQ(macs.size(), static_cast<size_t>(kBatch));
}

}  // namespace
}  // namespace pontiq::test
