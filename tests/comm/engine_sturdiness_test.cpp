// Replies that are cut short or padded, floods of invented devices, the conflict and holder rules
// on a large table, and store writes batched per worker batch.
#include <future>

#include "store/sql_management.h"
#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using SturdinessTest = EngineTest;

Bytes WithPayloadCut(Bytes datagram, size_t payloadBytes)
{
    datagram.resize(kHeaderSize + payloadBytes);
    return datagram;
}

TEST_F(SturdinessTest, RecordShorterThanItsHeaderDeclaresIsRefusedAndCounted)
{
    Described(kMacA, "192.168.0.50");
    ap_info_stu before;
    ASSERT_NE(engine_store::GetDevice(*store_, before, Text(kMacA)), 0u);
    ASSERT_EQ(std::string(FieldText(before.ap_name, before.ap_name_len)), "dev");

    ap_info_stu changed = DeviceRecord("192.168.0.50", 25, "V9.9");
    changed.ap_name_len = SetFieldText(changed.ap_name, "renamed");
    const Bytes full = BuildDeviceRecordReply(kMacA, changed);
    struct Case {
        size_t received;  // payload bytes that arrive of the declared 760
        bool accepted;
    };
    for (const Case c : {Case{100, false}, Case{0, false}, Case{759, false}, Case{760, true}}) {
        SCOPED_TRACE(c.received);
        const uint64_t refused = engine_->Counters().shortRecords;
        Receive(ReceiveQueue::Reply, "192.168.0.50", WithPayloadCut(full, c.received));
        ap_info_stu row;
        ASSERT_NE(engine_store::GetDevice(*store_, row, Text(kMacA)), 0u);
        EXPECT_EQ(std::string(FieldText(row.ap_name, row.ap_name_len)), c.accepted ? "renamed" : "dev");
        EXPECT_EQ(row.ip_block.ip_mask[0], 255);  // not zeroed from the cut on
        EXPECT_EQ(engine_->Counters().shortRecords, refused + (c.accepted ? 0 : 1));
        EXPECT_EQ(Entry(kMacA)->typeCode, c.accepted ? 25 : 21);
    }
}

TEST_F(SturdinessTest, RecordDeclaringLessThanAFullBodyStillCountsAsWhole)
{
    // A shorter body that arrives whole is a record of an older layout, not a cut one.
    Discovered(kMacA, "192.168.0.50");
    Bytes reply = BuildDeviceRecordReply(kMacA, DeviceRecord("192.168.0.50", 25, "V3.0"));
    reply = WithPayloadCut(reply, 700);
    reply[offsetof(ProtocolHeader, payload_len)] = 700 & 0xff;
    reply[offsetof(ProtocolHeader, payload_len) + 1] = 700 >> 8;
    Receive(ReceiveQueue::Reply, "192.168.0.50", reply);
    EXPECT_EQ(engine_->Counters().shortRecords, 0u);
    EXPECT_EQ(StoredType(kMacA), 25u);
}

TEST_F(SturdinessTest, TextEndsAtItsFirstNulWhateverItsLengthByte)
{
    // "abc" with a length byte of 200: the padding after it is no part of the name.
    Bytes discovery = BuildDiscoveryReply(21, kMacA, Reply("V1", "abc", "net"));
    discovery[kHeaderSize + offsetof(DISCOVER_REPLY, ap_name_len)] = 200;
    Receive(ReceiveQueue::Discovery, "192.168.0.50", discovery);
    const auto heard = engine_->ListDiscoveredDevices(10);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(std::string(FieldText(heard[0].ap_name, heard[0].ap_name_len)), "abc");
    EXPECT_EQ(heard[0].ap_name_len, 3);

    ap_info_stu body = DeviceRecord("192.168.0.50");
    SetFieldText(body.ap_name, "abc");
    body.ap_name_len = 200;
    SetFieldText(body.radio_block.security.ssid, "net");
    body.radio_block.security.ssid_len = 32;
    SetFieldText(body.radio_block.security.wpa_key, "key");
    body.radio_block.security.wpa_key_len = 64;
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildDeviceRecordReply(kMacA, body));
    ap_info_stu row;
    ASSERT_NE(engine_store::GetDevice(*store_, row, Text(kMacA)), 0u);
    EXPECT_EQ(std::string(FieldText(row.ap_name, row.ap_name_len)), "abc");
    EXPECT_EQ(row.ap_name_len, 3);
    EXPECT_EQ(row.radio_block.security.ssid_len, 3);
    EXPECT_EQ(row.radio_block.security.wpa_key_len, 3);

    // The search by the name finds it; a NUL in the search text finds nothing.
    std::vector<ap_info_stu> list;
    int pages = 0, online = 0;
    ASSERT_TRUE(store_->ListDevicesPage(0, list, pages, online, 30, 1, true, std::string("abc\0", 4)));
    EXPECT_TRUE(list.empty());
}

