// Engine threads and windows use the store at once; its lock must keep every operation whole.
#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

#include "tests/store/sql_test_support.h"

namespace pontiq::test {
namespace {

TEST(SqlConcurrency, SaveUpdateListAndDeleteFromSeveralThreads)
{
    TempDir dir;
    CSqlManagement store(dir.path());
    constexpr int kMacs = 40;
    constexpr int kRounds = 150;
    std::atomic<int> failures{0};
    std::atomic<bool> stop{false};

    std::vector<std::thread> threads;
    // Reply handling: full records, in two threads over the same MACs.
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int round = 0; round < kRounds; ++round) {
                ap_info_stu r = MakeDevice((round * 7 + t) % kMacs);
                r.up_time = static_cast<uint32_t>(round);
                if (!store.SaveDevice(r)) failures++;
            }
        });
    }
    // Heartbeats and status changes; a missing row is normal while the deleter runs.
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            const std::string mac = MacOf(round % kMacs);
            store.UpdateUptime(mac, "10.1.1.1", static_cast<uint32_t>(round));
            store.SetDeviceStatus(mac, round % 2 ? STATUS_UPGRADE_WAIT : STATUS_ONLINE);
            store.StartUpgradeStatus(mac);
            store.GetDeviceStatus(mac);
        }
    });
    // The aging thread and reconciliation.
    threads.emplace_back([&] {
        for (int round = 0; round < kRounds; ++round) {
            if (!store.DeleteDevice(MacOf((round * 3) % kMacs))) failures++;
            std::vector<std::string> macs;
            if (!store.GetAllMacs(macs)) failures++;
        }
    });
    // A page refreshing while all that goes on: every page must be consistent in itself.
    threads.emplace_back([&] {
        while (!stop) {
            for (const char* search : {"", "dev-1", "Online"}) {
                std::vector<ap_info_stu> list;
                int pages = 0;
                int online = 0;
                if (!store.ListDevicesPage(1, list, pages, online, 10, 1, true, search)) failures++;
                if (list.size() > 10 || (list.empty() != (pages == 0))) failures++;
                ap_info_stu record;
                store.GetDevice(record, MacOf(1));
            }
        }
    });
    for (size_t i = 0; i + 1 < threads.size(); ++i) threads[i].join();
    stop = true;
    threads.back().join();

    EXPECT_EQ(failures.load(), 0);
    std::vector<std::string> macs;
    ASSERT_TRUE(store.GetAllMacs(macs));
    const std::set<std::string> unique(macs.begin(), macs.end());
    EXPECT_EQ(unique.size(), macs.size()) << "one row per MAC";
}

}  // namespace
}  // namespace pontiq::test
