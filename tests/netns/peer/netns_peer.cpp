// The device side of the namespace tests: a small program started inside the device namespace
// that captures frames, receives datagrams or sends one, and reports on stdout, one line each:
//   READY                                  the socket is bound; the test may send now
//   FRAME <hex>                            a frame received on the capture interface
//   DGRAM <src-ip> <src-port> <dst-ip> <ifname> <hex>
//   SENT <bytes>
//   TIMEOUT                                the time ran out before --count items arrived
//   ERROR <text>
// Exit status: 0 done, 1 time-out, 2 usage or socket error.
//
//   netns_peer capture <ifname> [--count N] [--timeout MS] [--udp-dport PORT]
//   netns_peer udp-listen <port> [--count N] [--timeout MS] [--bind IP] [--device IF]
//                         [--join GROUP@IFADDR]...
//   netns_peer udp-send <from-ip> <from-port> <to-ip> <to-port> <hex> [--device IF]
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    std::vector<std::string> positional;
    int count = 1;
    int timeoutMs = 3000;
    int udpDport = -1;
    std::string bind = "0.0.0.0";
    std::string device;
    std::vector<std::string> joins;
};

int Fail(const std::string& what)
{
    std::printf("ERROR %s: %s\n", what.c_str(), std::strerror(errno));
    std::fflush(stdout);
    return 2;
}

int Usage(const char* text)
{
    std::printf("ERROR usage: %s\n", text);
    std::fflush(stdout);
    return 2;
}

void Line(const std::string& text)
{
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string Hex(const uint8_t* data, size_t size)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0xf];
    }
    return text;
}

std::optional<std::vector<uint8_t>> FromHex(std::string_view text)
{
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < text.size(); i += 2) {
        auto nibble = [](char c) -> int {
            if (c >= '0' && c <= '9') return c - '0';
            if (c >= 'a' && c <= 'f') return c - 'a' + 10;
            if (c >= 'A' && c <= 'F') return c - 'A' + 10;
            return -1;
        };
        const int hi = nibble(text[i]), lo = nibble(text[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    return bytes;
}

std::optional<in_addr> Address(const std::string& text)
{
    in_addr a{};
    if (inet_pton(AF_INET, text.c_str(), &a) != 1) return std::nullopt;
    return a;
}

std::optional<Options> Parse(int argc, char** argv)
{
    Options o;
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (arg.starts_with("--")) {
            const char* v = value();
            if (v == nullptr) return std::nullopt;
            if (arg == "--count") {
                o.count = std::atoi(v);
            } else if (arg == "--timeout") {
                o.timeoutMs = std::atoi(v);
            } else if (arg == "--udp-dport") {
                o.udpDport = std::atoi(v);
            } else if (arg == "--bind") {
                o.bind = v;
            } else if (arg == "--device") {
                o.device = v;
            } else if (arg == "--join") {
                o.joins.emplace_back(v);
            } else {
                return std::nullopt;
            }
        } else {
            o.positional.emplace_back(arg);
        }
    }
    return o;
}

// Waits for the socket to become readable until the deadline; false on time-out.
bool WaitReadable(int fd, Clock::time_point deadline)
{
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{fd, POLLIN, 0};
        const int r = poll(&p, 1, static_cast<int>(left));
        if (r > 0) return true;
        if (r < 0 && errno != EINTR) return false;
    }
}

bool IsUdpToPort(const uint8_t* f, size_t n, int port)
{
    if (n < 14 + 20 + 8 || f[12] != 0x08 || f[13] != 0x00 || (f[14] >> 4) != 4 || f[23] != 17) return false;
    const size_t udp = 14 + static_cast<size_t>(f[14] & 0xf) * 4;
    if (n < udp + 8) return false;
    return ((f[udp + 2] << 8) | f[udp + 3]) == port;
}

