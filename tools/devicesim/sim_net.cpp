#include "tools/devicesim/sim_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <linux/filter.h>
#include <linux/if_packet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/ethernet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

#include "tools/devicesim/simulator.h"

namespace pontiq::sim {

namespace {

using Clock = std::chrono::steady_clock;

#ifndef PACKET_IGNORE_OUTGOING
#define PACKET_IGNORE_OUTGOING 23
#endif

void Say(const std::string& line)
{
    std::string text = line + "\n";
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = write(STDOUT_FILENO, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        p += n;
        left -= static_cast<size_t>(n);
    }
}

// Writes all of `text` to a possibly non-blocking descriptor; false when the peer is gone.
bool WriteAll(int fd, std::string_view text)
{
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == ENOTSOCK) {
            const ssize_t w = write(fd, text.data() + done, text.size() - done);
            if (w > 0) {
                done += static_cast<size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR) continue;
            return false;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, 1000) <= 0) return false;
            continue;
        }
        return false;
    }
    return true;
}

sockaddr_in SockAddr(const Ipv4Address& ip, uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    std::memcpy(&a.sin_addr.s_addr, ip.data(), 4);
    return a;
}

Endpoint FromSockAddr(const sockaddr_in& a)
{
    Endpoint e;
    std::memcpy(e.ip.data(), &a.sin_addr.s_addr, 4);
    e.port = ntohs(a.sin_port);
    return e;
}

void SetOption(int fd, int level, int name, int value)
{
    // Best effort: without the capability the simulator still works for local addresses.
    setsockopt(fd, level, name, &value, sizeof(value));
}

// Adds IPv4 addresses to an interface of the current network namespace.
class Netlink final {
public:
    Netlink() : fd_(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE)) {}
    ~Netlink()
    {
        if (fd_ >= 0) close(fd_);
    }
    Netlink(const Netlink&) = delete;
    Netlink& operator=(const Netlink&) = delete;

    // True when the address is there afterwards (also when it already was).
    bool AddAddress(int ifindex, const Ipv4Address& ip, int prefixLen)
    {
        if (fd_ < 0) return false;
        struct {
            nlmsghdr header;
            ifaddrmsg message;
            char attributes[64];
        } request{};
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ifaddrmsg));
        request.header.nlmsg_type = RTM_NEWADDR;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_ACK | NLM_F_CREATE | NLM_F_EXCL;
        request.header.nlmsg_seq = ++seq_;
        request.message.ifa_family = AF_INET;
        request.message.ifa_prefixlen = static_cast<unsigned char>(prefixLen);
        request.message.ifa_scope = RT_SCOPE_UNIVERSE;
        request.message.ifa_index = static_cast<unsigned>(ifindex);
        const uint32_t host = IpToHost(ip);
        const uint32_t mask = IpToHost(MaskOf(prefixLen));
        const Ipv4Address broadcast = HostToIp((host & mask) | ~mask);
        auto add = [&](unsigned short type, const Ipv4Address& value) {
            auto* rta = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&request) +
                                                  NLMSG_ALIGN(request.header.nlmsg_len));
            rta->rta_type = type;
            rta->rta_len = RTA_LENGTH(4);
            std::memcpy(RTA_DATA(rta), value.data(), 4);
            request.header.nlmsg_len = NLMSG_ALIGN(request.header.nlmsg_len) + RTA_ALIGN(rta->rta_len);
        };
        add(IFA_LOCAL, ip);
        add(IFA_ADDRESS, ip);
        add(IFA_BROADCAST, broadcast);
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        if (sendto(fd_, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
                   sizeof(kernel)) < 0) {
            return false;
        }
        char buffer[4096];
        for (;;) {
            ssize_t n = recv(fd_, buffer, sizeof(buffer), 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer); NLMSG_OK(h, n); h = NLMSG_NEXT(h, n)) {
                if (h->nlmsg_seq != seq_ || h->nlmsg_type != NLMSG_ERROR) continue;
                const int error = -reinterpret_cast<nlmsgerr*>(NLMSG_DATA(h))->error;
                return error == 0 || error == EEXIST;
            }
        }
    }

private:
    int fd_;
    uint32_t seq_ = 0;
};

