// The engine on real sockets, inside the harness's private namespaces: discovery out of every
// adapter, the fallback broadcast, the command path by multicast, the raw frame through the
// capture library, and one device's whole road from discovery reply to release.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <set>
#include <thread>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/protocol.h"
#include "comm/raw_frame.h"
#include "store/value_format.h"
#include "tests/netns/netns_fixture.h"

namespace pontiq {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

MacAddress Mac(const char* text)
{
    return MacToBytes(text);
}

// RFC 1071 over big-endian words, written out here so the frame is not checked with its own code.
uint32_t OnesSum(std::span<const uint8_t> data, uint32_t sum = 0)
{
    for (size_t i = 0; i + 1 < data.size(); i += 2) sum += static_cast<uint32_t>(data[i] << 8 | data[i + 1]);
    if (data.size() % 2 != 0) sum += static_cast<uint32_t>(data.back() << 8);
    return sum;
}
uint16_t Fold(uint32_t sum)
{
    while (sum >> 16) sum = (sum & 0xffff) + (sum >> 16);
    return static_cast<uint16_t>(sum);
}

class EngineInNamespace : public netns::NetnsTest {
protected:
    void SetUp() override
    {
        netns::NetnsTest::SetUp();
        if (IsSkipped()) return;
        char pattern[] = "/tmp/pontiq_engine_netns_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = engine_store::CreateStore(dir_);
    }

    void TearDown() override
    {
        engine_.reset();
        store_.reset();
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }

    CommEngine& MakeEngine(EngineServices services = {})
    {
        EngineOptions options;
        options.localEncoding = "UTF-8";
        engine_ = std::make_unique<CommEngine>(*store_, options, std::move(services));
        return *engine_;
    }

    // A device answering from the device namespace.
    static void DeviceSends(const char* fromIp, uint16_t fromPort, const char* toIp, uint16_t toPort,
                            const Bytes& d)
    {
        netns::Peer peer(netns::DevNamespace(), {"udp-send", fromIp, std::to_string(fromPort), toIp,
                                                 std::to_string(toPort), netns::Hex(d)});
        ASSERT_EQ(peer.Finish(), 0) << peer.error();
    }

    // Everything `peer` reports until it ends (after --count items or its time-out).
    static std::vector<netns::Datagram> Datagrams(netns::Peer& peer)
    {
        peer.Finish(30s);
        std::vector<netns::Datagram> out;
        for (const std::string& line : peer.lines()) {
            if (auto d = netns::ParseDatagram(line)) out.push_back(std::move(*d));
        }
        return out;
    }

    template <typename Pred>
    static bool Eventually(Pred pred, std::chrono::milliseconds limit = 20s)
    {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > end) return false;
            std::this_thread::sleep_for(10ms);
        }
        return true;
    }

    std::string dir_;
    std::shared_ptr<CSqlManagement> store_;
    std::unique_ptr<CommEngine> engine_;
};

TEST_F(EngineInNamespace, DiscoveryGoesToEveryAdapterBroadcastWithItsMac)
{
    // Four listeners' worth: the fourth never comes, as pq0's second address shares its subnet.
    netns::Peer device(netns::DevNamespace(), {"udp-listen", "9786", "--count", "4", "--timeout", "3000"});
    ASSERT_TRUE(device.WaitReady()) << device.error();
    MakeEngine().Discover();
    const auto got = Datagrams(device);

    struct Want {
        const netns::Link& link;
        const char* from;
        const char* broadcast;
    };
    const Want want[] = {{netns::kTwoAddresses, "10.77.1.1", "10.77.1.255"},
                         {netns::kSameSubnet, "10.77.1.3", "10.77.1.255"},
                         {netns::kOwnSubnet, "10.77.2.1", "10.77.2.255"}};
    ASSERT_EQ(got.size(), std::size(want));
    for (const Want& w : want) {
        SCOPED_TRACE(w.link.pc.ifname);
        auto it =
            std::find_if(got.begin(), got.end(), [&](const netns::Datagram& d) { return d.srcIp == w.from; });
        ASSERT_NE(it, got.end());
        EXPECT_EQ(it->srcPort, 9786);
        EXPECT_EQ(it->dstIp, w.broadcast);
        EXPECT_EQ(it->ifname, w.link.dev.ifname);  // each adapter sends through itself
        EXPECT_EQ(it->data, BuildDiscoveryRequest(Mac(w.link.pc.mac)));
    }
}

