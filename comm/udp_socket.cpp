#include "comm/udp_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace pontiq {

namespace {

bool ParseIpv4(std::string_view text, std::array<uint8_t, 4>& out)
{
    char buffer[16];
    if (text.empty() || text.size() >= sizeof(buffer)) {
        return false;
    }
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
    in_addr addr{};
    if (inet_pton(AF_INET, buffer, &addr) != 1) {
        return false;
    }
    std::memcpy(out.data(), &addr.s_addr, 4);
    return true;
}

bool MakeAddress(std::string_view ip, uint16_t port, sockaddr_in& out)
{
    std::memset(&out, 0, sizeof(out));
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    if (ip.empty() || ip == "0.0.0.0") {
        out.sin_addr.s_addr = htonl(INADDR_ANY);
        return true;
    }
    std::array<uint8_t, 4> bytes{};
    if (!ParseIpv4(ip, bytes)) {
        return false;
    }
    std::memcpy(&out.sin_addr.s_addr, bytes.data(), 4);
    return true;
}

bool SetInt(int fd, int level, int name, int value)
{
    return setsockopt(fd, level, name, &value, sizeof(value)) == 0;
}

}  // namespace

std::string UdpEndpoint::AddressText() const
{
    char text[16];
    std::snprintf(text, sizeof(text), "%d.%d.%d.%d", address[0], address[1], address[2], address[3]);
    return text;
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

UdpSocket UdpSocket::Create()
{
    return UdpSocket(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
}

bool UdpSocket::SetReuseAddress()
{
    return IsValid() && SetInt(fd_, SOL_SOCKET, SO_REUSEADDR, 1);
}

bool UdpSocket::SetBroadcast()
{
    return IsValid() && SetInt(fd_, SOL_SOCKET, SO_BROADCAST, 1);
}

bool UdpSocket::SetBufferSizes(int bytes)
{
    if (!IsValid()) {
        return false;
    }
    // The forcing options need CAP_NET_ADMIN; without it the plain ones give the capped size.
    const bool rcv =
        SetInt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, bytes) || SetInt(fd_, SOL_SOCKET, SO_RCVBUF, bytes);
    const bool snd =
        SetInt(fd_, SOL_SOCKET, SO_SNDBUFFORCE, bytes) || SetInt(fd_, SOL_SOCKET, SO_SNDBUF, bytes);
    return rcv && snd;
}

bool UdpSocket::JoinMulticast(std::string_view group, std::string_view interfaceIp)
{
    if (!IsValid()) {
        return false;
    }
    std::array<uint8_t, 4> groupBytes{};
    std::array<uint8_t, 4> ifaceBytes{};
    if (!ParseIpv4(group, groupBytes) || !ParseIpv4(interfaceIp, ifaceBytes)) {
        return false;
    }
    ip_mreq request{};
    std::memcpy(&request.imr_multiaddr.s_addr, groupBytes.data(), 4);
    std::memcpy(&request.imr_interface.s_addr, ifaceBytes.data(), 4);
    if (setsockopt(fd_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &request, sizeof(request)) != 0) {
        return false;
    }
    in_addr iface{};
    std::memcpy(&iface.s_addr, ifaceBytes.data(), 4);
    if (setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_IF, &iface, sizeof(iface)) != 0) {
        return false;
    }
    const unsigned char loop = 0;
    return setsockopt(fd_, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof(loop)) == 0;
}

bool UdpSocket::BindToDevice(std::string_view name)
{
    if (!IsValid() || name.empty()) {
        return IsValid();
    }
    const std::string text(name);
    return setsockopt(fd_, SOL_SOCKET, SO_BINDTODEVICE, text.c_str(), static_cast<socklen_t>(text.size())) ==
           0;
}

bool UdpSocket::Bind(std::string_view ip, uint16_t port)
{
    sockaddr_in addr{};
    if (!IsValid() || !MakeAddress(ip, port, addr)) {
        return false;
    }
    return bind(fd_, reinterpret_cast<const sockaddr*>(&addr), sizeof(addr)) == 0;
}

uint16_t UdpSocket::LocalPort() const
{
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (!IsValid() || getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        return 0;
    }
    return ntohs(addr.sin_port);
}

bool UdpSocket::SendTo(std::string_view ip, uint16_t port, std::span<const uint8_t> bytes)
{
    sockaddr_in addr{};
    if (!IsValid() || !MakeAddress(ip, port, addr)) {
        return false;
    }
    ssize_t sent;
    do {
        sent = sendto(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr),
                      sizeof(addr));
    } while (sent < 0 && errno == EINTR);
    return sent > 0;
}

long UdpSocket::ReceiveWith(std::span<uint8_t> buffer, UdpEndpoint& from, int flags)
{
    if (!IsValid()) {
        return -1;
    }
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    // MSG_TRUNC makes Linux report the real length of a datagram larger than the buffer.
    const ssize_t n = recvfrom(fd_, buffer.data(), buffer.size(), flags | MSG_TRUNC,
                               reinterpret_cast<sockaddr*>(&addr), &len);
    if (n < 0) {
        return -1;
    }
    std::memcpy(from.address.data(), &addr.sin_addr.s_addr, 4);
    from.port = ntohs(addr.sin_port);
    return static_cast<long>(n);
}

long UdpSocket::Receive(std::span<uint8_t> buffer, UdpEndpoint& from)
{
    return ReceiveWith(buffer, from, 0);
}

long UdpSocket::TryReceive(std::span<uint8_t> buffer, UdpEndpoint& from)
{
    return ReceiveWith(buffer, from, MSG_DONTWAIT);
}

void UdpSocket::Shutdown()
{
    // On an unconnected UDP socket this reports ENOTCONN but still wakes blocked receivers,
    // which then return 0; close alone would leave them blocked.
    if (IsValid()) {
        shutdown(fd_, SHUT_RDWR);
    }
}

void UdpSocket::Close()
{
    if (fd_ >= 0) {
        close(fd_);
        fd_ = -1;
    }
}

}  // namespace pontiq