std::set<uint32_t> LocalAddresses(const std::string& iface)
{
    std::set<uint32_t> local;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return local;
    for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
        if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || iface != a->ifa_name) continue;
        Ipv4Address ip;
        std::memcpy(ip.data(), &reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr, 4);
        local.insert(IpToHost(ip));
    }
    freeifaddrs(list);
    return local;
}

class LinuxSimNet final : public SimTransport {
public:
    explicit LinuxSimNet(const SimOptions& options) : options_(options) {}
    ~LinuxSimNet() override
    {
        for (int fd : {discovery_, command_, packet_, listen_, signals_, epoll_}) {
            if (fd >= 0) close(fd);
        }
        for (int fd : transfers_) close(fd);
        for (const auto& [fd, buffer] : clients_) close(fd);
        if (!options_.controlSocket.empty() && listen_ >= 0) unlink(options_.controlSocket.c_str());
    }
    LinuxSimNet(const LinuxSimNet&) = delete;
    LinuxSimNet& operator=(const LinuxSimNet&) = delete;

    bool Open(std::string& error);
    int Run();

    // SimTransport
    void Send(const Endpoint& from, const Endpoint& to, std::span<const uint8_t> bytes) override;
    int OpenTransfer(const Ipv4Address& local) override;
    void SendTransfer(int handle, const Endpoint& to, std::span<const uint8_t> bytes) override;
    void CloseTransfer(int handle) override;
    void AddressChanged(const Ipv4Address& from, const Ipv4Address& to) override;
    void Event(std::string_view line) override { Say(std::string(line)); }

private:
    bool Watch(int fd)
    {
        epoll_event e{};
        e.events = EPOLLIN;
        e.data.fd = fd;
        return epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &e) == 0;
    }
    int OpenUdp(uint16_t port, bool joinGroup, std::string& error);
    bool OpenPacketSocket(std::string& error);
    bool OpenControl(std::string& error);
    void ReadUdp(int fd, bool discovery);
    void ReadPacket();
    void ReadTransfer(int fd);
    void ReadControl(int fd);
    void ProvisionAddresses();

    const SimOptions& options_;
    std::unique_ptr<DeviceSimulator> sim_;
    int ifindex_ = 0;
    int epoll_ = -1;
    int discovery_ = -1;
    int command_ = -1;
    int packet_ = -1;
    int listen_ = -1;
    int signals_ = -1;
    std::unordered_set<int> transfers_;
    std::map<int, std::string> clients_;  // control connections (and stdin) with their partial line
    bool stop_ = false;
    uint64_t sendErrors_ = 0;
    int added_ = 0;
};

int LinuxSimNet::OpenUdp(uint16_t port, bool joinGroup, std::string& error)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    SetOption(fd, SOL_SOCKET, SO_REUSEADDR, 1);
    // Room for a whole burst: every device answers one discovery request at once.
    SetOption(fd, SOL_SOCKET, SO_SNDBUFFORCE, 8 << 20);
    SetOption(fd, SOL_SOCKET, SO_RCVBUFFORCE, 8 << 20);
    // Replies leave from each device's own address, also one it has just moved to.
    SetOption(fd, SOL_IP, IP_TRANSPARENT, 1);
    SetOption(fd, SOL_IP, IP_FREEBIND, 1);
    const sockaddr_in any = SockAddr({0, 0, 0, 0}, port);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&any), sizeof(any)) != 0) {
        error = "bind to port " + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    if (joinGroup) {
        ip_mreqn group{};
        std::memcpy(&group.imr_multiaddr.s_addr, kMulticastGroupAddress.data(), 4);
        group.imr_ifindex = ifindex_;
        if (setsockopt(fd, SOL_IP, IP_ADD_MEMBERSHIP, &group, sizeof(group)) != 0) {
            error = std::string("joining ") + kMulticastGroup + " on " + options_.iface + ": " +
                    std::strerror(errno);
            close(fd);
            return -1;
        }
    }
    return fd;
}

