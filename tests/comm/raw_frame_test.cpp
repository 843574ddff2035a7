#include "comm/raw_frame.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace pontiq {
namespace {

using Bytes = std::vector<uint8_t>;

const MacAddress kTarget = {0x00, 0x1e, 0x42, 0x0a, 0x0b, 0x0c};
const MacAddress kAdapter = {0x52, 0x54, 0x00, 0x12, 0x34, 0x56};

TEST(InternetChecksum, KnownValues)
{
    struct Case {
        const char* what;
        Bytes data;
        uint16_t sum;
    };
    const Case cases[] = {
        // The worked example of RFC 1071: sum 0xddf2, complemented.
        {"rfc example", {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}, 0x220d},
        {"empty", {}, 0xffff},
        {"zeros", {0, 0, 0, 0}, 0xffff},
        {"odd byte is a high byte", {0x01}, 0xfeff},
        {"odd tail", {0x12, 0x34, 0x56}, static_cast<uint16_t>(~(0x1234 + 0x5600))},
        {"carries", {0xff, 0xff, 0xff, 0xff, 0x00, 0x02}, 0xfffd},
        // A classic IPv4 header (checksum field zero) whose checksum is 0xb861.
        {"ipv4 header",
         {0x45, 0x00, 0x00, 0x73, 0x00, 0x00, 0x40, 0x00, 0x40, 0x11,
          0x00, 0x00, 0xc0, 0xa8, 0x00, 0x01, 0xc0, 0xa8, 0x00, 0xc7},
         0xb861},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(InternetChecksum(c.data), c.sum) << c.what;
    }
}

TEST(RawDiscoveryFrame, FieldsAtTheirOffsets)
{
    const RawFrame f = BuildRawDiscoveryFrame(kTarget, kAdapter, {192, 168, 0, 10}, {192, 168, 0, 255});
    ASSERT_EQ(f.size(), 58u);
    const Bytes expectedHead = {
        0x00, 0x1e, 0x42, 0x0a, 0x0b, 0x0c,  // destination: the target
        0x52, 0x54, 0x00, 0x12, 0x34, 0x56,  // source: the adapter
        0x08, 0x00,                          // IPv4
        0x45, 0x00, 0x00, 44,                // version/IHL, TOS, total length
        0x37, 0x0d, 0x00, 0x00,              // identification, flags/fragment
        64,   17,                            // TTL, UDP
    };
    EXPECT_EQ(Bytes(f.begin(), f.begin() + 24), expectedHead);
    const Bytes expectedAddrs = {192, 168, 0, 10, 192, 168, 0, 255, 0x26, 0x3a, 0x26, 0x3a, 0x00, 24};
    EXPECT_EQ(Bytes(f.begin() + 26, f.begin() + 40), expectedAddrs);
    const Bytes expectedHeader = {0x86, 0x19, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(f.begin() + 42, f.end()), expectedHeader);

    // A correct checksum makes the covered data sum to zero.
    EXPECT_EQ(InternetChecksum(std::span<const uint8_t>(f).subspan(kRawFrameIpOffset, kRawFrameIpHeaderSize)),
              0);
    const auto header = DecodeHeader(std::span<const uint8_t>(f).subspan(42));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->msg_type, MSG_DISCOVER);
    EXPECT_EQ(header->multicast, 0);
    EXPECT_EQ(header->payload_len, 0);
}

// ---- Independent check with a packet analyser ----------------------------------------

struct FrameCase {
    std::string what;
    Ipv4Address src;
    Ipv4Address dst;
};

// Classic pcap file, Ethernet link type, one record per frame.
void WritePcap(const std::string& path, const std::vector<RawFrame>& frames)
{
    std::ofstream out(path, std::ios::binary);
    const auto put32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto put16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    put32(0xa1b2c3d4);
    put16(2);
    put16(4);
    put32(0);
    put32(0);
    put32(65535);
    put32(1);  // DLT_EN10MB
    uint32_t second = 1;
    for (const RawFrame& f : frames) {
        put32(second++);
        put32(0);
        put32(static_cast<uint32_t>(f.size()));
        put32(static_cast<uint32_t>(f.size()));
        out.write(reinterpret_cast<const char*>(f.data()), static_cast<std::streamsize>(f.size()));
    }
}

std::optional<std::string> RunCommand(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return std::nullopt;
    std::string output;
    char buffer[256];
    while (fgets(buffer, sizeof(buffer), pipe)) output += buffer;
    if (pclose(pipe) != 0) return std::nullopt;
    return output;
}

// An adapter address whose UDP checksum computes to 0 and must go out as 0xffff.
std::optional<Ipv4Address> AddressWithZeroUdpChecksum()
{
    for (uint32_t n = 0; n < 0x10000; ++n) {
        const Ipv4Address src = {10, 1, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)};
        const RawFrame f = BuildRawDiscoveryFrame(kTarget, kAdapter, src, {10, 1, 255, 255});
        if (f[40] == 0xff && f[41] == 0xff) return src;
    }
    return std::nullopt;
}

TEST(RawDiscoveryFrame, ChecksumsVerifyWithTshark)
{
    if (std::system("command -v tshark >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "tshark is not installed; the frame checksums cannot be checked independently";
    }
    std::vector<FrameCase> cases = {
        {"class C", {192, 168, 0, 10}, {192, 168, 0, 255}},
        {"class A", {10, 0, 0, 1}, {10, 255, 255, 255}},
        {"high octets, carries", {255, 255, 255, 254}, {255, 255, 255, 255}},
        {"low octets", {1, 0, 0, 1}, {1, 0, 0, 3}},
        {"/30", {172, 16, 200, 129}, {172, 16, 200, 131}},
    };
    const auto zero = AddressWithZeroUdpChecksum();
    ASSERT_TRUE(zero) << "no address found whose UDP checksum computes to zero";
    cases.push_back({"UDP checksum 0 sent as 0xffff", *zero, {10, 1, 255, 255}});

    std::vector<RawFrame> frames;
    for (const FrameCase& c : cases)
        frames.push_back(BuildRawDiscoveryFrame(kTarget, kAdapter, c.src, c.dst));
    // A control frame with both checksums spoiled: the analyser must call it bad, which shows
    // that it really verified the others.
    RawFrame spoiled = frames.front();
    spoiled[25] ^= 0x01;
    spoiled[41] ^= 0x01;
    frames.push_back(spoiled);

    char path[] = "/tmp/pontiq_raw_frame_XXXXXX.pcap";
    const int fd = mkstemps(path, 5);
    ASSERT_GE(fd, 0);
    close(fd);
    WritePcap(path, frames);
    const auto output = RunCommand(std::string("tshark -n -r ") + path +
                                   " -o ip.check_checksum:TRUE -o udp.check_checksum:TRUE"
                                   " -T fields -e ip.checksum.status -e udp.checksum.status 2>/dev/null");
    std::remove(path);
    ASSERT_TRUE(output) << "tshark failed";

    // Status values of the analyser: 0 bad, 1 good, 2 unverified.
    std::istringstream lines(*output);
    std::string line;
    for (const FrameCase& c : cases) {
        ASSERT_TRUE(std::getline(lines, line)) << c.what;
        EXPECT_EQ(line, "1\t1") << c.what;
    }
    ASSERT_TRUE(std::getline(lines, line));
    EXPECT_EQ(line, "0\t0") << "spoiled control frame";
}

}  // namespace
}  // namespace pontiq
