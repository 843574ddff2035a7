#include "tools/fileserver/tftp_transfer.h"

#include <unistd.h>

#include <cerrno>

namespace pontiq::fileserver {
namespace {

constexpr size_t kReadAhead = 64 * 1024;

}  // namespace

TftpTransfer::TftpTransfer(int fd, Settings settings, PacketSender& sender)
    : fd_(fd), settings_(std::move(settings)), sender_(sender)
{
    if (settings_.windowSize == 0) settings_.windowSize = 1;
    if (settings_.blockSize == 0) settings_.blockSize = kDefaultBlockSize;
    slotBytes_ = 4 + static_cast<size_t>(settings_.blockSize);
    buffer_.resize(slotBytes_ * settings_.windowSize);
    slotLength_.resize(settings_.windowSize);
}

void TftpTransfer::Start(Clock::time_point now)
{
    if (!settings_.oack.empty()) {
        state_ = State::Negotiating;
        sender_.Send(OackPacket(settings_.oack));
        deadline_ = now + settings_.timeout;
        return;
    }
    state_ = State::Sending;
    SendWindow(now);
}

void TftpTransfer::Fail(std::string why, std::optional<Refusal> tell)
{
    state_ = State::Failed;
    error_ = std::move(why);
    if (tell) sender_.Send(ErrorPacket(tell->code, tell->message));
}

bool TftpTransfer::Produce()
{
    uint8_t* slot = Slot(produced_);
    uint8_t* out = slot + 4;
    const size_t blockSize = settings_.blockSize;
    size_t n = 0;
    if (!settings_.netascii) {
        while (n < blockSize) {
            const ssize_t r = pread(fd_, out + n, blockSize - n, static_cast<off_t>(readOffset_));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                Fail("read error", Refusal{kErrNotDefined, "Read error"});
                return false;
            }
            if (r == 0) break;
            n += static_cast<size_t>(r);
            readOffset_ += static_cast<uint64_t>(r);
        }
    } else {
        while (n < blockSize) {
            if (pendingByte_ >= 0) {
                out[n++] = static_cast<uint8_t>(pendingByte_);
                pendingByte_ = -1;
                continue;
            }
            if (readPos_ == readBuffer_.size()) {
                if (readEof_) break;
                readBuffer_.resize(kReadAhead);
                ssize_t r;
                do {
                    r = pread(fd_, readBuffer_.data(), kReadAhead, static_cast<off_t>(readOffset_));
                } while (r < 0 && errno == EINTR);
                if (r < 0) {
                    Fail("read error", Refusal{kErrNotDefined, "Read error"});
                    return false;
                }
                readBuffer_.resize(static_cast<size_t>(r));
                readPos_ = 0;
                readOffset_ += static_cast<uint64_t>(r);
                if (r == 0) {
                    readEof_ = true;
                    break;
                }
            }
            const uint8_t c = readBuffer_[readPos_++];
            if (c == '\n') {
                out[n++] = '\r';
                pendingByte_ = '\n';
            } else if (c == '\r') {
                out[n++] = '\r';
                pendingByte_ = 0;
            } else {
                out[n++] = c;
            }
        }
    }
    PutBe16(slot, kOpData);
    PutBe16(slot + 2, static_cast<uint16_t>(produced_));  // block numbers wrap from 65535 to 0
    slotLength_[produced_ % settings_.windowSize] = static_cast<uint32_t>(4 + n);
    if (n < blockSize) last_ = produced_;
    ++produced_;
    return true;
}

void TftpTransfer::SendWindow(Clock::time_point now)
{
    while (next_ < base_ + settings_.windowSize) {
        if (last_ != 0 && next_ > last_) break;
        if (next_ == produced_ && !Produce()) return;
        sender_.Send({Slot(next_), slotLength_[next_ % settings_.windowSize]});
        ++next_;
    }
    deadline_ = now + settings_.timeout;
}

void TftpTransfer::OnPacket(Clock::time_point now, std::span<const uint8_t> packet)
{
    if (Finished() || packet.size() < 2) return;
    const uint16_t opcode = Be16(packet.data());
    if (opcode == kOpError) {
        // The client gave up (or refused the options): no answer to an error.
        Fail("ended by the client");
        return;
    }
    if (opcode != kOpAck) {
        Fail("illegal operation", Refusal{kErrIllegalOperation, "Illegal TFTP operation"});
        return;
    }
    if (packet.size() < 4) return;
    const uint16_t block = Be16(packet.data() + 2);

    if (state_ == State::Negotiating) {
        if (block != 0) return;
        state_ = State::Sending;
        retries_ = 0;
        SendWindow(now);
        return;
    }

    const uint64_t previous = base_ - 1;
    const uint64_t inFlight = next_ - base_;
    const uint16_t ahead = static_cast<uint16_t>(block - static_cast<uint16_t>(previous));
    if (ahead == 0) {
        // A repeated acknowledgement. With one block at a time answering it would double every
        // later block (the sorcerer's apprentice); with a window it means the client timed out
        // waiting for the rest, so the window starts again.
        if (settings_.windowSize > 1 && inFlight > 0) {
            next_ = base_;
            SendWindow(now);
        }
        return;
    }
    if (ahead > inFlight) return;  // not a block that is out: stale or stray

    const uint64_t acked = previous + ahead;
    base_ = acked + 1;
    retries_ = 0;
    if (last_ != 0 && acked == last_) {
        state_ = State::Done;
        return;
    }
    // An acknowledgement inside the window: the client missed the block after it.
    if (base_ < next_) next_ = base_;
    SendWindow(now);
}

void TftpTransfer::OnTimer(Clock::time_point now)
{
    if (Finished() || now < deadline_) return;
    if (++retries_ > settings_.maxRetries) {
        Fail("timed out", Refusal{kErrNotDefined, "Transfer timed out"});
        return;
    }
    if (state_ == State::Negotiating) {
        sender_.Send(OackPacket(settings_.oack));
        deadline_ = now + settings_.timeout;
        return;
    }
    next_ = base_;
    SendWindow(now);
}

}  // namespace pontiq::fileserver
