// Arbitrary bytes as a request at the FileServer's port, then as the packets of its client.
// The first byte gives the request's length; after it, each packet is a length byte and its
// bytes, and a length of 255 lets the clock run past the time-out instead. Every packet the
// transfer sends is checked; a broken invariant traps, so libFuzzer reports it like a crash.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <variant>

#include "tools/fileserver/tftp_packet.h"
#include "tools/fileserver/tftp_transfer.h"

namespace {

using namespace pontiq::fileserver;

void Check(bool condition)
{
    if (!condition) __builtin_trap();
}

constexpr size_t kFileSize = 3000;

int File()
{
    static const int fd = [] {
        const int f = memfd_create("tftp-fuzz", MFD_CLOEXEC);
        for (size_t i = 0; i < kFileSize; ++i) {
            const uint8_t b = static_cast<uint8_t>(i % 7 == 0 ? '\n' : i % 11 == 0 ? '\r' : i);
            Check(write(f, &b, 1) == 1);
        }
        return f;
    }();
    return fd;
}

class CheckingSender final : public PacketSender {
public:
    explicit CheckingSender(uint32_t blockSize) : blockSize_(blockSize) {}
    bool Send(std::span<const uint8_t> p) override
    {
        Check(p.size() >= 2);
        const uint16_t op = Be16(p.data());
        Check(op == kOpData || op == kOpError || op == kOpOack);
        if (op == kOpData) Check(p.size() >= 4 && p.size() <= 4 + static_cast<size_t>(blockSize_));
        if (op == kOpError || op == kOpOack) Check(p.back() == 0);
        return true;
    }

private:
    uint32_t blockSize_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const size_t requestLength = std::min<size_t>(data[0], size - 1);
    const std::span<const uint8_t> request(data + 1, requestLength);
    auto parsed = ParseRequest(request);
    if (auto* refusal = std::get_if<Refusal>(&parsed)) {
        Check(!refusal->message.empty());
        return 0;
    }
    const Request& r = std::get<Request>(parsed);
    Check(r.opcode == kOpRrq && !r.fileName.empty() && request.size() <= kMaxRequestBytes);
    if (auto refusal = CheckFileName(r.fileName)) Check(refusal->code != 0);

    const Limits limits{kMaxBlockSize, 64, 64 * 1024};
    const Negotiated agreed = Negotiate(r.options, limits, kFileSize);
    Check(agreed.blockSize >= kMinBlockSize && agreed.blockSize <= kMaxBlockSize);
    Check(agreed.windowSize >= 1 && agreed.windowSize <= limits.maxWindowSize);
    Check(agreed.windowSize == 1 ||
          static_cast<size_t>(agreed.windowSize) * agreed.blockSize <= limits.maxWindowBytes);
    Check(agreed.reply.size() <= r.options.size());

    TftpTransfer::Settings settings;
    settings.blockSize = agreed.blockSize;
    settings.windowSize = agreed.windowSize;
    settings.netascii = r.netascii;
    settings.oack = agreed.reply;
    settings.maxRetries = 3;
    CheckingSender sender(agreed.blockSize);
    TftpTransfer transfer(File(), settings, sender);
    auto now = TftpTransfer::Clock::time_point{};
    transfer.Start(now);

    // With netascii every byte may double.
    const uint64_t maxBlocks = (2 * kFileSize) / agreed.blockSize + 1;
    size_t at = 1 + requestLength;
    while (at < size && !transfer.Finished()) {
        const size_t length = data[at++];
        if (length == 255) {
            now += std::chrono::seconds(2);
            transfer.OnTimer(now);
            continue;
        }
        const size_t take = std::min(length, size - at);
        transfer.OnPacket(now, {data + at, take});
        at += take;
        Check(transfer.BlocksAcknowledged() <= maxBlocks);
    }
    return 0;
}