TEST_F(EngineInNamespace, WithoutUsableAdapterExactlyOneRequestTo255)
{
    netns::Peer device(netns::DevNamespace(), {"udp-listen", "9786", "--count", "2", "--timeout", "3000"});
    ASSERT_TRUE(device.WaitReady()) << device.error();
    EngineServices services;
    services.adapterQuery = [] {
        std::vector<AdapterInfo> adapters = QueryHostAdapters();
        for (AdapterInfo& a : adapters) a.kind = kAdapterDown;
        return adapters;
    };
    CommEngine& engine = MakeEngine(services);
    ASSERT_TRUE(engine.Start(3, 2000));
    engine.Discover();
    const auto got = Datagrams(device);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].dstIp, "255.255.255.255");
    EXPECT_EQ(got[0].srcPort, 9786);
    EXPECT_EQ(got[0].ifname, netns::kOwnSubnet.dev.ifname);  // the default route
    EXPECT_EQ(got[0].data, BuildDiscoveryRequest());
    EXPECT_EQ(got[0].data.size(), 16u);
    // Nor does any command leave.
    EXPECT_FALSE(engine.Reboot("10.77.2.100", netns::kOwnSubnet.dev.mac));
}

TEST_F(EngineInNamespace, CommandsLeaveByMulticastFromEveryAddressInTheDeviceSubnet)
{
    const netns::Link& one = netns::kTwoAddresses;
    netns::Peer device(
        netns::DevNamespace(),
        {"udp-listen", "9787", "--count", "4", "--timeout", "3000", "--join", "239.255.255.250@10.77.1.100",
         "--join", "239.255.255.250@10.77.1.101", "--join", "239.255.255.250@10.77.2.100"});
    ASSERT_TRUE(device.WaitReady()) << device.error();
    CommEngine& engine = MakeEngine();
    engine.GetLocalAdapters();
    ASSERT_TRUE(engine.SetKelvra("10.77.1.100", one.dev.mac, 1));
    EXPECT_FALSE(engine.Reboot("10.99.0.5", one.dev.mac));  // no local subnet holds it
    const auto got = Datagrams(device);

    EXPECT_EQ(got.size(), 3u);
    EXPECT_FALSE(
        std::any_of(got.begin(), got.end(), [](const netns::Datagram& d) { return d.ifname == "pqd3"; }));
    std::set<std::string> sources;
    EXTENSION_BLOCK block{};
    block.tdmaEn = 1;
    const Bytes expected = *BuildCommand(MSG_SET_KELVRA, AsBytes(block), Mac(one.dev.mac));
    for (const netns::Datagram& d : got) {
        sources.insert(d.srcIp + "@" + d.ifname);
        EXPECT_EQ(d.srcPort, 9787);
        EXPECT_EQ(d.dstIp, "239.255.255.250");
        EXPECT_EQ(d.data, expected);
    }
    EXPECT_EQ(sources, (std::set<std::string>{"10.77.1.1@pqd0", "10.77.1.2@pqd0", "10.77.1.3@pqd1"}));
}

TEST_F(EngineInNamespace, MacSearchSendsTheRawFrameThroughTheCaptureLibrary)
{
    const netns::Link& link = netns::kTwoAddresses;
    netns::Peer capture(netns::DevNamespace(), {"capture", link.dev.ifname, "--udp-dport", "9786", "--count",
                                                "2", "--timeout", "3000"});
    netns::Peer stack(netns::DevNamespace(),
                      {"udp-listen", "9786", "--device", link.dev.ifname, "--timeout", "30000"});
    ASSERT_TRUE(capture.WaitReady()) << capture.error();
    ASSERT_TRUE(stack.WaitReady()) << stack.error();

    CommEngine& engine = MakeEngine();
    engine.StartSearch(Mac(link.dev.mac));
    ASSERT_TRUE(engine.IsTargetMacMode());

    capture.Finish(30s);
    std::vector<Bytes> frames;
    for (const std::string& line : capture.lines()) {
        if (auto f = netns::ParseFrame(line)) frames.push_back(*f);
    }
    ASSERT_EQ(frames.size(), 1u) << "one frame on the target's link, from pq0 only";
    const Bytes& f = frames[0];
    ASSERT_EQ(f.size(), kRawFrameSize);
    const RawFrame expected =
        BuildRawDiscoveryFrame(Mac(link.dev.mac), Mac(link.pc.mac), {10, 77, 1, 1}, {10, 77, 1, 255});
    EXPECT_EQ(netns::Hex(f), netns::Hex(expected));
    EXPECT_EQ(Fold(OnesSum(std::span(f).subspan(14, 20))), 0xffff) << "IPv4 header checksum";
    const uint8_t pseudo[] = {f[26], f[27], f[28], f[29], f[30], f[31], f[32], f[33], 0, 17, 0, 24};
    EXPECT_EQ(Fold(OnesSum(std::span(f).subspan(34, 24), OnesSum(pseudo))), 0xffff) << "UDP checksum";

    // The device's own stack takes it as a valid datagram.
    const auto line = stack.WaitFor("DGRAM", 30s);
    ASSERT_TRUE(line) << stack.error();
    const auto d = netns::ParseDatagram(*line);
    EXPECT_EQ(d->data, BuildDiscoveryRequest());
    EXPECT_EQ(d->dstIp, "10.77.1.255");
}