TEST_F(SturdinessTest, NewMacsBeyondTheHeardOnlyBoundAreDroppedKnownOnesStillAnswered)
{
    // Fill the table to the bound, then: a new MAC gets nothing; known ones, heard-only or
    // described, are still answered and refreshed.
    Described(kMacC, "192.168.0.70");
    for (size_t k = 0; k < kMaxHeardOnlyDevices; ++k) {
        const MacAddress mac = {
            0x02, 0x01, static_cast<uint8_t>(k >> 16), static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k),
            0x01};
        engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.99"),
                            BuildDiscoveryReply(21, mac, Reply("V1")));
        engine_->ProcessQueue(ReceiveQueue::Discovery);
    }
    sender_->Take();
    ASSERT_EQ(engine_->OnlineDevices().size(), kMaxHeardOnlyDevices + 1);
    EXPECT_EQ(engine_->Counters().heardOnlyDropped, 0u);

    Discovered(kMacA, "192.168.0.50");
    EXPECT_FALSE(Entry(kMacA));
    EXPECT_TRUE(sender_->Take().empty());
    EXPECT_EQ(engine_->Counters().heardOnlyDropped, 1u);

    const MacAddress known = {0x02, 0x01, 0, 0, 5, 0x01};
    Discovered(known, "192.168.0.99", 21, "V2");
    EXPECT_EQ(SentTypes(), (std::vector<uint16_t>{MSG_DISCOVER, MSG_GET_INFO}));
    EXPECT_EQ(std::string(FieldText(Entry(known)->version, Entry(known)->versionLen)), "V2");
    Discovered(kMacC, "192.168.0.70");
    EXPECT_EQ(SentTypes(), (std::vector<uint16_t>{MSG_DISCOVER, MSG_GET_INFO}));

    // A described device leaves the heard-only count: there is room for one more.
    Receive(ReceiveQueue::Reply, "192.168.0.99", BuildDeviceRecordReply(known, DeviceRecord("192.168.0.99")));
    ASSERT_EQ(Entry(known)->state, 2);
    Discovered(kMacA, "192.168.0.50");
    EXPECT_TRUE(Entry(kMacA));
    EXPECT_EQ(engine_->Counters().heardOnlyDropped, 1u);
}

