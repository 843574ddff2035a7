// One read transfer: sends a file in blocks, a window of them at a time, repeats on time-out
// with a bounded number of tries, and ends on the acknowledgement of the last block. It is fed
// the packets of its client and the clock, and sends through the given sender; no sockets here.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tools/fileserver/tftp_packet.h"

namespace pontiq::fileserver {

class PacketSender {
public:
    virtual ~PacketSender() = default;
    // False when the packet could not be sent now; the transfer then relies on its time-out.
    virtual bool Send(std::span<const uint8_t> packet) = 0;
};

class TftpTransfer final {
public:
    using Clock = std::chrono::steady_clock;
    enum class State { Negotiating, Sending, Done, Failed };

    struct Settings {
        uint32_t blockSize = kDefaultBlockSize;
        uint32_t windowSize = 1;
        std::chrono::milliseconds timeout{1000};
        int maxRetries = 5;        // repeats of one unanswered send before giving up
        bool netascii = false;     // LF -> CR LF, CR -> CR NUL
        std::vector<Option> oack;  // empty: no OACK, data starts at once
    };

    // fd: the open file, read from its start with pread; the transfer does not own it.
    TftpTransfer(int fd, Settings settings, PacketSender& sender);
    TftpTransfer(const TftpTransfer&) = delete;
    TftpTransfer& operator=(const TftpTransfer&) = delete;

    void Start(Clock::time_point now);
    void OnPacket(Clock::time_point now, std::span<const uint8_t> packet);
    // Call when Deadline() has passed: repeats what is unanswered, or gives up.
    void OnTimer(Clock::time_point now);
    Clock::time_point Deadline() const { return deadline_; }

    State state() const { return state_; }
    bool Finished() const { return state_ == State::Done || state_ == State::Failed; }
    uint64_t BlocksAcknowledged() const { return base_ - 1; }
    const std::string& Error() const { return error_; }

private:
    void Fail(std::string why, std::optional<Refusal> tell = std::nullopt);
    bool Produce();  // reads block produced_ into its slot
    void SendWindow(Clock::time_point now);
    uint8_t* Slot(uint64_t block) { return buffer_.data() + (block % settings_.windowSize) * slotBytes_; }

    int fd_;
    Settings settings_;
    PacketSender& sender_;
    State state_ = State::Negotiating;
    size_t slotBytes_;
    std::vector<uint8_t> buffer_;       // the window: header and data of each block
    std::vector<uint32_t> slotLength_;  // packet length per slot
    uint64_t base_ = 1;                 // first block not yet acknowledged
    uint64_t next_ = 1;                 // next block to send
    uint64_t produced_ = 1;             // blocks below this are in their slots
    uint64_t last_ = 0;                 // the final (short) block once read, else 0
    uint64_t readOffset_ = 0;           // file offset of the next byte to read
    int pendingByte_ = -1;              // netascii: the second byte of a pair that did not fit
    std::vector<uint8_t> readBuffer_;   // netascii: raw bytes read ahead
    size_t readPos_ = 0;
    bool readEof_ = false;
    int retries_ = 0;
    Clock::time_point deadline_{};
    std::string error_;
};

}  // namespace pontiq::fileserver
