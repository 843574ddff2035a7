// Sends datagrams of one kind, each from a new invented MAC, as fast as one socket can for a
// given time: discovery replies (port 9785), heartbeats (9787) or command replies (9788: device
// records and reboot results, alternating). bench/flood.sh runs it against the program inside a
// private network namespace; it refuses any destination but a loopback or private address.
//
//   flood_sender --kind discovery|heartbeat|reply --to IP [--from IP] [--seconds 10]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "comm/local_adapter.h"
#include "comm/protocol.h"
#include "comm/udp_socket.h"

namespace {

using namespace pontiq;
using Clock = std::chrono::steady_clock;

bool IsLoopbackOrPrivate(std::string_view ip)
{
    const auto v = ParseDottedIpv4(ip);
    if (!v) return false;
    const uint32_t a = *v;
    return (a >> 24) == 127 || (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1) ||
           (a >> 16) == ((192u << 8) | 168);
}

}  // namespace

int main(int argc, char** argv)
{
    std::string kind = "discovery", to, from = "0.0.0.0";
    double seconds = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--kind")
            kind = argv[i + 1];
        else if (key == "--to")
            to = argv[i + 1];
        else if (key == "--from")
            from = argv[i + 1];
        else if (key == "--seconds")
            seconds = std::atof(argv[i + 1]);
    }
    if (!IsLoopbackOrPrivate(to) || (kind != "discovery" && kind != "heartbeat" && kind != "reply")) {
        std::fprintf(
            stderr,
            "usage: flood_sender --kind discovery|heartbeat|reply --to IP [--from IP] [--seconds S]\n"
            "       (IP: loopback or private only)\n");
        return 2;
    }
    UdpSocket socket = UdpSocket::Create();
    if (!socket.SetBufferSizes(4 << 20) || !socket.Bind(from, 0)) {
        std::fprintf(stderr, "flood_sender: socket\n");
        return 1;
    }
    const uint16_t port = kind == "discovery"   ? kPortDiscoveryReply
                          : kind == "heartbeat" ? kPortCommand
                                                : kPortCommandReply;

    DISCOVER_REPLY reply{};
    reply.version_len = SetFieldText(reply.version, "V1.0.0 flood");
    reply.ap_name_len = SetFieldText(reply.ap_name, "flood");
    reply.ssid_len = SetFieldText(reply.ssid, "flood");
    HEARTBEAT_PAYLOAD beat{};
    beat.version_len = SetFieldText(beat.version, "V1.0.0 flood");
    ap_info_stu record{};
    record.ap_type = 21;
    record.ip_block.ip[0] = 10;
    record.version_len = SetFieldText(record.version, "V1.0.0 flood");

    uint64_t sent = 0, failed = 0;
    const auto t0 = Clock::now();
    const auto end = t0 + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    for (uint64_t n = 1;; ++n) {
        if ((n & 1023) == 0 && Clock::now() >= end) break;
        const MacAddress mac = {0x02,
                                0xf1,
                                static_cast<uint8_t>(n >> 24),
                                static_cast<uint8_t>(n >> 16),
                                static_cast<uint8_t>(n >> 8),
                                static_cast<uint8_t>(n)};
        std::vector<uint8_t> datagram;
        if (kind == "discovery") {
            datagram = BuildDiscoveryReply(21, mac, reply);
        } else if (kind == "heartbeat") {
            datagram = BuildHeartbeat(21, mac, beat);
        } else if (n & 1) {
            datagram = BuildDeviceRecordReply(mac, record);
        } else {
            datagram = BuildResultReply(21, MSG_REBOOT, mac, 0);
        }
        (socket.SendTo(to, port, datagram) ? sent : failed)++;
    }
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("flood kind=%s sent=%lu failed=%lu seconds=%.2f rate_per_s=%.0f\n", kind.c_str(),
                static_cast<unsigned long>(sent), static_cast<unsigned long>(failed), s, sent / s);
    return 0;
}
