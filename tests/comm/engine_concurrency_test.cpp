// Every entry point at once from the threads that use them in the program (receive path and
// workers, aging, retransmission, windows and their workers); meant to run under ThreadSanitizer.
#include <set>
#include <thread>

#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using ConcurrencyTest = EngineTest;

MacAddress Device(int i)
{
    return {0x00, 0x1b, 0x00, 0x00, 0x00, static_cast<uint8_t>(i)};
}
std::string Ip(int i)
{
    return "192.168.0." + std::to_string(20 + i);
}

TEST_F(ConcurrencyTest, AllThreadsAtOnceKeepTheTableConsistent)
{
    constexpr int kDevicesInUse = 16;
    constexpr int kRounds = 2000;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;

    // Receive threads and workers.
    threads.emplace_back([&] {
        for (int r = 0; r < kRounds; ++r) {
            const int i = r % kDevicesInUse;
            engine_->OnDatagram(ReceiveQueue::Discovery, From(Ip(i).c_str()),
                                BuildDiscoveryReply(21, Device(i), Reply("V1", "n", "s")));
            engine_->ProcessQueue(ReceiveQueue::Discovery);
        }
    });
    threads.emplace_back([&] {
        HEARTBEAT_PAYLOAD beat{};
        for (int r = 0; r < kRounds; ++r) {
            const int i = r % kDevicesInUse;
            beat.up_time = static_cast<uint32_t>(r);
            engine_->OnDatagram(ReceiveQueue::Heartbeat, From(Ip(i).c_str()),
                                BuildHeartbeat(21, Device(i), beat));
            engine_->ProcessQueue(ReceiveQueue::Heartbeat);
        }
    });
    threads.emplace_back([&] {
        for (int r = 0; r < kRounds; ++r) {
            const int i = r % kDevicesInUse;
            const Bytes d = r % 5 == 0   ? BuildDeviceRecordReply(Device(i), DeviceRecord(Ip(i).c_str()))
                            : r % 5 == 1 ? BuildResultReply(21, MSG_SET_IP, Device(i), 0)
                            : r % 5 == 2 ? BuildResultReply(21, MSG_SET_NAME, Device(i), 0)
                            : r % 5 == 3
                                ? BuildResultReply(6, MSG_SET_KELVRA, Device(i), 0)
                                : *BuildSurveyPage(21, Device(i), 2, static_cast<uint8_t>(r % 2), {});
            engine_->OnDatagram(ReceiveQueue::Reply, From(Ip(i).c_str()), d);
            engine_->ProcessQueue(ReceiveQueue::Reply);
        }
    });
    // Aging and retransmission.
    threads.emplace_back([&] {
        while (!stop) {
            engine_->AgeTick();
            engine_->RetransmitTick();
            std::this_thread::yield();
        }
    });
    // The window thread and a window's worker.
    threads.emplace_back([&] {
        for (int r = 0; r < kRounds / 10; ++r) {
            engine_->StartSearch(r % 5 == 4 ? std::optional<MacAddress>(Device(1)) : std::nullopt);
            engine_->ListDiscoveredDevices(100, "192.168");
            engine_->IsSurveyComplete();
            if (r % 7 == 0) {
                SetAdapters({MakeAdapter("eth0", kAdapterMac,
                                         {{"192.168.0.10", "255.255.255.0"},
                                          {r % 2 ? "192.168.0.11" : "10.0.0.1", "255.255.255.0"}})});
            }
        }
    });
    threads.emplace_back([&] {
        IP_BLOCK block{};
        block.ip_mode = 1;
        for (int r = 0; r < kRounds; ++r) {
            const int i = r % kDevicesInUse;
            block.ip[3] = static_cast<uint8_t>(100 + i);
            engine_->SetIpSettings(Ip(i), Text(Device(i)), block);
            engine_->SetName(Ip(i), Text(Device(i)), "name" + std::to_string(r));
            engine_->SetKelvra(Ip(i), Text(Device(i)), static_cast<uint8_t>(r % 2));
            engine_->Reboot(Ip(i), Text(Device(i)));
            engine_->StartSiteSurvey(Ip(i), Text(Device(i)));
        }
    });
    for (size_t t = 0; t < threads.size(); ++t) {
        if (t != 3) threads[t].join();
    }
    stop = true;
    threads[3].join();

    const auto table = engine_->OnlineDevices();
    std::set<std::string> macs;
    for (const OnlineDevice& d : table) {
        EXPECT_TRUE(macs.insert(d.mac).second) << "two entries for " << d.mac;
        EXPECT_TRUE(d.state == 1 || d.state == 2);
        EXPECT_LE(d.countdown, 3);
    }
    engine_->Shutdown();
    EXPECT_TRUE(engine_->OnlineDevices().empty());
    EXPECT_TRUE(engine_->RetryEntries().empty());
}

}  // namespace
}  // namespace pontiq::testing_engine