TEST_F(SturdinessTest, AddressHolderFollowsMovesAndRemovals)
{
    // The holder index must follow every way an address or a state changes.
    Described(kMacA, "192.168.0.50");
    Discovered(kMacB, "192.168.0.51");
    sender_->Take();
    // A heartbeat moves A away from .50: B may now take it.
    Receive(ReceiveQueue::Heartbeat, "192.168.0.60", BuildHeartbeat(21, kMacA, HEARTBEAT_PAYLOAD{}));
    Receive(ReceiveQueue::Reply, "192.168.0.51", BuildDeviceRecordReply(kMacB, DeviceRecord("192.168.0.50")));
    EXPECT_EQ(Entry(kMacB)->state, 2);
    EXPECT_EQ(Entry(kMacB)->ip, "192.168.0.50");
    // Now A's record claiming .50 is refused, and a new device at .50 gets no record request.
    Receive(ReceiveQueue::Reply, "192.168.0.60",
            BuildDeviceRecordReply(kMacA, DeviceRecord("192.168.0.50", 30)));
    EXPECT_NE(StoredType(kMacA), 30u);
    sender_->Take();
    Discovered(kMacC, "192.168.0.50");
    EXPECT_EQ(SentTypes(), (std::vector<uint16_t>{MSG_DISCOVER}));
    // B ages out: the address is free again.
    for (int tick = 0; tick < 4; ++tick) {
        Receive(ReceiveQueue::Heartbeat, "192.168.0.60", BuildHeartbeat(21, kMacA, HEARTBEAT_PAYLOAD{}));
        engine_->AgeTick();
    }
    ASSERT_FALSE(Entry(kMacB));
    sender_->Take();
    Discovered(kMacC, "192.168.0.50");
    EXPECT_EQ(SentTypes(), (std::vector<uint16_t>{MSG_DISCOVER, MSG_GET_INFO}));
}

TEST_F(SturdinessTest, WorkerBatchWritesEveryRecordInOrder)
{
    // Many records and status replies in one batch: all stored, the later write of a device wins.
    constexpr int kDevices = 600;  // more than one transaction's worth
    std::vector<MacAddress> macs;
    for (int k = 0; k < kDevices; ++k) {
        const MacAddress mac = {
            0x00, 0x1b, 0x2c, 0x00, static_cast<uint8_t>(k >> 8), static_cast<uint8_t>(k)};
        macs.push_back(mac);
        const std::string ip = "192.168.0." + std::to_string(k % 200 + 20);
        engine_->OnDatagram(ReceiveQueue::Discovery, From(ip.c_str()),
                            BuildDiscoveryReply(21, mac, Reply("V1")));
    }
    engine_->ProcessQueue(ReceiveQueue::Discovery);
    for (int k = 0; k < kDevices; ++k) {
        const std::string ip = "10.0." + std::to_string(k >> 8) + "." + std::to_string(k & 255);
        engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.20"),
                            BuildDeviceRecordReply(macs[k], DeviceRecord(ip.c_str())));
        engine_->OnDatagram(ReceiveQueue::Reply, From("192.168.0.20"),
                            BuildResultReply(21, MSG_REBOOT, macs[k], 0));
    }
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Reply), 2u * kDevices);
    std::vector<std::string> stored;
    ASSERT_TRUE(engine_store::GetAllMacs(*store_, stored));
    ASSERT_EQ(stored.size(), static_cast<size_t>(kDevices));
    for (int k = 0; k < kDevices; ++k) {
        EXPECT_EQ(stored[k], Text(macs[k]));
        ASSERT_EQ(engine_store::GetDeviceStatus(*store_, Text(macs[k])), STATUS_RESTARTING) << k;
    }
}

TEST_F(SturdinessTest, ShutdownDropsWhatIsQueuedAndReleasesDescribedDevicesFirst)
{
    Discovered(kMacA, "192.168.0.50");
    Described(kMacB, "192.168.0.51");
    sender_->Take();
    const uint64_t handled = engine_->Counters().handled[0];
    engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.52"),
                        BuildDiscoveryReply(21, kMacC, Reply("V1")));
    engine_->Shutdown();
    EXPECT_EQ(engine_->ProcessQueue(ReceiveQueue::Discovery), 0u);
    EXPECT_EQ(engine_->Counters().handled[0], handled);
    std::vector<std::string> released;
    for (const Sent& s : sender_->Take()) {
        ASSERT_EQ(s.Type(), MSG_RELEASE);
        released.push_back(s.Mac());
    }
    EXPECT_EQ(released, (std::vector<std::string>{Text(kMacB), Text(kMacA)}));
    EXPECT_TRUE(engine_->OnlineDevices().empty());
}

}  // namespace
}  // namespace pontiq::testing_engine
