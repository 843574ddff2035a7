// The engine's receive -> queue -> handler -> store road over loopback sockets (heartbeats and
// device records, with the real store in a temporary directory), a paced run that must lose
// nothing, and the cost of one SendCommand with the recording sender and with a real socket.
//
// The engine listens on 127.0.0.1 on ports of its own; acknowledgements go to a counting
// sender, so nothing leaves the loopback interface.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/protocol.h"
#include "comm/udp_socket.h"
#include "store/value_format.h"

namespace pontiq {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kDevices = 256;
constexpr size_t kWindow = 256;  // datagrams in flight at most: the sustained rate, not a burst

class CountingSender final : public DatagramSender {
public:
    bool SendBroadcast(std::string_view, std::string_view, std::string_view, uint16_t,
                       std::span<const uint8_t>) override
    {
        return ++count, true;
    }
    bool SendMulticast(std::string_view, std::span<const uint8_t>) override { return ++count, true; }
    bool SendRaw(const std::string&, std::span<const uint8_t>) override { return ++count, true; }
    std::atomic<uint64_t> count{0};
};

MacAddress DeviceMac(int i)
{
    return {0x00, 0x1a, 0x00, 0x00, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)};
}

AdapterInfo Loopback()
{
    // Presented as a usable adapter so that acknowledgements take the full command path.
    AdapterInfo a;
    a.kind = kAdapterUsable;
    SetCText(a.name, "lo");
    a.addressCount = 1;
    SetCText(a.addresses[0].ip, "127.0.0.1");
    SetCText(a.addresses[0].mask, "255.0.0.0");
    return a;
}

struct Bench {
    std::string dir;
    std::shared_ptr<CSqlManagement> store;
    std::shared_ptr<DatagramSender> sender;
    std::unique_ptr<CommEngine> engine;
    EngineOptions options;

    // base: the first of four consecutive ports; sender: null for the real sockets.
    Bench(uint16_t base, std::shared_ptr<DatagramSender> s, bool start = true) : sender(std::move(s))
    {
        char pattern[] = "/tmp/pontiq_engine_bench_XXXXXX";
        dir = mkdtemp(pattern);
        store = engine_store::CreateStore(dir);
        options.bindIp = "127.0.0.1";
        options.discoveryRequestPort = base;
        options.discoveryReplyPort = static_cast<uint16_t>(base + 1);
        options.commandPort = static_cast<uint16_t>(base + 2);
        options.commandReplyPort = static_cast<uint16_t>(base + 3);
        options.localEncoding = "UTF-8";
        EngineServices services;
        services.sender = sender;
        services.adapterQuery = [] { return std::vector<AdapterInfo>{Loopback()}; };
        services.captureQuery = [] { return std::vector<std::string>{}; };
        engine = std::make_unique<CommEngine>(*store, options, services);
        if (start) {
            engine->Start(3, 2000);
        } else {
            engine->GetLocalAdapters();
        }
    }
    ~Bench()
    {
        engine.reset();
        store.reset();
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    // kDevices described devices with stored rows, each at an address of its own.
    bool Populate()
    {
        for (int i = 0; i < kDevices; ++i) {
            DISCOVER_REPLY r{};
            r.version_len = SetFieldText(r.version, "V1.0");
            engine->OnDatagram(ReceiveQueue::Discovery, From(i), BuildDiscoveryReply(25, DeviceMac(i), r));
        }
        // A record is accepted only from a device in the table.
        WaitHandled(0, static_cast<uint64_t>(kDevices));
        for (int i = 0; i < kDevices; ++i) {
            engine->OnDatagram(ReceiveQueue::Reply, From(i), BuildDeviceRecordReply(DeviceMac(i), Record(i)));
        }
        WaitHandled(2, static_cast<uint64_t>(kDevices));
        std::vector<std::string> stored;
        engine_store::GetAllMacs(*store, stored);
        const auto table = engine->OnlineDevices();
        return stored.size() == kDevices &&
               std::all_of(table.begin(), table.end(), [](const OnlineDevice& d) { return d.state == 2; });
    }

    static UdpEndpoint From(int i)
    {
        return UdpEndpoint{{10, 1, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i)}, 9785};
    }

    static ap_info_stu Record(int i)
    {
        ap_info_stu r{};
        r.ap_type = 25;
        r.ip_block.ip_mode = 1;
        r.ip_block.ip[0] = 10;
        r.ip_block.ip[1] = 1;
        r.ip_block.ip[2] = static_cast<uint8_t>(i >> 8);
        r.ip_block.ip[3] = static_cast<uint8_t>(i);
        r.ap_name_len = SetFieldText(r.ap_name, "site-" + std::to_string(i));
        r.version_len = SetFieldText(r.version, "V1.0");
        r.radio_block.security.ssid_len = SetFieldText(r.radio_block.security.ssid, "bench");
        return r;
    }

