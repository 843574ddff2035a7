#include "tools/fileserver/tftp_transfer.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

namespace pontiq::fileserver {
namespace {

using namespace std::chrono_literals;
using Clock = TftpTransfer::Clock;

struct Sent {
    uint16_t opcode;
    uint16_t block;  // data and ack: the block; error: the code
    std::string data;
};

class Recorder final : public PacketSender {
public:
    bool Send(std::span<const uint8_t> p) override
    {
        packets.push_back({Be16(p.data()), p.size() >= 4 ? Be16(p.data() + 2) : uint16_t(0),
                           std::string(p.begin() + std::min<size_t>(4, p.size()), p.end())});
        return true;
    }
    std::vector<Sent> Take() { return std::exchange(packets, {}); }
    std::vector<Sent> packets;
};

// A file in memory and a transfer of it, driven by a clock the test moves.
class TransferTest : public ::testing::Test {
protected:
    void Make(const std::string& content, TftpTransfer::Settings settings)
    {
        transfer_.reset();
        if (fd_ >= 0) close(fd_);
        fd_ = memfd_create("tftp-test", MFD_CLOEXEC);
        ASSERT_EQ(write(fd_, content.data(), content.size()), static_cast<ssize_t>(content.size()));
        transfer_ = std::make_unique<TftpTransfer>(fd_, std::move(settings), sender_);
        transfer_->Start(now_);
    }
    ~TransferTest() override
    {
        transfer_.reset();
        if (fd_ >= 0) close(fd_);
    }
    void Ack(uint16_t block)
    {
        const uint8_t p[4] = {0, kOpAck, static_cast<uint8_t>(block >> 8), static_cast<uint8_t>(block)};
        transfer_->OnPacket(now_, p);
    }
    void Tick(std::chrono::milliseconds by)
    {
        now_ += by;
        transfer_->OnTimer(now_);
    }
    static std::vector<uint16_t> Blocks(const std::vector<Sent>& sent)
    {
        std::vector<uint16_t> out;
        for (const Sent& s : sent) out.push_back(s.opcode == kOpData ? s.block : uint16_t(0xFFFF));
        return out;
    }
    // Acknowledges every block as it comes, one at a time; returns the bytes received.
    std::string ReceiveAll()
    {
        std::string got;
        for (int guard = 0; guard < 1'000'000 && !transfer_->Finished(); ++guard) {
            auto sent = sender_.Take();
            if (sent.empty()) break;
            for (const Sent& s : sent) {
                EXPECT_EQ(s.opcode, kOpData);
                got += s.data;
            }
            Ack(sent.back().block);
        }
        return got;
    }

    Recorder sender_;
    Clock::time_point now_{};
    int fd_ = -1;
    std::unique_ptr<TftpTransfer> transfer_;
};

TEST_F(TransferTest, SizesAroundTheBlockBoundaryEndWithAShortBlock)
{
    for (size_t size : {0u, 1u, 511u, 512u, 513u, 1024u}) {
        sender_.Take();
        std::string content(size, '\0');
        for (size_t i = 0; i < size; ++i) content[i] = static_cast<char>(i * 7);
        Make(content, {});
        EXPECT_EQ(ReceiveAll(), content) << size;
        EXPECT_EQ(transfer_->state(), TftpTransfer::State::Done) << size;
        EXPECT_EQ(transfer_->BlocksAcknowledged(), size / 512 + 1) << size;
    }
}

TEST_F(TransferTest, BlockNumbersWrapPastTheLastOne)
{
    // 65,538 full blocks of 8 bytes and an empty last one: 65535 is followed by 0.
    const std::string content(8 * 65538, 'w');
    Make(content, {.blockSize = 8, .oack = {}});
    std::vector<uint16_t> numbers;
    std::string got;
    while (!transfer_->Finished()) {
        auto sent = sender_.Take();
        ASSERT_EQ(sent.size(), 1u);
        numbers.push_back(sent[0].block);
        got += sent[0].data;
        Ack(sent[0].block);
    }
    EXPECT_EQ(got, content);
    ASSERT_EQ(numbers.size(), 65539u);
    EXPECT_EQ(std::vector<uint16_t>(numbers.begin() + 65533, numbers.begin() + 65537),
              (std::vector<uint16_t>{65534, 65535, 0, 1}));
    EXPECT_EQ(numbers.back(), 3);
    EXPECT_EQ(transfer_->state(), TftpTransfer::State::Done);
}

TEST_F(TransferTest, OptionsAreAcknowledgedBeforeTheFirstBlock)
{
    Make("hello", {.blockSize = 1468, .oack = {{"blksize", "1468"}, {"tsize", "5"}}});
    auto first = sender_.Take();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].opcode, kOpOack);
    Ack(1);  // not the acknowledgement of the options
    EXPECT_TRUE(sender_.Take().empty());
    Tick(1000ms);  // the OACK is repeated on time-out
    EXPECT_EQ(sender_.Take().at(0).opcode, kOpOack);
    Ack(0);
    auto data = sender_.Take();
    ASSERT_EQ(data.size(), 1u);
    EXPECT_EQ(data[0].block, 1);
    EXPECT_EQ(data[0].data, "hello");

