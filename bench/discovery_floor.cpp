// The least any PC side must do to discover N devices: one discovery broadcast, one
// acknowledgement and one MSG_GET_INFO per device (multicast from the adapter address, port
// 9787, as the engine sends commands), and every 760-byte record received. No tables beyond a
// set of MACs, no retransmission, no database. bench/discovery_bench.sh runs it beside
// discovery_bench, in the same PC namespace of the simulated LAN, and compares the two.
//
//   discovery_floor --count N [--timeout-s 30]
#include <poll.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unordered_set>

#include "comm/local_adapter.h"
#include "comm/protocol.h"
#include "comm/udp_socket.h"

namespace {

using namespace pontiq;
using Clock = std::chrono::steady_clock;

bool InSimulatedLan()
{
    std::ifstream in("/sys/class/net/lo/ifalias");
    std::string alias;
    std::getline(in, alias);
    return alias.rfind("pontiq-simnet owner=", 0) == 0;
}

uint64_t MacKey(const ProtocolHeader& h)
{
    uint64_t key = 0;
    for (uint8_t b : h.mac) key = key << 8 | b;
    return key;
}

}  // namespace

int main(int argc, char** argv)
{
    size_t count = 0;
    int timeoutS = 30;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--count") == 0) {
            count = static_cast<size_t>(std::max(std::atoi(argv[i + 1]), 0));
        } else if (std::strcmp(argv[i], "--timeout-s") == 0) {
            timeoutS = std::atoi(argv[i + 1]);
        }
    }
    if (count == 0) {
        std::fprintf(stderr, "usage: discovery_floor --count N [--timeout-s S]\n");
        return 2;
    }
    if (!InSimulatedLan()) {
        std::fprintf(stderr, "discovery_floor: not inside a simulated LAN (run bench/discovery_bench.sh)\n");
        return 2;
    }
    // The one usable adapter address of the PC namespace.
    std::string localIp, broadcast;
    MacAddress adapterMac{};
    for (const AdapterInfo& a : QueryHostAdapters()) {
        if (!IsUsableAdapter(a) || a.addressCount < 1) continue;
        localIp = CText(a.addresses[0].ip);
        broadcast = DirectedBroadcast(localIp, CText(a.addresses[0].mask)).value_or("");
        std::copy(std::begin(a.mac), std::end(a.mac), adapterMac.begin());
        break;
    }
    if (broadcast.empty()) {
        std::fprintf(stderr, "discovery_floor: no usable adapter\n");
        return 1;
    }

    UdpSocket replies = UdpSocket::Create();
    UdpSocket records = UdpSocket::Create();
    UdpSocket request = UdpSocket::Create();
    UdpSocket commands = UdpSocket::Create();
    constexpr int kBuffer = 10 << 20;
    if (!replies.SetReuseAddress() || !replies.SetBufferSizes(kBuffer) ||
        !replies.Bind("0.0.0.0", kPortDiscoveryReply) || !records.SetReuseAddress() ||
        !records.SetBufferSizes(kBuffer) || !records.Bind("0.0.0.0", kPortCommandReply) ||
        !request.SetReuseAddress() || !request.SetBroadcast() ||
        !request.Bind(localIp, kPortDiscoveryRequest) || !commands.SetReuseAddress() ||
        !commands.SetBufferSizes(1 << 20) || !commands.JoinMulticast(kMulticastGroup, localIp) ||
        !commands.Bind(localIp, kPortCommand)) {
        std::fprintf(stderr, "discovery_floor: sockets\n");
        return 1;
    }

    std::unordered_set<uint64_t> heard, described;
    heard.reserve(count * 2);
    described.reserve(count * 2);
    std::array<uint8_t, kMaxDatagram> buffer;
    const auto t0 = Clock::now();
    request.SendTo(broadcast, kPortDiscoveryRequest, BuildDiscoveryRequest(adapterMac));
    const auto deadline = t0 + std::chrono::seconds(timeoutS);
    pollfd fds[2] = {{replies.Handle(), POLLIN, 0}, {records.Handle(), POLLIN, 0}};
    while (described.size() < count && Clock::now() < deadline) {
        if (poll(fds, 2, 100) <= 0) continue;
        UdpEndpoint from;
        for (long n; (n = replies.TryReceive(buffer, from)) >= 0;) {
            const auto h = DecodeHeader(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
            if (!h || h->msg_type != MSG_DISCOVER || !heard.insert(MacKey(*h)).second) continue;
            MacAddress mac;
            std::copy(std::begin(h->mac), std::end(h->mac), mac.begin());
            commands.SendTo(kMulticastGroup, kPortCommand, *BuildCommand(MSG_DISCOVER, {}, mac));
            commands.SendTo(kMulticastGroup, kPortCommand, *BuildCommand(MSG_GET_INFO, {}, mac));
        }
        for (long n; (n = records.TryReceive(buffer, from)) >= 0;) {
            const auto h = DecodeHeader(std::span<const uint8_t>(buffer.data(), static_cast<size_t>(n)));
            if (h && h->msg_type == MSG_GET_INFO && static_cast<size_t>(n) >= kHeaderSize + kRecordBody) {
                described.insert(MacKey(*h));
            }
        }
        // Heartbeats of devices acknowledged earlier arrive on the command socket: drop them.
        while (commands.TryReceive(buffer, from) >= 0) {
        }
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    std::printf("floor devices=%zu heard=%zu described=%zu all_described_ms=%.1f cpu_ms=%.0f %s\n", count,
                heard.size(), described.size(), ms, cpuMs, described.size() >= count ? "PASS" : "MISS");
    return described.size() >= count ? 0 : 3;
}
