// The adapter and capture modules against real interfaces: the veth links of the harness.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "comm/capture.h"
#include "comm/local_adapter.h"
#include "comm/raw_frame.h"
#include "tests/netns/netns_fixture.h"

namespace pontiq {
namespace {

using namespace std::chrono_literals;
using netns::Link;

std::string MacOf(const AdapterInfo& a)
{
    char text[18];
    std::snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", a.mac[0], a.mac[1], a.mac[2], a.mac[3],
                  a.mac[4], a.mac[5]);
    return text;
}

MacAddress MacBytes(const char* text)
{
    MacAddress mac{};
    unsigned b[6] = {};
    std::sscanf(text, "%x:%x:%x:%x:%x:%x", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    std::transform(b, b + 6, mac.begin(), [](unsigned v) { return static_cast<uint8_t>(v); });
    return mac;
}

Ipv4Address IpBytes(const char* text)
{
    Ipv4Address ip{};
    in_addr a{};
    inet_pton(AF_INET, text, &a);
    std::memcpy(ip.data(), &a, 4);
    return ip;
}

const AdapterInfo* Find(const std::vector<AdapterInfo>& adapters, const char* name)
{
    for (const auto& a : adapters) {
        if (std::strcmp(a.name, name) == 0) return &a;
    }
    return nullptr;
}

class AdaptersInNamespace : public netns::NetnsTest {};

TEST_F(AdaptersInNamespace, ListsEveryInterfaceInOrderWithKindMacAndAddresses)
{
    const auto adapters = QueryHostAdapters();
    std::vector<std::string> names;
    for (const auto& a : adapters) names.emplace_back(a.name);
    // The namespace holds nothing else; the label "pq0:1" is no interface of its own.
    EXPECT_EQ(names, (std::vector<std::string>{"lo", "pq0", "pq1", "pq2", "pq3", "pq4"}));

    const AdapterInfo* lo = Find(adapters, "lo");
    ASSERT_NE(lo, nullptr);
    EXPECT_EQ(lo->kind, kAdapterLoopback);
    EXPECT_FALSE(IsUsableAdapter(*lo));

    for (const Link* link : netns::AllLinks()) {
        SCOPED_TRACE(link->pc.ifname);
        const AdapterInfo* a = Find(adapters, link->pc.ifname);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(a->kind, link->pcUp ? kAdapterUsable : kAdapterDown);
        EXPECT_EQ(MacOf(*a), link->pc.mac);
        EXPECT_STREQ(a->description, link->pc.ifname) << "a veth has no device driver";
        ASSERT_EQ(a->addressCount, static_cast<int32_t>(link->pc.addresses.size()));
        for (size_t i = 0; i < link->pc.addresses.size(); ++i) {
            EXPECT_STREQ(a->addresses[i].ip, link->pc.addresses[i].ip);
            EXPECT_STREQ(a->addresses[i].mask, link->pc.addresses[i].mask);
        }
        EXPECT_EQ(IsUsableAdapter(*a), link->pcUp && !link->pc.addresses.empty());
    }

    const AdapterInfo* two = Find(adapters, netns::kTwoAddresses.pc.ifname);
    ASSERT_NE(two, nullptr);
    EXPECT_EQ(DirectedBroadcast(two->addresses[0].ip, two->addresses[0].mask), "10.77.1.255");
    EXPECT_TRUE(
        SameSubnet(two->addresses[1].ip, two->addresses[1].mask, netns::kTwoAddresses.dev.addresses[0].ip));
    EXPECT_FALSE(
        SameSubnet(two->addresses[0].ip, two->addresses[0].mask, netns::kOwnSubnet.dev.addresses[0].ip));
}

TEST_F(AdaptersInNamespace, DeviceNamespaceSeesItsOwnEnds)
{
    // Runs in a forked child that enters the device namespace.
    const int result = netns::RunInNamespace(netns::DevNamespace(), [] {
        const auto adapters = QueryHostAdapters();
        const AdapterInfo* a = Find(adapters, netns::kTwoAddresses.dev.ifname);
        if (a == nullptr || Find(adapters, netns::kTwoAddresses.pc.ifname) != nullptr) return 1;
        if (MacOf(*a) != netns::kTwoAddresses.dev.mac || a->addressCount != 1) return 2;
        return std::strcmp(a->addresses[0].ip, netns::kTwoAddresses.dev.addresses[0].ip) == 0 ? 0 : 3;
    });
    EXPECT_EQ(result, 0);
}

class CaptureInNamespace : public netns::NetnsTest {
protected:
    // The discovery request of the MAC search as it leaves pq0 for the device behind it.
    RawFrame DiscoveryFrame() const
    {
        return BuildRawDiscoveryFrame(
            MacBytes(netns::kTwoAddresses.dev.mac), MacBytes(netns::kTwoAddresses.pc.mac),
            IpBytes(netns::kTwoAddresses.pc.addresses[0].ip), IpBytes("10.77.1.255"));
    }
};

TEST_F(CaptureInNamespace, EveryAdapterNameIsPartOfACaptureDeviceName)
{
    const auto devices = FindCaptureDevices();
    for (const Link* link : netns::AllLinks()) {
        const std::string name = link->pc.ifname;
        EXPECT_TRUE(std::any_of(devices.begin(), devices.end(), [&](const std::string& d) {
            return d.find(name) != std::string::npos;
        })) << name;
    }
}

TEST_F(CaptureInNamespace, RawFrameArrivesByteForByteAndIsAValidDatagram)
{
    // Two listeners on the device end: the frame as it is, and the datagram the device's stack
    // makes of it, which it only delivers when both checksums hold.
    netns::Peer capture(netns::DevNamespace(), {"capture", netns::kTwoAddresses.dev.ifname, "--udp-dport",
                                                "9786", "--timeout", "30000"});
    netns::Peer stack(netns::DevNamespace(), {"udp-listen", "9786", "--timeout", "30000"});
    ASSERT_TRUE(capture.WaitReady()) << capture.error();
    ASSERT_TRUE(stack.WaitReady()) << stack.error();

    const RawFrame frame = DiscoveryFrame();
    ASSERT_TRUE(SendRawFrame(netns::kTwoAddresses.pc.ifname, frame));

    const auto frameLine = capture.WaitFor("FRAME", 30s);
    ASSERT_TRUE(frameLine) << "nothing captured on " << netns::kTwoAddresses.dev.ifname << ' '
                           << capture.error();
    const auto received = netns::ParseFrame(*frameLine);
    ASSERT_TRUE(received);
    EXPECT_EQ(netns::Hex(*received), netns::Hex(frame));

    const auto dgramLine = stack.WaitFor("DGRAM", 30s);
    ASSERT_TRUE(dgramLine) << "the device's stack dropped the frame " << stack.error();
    const auto dgram = netns::ParseDatagram(*dgramLine);
    ASSERT_TRUE(dgram);
    EXPECT_EQ(dgram->srcIp, netns::kTwoAddresses.pc.addresses[0].ip);
    EXPECT_EQ(dgram->srcPort, 9786);
    EXPECT_EQ(dgram->dstIp, "10.77.1.255");
    EXPECT_EQ(dgram->ifname, netns::kTwoAddresses.dev.ifname);
    EXPECT_EQ(netns::Hex(dgram->data), netns::Hex(std::span(frame).subspan(42)));
}

TEST_F(CaptureInNamespace, SendToADownAdapterIsReportedAsFailure)
{
    EXPECT_FALSE(SendRawFrame(netns::kDownAdapter.pc.ifname, DiscoveryFrame()));
}

// The peer's sending side, as engine tests use it to play a device answering the PC.
TEST_F(CaptureInNamespace, PeerSendsDatagramsFromTheDeviceSide)
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(9785);
    inet_pton(AF_INET, netns::kTwoAddresses.pc.addresses[0].ip, &local.sin_addr);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)), 0);

    netns::Peer sender(netns::DevNamespace(), {"udp-send", netns::kTwoAddresses.dev.addresses[0].ip, "9785",
                                               netns::kTwoAddresses.pc.addresses[0].ip, "9785", "86190000"});
    EXPECT_EQ(sender.Finish(), 0) << sender.error();

    timeval tv{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    uint8_t buffer[64];
    sockaddr_in from{};
    socklen_t fromLen = sizeof(from);
    const ssize_t n = recvfrom(fd, buffer, sizeof(buffer), 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
    close(fd);
    ASSERT_EQ(n, 4);
    EXPECT_EQ(netns::Hex(std::span(buffer, 4)), "86190000");
    char src[INET_ADDRSTRLEN];
    EXPECT_STREQ(inet_ntop(AF_INET, &from.sin_addr, src, sizeof(src)),
                 netns::kTwoAddresses.dev.addresses[0].ip);
}

}  // namespace
}  // namespace pontiq