bool LinuxSimNet::OpenPacketSocket(std::string& error)
{
    packet_ = socket(AF_PACKET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_IP));
    if (packet_ < 0) {
        error = std::string("packet socket: ") + std::strerror(errno);
        return false;
    }
    // Only unicast IPv4/UDP frames to port 9786 reach us: the raw discovery requests. The
    // broadcast ones arrive through the UDP socket.
    sock_filter code[] = {
        {BPF_LD | BPF_B | BPF_ABS, 0, 0, 0},         // destination MAC, first byte
        {BPF_JMP | BPF_JSET | BPF_K, 8, 0, 0x01},    // group bit: broadcast or multicast
        {BPF_LD | BPF_B | BPF_ABS, 0, 0, 23},        // IP protocol
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 6, 17},       // UDP
        {BPF_LD | BPF_H | BPF_ABS, 0, 0, 20},        // flags and fragment offset
        {BPF_JMP | BPF_JSET | BPF_K, 4, 0, 0x1FFF},  // a later fragment
        {BPF_LDX | BPF_B | BPF_MSH, 0, 0, 14},       // X = IP header length
        {BPF_LD | BPF_H | BPF_IND, 0, 0, 16},        // UDP destination port
        {BPF_JMP | BPF_JEQ | BPF_K, 0, 1, kPortDiscoveryRequest},
        {BPF_RET | BPF_K, 0, 0, 0xFFFF},
        {BPF_RET | BPF_K, 0, 0, 0},
    };
    sock_fprog program{static_cast<unsigned short>(std::size(code)), code};
    setsockopt(packet_, SOL_SOCKET, SO_ATTACH_FILTER, &program, sizeof(program));
    SetOption(packet_, SOL_PACKET, PACKET_IGNORE_OUTGOING, 1);
    sockaddr_ll where{};
    where.sll_family = AF_PACKET;
    where.sll_protocol = htons(ETH_P_IP);
    where.sll_ifindex = ifindex_;
    if (bind(packet_, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0) {
        error = std::string("binding the packet socket: ") + std::strerror(errno);
        return false;
    }
    // Frames for our devices' MACs are not for the interface's own MAC.
    packet_mreq promiscuous{};
    promiscuous.mr_ifindex = ifindex_;
    promiscuous.mr_type = PACKET_MR_PROMISC;
    setsockopt(packet_, SOL_PACKET, PACKET_ADD_MEMBERSHIP, &promiscuous, sizeof(promiscuous));
    return true;
}

bool LinuxSimNet::OpenControl(std::string& error)
{
    if (options_.stdinControl) {
        const int flags = fcntl(STDIN_FILENO, F_GETFL);
        fcntl(STDIN_FILENO, F_SETFL, flags | O_NONBLOCK);
        if (!Watch(STDIN_FILENO)) {
            error = "stdin cannot be watched (give a pipe or a terminal)";
            return false;
        }
        clients_[STDIN_FILENO];
    }
    if (options_.controlSocket.empty()) return true;
    listen_ = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un where{};
    where.sun_family = AF_UNIX;
    std::snprintf(where.sun_path, sizeof(where.sun_path), "%s", options_.controlSocket.c_str());
    unlink(where.sun_path);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&where), sizeof(where)) != 0 ||
        listen(listen_, 8) != 0 || !Watch(listen_)) {
        error = "control socket " + options_.controlSocket + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void LinuxSimNet::ProvisionAddresses()
{
    if (!options_.addAddresses) return;
    const std::set<uint32_t> local = LocalAddresses(options_.iface);
    Netlink netlink;
    std::set<uint32_t> done;
    for (const SimDevice& d : sim_->Devices()) {
        const uint32_t ip = IpToHost(d.ip);
        if (local.count(ip) != 0 || !done.insert(ip).second) continue;
        if (netlink.AddAddress(ifindex_, d.ip, options_.prefixLen)) ++added_;
    }
}

// The mark simnet.sh leaves on the loopback of its namespaces; `ip netns exec` shows the
// namespace's own /sys.
bool InSimulatedLan()
{
    std::FILE* f = std::fopen("/sys/class/net/lo/ifalias", "r");
    if (f == nullptr) return false;
    char alias[128] = {};
    const bool read = std::fgets(alias, sizeof(alias), f) != nullptr;
    std::fclose(f);
    return read && std::string_view(alias).starts_with("pontiq-simnet owner=");
}

bool LinuxSimNet::Open(std::string& error)
{
    // The devices answer whoever asks and add addresses to the interface: never on a real
    // network by accident.
    if (!options_.anyNetwork && !InSimulatedLan()) {
        error =
            "not inside a simulated LAN of tools/simnet/simnet.sh (start it with ip netns exec, or give "
            "--any-network)";
        return false;
    }
    ifindex_ = static_cast<int>(if_nametoindex(options_.iface.c_str()));
    if (ifindex_ == 0) {
        error = "no interface '" + options_.iface + "' in this network namespace";
        return false;
    }
    epoll_ = epoll_create1(EPOLL_CLOEXEC);
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    sigprocmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN);
    signals_ = signalfd(-1, &mask, SFD_CLOEXEC | SFD_NONBLOCK);
    if (epoll_ < 0 || signals_ < 0 || !Watch(signals_)) {
        error = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    sim_ = std::make_unique<DeviceSimulator>(options_, *this, Clock::now());
    ProvisionAddresses();
    discovery_ = OpenUdp(kDevicePortDiscovery, false, error);
    if (discovery_ < 0) return false;
    command_ = OpenUdp(kDevicePortCommand, true, error);
    if (command_ < 0) return false;
    if (!Watch(discovery_) || !Watch(command_) || !OpenPacketSocket(error) || !Watch(packet_)) {
        if (error.empty()) error = std::string("epoll: ") + std::strerror(errno);
        return false;
    }
    return OpenControl(error);
}

void LinuxSimNet::Send(const Endpoint& from, const Endpoint& to, std::span<const uint8_t> bytes)
{
    const int fd = from.port == kDevicePortDiscovery ? discovery_ : command_;
    sockaddr_in dst = SockAddr(to.ip, to.port);
    iovec iov{const_cast<uint8_t*>(bytes.data()), bytes.size()};
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    msghdr msg{};
    msg.msg_name = &dst;
    msg.msg_namelen = sizeof(dst);
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof(control);
    cmsghdr* c = CMSG_FIRSTHDR(&msg);
    c->cmsg_level = SOL_IP;
    c->cmsg_type = IP_PKTINFO;
    c->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
    in_pktinfo info{};
    std::memcpy(&info.ipi_spec_dst.s_addr, from.ip.data(), 4);
    std::memcpy(CMSG_DATA(c), &info, sizeof(info));
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (sendmsg(fd, &msg, 0) >= 0) return;
        if (errno != EAGAIN && errno != ENOBUFS && errno != EINTR) break;
        pollfd p{fd, POLLOUT, 0};
        poll(&p, 1, 2);
    }
    if (sendErrors_++ < 5) Say("WARN send from " + FormatIp(from.ip) + ": " + std::strerror(errno));
}

