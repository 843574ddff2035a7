#include "tools/devicesim/tftp_fetch.h"

#include <array>

namespace pontiq::sim {

namespace {

uint16_t Be16(std::span<const uint8_t> b, size_t at)
{
    return static_cast<uint16_t>(b[at] << 8 | b[at + 1]);
}

void PutBe16(std::vector<uint8_t>& out, uint16_t v)
{
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

const std::array<uint32_t, 256>& CrcTable()
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

}  // namespace

uint32_t Crc32Update(uint32_t crc, std::span<const uint8_t> data)
{
    const auto& table = CrcTable();
    for (uint8_t b : data) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc;
}

TftpFetch::TftpFetch(Endpoint server, std::string fileName) : server_(server), fileName_(std::move(fileName))
{
}

std::vector<uint8_t> TftpFetch::ReadRequest(std::string_view fileName)
{
    std::vector<uint8_t> out;
    PutBe16(out, kTftpRrq);
    out.insert(out.end(), fileName.begin(), fileName.end());
    out.push_back(0);
    for (char c : std::string_view("octet")) out.push_back(static_cast<uint8_t>(c));
    out.push_back(0);
    return out;
}

std::vector<uint8_t> TftpFetch::Ack(uint16_t block)
{
    std::vector<uint8_t> out;
    PutBe16(out, kTftpAck);
    PutBe16(out, block);
    return out;
}

std::vector<uint8_t> TftpFetch::ErrorPacket(uint16_t code, std::string_view message)
{
    std::vector<uint8_t> out;
    PutBe16(out, kTftpError);
    PutBe16(out, code);
    out.insert(out.end(), message.begin(), message.end());
    out.push_back(0);
    return out;
}

std::vector<TftpFetch::Out> TftpFetch::Begin(Clock::time_point now)
{
    // Name and mode in one datagram of at most 512 bytes; longer names cannot be asked for.
    if (fileName_.empty() || fileName_.size() > 500 || fileName_.find('\0') != std::string::npos) {
        Fail("bad file name");
        return {};
    }
    last_ = ReadRequest(fileName_);
    lastTo_ = server_;
    deadline_ = now + kRetransmit;
    return {{lastTo_, last_}};
}

void TftpFetch::Fail(std::string message)
{
    state_ = State::Failed;
    error_ = std::move(message);
}

bool TftpFetch::Finished(Clock::time_point now) const
{
    return state_ == State::Failed || (state_ == State::Done && now >= deadline_);
}

std::vector<TftpFetch::Out> TftpFetch::OnDatagram(Clock::time_point now, const Endpoint& from,
                                                  std::span<const uint8_t> bytes)
{
    if (state_ == State::Failed || bytes.size() < 4) return {};
    if (from.ip != server_.ip) return {};  // not the host we asked
    const bool locked = state_ != State::Requesting;
    if (locked && from.port != peer_.port) {
        // Another transfer identifier: tell it, and carry on with ours.
        return {{from, ErrorPacket(5, "Unknown transfer ID")}};
    }
    const uint16_t op = Be16(bytes, 0);
    if (op == kTftpError) {
        std::string message;
        for (size_t i = 4; i < bytes.size() && bytes[i] != 0; ++i) message += static_cast<char>(bytes[i]);
        Fail("server error " + std::to_string(Be16(bytes, 2)) + ": " + message);
        return {};
    }
    if (op != kTftpData || bytes.size() > 4 + kTftpBlock) {
        Fail("unexpected packet");
        return {{from, ErrorPacket(4, "Illegal TFTP operation")}};
    }
    const uint16_t block = Be16(bytes, 2);
    if (!locked) {
        if (block != 1) return {};  // a stray block before the transfer began
        peer_ = from;
        state_ = State::Receiving;
    }
    if (state_ == State::Done || block != expected_) {
        // A repeat of the block already acknowledged: its ACK was lost.
        if (block == static_cast<uint16_t>(expected_ - 1)) {
            if (state_ == State::Done) deadline_ = now + kRetransmit;
            return {{peer_, Ack(block)}};
        }
        return {};
    }
    const auto data = bytes.subspan(4);
    bytes_ += data.size();
    crc_ = Crc32Update(crc_, data);
    if (bytes_ > kMaxBytes) {
        Fail("file too large");
        return {{peer_, ErrorPacket(3, "Disk full or allocation exceeded")}};
    }
    ++expected_;  // wraps from 65535 to 0, as servers that allow large files count
    retransmits_ = 0;
    last_ = Ack(block);
    lastTo_ = peer_;
    if (data.size() < kTftpBlock) state_ = State::Done;
    // Done: linger one interval to acknowledge the last block again if the server repeats it.
    deadline_ = now + kRetransmit;
    return {{peer_, last_}};
}

std::vector<TftpFetch::Out> TftpFetch::OnTimer(Clock::time_point now)
{
    if (state_ == State::Done || state_ == State::Failed || now < deadline_) return {};
    if (++retransmits_ > kMaxRetransmits) {
        Fail(state_ == State::Requesting ? "no answer from the server" : "transfer timed out");
        return {};
    }
    deadline_ = now + kRetransmit;
    return {{lastTo_, last_}};
}

}  // namespace pontiq::sim