int Capture(const Options& o)
{
    if (o.positional.size() != 1)
        return Usage("capture <ifname> [--count N] [--timeout MS] [--udp-dport PORT]");
    const unsigned index = if_nametoindex(o.positional[0].c_str());
    if (index == 0) return Fail("no interface " + o.positional[0]);
    const int fd = socket(AF_PACKET, SOCK_RAW | SOCK_CLOEXEC, htons(ETH_P_ALL));
    if (fd < 0) return Fail("packet socket");
    sockaddr_ll ll{};
    ll.sll_family = AF_PACKET;
    ll.sll_protocol = htons(ETH_P_ALL);
    ll.sll_ifindex = static_cast<int>(index);
    if (bind(fd, reinterpret_cast<sockaddr*>(&ll), sizeof(ll)) != 0) return Fail("bind packet socket");
    Line("READY");

    const auto deadline = Clock::now() + std::chrono::milliseconds(o.timeoutMs);
    int got = 0;
    uint8_t frame[65536];
    while (got < o.count) {
        if (!WaitReadable(fd, deadline)) {
            Line("TIMEOUT");
            return 1;
        }
        sockaddr_ll from{};
        socklen_t fromLen = sizeof(from);
        const ssize_t n = recvfrom(fd, frame, sizeof(frame), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
        if (n < 0) return Fail("recvfrom");
        // Frames queued between socket() and bind() may come from other interfaces.
        if (from.sll_ifindex != static_cast<int>(index) || from.sll_pkttype == PACKET_OUTGOING) continue;
        if (o.udpDport >= 0 && !IsUdpToPort(frame, static_cast<size_t>(n), o.udpDport)) continue;
        Line("FRAME " + Hex(frame, static_cast<size_t>(n)));
        ++got;
    }
    close(fd);
    return 0;
}

int UdpSocket(const std::string& device)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof(on));
    if (!device.empty() && setsockopt(fd, SOL_SOCKET, SO_BINDTODEVICE, device.c_str(),
                                      static_cast<socklen_t>(device.size())) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int UdpListen(const Options& o)
{
    if (o.positional.size() != 1) {
        return Usage(
            "udp-listen <port> [--count N] [--timeout MS] [--bind IP] [--device IF] [--join GROUP@IFADDR]");
    }
    const auto bindAddress = Address(o.bind);
    if (!bindAddress) return Usage("--bind needs an IPv4 address");
    const int fd = UdpSocket(o.device);
    if (fd < 0) return Fail("udp socket");
    const int on = 1;
    setsockopt(fd, IPPROTO_IP, IP_PKTINFO, &on, sizeof(on));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(std::atoi(o.positional[0].c_str())));
    local.sin_addr = *bindAddress;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) return Fail("bind udp socket");
    for (const auto& join : o.joins) {
        const size_t at = join.find('@');
        const auto group = Address(join.substr(0, at));
        const auto itf =
            at == std::string::npos ? std::optional<in_addr>(in_addr{}) : Address(join.substr(at + 1));
        if (!group || !itf) return Usage("--join GROUP@IFADDR");
        ip_mreq m{};
        m.imr_multiaddr = *group;
        m.imr_interface = *itf;
        if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof(m)) != 0) return Fail("join " + join);
    }
    Line("READY");

    const auto deadline = Clock::now() + std::chrono::milliseconds(o.timeoutMs);
    int got = 0;
    uint8_t data[65536];
    while (got < o.count) {
        if (!WaitReadable(fd, deadline)) {
            Line("TIMEOUT");
            return 1;
        }
        sockaddr_in from{};
        char control[256];
        iovec iov{data, sizeof(data)};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof(from);
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof(control);
        const ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0) return Fail("recvmsg");
        std::string dst = "?", ifname = "?";
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c != nullptr; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_PKTINFO) continue;
            in_pktinfo info;
            std::memcpy(&info, CMSG_DATA(c), sizeof(info));
            char text[INET_ADDRSTRLEN];
            dst = inet_ntop(AF_INET, &info.ipi_addr, text, sizeof(text));
            char name[IF_NAMESIZE];
            if (if_indextoname(static_cast<unsigned>(info.ipi_ifindex), name) != nullptr) ifname = name;
        }
        char src[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &from.sin_addr, src, sizeof(src));
        Line("DGRAM " + std::string(src) + " " + std::to_string(ntohs(from.sin_port)) + " " + dst + " " +
             ifname + " " + Hex(data, static_cast<size_t>(n)));
        ++got;
    }
    close(fd);
    return 0;
}

int UdpSend(const Options& o)
{
    if (o.positional.size() != 5)
        return Usage("udp-send <from-ip> <from-port> <to-ip> <to-port> <hex> [--device IF]");
    const auto from = Address(o.positional[0]);
    const auto to = Address(o.positional[2]);
    const auto data = FromHex(o.positional[4]);
    if (!from || !to || !data) return Usage("udp-send needs IPv4 addresses and an even number of hex digits");
    const int fd = UdpSocket(o.device);
    if (fd < 0) return Fail("udp socket");
    setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &*from, sizeof(*from));
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(static_cast<uint16_t>(std::atoi(o.positional[1].c_str())));
    local.sin_addr = *from;
    if (bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) return Fail("bind udp socket");
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<uint16_t>(std::atoi(o.positional[3].c_str())));
    remote.sin_addr = *to;
    const ssize_t n =
        sendto(fd, data->data(), data->size(), 0, reinterpret_cast<sockaddr*>(&remote), sizeof(remote));
    if (n < 0) return Fail("sendto");
    Line("SENT " + std::to_string(n));
    close(fd);
    return 0;
}

// The peer is for the harness's namespaces only: their loopback carries netns.sh's mark, which
// /sys shows for the namespace the peer was started in by `ip netns exec`.
bool InHarnessNamespace()
{
    std::FILE* f = std::fopen("/sys/class/net/lo/ifalias", "r");
    if (f == nullptr) return false;
    char alias[128] = {};
    const bool read = std::fgets(alias, sizeof(alias), f) != nullptr;
    std::fclose(f);
    return read && std::string_view(alias).starts_with("pontiq-netns owner=");
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage("netns_peer capture|udp-listen|udp-send ...");
    if (!InHarnessNamespace())
        return Usage("netns_peer runs only inside a namespace made by tests/netns/netns.sh");
    const auto options = Parse(argc, argv);
    if (!options) return Usage("bad option");
    const std::string_view command = argv[1];
    if (command == "capture") return Capture(*options);
    if (command == "udp-listen") return UdpListen(*options);
    if (command == "udp-send") return UdpSend(*options);
    return Usage("unknown command");
}