int LinuxSimNet::OpenTransfer(const Ipv4Address& local)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    SetOption(fd, SOL_IP, IP_FREEBIND, 1);
    SetOption(fd, SOL_IP, IP_TRANSPARENT, 1);
    const sockaddr_in a = SockAddr(local, 0);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof(a)) != 0 || !Watch(fd)) {
        close(fd);
        return -1;
    }
    transfers_.insert(fd);
    return fd;
}

void LinuxSimNet::SendTransfer(int handle, const Endpoint& to, std::span<const uint8_t> bytes)
{
    const sockaddr_in dst = SockAddr(to.ip, to.port);
    sendto(handle, bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&dst), sizeof(dst));
}

void LinuxSimNet::CloseTransfer(int handle)
{
    if (transfers_.erase(handle) == 0) return;
    epoll_ctl(epoll_, EPOLL_CTL_DEL, handle, nullptr);
    close(handle);
}

void LinuxSimNet::AddressChanged(const Ipv4Address&, const Ipv4Address& to)
{
    // The old address stays: another device may hold it too, and a stale one does no harm.
    if (options_.addAddresses && LocalAddresses(options_.iface).count(IpToHost(to)) == 0) {
        Netlink().AddAddress(ifindex_, to, options_.prefixLen);
    }
}

void LinuxSimNet::ReadUdp(int fd, bool discovery)
{
    constexpr unsigned kBatch = 64;
    static uint8_t buffers[kBatch][kMaxDatagram + 1];
    sockaddr_in from[kBatch];
    iovec iov[kBatch];
    mmsghdr messages[kBatch];
    for (;;) {
        for (unsigned i = 0; i < kBatch; ++i) {
            iov[i] = {buffers[i], sizeof(buffers[i])};
            messages[i] = {};
            messages[i].msg_hdr.msg_name = &from[i];
            messages[i].msg_hdr.msg_namelen = sizeof(from[i]);
            messages[i].msg_hdr.msg_iov = &iov[i];
            messages[i].msg_hdr.msg_iovlen = 1;
        }
        const int n = recvmmsg(fd, messages, kBatch, MSG_DONTWAIT, nullptr);
        if (n <= 0) return;
        const auto now = Clock::now();
        for (int i = 0; i < n; ++i) {
            if (messages[i].msg_len > kMaxDatagram) continue;  // larger than any datagram of the protocol
            const std::span<const uint8_t> bytes(buffers[i], messages[i].msg_len);
            if (discovery) {
                sim_->OnDiscoveryRequest(now, FromSockAddr(from[i]), bytes);
            } else {
                sim_->OnCommand(now, FromSockAddr(from[i]), bytes);
            }
        }
        if (static_cast<unsigned>(n) < kBatch) return;
    }
}

