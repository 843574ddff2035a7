// The few POSIX UDP socket operations the engine needs, behind one small class, so that the
// rest of the engine never sees a sockaddr or an errno.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pontiq {

struct UdpEndpoint {
    std::array<uint8_t, 4> address{};  // first octet first
    uint16_t port = 0;                 // host order

    std::string AddressText() const;
};

class UdpSocket final {
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // A new IPv4 datagram socket (close-on-exec); invalid on failure.
    static UdpSocket Create();

    bool IsValid() const { return fd_ >= 0; }
    int Handle() const { return fd_; }

    bool SetReuseAddress();
    bool SetBroadcast();
    // Receive and send buffers of `bytes` each. Linux caps them at rmem_max / wmem_max; where
    // the process may, the forcing options make the size hold. A capped size is not a failure.
    bool SetBufferSizes(int bytes);
    // Membership of `group` on the interface of `interfaceIp`, sending through that interface,
    // and no copy of our own multicasts.
    bool JoinMulticast(std::string_view group, std::string_view interfaceIp);
    // Sends and receives only through the interface `name` (needs CAP_NET_RAW); empty: no-op.
    bool BindToDevice(std::string_view name);
    // Empty or "0.0.0.0": any local address.
    bool Bind(std::string_view ip, uint16_t port);
    // Local port after Bind (the real one when bound to port 0).
    uint16_t LocalPort() const;

    // True when at least one byte was sent.
    bool SendTo(std::string_view ip, uint16_t port, std::span<const uint8_t> bytes);

    // Blocks for one datagram. Returns its real length, which may exceed buffer.size() (the
    // rest is cut off), or -1 on an error. 0 after Shutdown.
    long Receive(std::span<uint8_t> buffer, UdpEndpoint& from);
    // Does not block: -1 when nothing is waiting.
    long TryReceive(std::span<uint8_t> buffer, UdpEndpoint& from);

    // Wakes every thread blocked in Receive on this socket; the descriptor stays open, so it
    // cannot be reused while those threads still hold it.
    void Shutdown();
    void Close();

private:
    explicit UdpSocket(int fd) : fd_(fd) {}
    long ReceiveWith(std::span<uint8_t> buffer, UdpEndpoint& from, int flags);

    int fd_ = -1;
};

}  // namespace pontiq
