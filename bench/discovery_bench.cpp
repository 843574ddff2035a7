// Discovery on the simulated LAN: the time from StartSearch until all N simulated devices are
// stored with their full records, and the CPU time and peak memory this process (the engine
// with its store) spent on it. bench/discovery_bench.sh builds the LAN, starts the simulator in
// the device namespace and runs this program in the PC namespace.
//
//   discovery_bench --count N [--timeout-s 60] [--rediscover-ms 3000] [--retry-max 3]
//                   [--retry-interval-ms 2000] [--hold-s 0]
//
// --hold-s keeps the engine running that long after the search, with the devices' heartbeats
// arriving, and reports its CPU time over that span and whether every device stayed stored.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/value_format.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

double CpuMs(const rusage& r)
{
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 +
           (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
}

long StatusKb(const char* key)
{
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

// UDP receive-buffer overflows of this network namespace (datagrams the kernel dropped).
long RcvbufErrors()
{
    std::ifstream in("/proc/net/snmp");
    std::string header, values;
    while (std::getline(in, header) && std::getline(in, values)) {
        if (header.rfind("Udp:", 0) != 0) continue;
        std::istringstream h(header), v(values);
        for (std::string name, value; h >> name && v >> value;) {
            if (name == "RcvbufErrors") return std::atol(value.c_str());
        }
    }
    return -1;
}

bool InSimulatedLan()
{
    std::ifstream in("/sys/class/net/lo/ifalias");
    std::string alias;
    std::getline(in, alias);
    return alias.rfind("pontiq-simnet owner=", 0) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t count = 0;
    int timeoutS = 60, rediscoverMs = 3000, retryMax = 3, retryIntervalMs = 2000, holdS = 0;
    int countArg = 0;
    const std::pair<const char*, int*> keys[] = {{"--count", &countArg},
                                                 {"--timeout-s", &timeoutS},
                                                 {"--rediscover-ms", &rediscoverMs},
                                                 {"--retry-max", &retryMax},
                                                 {"--retry-interval-ms", &retryIntervalMs},
                                                 {"--hold-s", &holdS}};
    for (int i = 1; i < argc; i += 2) {
        const auto it = std::find_if(std::begin(keys), std::end(keys),
                                     [&](const auto& k) { return std::strcmp(k.first, argv[i]) == 0; });
        if (it == std::end(keys) || i + 1 >= argc) {
            std::fprintf(stderr, "discovery_bench: bad option %s\n", argv[i]);
            return 2;
        }
        *it->second = std::atoi(argv[i + 1]);
    }
    count = static_cast<size_t>(std::max(countArg, 0));
    if (count == 0) {
        std::fprintf(stderr,
                     "usage: discovery_bench --count N [--timeout-s S] [--rediscover-ms MS] "
                     "[--retry-max N] [--retry-interval-ms MS]\n");
        return 2;
    }
    // It broadcasts discovery requests: only ever inside the simulated LAN.
    if (!InSimulatedLan()) {
        std::fprintf(stderr, "discovery_bench: not inside a simulated LAN (run bench/discovery_bench.sh)\n");
        return 2;
    }

    char pattern[] = "/tmp/pontiq_discovery_bench_XXXXXX";
    if (mkdtemp(pattern) == nullptr) return 1;
    const std::string dir = pattern;
    int exitCode = 1;
    {
        auto store = pontiq::engine_store::CreateStore(dir);
        pontiq::EngineOptions options;
        options.localEncoding = "UTF-8";
        pontiq::CommEngine engine(*store, options);
        if (!engine.Start(retryMax, retryIntervalMs)) {
            std::fprintf(stderr, "discovery_bench: the engine did not start\n");
            return 1;
        }
        const long baselineKb = StatusKb("VmRSS:");
        const long drops0 = RcvbufErrors();
        rusage before{};
        getrusage(RUSAGE_SELF, &before);

        const auto t0 = Clock::now();
        engine.StartSearch(std::nullopt);
        const auto searchReturned = Clock::now();
        auto lastDiscover = searchReturned;
        int discovers = 1;
        std::optional<Clock::time_point> firstReply, allHeard, allDescribed, allStored;
        const auto deadline = t0 + std::chrono::seconds(timeoutS);
        size_t stored = 0;
        while (Clock::now() < deadline) {
            std::this_thread::sleep_for(2ms);
            const auto now = Clock::now();
            if (!firstReply && engine.Counters().queued[0] > 0) firstReply = now;
            // The table is copied only once enough replies were handled: a copy every 2 ms
            // would be most of what this process spends.
            const pontiq::EngineCounters handled = engine.Counters();
            if (!allDescribed && handled.handled[0] >= count && (!allHeard || handled.handled[2] >= count)) {
                const auto table = engine.OnlineDevices();
                const size_t described = static_cast<size_t>(std::count_if(
                    table.begin(), table.end(), [](const pontiq::OnlineDevice& d) { return d.state == 2; }));
                if (!allHeard && table.size() >= count) allHeard = now;
                if (described >= count) allDescribed = now;
            }
            if (allDescribed) {
                std::vector<std::string> macs;
                pontiq::engine_store::GetAllMacs(*store, macs);
                stored = macs.size();
                if (stored >= count) {
                    allStored = Clock::now();
                    break;
                }
            }
            if (rediscoverMs > 0 && now - lastDiscover >= std::chrono::milliseconds(rediscoverMs)) {
                engine.Discover();
                lastDiscover = now;
                ++discovers;
            }
        }
        rusage after{};
        getrusage(RUSAGE_SELF, &after);
        const long drops1 = RcvbufErrors();

        // Nothing lost: every device once, each with a full record.
        std::vector<std::string> macs;
        pontiq::engine_store::GetAllMacs(*store, macs);
        const std::set<std::string> unique(macs.begin(), macs.end());
        size_t complete = 0;
        for (const std::string& mac : unique) {
            pontiq::ap_info_stu r{};
            if (pontiq::engine_store::GetDevice(*store, r, mac) != 0 && r.ip_block.ip[0] == 10 &&
                r.version_len > 0 && r.ap_status == pontiq::STATUS_ONLINE) {
                ++complete;
            }
        }
        const pontiq::EngineCounters c = engine.Counters();
        const double targetMs = count <= 1000 ? 2000 : 10000;
        const bool pass = allStored && complete == count && Ms(*allStored - t0) <= targetMs;
        auto at = [&](const std::optional<Clock::time_point>& t) { return t ? Ms(*t - t0) : -1.0; };
        std::printf(
            "devices=%zu stored=%zu complete=%zu first_reply_ms=%.1f all_heard_ms=%.1f all_described_ms=%.1f "
            "all_stored_ms=%.1f search_call_ms=%.1f discovers=%d cpu_ms=%.0f user_ms=%.0f sys_ms=%.0f "
            "peak_rss_kb=%ld start_rss_kb=%ld kernel_rcvbuf_drops=%ld queued=%lu/%lu/%lu "
            "queue_drops=%lu/%lu/%lu "
            "retries_left=%zu target_ms=%.0f %s\n",
            count, unique.size(), complete, at(firstReply), at(allHeard), at(allDescribed), at(allStored),
            Ms(searchReturned - t0), discovers, CpuMs(after) - CpuMs(before),
            (after.ru_utime.tv_sec - before.ru_utime.tv_sec) * 1000.0 +
                (after.ru_utime.tv_usec - before.ru_utime.tv_usec) / 1000.0,
            (after.ru_stime.tv_sec - before.ru_stime.tv_sec) * 1000.0 +
                (after.ru_stime.tv_usec - before.ru_stime.tv_usec) / 1000.0,
            StatusKb("VmHWM:"), baselineKb, drops1 - drops0, static_cast<unsigned long>(c.queued[0]),
            static_cast<unsigned long>(c.queued[1]), static_cast<unsigned long>(c.queued[2]),
            static_cast<unsigned long>(c.dropped[0]), static_cast<unsigned long>(c.dropped[1]),
            static_cast<unsigned long>(c.dropped[2]), engine.RetryEntries().size(), targetMs,
            pass ? "PASS" : "MISS");
        std::fflush(stdout);
        exitCode = pass ? 0 : 3;

        if (holdS > 0 && pass) {
            const uint64_t beats0 = engine.Counters().handled[1];
            rusage h0{}, h1{};
            getrusage(RUSAGE_SELF, &h0);
            std::this_thread::sleep_for(std::chrono::seconds(holdS));
            getrusage(RUSAGE_SELF, &h1);
            std::vector<std::string> still;
            pontiq::engine_store::GetAllMacs(*store, still);
            const uint64_t beats = engine.Counters().handled[1] - beats0;
            std::printf(
                "hold_s=%d heartbeats=%lu heartbeats_per_s=%.0f cpu_ms=%.0f cpu_percent=%.1f "
                "still_stored=%zu %s\n",
                holdS, static_cast<unsigned long>(beats), static_cast<double>(beats) / holdS,
                CpuMs(h1) - CpuMs(h0), (CpuMs(h1) - CpuMs(h0)) / (holdS * 10.0), still.size(),
                still.size() == count ? "KEPT" : "LOST");
            if (still.size() != count) exitCode = 3;
        }
    }
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return exitCode;
}