TEST_F(EngineInNamespace, OneDeviceFromDiscoveryReplyToRelease)
{
    const netns::Link& link = netns::kOwnSubnet;
    const char* pcIp = link.pc.addresses[0].ip;
    const char* devIp = link.dev.addresses[0].ip;
    const MacAddress mac = Mac(link.dev.mac);
    CommEngine& engine = MakeEngine();
    ASSERT_TRUE(engine.Start(3, 2000));

    {
        // Discovery reply -> acknowledgement and MSG_GET_INFO, by multicast to the device.
        netns::Peer device(netns::DevNamespace(), {"udp-listen", "9787", "--count", "2", "--timeout", "30000",
                                                   "--join", std::string("239.255.255.250@") + devIp});
        ASSERT_TRUE(device.WaitReady());
        DISCOVER_REPLY reply{};
        reply.version_len = SetFieldText(reply.version, "V1.0");
        DeviceSends(devIp, 9785, pcIp, 9785, BuildDiscoveryReply(25, mac, reply));
        const auto got = Datagrams(device);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].data, *BuildCommand(MSG_DISCOVER, {}, mac));
        EXPECT_EQ(got[1].data, *BuildCommand(MSG_GET_INFO, {}, mac));
        EXPECT_EQ(got[1].srcIp, pcIp);
    }
    ASSERT_EQ(engine.RetryEntries().size(), 1u);

    // The record arrives on 9788 and is stored; the request is acknowledged.
    ap_info_stu record{};
    record.ap_type = 25;
    record.ip_block.ip_mode = 1;
    std::copy_n(IpToBytes(devIp).begin(), 4, record.ip_block.ip);
    record.ap_name_len = SetFieldText(record.ap_name, "mast");
    DeviceSends(devIp, 9788, pcIp, 9788, BuildDeviceRecordReply(mac, record));
    ap_info_stu row;
    ASSERT_TRUE(Eventually([&] { return engine_store::GetDevice(*store_, row, link.dev.mac) == 25; }));
    EXPECT_EQ(std::string(FieldText(row.ap_name, row.ap_name_len)), "mast");
    EXPECT_TRUE(Eventually([&] { return engine.RetryEntries().empty(); }));

    // A datagram longer than 1472 bytes is dropped, however the kernel hands it over.
    DeviceSends(devIp, 9788, pcIp, 9788, Bytes(1500, 0x86));
    EXPECT_TRUE(Eventually([&] { return engine.Counters().oversize[2] == 1; }));

    {
        // A heartbeat is acknowledged; at shutdown the device is released.
        netns::Peer device(netns::DevNamespace(), {"udp-listen", "9787", "--count", "2", "--timeout", "30000",
                                                   "--join", std::string("239.255.255.250@") + devIp});
        ASSERT_TRUE(device.WaitReady());
        HEARTBEAT_PAYLOAD beat{};
        beat.up_time = 99;
        DeviceSends(devIp, 9787, pcIp, 9787, BuildHeartbeat(25, mac, beat));
        ASSERT_TRUE(Eventually([&] {
            engine_store::GetDevice(*store_, row, link.dev.mac);
            return row.up_time == 99;
        }));
        const auto start = std::chrono::steady_clock::now();
        engine.Shutdown();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << "blocked receives must wake at once";
        const auto got = Datagrams(device);
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].data, *BuildCommand(MSG_HEARTBEAT, {}, mac));
        EXPECT_EQ(got[1].data, *BuildCommand(MSG_RELEASE, {}, mac));
    }
}

TEST_F(EngineInNamespace, SecondStartReplacesSocketsAndThreads)
{
    const netns::Link& link = netns::kOwnSubnet;
    CommEngine& engine = MakeEngine();
    ASSERT_TRUE(engine.Start(3, 2000));
    ASSERT_TRUE(engine.Start(1, 0));
    EXPECT_EQ(engine.RetransmissionMax(), 1);
    EXPECT_EQ(engine.RetransmissionIntervalMs(), CommEngine::kMinRetransmissionIntervalMs);
    DISCOVER_REPLY reply{};
    DeviceSends(link.dev.addresses[0].ip, 9785, link.pc.addresses[0].ip, 9785,
                BuildDiscoveryReply(25, Mac(link.dev.mac), reply));
    ASSERT_TRUE(Eventually([&] { return engine.OnlineDevices().size() == 1; }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(engine.Counters().handled[0], 1u) << "one receive thread per port";
}

}  // namespace
}  // namespace pontiq
