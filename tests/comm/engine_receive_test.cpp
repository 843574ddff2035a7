// The receive path: port filters, the target-MAC filter, the bounded queues and batching.
#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

Bytes Datagram(uint16_t msgType, size_t totalLength, const MacAddress& mac = kMacA, uint16_t magic = kMagic)
{
    Bytes d(totalLength, 0);
    if (totalLength >= kHeaderSize) {
        ProtocolHeader h{};
        h.magic = magic;
        h.type_code = 21;
        h.msg_type = msgType;
        std::copy(mac.begin(), mac.end(), h.mac);
        h.payload_len = static_cast<uint16_t>(totalLength - kHeaderSize);
        std::memcpy(d.data(), &h, kHeaderSize);
    } else if (totalLength >= 2) {
        d[0] = 0x86;
        d[1] = 0x19;
    }
    return d;
}

using ReceiveTest = EngineTest;

TEST_F(ReceiveTest, EachQueueKeepsOnlyItsTypesAndValidLengths)
{
    struct Case {
        ReceiveQueue queue;
        uint16_t type;
        size_t length;
        uint16_t magic;
        bool queued;
    };
    const Case cases[] = {
        {ReceiveQueue::Discovery, MSG_DISCOVER, 16, kMagic, true},
        {ReceiveQueue::Discovery, MSG_DISCOVER, 15, kMagic, false},
        {ReceiveQueue::Discovery, MSG_DISCOVER, 1472, kMagic, true},
        {ReceiveQueue::Discovery, MSG_DISCOVER, 1473, kMagic, false},
        {ReceiveQueue::Discovery, MSG_DISCOVER, 40, 0x8619, false},  // big-endian magic
        {ReceiveQueue::Discovery, MSG_HEARTBEAT, 56, kMagic, false},
        {ReceiveQueue::Discovery, MSG_GET_INFO, 56, kMagic, false},
        {ReceiveQueue::Heartbeat, MSG_HEARTBEAT, 56, kMagic, true},
        {ReceiveQueue::Heartbeat, MSG_DISCOVER, 56, kMagic, false},
        {ReceiveQueue::Heartbeat, MSG_RELEASE, 16, kMagic, false},
        {ReceiveQueue::Reply, MSG_DISCOVER, 16, kMagic, true},
        {ReceiveQueue::Reply, MSG_HEARTBEAT, 16, kMagic, true},
        {ReceiveQueue::Reply, MSG_RELEASE, 16, kMagic, true},
        {ReceiveQueue::Reply, 14, 16, kMagic, true},
        {ReceiveQueue::Reply, MSG_GET_INFO, 1473, kMagic, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << "queue " << int(c.queue) << " type " << c.type << " length " << c.length);
        EXPECT_EQ(
            engine_->OnDatagram(c.queue, From("192.168.0.50"), Datagram(c.type, c.length, kMacA, c.magic)),
            c.queued);
    }
    const EngineCounters counters = engine_->Counters();
    EXPECT_EQ(counters.queued[0], 2u);
    EXPECT_EQ(counters.oversize[0], 1u);
    EXPECT_EQ(counters.refused[0], 4u);
    EXPECT_EQ(counters.queued[1], 1u);
    EXPECT_EQ(counters.queued[2], 4u);
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Reply), 4u);
    EXPECT_EQ(engine_->Counters().handled[2], 4u);
}

TEST_F(ReceiveTest, TargetMacModeFiltersDiscoveryAndHeartbeatButNotReplies)
{
    captureDevices_ = {"eth0"};
    // Device B is known before the MAC search starts; a MAC search starts over completely.
    Described(kMacB, "192.168.0.51");
    engine_->StartSearch(kMacA);
    sender_->Take();
    ASSERT_TRUE(engine_->IsTargetMacMode());
    EXPECT_TRUE(engine_->OnlineDevices().empty());

    EXPECT_FALSE(engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.51"),
                                     BuildDiscoveryReply(21, kMacB, Reply("V1"))));
    HEARTBEAT_PAYLOAD beat{};
    EXPECT_FALSE(
        engine_->OnDatagram(ReceiveQueue::Heartbeat, From("192.168.0.51"), BuildHeartbeat(21, kMacB, beat)));
    EXPECT_TRUE(engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.50"),
                                    BuildDiscoveryReply(21, kMacA, Reply("V1"))));
    EXPECT_TRUE(
        engine_->OnDatagram(ReceiveQueue::Heartbeat, From("192.168.0.50"), BuildHeartbeat(21, kMacA, beat)));

    // Command replies from any device are still handled: B's reboot reply changes its status.
    ap_info_stu rowB = DeviceRecord("192.168.0.51");
    SetCText(rowB.mac, Text(kMacB));
    engine_store::SaveDevice(*store_, rowB);
    EXPECT_TRUE(Receive(ReceiveQueue::Reply, "192.168.0.51", BuildResultReply(21, MSG_REBOOT, kMacB, 0)));
    EXPECT_EQ(engine_store::GetDeviceStatus(*store_, Text(kMacB)), STATUS_RESTARTING);

    // The normal search ends the filter.
    engine_->StartSearch(std::nullopt);
    EXPECT_FALSE(engine_->IsTargetMacMode());
    EXPECT_TRUE(engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.51"),
                                    BuildDiscoveryReply(21, kMacB, Reply("V1"))));
}

TEST_F(ReceiveTest, FullQueueDropsAndCounts)
{
    const Bytes d = Datagram(MSG_GET_INFO, 16);
    for (size_t i = 0; i < kReceiveQueueCapacity; ++i) {
        ASSERT_TRUE(engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.50"), d));
    }
    EXPECT_FALSE(engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.50"), d));
    EXPECT_FALSE(engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.50"), d));
    EXPECT_EQ(engine_->QueueDrops(ReceiveQueue::Reply), 2u);
    EXPECT_EQ(engine_->QueueDrops(ReceiveQueue::Discovery), 0u);
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Reply), kReceiveQueueCapacity);
    // Room again once the worker took the queue.
    EXPECT_TRUE(engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.50"), d));
}

TEST_F(ReceiveTest, DatagramArrivingDuringABatchIsHandledInTheNextOne)
{
    // While the handler of the first reply sends its acknowledgement, a second reply arrives.
    bool injected = false;
    sender_->onSend = [&](const Sent&) {
        if (!injected) {
            injected = true;
            engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.51"),
                                BuildDiscoveryReply(21, kMacB, Reply("V1")));
        }
    };
    ASSERT_TRUE(engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.50"),
                                    BuildDiscoveryReply(21, kMacA, Reply("V1"))));
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Discovery), 1u);
    EXPECT_TRUE(Entry(kMacA));
    EXPECT_FALSE(Entry(kMacB));
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Discovery), 1u);
    EXPECT_TRUE(Entry(kMacB));
}

}  // namespace
}  // namespace pontiq::testing_engine