    bool WaitHandled(size_t queue, uint64_t target,
                     std::chrono::seconds limit = std::chrono::seconds(30)) const
    {
        const auto end = Clock::now() + limit;
        while (engine->Counters().handled[queue] < target) {
            if (Clock::now() > end) return false;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return true;
    }
};

uint16_t BasePort(int slot)
{
    return static_cast<uint16_t>(30000 + (getpid() % 500) * 40 + slot * 4);
}

// Sends `datagrams` round-robin with at most kWindow unhandled; returns the seconds it took
// until the last one was handled.
double Drive(Bench& b, size_t queue, uint16_t port, const std::vector<std::vector<uint8_t>>& datagrams,
             size_t total)
{
    UdpSocket client = UdpSocket::Create();
    client.SetBufferSizes(1 << 20);
    client.Bind("127.0.0.1", 0);
    const uint64_t before = b.engine->Counters().handled[queue];
    const auto start = Clock::now();
    for (size_t sent = 0; sent < total; ++sent) {
        while (sent - (b.engine->Counters().handled[queue] - before) >= kWindow) {
            std::this_thread::yield();
        }
        client.SendTo("127.0.0.1", port, datagrams[sent % datagrams.size()]);
    }
    b.WaitHandled(queue, before + total);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void BM_HeartbeatsEndToEnd(benchmark::State& state)
{
    Bench b(BasePort(0), std::make_shared<CountingSender>());
    if (!b.Populate()) return state.SkipWithError("the devices were not described");
    std::vector<std::vector<uint8_t>> beats;
    for (int i = 0; i < kDevices; ++i) {
        HEARTBEAT_PAYLOAD h{};
        h.version_len = SetFieldText(h.version, "V1.0");
        h.up_time = static_cast<uint32_t>(i);
        beats.push_back(BuildHeartbeat(25, DeviceMac(i), h));
    }
    const size_t total = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        state.SetIterationTime(Drive(b, 1, b.options.commandPort, beats, total));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * total));
    const EngineCounters c = b.engine->Counters();
    state.counters["queue_drops"] = static_cast<double>(c.dropped[1]);
    state.counters["refused"] = static_cast<double>(c.refused[1]);
}
BENCHMARK(BM_HeartbeatsEndToEnd)->Arg(20000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_DeviceRecordsEndToEnd(benchmark::State& state)
{
    Bench b(BasePort(1), std::make_shared<CountingSender>());
    if (!b.Populate()) return state.SkipWithError("the devices were not described");
    std::vector<std::vector<uint8_t>> records;
    for (int i = 0; i < kDevices; ++i)
        records.push_back(BuildDeviceRecordReply(DeviceMac(i), Bench::Record(i)));
    const size_t total = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        // Records are accepted only from the table's address holder; the loopback sender
        // address does not matter for that, the configured address in the record does.
        state.SetIterationTime(Drive(b, 2, b.options.commandReplyPort, records, total));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * total));
    state.counters["queue_drops"] = static_cast<double>(b.engine->Counters().dropped[2]);
}
BENCHMARK(BM_DeviceRecordsEndToEnd)->Arg(5000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// 5,000 heartbeats a second for two seconds, paced, without a window: nothing may be lost.
void BM_HeartbeatsPaced5000(benchmark::State& state)
{
    Bench b(BasePort(2), std::make_shared<CountingSender>());
    if (!b.Populate()) return state.SkipWithError("the devices were not described");
    std::vector<std::vector<uint8_t>> beats;
    for (int i = 0; i < kDevices; ++i) {
        HEARTBEAT_PAYLOAD h{};
        beats.push_back(BuildHeartbeat(25, DeviceMac(i), h));
    }
    constexpr size_t kTotal = 10000;
    constexpr auto kGap = std::chrono::microseconds(200);
    UdpSocket client = UdpSocket::Create();
    client.Bind("127.0.0.1", 0);
    uint64_t lost = 0;
    for (auto _ : state) {
        const uint64_t before = b.engine->Counters().handled[1];
        const auto start = Clock::now();
        for (size_t i = 0; i < kTotal; ++i) {
            std::this_thread::sleep_until(start + kGap * i);
            client.SendTo("127.0.0.1", b.options.commandPort, beats[i % beats.size()]);
        }
        b.WaitHandled(1, before + kTotal, std::chrono::seconds(5));
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        lost += before + kTotal - std::min(before + kTotal, b.engine->Counters().handled[1]);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kTotal));
    state.counters["lost"] = static_cast<double>(lost);
    state.counters["queue_drops"] = static_cast<double>(b.engine->Counters().dropped[1]);
}
BENCHMARK(BM_HeartbeatsPaced5000)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// One tracked command: payload build, address choice, the send, the retransmission entry.
void BM_SendCommandRecordingSender(benchmark::State& state)
{
    Bench b(BasePort(3), std::make_shared<CountingSender>(), false);
    REBOOT_BLOCK block{1, 0x7f, 120};
    size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.engine->SendCommand("127.0.0.2", MSG_SET_TIMED_REBOOT, AsBytes(block),
                                                       "00:1a:00:00:00:01", true));
        if (++n % 1024 == 0) {
            state.PauseTiming();
            b.engine->Shutdown();  // empties the retransmission table
            b.engine.reset();
            b.engine = std::make_unique<CommEngine>(
                *b.store, b.options,
                EngineServices{b.sender, [] { return std::vector<AdapterInfo>{Loopback()}; }, {}, {}});
            b.engine->GetLocalAdapters();
            state.ResumeTiming();
        }
    }
}
BENCHMARK(BM_SendCommandRecordingSender)->Unit(benchmark::kMicrosecond);

// The same through the real sender: a socket joined to the group on 127.0.0.1, the multicast
// send and the close, per command.
void BM_SendCommandLoopbackSocket(benchmark::State& state)
{
    Bench b(BasePort(4), nullptr, false);
    REBOOT_BLOCK block{1, 0x7f, 120};
    if (!b.engine->SendCommand("127.0.0.2", MSG_SET_TIMED_REBOOT, AsBytes(block), "00:1a:00:00:00:01",
                               false)) {
        state.SkipWithError("the loopback interface takes no multicast here");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(b.engine->SendCommand("127.0.0.2", MSG_SET_TIMED_REBOOT, AsBytes(block),
                                                       "00:1a:00:00:00:01", false));
    }
}
BENCHMARK(BM_SendCommandLoopbackSocket)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace pontiq

BENCHMARK_MAIN();
