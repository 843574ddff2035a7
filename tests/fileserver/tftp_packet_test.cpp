#include "tools/fileserver/tftp_packet.h"

#include <gtest/gtest.h>

#include <string>

namespace pontiq::fileserver {
namespace {

std::vector<uint8_t> Bytes(std::string_view text)
{
    return {text.begin(), text.end()};
}

// Opcode, then the strings as given (each with its terminating NUL written in the text).
std::vector<uint8_t> Packet(uint16_t opcode, std::string_view body)
{
    std::string text{static_cast<char>(opcode >> 8), static_cast<char>(opcode)};
    text += body;
    return Bytes(text);
}

using namespace std::string_view_literals;

TEST(TftpRequest, ReadRequestsWithModesAndOptions)
{
    auto parsed =
        ParseRequest(Packet(kOpRrq, "fw/a.bin\0OcTeT\0BLKSIZE\0001468\0tsize\0000\0blksize\09\0"sv));
    ASSERT_TRUE(std::holds_alternative<Request>(parsed));
    const Request& r = std::get<Request>(parsed);
    EXPECT_EQ(r.fileName, "fw/a.bin");
    EXPECT_FALSE(r.netascii);
    // Names lower case; a repeated option counts once, the first.
    EXPECT_EQ(r.options, (std::vector<Option>{{"blksize", "1468"}, {"tsize", "0"}}));

    auto ascii = ParseRequest(Packet(kOpRrq, "a\0netascii\0\0\0"sv));  // NUL padding at the end
    ASSERT_TRUE(std::holds_alternative<Request>(ascii));
    EXPECT_TRUE(std::get<Request>(ascii).netascii);
}

TEST(TftpRequest, RefusalsSayWhichErrorAnswersThem)
{
    const std::string tooLong = "a" + std::string(520, 'x') + '\0' + "octet" + '\0';
    struct Case {
        const char* what;
        std::vector<uint8_t> packet;
        uint16_t code;
    } cases[] = {
        {"empty", {}, kErrIllegalOperation},
        {"one byte", {0}, kErrIllegalOperation},
        {"write request", Packet(kOpWrq, "a.bin\0octet\0"sv), kErrAccessViolation},
        {"data to the server port", Packet(kOpData, "\0\1xyz"sv), kErrIllegalOperation},
        {"ack to the server port", Packet(kOpAck, "\0\1"sv), kErrIllegalOperation},
        {"unknown opcode", Packet(99, "a\0octet\0"sv), kErrIllegalOperation},
        {"no strings", Packet(kOpRrq, ""sv), kErrIllegalOperation},
        {"name without NUL", Packet(kOpRrq, "a.bin"sv), kErrIllegalOperation},
        {"mode without NUL", Packet(kOpRrq, "a.bin\0octet"sv), kErrIllegalOperation},
        {"no mode", Packet(kOpRrq, "a.bin\0"sv), kErrIllegalOperation},
        {"empty name", Packet(kOpRrq, "\0octet\0"sv), kErrIllegalOperation},
        {"mail mode", Packet(kOpRrq, "a\0mail\0"sv), kErrIllegalOperation},
        {"unknown mode", Packet(kOpRrq, "a\0binary\0"sv), kErrIllegalOperation},
        {"option without value", Packet(kOpRrq, "a\0octet\0blksize\0"sv), kErrIllegalOperation},
        {"option value without NUL", Packet(kOpRrq, "a\0octet\0blksize\0001024"sv), kErrIllegalOperation},
        {"empty option name", Packet(kOpRrq, "a\0octet\0\0001024\0"sv), kErrIllegalOperation},
        {"over 512 bytes", Packet(kOpRrq, tooLong), kErrIllegalOperation},
    };
    for (const Case& c : cases) {
        auto parsed = ParseRequest(c.packet);
        ASSERT_TRUE(std::holds_alternative<Refusal>(parsed)) << c.what;
        EXPECT_EQ(std::get<Refusal>(parsed).code, c.code) << c.what;
        EXPECT_FALSE(std::get<Refusal>(parsed).message.empty()) << c.what;
    }
}

TEST(TftpRequest, FileNamesStayInTheFolder)
{
    struct Case {
        std::string name;
        bool allowed;
    } cases[] = {
        {"a.bin", true},    {"sub/a.bin", true},    {"./a.bin", true},
        {"a..b.bin", true}, {"..a", true},          {"sub//a.bin", true},
        {"..", false},      {"../a.bin", false},    {"sub/../../a.bin", false},
        {"sub/..", false},  {"/etc/passwd", false}, {"//etc/passwd", false},
        {"a\nb", false},    {"a\x7f", false},       {"", false},
    };
    for (const Case& c : cases) EXPECT_EQ(!CheckFileName(c.name).has_value(), c.allowed) << c.name;
}

TEST(TftpOptions, NegotiationWithinLimits)
{
    const Limits limits{1468, 16, 1u << 20};
    struct Case {
        const char* what;
        std::vector<Option> asked;
        std::optional<uint64_t> size;
        uint32_t block, window, timeout;
        std::vector<Option> reply;
    } cases[] = {
        {"none", {}, 100, 512, 1, 0, {}},
        {"all",
         {{"blksize", "1024"}, {"tsize", "0"}, {"timeout", "3"}, {"windowsize", "8"}},
         100,
         1024,
         8,
         3,
         {{"blksize", "1024"}, {"tsize", "100"}, {"timeout", "3"}, {"windowsize", "8"}}},
        {"larger than allowed: the limit is answered",
         {{"blksize", "65464"}, {"windowsize", "500"}},
         0,
         1468,
         16,
         0,
         {{"blksize", "1468"}, {"windowsize", "16"}}},
        {"unusable values are left out",
         {{"blksize", "7"}, {"timeout", "0"}, {"timeout", "256"}, {"windowsize", "0"}, {"blksize", "-1"}},
         0,
         512,
         1,
         0,
         {}},
        {"not numbers",
         {{"blksize", " 512"}, {"timeout", "1s"}, {"windowsize", "99999999999999999999999"}},
         0,
         512,
         1,
         0,
         {}},
        {"unknown options are ignored", {{"multicast", ""}, {"tsize", "0"}}, 7, 512, 1, 0, {{"tsize", "7"}}},
        {"no size known (netascii): no tsize", {{"tsize", "0"}}, std::nullopt, 512, 1, 0, {}},
        {"zero size is left out", {{"tsize", "0"}}, 0, 512, 1, 0, {}},
    };
    for (const Case& c : cases) {
        const Negotiated n = Negotiate(c.asked, limits, c.size);
        EXPECT_EQ(n.blockSize, c.block) << c.what;
        EXPECT_EQ(n.windowSize, c.window) << c.what;
        EXPECT_EQ(n.timeoutSeconds, c.timeout) << c.what;
        EXPECT_EQ(n.reply, c.reply) << c.what;
    }
    // A window is held in memory: its bytes are bounded whatever the block size.
    const Negotiated big = Negotiate({{"blksize", "65464"}, {"windowsize", "64"}}, Limits{}, 0);
    EXPECT_LE(static_cast<size_t>(big.blockSize) * big.windowSize, Limits{}.maxWindowBytes);
    EXPECT_GE(big.windowSize, 1u);
}

TEST(TftpPackets, ErrorAndOptionAcknowledgement)
{
    EXPECT_EQ(ErrorPacket(2, "Read-only server"), Bytes("\0\5\0\2Read-only server\0"sv));
    EXPECT_EQ(ErrorPacket(0, ""), Bytes("\0\5\0\0\0"sv));
    EXPECT_EQ(OackPacket({{"blksize", "1468"}, {"tsize", "0"}}),
              Bytes("\0\6blksize\0001468\0tsize\0000\0"sv));
}

}  // namespace
}  // namespace pontiq::fileserver