    // A client refusing the options ends the transfer without an answer.
    Make("hello", {.oack = {{"tsize", "5"}}});
    sender_.Take();
    const uint8_t refuse[] = {0, kOpError, 0, kErrOptionRefused, 0};
    transfer_->OnPacket(now_, refuse);
    EXPECT_EQ(transfer_->state(), TftpTransfer::State::Failed);
    EXPECT_TRUE(sender_.Take().empty());
}

TEST_F(TransferTest, RepeatsOnTimeOutABoundedNumberOfTimes)
{
    Make(std::string(1000, 'r'), {.timeout = 2000ms, .maxRetries = 3, .oack = {}});
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{1}));
    Tick(1999ms);
    EXPECT_TRUE(sender_.Take().empty());
    for (int i = 0; i < 3; ++i) {
        Tick(2000ms);
        EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{1})) << i;
    }
    Tick(2000ms);
    auto last = sender_.Take();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].opcode, kOpError);
    EXPECT_EQ(transfer_->state(), TftpTransfer::State::Failed);
    Tick(2000ms);
    EXPECT_TRUE(sender_.Take().empty());
}

TEST_F(TransferTest, ARepeatedAckDoesNotDoubleTheBlocks)
{
    Make(std::string(2000, 's'), {});
    sender_.Take();
    Ack(1);
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{2}));
    Ack(1);  // late repeat of the first acknowledgement
    EXPECT_TRUE(sender_.Take().empty());
    Ack(7);  // never sent
    Ack(60000);
    EXPECT_TRUE(sender_.Take().empty());
    Ack(2);
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{3}));
}

TEST_F(TransferTest, WindowsAndTheirRepairs)
{
    // 10 blocks of 8 bytes and a short last one, in windows of 4.
    std::string content(84, 'x');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>('a' + i % 26);
    Make(content, {.blockSize = 8, .windowSize = 4, .oack = {}});
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{1, 2, 3, 4}));
    Ack(4);
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{5, 6, 7, 8}));
    Ack(6);  // 7 was lost: the next window starts there
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{7, 8, 9, 10}));
    Ack(6);  // the client timed out waiting: the window again
    EXPECT_EQ(Blocks(sender_.Take()), (std::vector<uint16_t>{7, 8, 9, 10}));
    Tick(1000ms);  // our time-out: the window again
    auto again = sender_.Take();
    EXPECT_EQ(Blocks(again), (std::vector<uint16_t>{7, 8, 9, 10}));
    EXPECT_EQ(again[0].data, content.substr(48, 8));
    Ack(10);
    auto tail = sender_.Take();
    EXPECT_EQ(Blocks(tail), (std::vector<uint16_t>{11}));
    EXPECT_EQ(tail[0].data, content.substr(80));
    Ack(11);
    EXPECT_EQ(transfer_->state(), TftpTransfer::State::Done);
}

TEST_F(TransferTest, NetasciiTurnsLineEndsIntoPairs)
{
    // 7 bytes become 11; with 4-byte blocks the pairs are split across blocks.
    Make("a\nb\rc\n\n", {.blockSize = 4, .netascii = true, .oack = {}});
    EXPECT_EQ(ReceiveAll(), std::string("a\r\nb\r\0c\r\n\r\n", 11));
}

TEST_F(TransferTest, AnIllegalPacketEndsTheTransferWithAnError)
{
    Make("abc", {});
    sender_.Take();
    const uint8_t data[] = {0, kOpData, 0, 1, 'x'};
    transfer_->OnPacket(now_, data);
    auto sent = sender_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].opcode, kOpError);
    EXPECT_EQ(sent[0].block, kErrIllegalOperation);
    EXPECT_EQ(transfer_->state(), TftpTransfer::State::Failed);
    // Short packets are dropped without harm.
    Make("abc", {});
    sender_.Take();
    const uint8_t shortAck[] = {0, kOpAck, 0};
    transfer_->OnPacket(now_, shortAck);
    transfer_->OnPacket(now_, {});
    EXPECT_TRUE(sender_.Take().empty());
    EXPECT_FALSE(transfer_->Finished());
}

}  // namespace
}  // namespace pontiq::fileserver
