// A minimal TFTP client (RFC 1350): one read request in octet mode, then DATA blocks that are
// acknowledged one by one. Transport-free: it is fed the datagrams of its socket and the clock,
// and hands back what to send.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comm/protocol.h"

namespace pontiq::sim {

struct Endpoint {
    Ipv4Address ip{};
    uint16_t port = 0;
    bool operator==(const Endpoint&) const = default;
};

inline constexpr uint16_t kTftpRrq = 1;
inline constexpr uint16_t kTftpData = 3;
inline constexpr uint16_t kTftpAck = 4;
inline constexpr uint16_t kTftpError = 5;
inline constexpr size_t kTftpBlock = 512;

class TftpFetch final {
public:
    using Clock = std::chrono::steady_clock;
    enum class State { Requesting, Receiving, Done, Failed };

    struct Out {
        Endpoint to;
        std::vector<uint8_t> bytes;
    };

    static constexpr std::chrono::milliseconds kRetransmit{1000};
    static constexpr int kMaxRetransmits = 5;
    static constexpr uint64_t kMaxBytes = 64ull << 20;  // a firmware image, not a disk

    TftpFetch(Endpoint server, std::string fileName);

    // The read request.
    std::vector<Out> Begin(Clock::time_point now);
    std::vector<Out> OnDatagram(Clock::time_point now, const Endpoint& from, std::span<const uint8_t> bytes);
    // Call at Deadline(): repeats the last packet, or gives up.
    std::vector<Out> OnTimer(Clock::time_point now);
    Clock::time_point Deadline() const { return deadline_; }

    State state() const { return state_; }
    // Done: the socket may still be wanted until then, to acknowledge a repeated last block.
    bool Finished(Clock::time_point now) const;
    uint64_t BytesReceived() const { return bytes_; }
    uint32_t Crc32() const { return ~crc_; }
    const std::string& Error() const { return error_; }

    static std::vector<uint8_t> ReadRequest(std::string_view fileName);
    static std::vector<uint8_t> Ack(uint16_t block);
    static std::vector<uint8_t> ErrorPacket(uint16_t code, std::string_view message);

private:
    void Fail(std::string message);

    Endpoint server_;
    std::string fileName_;
    State state_ = State::Requesting;
    Endpoint peer_{};  // the server's transfer identifier once its first block arrived
    uint16_t expected_ = 1;
    uint64_t bytes_ = 0;
    uint32_t crc_ = 0xFFFFFFFFu;
    std::vector<uint8_t> last_;  // what a time-out repeats
    Endpoint lastTo_{};
    int retransmits_ = 0;
    Clock::time_point deadline_{};
    std::string error_;
};

uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> data);  // crc starts at 0xFFFFFFFF

}  // namespace pontiq::sim