void LinuxSimNet::ReadPacket()
{
    uint8_t frame[2048];
    for (;;) {
        sockaddr_ll from{};
        socklen_t len = sizeof(from);
        const ssize_t n =
            recvfrom(packet_, frame, sizeof(frame), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
        if (n <= 0) return;
        if (from.sll_pkttype == PACKET_OUTGOING) continue;
        sim_->OnRawFrame(Clock::now(), std::span<const uint8_t>(frame, static_cast<size_t>(n)));
    }
}

void LinuxSimNet::ReadTransfer(int fd)
{
    uint8_t buffer[1024];
    for (;;) {
        sockaddr_in from{};
        socklen_t len = sizeof(from);
        const ssize_t n =
            recvfrom(fd, buffer, sizeof(buffer), MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
        if (n < 0) return;
        sim_->OnTransferDatagram(Clock::now(), fd, FromSockAddr(from),
                                 std::span<const uint8_t>(buffer, static_cast<size_t>(n)));
        if (transfers_.count(fd) == 0) return;  // the simulator closed it
    }
}

void LinuxSimNet::ReadControl(int fd)
{
    const int out = fd == STDIN_FILENO ? STDOUT_FILENO : fd;
    char chunk[4096];
    bool closed = false;
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof(chunk));
        if (n > 0) {
            std::string& buffer = clients_[fd];
            buffer.append(chunk, static_cast<size_t>(n));
            if (buffer.size() > (1 << 16)) {
                closed = true;  // no line is that long
                break;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    std::string& buffer = clients_[fd];
    for (size_t nl; (nl = buffer.find('\n')) != std::string::npos;) {
        const std::string line = buffer.substr(0, nl);
        buffer.erase(0, nl + 1);
        if (!WriteAll(out, sim_->Control(Clock::now(), line))) closed = true;
        if (sim_->QuitRequested()) stop_ = true;
    }
    if (closed) {
        epoll_ctl(epoll_, EPOLL_CTL_DEL, fd, nullptr);
        clients_.erase(fd);
        if (fd == STDIN_FILENO) {
            stop_ = true;  // the controlling test has gone
        } else {
            close(fd);
        }
    }
}

int LinuxSimNet::Run()
{
    char ready[200];
    std::snprintf(ready, sizeof(ready), "READY devices=%zu iface=%s first=%s added=%d",
                  sim_->Devices().size(), options_.iface.c_str(), FormatIp(options_.firstIp).c_str(), added_);
    Say(ready);
    epoll_event events[64];
    while (!stop_) {
        sim_->RunDue(Clock::now());
        int timeout = -1;
        if (const auto next = sim_->NextDue()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<int64_t>(wait, 0, 1000));
        }
        const int n = epoll_wait(epoll_, events, 64, timeout);
        if (n < 0 && errno != EINTR) {
            Say(std::string("ERROR epoll_wait: ") + std::strerror(errno));
            return 1;
        }
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == discovery_) {
                ReadUdp(fd, true);
            } else if (fd == command_) {
                ReadUdp(fd, false);
            } else if (fd == packet_) {
                ReadPacket();
            } else if (fd == signals_) {
                stop_ = true;
            } else if (fd == listen_) {
                const int client = accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
                if (client >= 0 && Watch(client)) clients_[client];
            } else if (transfers_.count(fd) != 0) {
                ReadTransfer(fd);
            } else if (clients_.count(fd) != 0) {
                ReadControl(fd);
            }
        }
    }
    return 0;
}

}  // namespace

int RunOnInterface(const SimOptions& options)
{
    LinuxSimNet net(options);
    std::string error;
    if (!net.Open(error)) {
        Say("ERROR " + error);
        return 1;
    }
    return net.Run();
}

}  // namespace pontiq::sim
