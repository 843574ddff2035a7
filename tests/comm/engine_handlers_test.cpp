// Reply handling: discovery replies, device records, address moves, survey pages, statuses.
#include "store/sql_management.h"
#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using DiscoveryReplyTest = EngineTest;
using RecordTest = EngineTest;
using CommandReplyTest = EngineTest;

TEST_F(DiscoveryReplyTest, UnknownDeviceIsAcknowledgedAndAskedForItsRecord)
{
    Receive(ReceiveQueue::Discovery, "192.168.0.50",
            BuildDiscoveryReply(25, kMacA, Reply("V1.2.3", "roof", "link-1")));
    const auto d = Entry(kMacA);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->ip, "192.168.0.50");
    EXPECT_EQ(d->typeCode, 25);
    EXPECT_EQ(d->state, 1);
    EXPECT_EQ(d->countdown, 3);
    EXPECT_EQ(d->upTime, 1234u);
    EXPECT_EQ(std::string(FieldText(d->name, d->nameLen)), "roof");
    EXPECT_EQ(std::string(FieldText(d->ssid, d->ssidLen)), "link-1");
    EXPECT_EQ(d->channel, 36);
    EXPECT_EQ(d->kelvra, 1);

    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 2u);
    for (const Sent& s : sent) {
        EXPECT_EQ(s.kind, Sent::Multicast);
        EXPECT_EQ(s.from, "192.168.0.10");
        EXPECT_EQ(s.Mac(), Text(kMacA));
        EXPECT_EQ(s.bytes.size(), kHeaderSize);
        EXPECT_EQ(s.Header().multicast, 1);
        EXPECT_EQ(s.Header().type_code, 0);
    }
    EXPECT_EQ(sent[0].Type(), MSG_DISCOVER);
    EXPECT_EQ(sent[1].Type(), MSG_GET_INFO);
    const auto retries = engine_->RetryEntries();
    ASSERT_EQ(retries.size(), 1u);
    EXPECT_EQ(retries[0].msgType, MSG_GET_INFO);
    EXPECT_EQ(retries[0].ip, "192.168.0.50");
}

TEST_F(DiscoveryReplyTest, KnownDeviceKeepsItsAddressUntilRecordOrHeartbeat)
{
    Discovered(kMacA, "192.168.0.50", 21, "V1");
    Receive(ReceiveQueue::Discovery, "192.168.0.60", BuildDiscoveryReply(22, kMacA, Reply("V2", "other")));
    ASSERT_EQ(engine_->OnlineDevices().size(), 1u);
    const auto d = Entry(kMacA);
    EXPECT_EQ(d->ip, "192.168.0.50");
    EXPECT_EQ(d->typeCode, 22);
    EXPECT_EQ(std::string(FieldText(d->version, d->versionLen)), "V2");
    EXPECT_EQ(std::string(FieldText(d->name, d->nameLen)), "");  // first reply had none
}

TEST_F(DiscoveryReplyTest, ShortFormFillsOnlyTheVersion)
{
    // The length field says 33: read as the short form even though more bytes follow.
    Bytes d = BuildDiscoveryReply(21, kMacA, Reply("V9", "name", "ssid"));
    ProtocolHeader h;
    std::memcpy(&h, d.data(), kHeaderSize);
    h.payload_len = 33;
    std::memcpy(d.data(), &h, kHeaderSize);
    Receive(ReceiveQueue::Discovery, "192.168.0.50", d);
    const auto e = Entry(kMacA);
    ASSERT_TRUE(e);
    EXPECT_EQ(std::string(FieldText(e->version, e->versionLen)), "V9");
    EXPECT_EQ(e->nameLen, 0);
    EXPECT_EQ(e->ssidLen, 0);
    EXPECT_EQ(e->upTime, 0u);
    EXPECT_EQ(e->channel, 0);
}

TEST_F(DiscoveryReplyTest, AllZeroMacIsIgnored)
{
    Receive(ReceiveQueue::Discovery, "192.168.0.50", BuildDiscoveryReply(21, MacAddress{}, Reply("V1")));
    EXPECT_TRUE(engine_->OnlineDevices().empty());
    EXPECT_TRUE(sender_->Take().empty());
}

TEST_F(DiscoveryReplyTest, AddressHeldByADescribedDeviceGetsNoRecordRequest)
{
    Described(kMacA, "192.168.0.50");
    sender_->Take();
    Receive(ReceiveQueue::Discovery, "192.168.0.50", BuildDiscoveryReply(21, kMacB, Reply("V1")));
    EXPECT_EQ(SentTypes(), std::vector<uint16_t>{MSG_DISCOVER});
    // Its record is refused if it arrives all the same.
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildDeviceRecordReply(kMacB, DeviceRecord("192.168.0.50")));
    EXPECT_EQ(Entry(kMacB)->state, 1);
    EXPECT_EQ(StoredType(kMacB), 0u);
}

TEST_F(DiscoveryReplyTest, DeviceTextIsConvertedAndItsCutTailDropped)
{
    // A GBK PC: the UTF-8 name "屋顶" cut by the device inside its third byte sequence.
    EngineOptions o;
    o.localEncoding = "GBK";
    EngineServices services;
    services.sender = sender_;
    services.adapterQuery = [this] { return adapters_; };
    CommEngine gbk(*store_, o, services);
    gbk.GetLocalAdapters();
    const std::string utf8 = "\xe5\xb1\x8b\xe9\xa1\xb6\xe5\xb1";  // 屋顶 + the first two bytes of 屋
    const Bytes d = BuildDiscoveryReply(21, kMacA, Reply("V1", utf8, "ab"));
    gbk.OnDatagram(ReceiveQueue::Discovery, From("192.168.0.50"), d);
    gbk.ProcessQueue(ReceiveQueue::Discovery);
    const auto e = gbk.OnlineDevices().at(0);
    EXPECT_EQ(std::string(FieldText(e.name, e.nameLen)), "\xce\xdd\xb6\xa5");  // 屋顶 in GBK
    EXPECT_EQ(std::string(FieldText(e.ssid, e.ssidLen)), "ab");
}

TEST_F(RecordTest, AcceptanceRules)
{
    struct Case {
        const char* name;
        std::function<void(EngineTest&)> before;
        MacAddress mac;
        const char* recordIp;
        bool accepted;
    };
    const Case cases[] = {
        {"device not in the table", [](EngineTest&) {}, kMacA, "192.168.0.50", false},
        {"heard device", [](EngineTest& t) { t.Discovered(kMacA, "192.168.0.50"); }, kMacA, "192.168.0.50",
         true},
        {"address held by another described device",
         [](EngineTest& t) {
             t.Described(kMacB, "192.168.0.50");
             t.Discovered(kMacA, "192.168.0.60");
         },
         kMacA, "192.168.0.50", false},
        {"address held by another device only heard",
         [](EngineTest& t) {
             t.Discovered(kMacB, "192.168.0.50");
             t.Discovered(kMacA, "192.168.0.60");
         },
         kMacA, "192.168.0.50", true},
        {"own address, record again", [](EngineTest& t) { t.Described(kMacA, "192.168.0.50"); }, kMacA,
         "192.168.0.50", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.before(*this);
        ap_info_stu body = DeviceRecord(c.recordIp, 25, "V3.0");
        Receive(ReceiveQueue::Reply, "192.168.0.60", BuildDeviceRecordReply(c.mac, body));
        ap_info_stu row;
        const bool stored = engine_store::GetDevice(*store_, row, Text(c.mac)) != 0 &&
                            std::string(FieldText(row.version, row.version_len)) == "V3.0";
        EXPECT_EQ(stored, c.accepted);
        if (c.accepted) {
            const auto e = Entry(c.mac);
            EXPECT_EQ(e->state, 2);
            EXPECT_EQ(e->ip, c.recordIp);  // the configured address, not the sender's
            EXPECT_EQ(e->typeCode, 25);
            EXPECT_EQ(e->upTime, 777u);
            EXPECT_EQ(row.ap_status, STATUS_ONLINE);
            EXPECT_EQ(row.ap_type, 25);
        }
    }
}

TEST_F(RecordTest, RecordTextsAreConvertedWithTheirLengths)
{
    Discovered(kMacA, "192.168.0.50");
    ap_info_stu body = DeviceRecord("192.168.0.50");
    // A name whose last character was cut inside its 3-byte sequence (the device cuts at 32 bytes).
    body.ap_name_len = SetFieldText(body.ap_name, "Office-\xe5\xb1");
    body.radio_block.security.ssid_len = SetFieldText(body.radio_block.security.ssid, "ssid\xe9\xa1\xb6");
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildDeviceRecordReply(kMacA, body));
    ap_info_stu row;
    ASSERT_NE(engine_store::GetDevice(*store_, row, Text(kMacA)), 0u);
    EXPECT_EQ(std::string(FieldText(row.ap_name, row.ap_name_len)), "Office-");
    EXPECT_EQ(std::string(FieldText(row.radio_block.security.ssid, row.radio_block.security.ssid_len)),
              "ssid\xe9\xa1\xb6");
}

TEST_F(CommandReplyTest, PendingAddressMovesOnlyOnTheReplyFromTheOldAddress)
{
    Described(kMacA, "192.168.0.50");
    IP_BLOCK block{};
    block.ip_mode = 1;
    const auto ip = IpToBytes("192.168.0.99");
    std::copy(ip.begin(), ip.end(), block.ip);
    block.apply = 1;
    ASSERT_TRUE(engine_->SetIpSettings("192.168.0.50", Text(kMacA), block));
    EXPECT_EQ(Entry(kMacA)->pendingIp, "192.168.0.99");

    // From the new address: nothing moves.
    Receive(ReceiveQueue::Reply, "192.168.0.99", BuildResultReply(21, MSG_SET_IP, kMacA, 0));
    EXPECT_EQ(Entry(kMacA)->ip, "192.168.0.50");
    // From the old one: the entry takes the new address.
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_SET_IP, kMacA, 0));
    EXPECT_EQ(Entry(kMacA)->ip, "192.168.0.99");
    EXPECT_EQ(Entry(kMacA)->pendingIp, "");
    EXPECT_TRUE(engine_->RetryEntries().empty());
}

TEST_F(CommandReplyTest, PendingAddressEqualToTheCurrentOneIsCleared)
{
    Described(kMacA, "192.168.0.50");
    engine_->SetPendingAddress(Text(kMacA), "192.168.0.50", "192.168.0.99");
    engine_->SetPendingAddress(Text(kMacA), "192.168.0.50", "192.168.0.50");
    EXPECT_EQ(Entry(kMacA)->pendingIp, "");
    Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, MSG_SET_IP, kMacA, 0));
    EXPECT_EQ(Entry(kMacA)->ip, "192.168.0.50");
    // Only a described device at that address takes a pending address.
    Discovered(kMacB, "192.168.0.51");
    engine_->SetPendingAddress(Text(kMacB), "192.168.0.51", "192.168.0.98");
    EXPECT_EQ(Entry(kMacB)->pendingIp, "");
    engine_->SetPendingAddress(Text(kMacA), "192.168.0.51", "192.168.0.98");
    EXPECT_EQ(Entry(kMacA)->pendingIp, "");
}

TEST_F(CommandReplyTest, ResultBytesBecomeStatuses)
{
    struct Case {
        uint16_t type;
        uint8_t result;
        uint32_t before;
        uint32_t after;
    };
    const Case cases[] = {
        {MSG_SET_BRIDGE, 0, STATUS_ONLINE, STATUS_BRIDGE_SUCCESS},
        {MSG_SET_BRIDGE, 5, STATUS_ONLINE, STATUS_BRIDGE_FAIL},
        {MSG_REBOOT, 0, STATUS_ONLINE, STATUS_RESTARTING},
        {MSG_REBOOT, 1, STATUS_ONLINE, STATUS_ONLINE},
        {MSG_SET_VLAN, 0, STATUS_ONLINE, STATUS_RESTARTING},
        {MSG_SET_VLAN, 2, STATUS_ONLINE, STATUS_ONLINE},
        {MSG_RESTORE, 0, STATUS_ONLINE, STATUS_RESETING},
        {MSG_RESTORE, 1, STATUS_ONLINE, STATUS_ONLINE},
        {MSG_UPGRADE_STATUS, 0, STATUS_ONLINE, STATUS_UPGRADE_WAIT},
        {MSG_UPGRADE_STATUS, 1, STATUS_ONLINE, STATUS_UPGRADE_FAIL},
        {MSG_UPGRADE_STATUS, 7, STATUS_ONLINE, STATUS_UPGRADE_SUCCESS},
        {MSG_UPGRADE_START, 0, STATUS_UPGRADE_WAIT, STATUS_UPGRADING},
        {MSG_UPGRADE_START, 0, STATUS_ONLINE, STATUS_ONLINE},
        {MSG_SET_NAME, 0, STATUS_ONLINE, STATUS_ONLINE},
        {MSG_RELEASE, 0, STATUS_ONLINE, STATUS_ONLINE},
    };
    ap_info_stu row = DeviceRecord("192.168.0.50");
    SetCText(row.mac, Text(kMacA));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << c.type << " result " << int(c.result));
        ASSERT_TRUE(engine_store::SaveDevice(*store_, row));
        if (c.before != STATUS_ONLINE) engine_store::SetDeviceStatus(*store_, Text(kMacA), c.before);
        Receive(ReceiveQueue::Reply, "192.168.0.50", BuildResultReply(21, c.type, kMacA, c.result));
        EXPECT_EQ(engine_store::GetDeviceStatus(*store_, Text(kMacA)), c.after);
    }
}

// What the utility set and the device confirmed is stored at once, field and text; a refusal
// leaves the row as it was.
TEST_F(CommandReplyTest, ConfirmedSetCommandsWriteTheSentValuesIntoTheStoredRow)
{
    enum What { Name, Bridge, Kelvra };
    struct Case {
        What what;
        uint16_t apType;  // 21: bridge switchable, Kelvra N/A; 6 in work mode 5: the other way round
        uint8_t result;
        const char* name;  // sent name
        std::string storedName;
        int storedBridge;
        int storedKelvra;
    };
    const Case cases[] = {
        {Name, 21, 0, "roof", "roof", 1, 1},
        {Name, 21, 1, "roof", "dev", 1, 1},
        {Name, 21, 0, "\xe6\xa5\xbc\xe9\xa1\xb6-2", "\xe6\xa5\xbc\xe9\xa1\xb6-2", 1, 1},
        {Bridge, 21, 0, "", "dev", 0, 1},
        {Bridge, 21, 2, "", "dev", 1, 1},
        {Kelvra, 6, 0, "", "dev", 1, 0},
        {Kelvra, 6, 1, "", "dev", 1, 1},
    };
    const uint16_t types[] = {MSG_SET_NAME, MSG_SET_TRANSPARENT_BRIDGE, MSG_SET_KELVRA};
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << types[c.what] << " result " << int(c.result));
        ap_info_stu row = DeviceRecord("192.168.0.50", c.apType);
        if (c.apType == 6) row.work_mode = 5;
        SetCText(row.mac, Text(kMacA));
        ASSERT_TRUE(engine_store::SaveDevice(*store_, row));
        const std::string mac = Text(kMacA);
        switch (c.what) {
            case Name:
                ASSERT_TRUE(engine_->SetName("192.168.0.50", mac, c.name));
                break;
            case Bridge:
                ASSERT_TRUE(engine_->SetTransparentBridge("192.168.0.50", mac, 0));
                break;
            case Kelvra:
                ASSERT_TRUE(engine_->SetKelvra("192.168.0.50", mac, 0));
                break;
        }
        EXPECT_EQ(engine_->AwaitedValueCount(), 1u);
        Receive(ReceiveQueue::Reply, "192.168.0.50",
                BuildResultReply(c.apType, types[c.what], kMacA, c.result));
        EXPECT_EQ(engine_->AwaitedValueCount(), 0u);

        ap_info_stu stored;
        ASSERT_NE(engine_store::GetDevice(*store_, stored, mac), 0u);
        EXPECT_EQ(std::string(FieldText(stored.ap_name, stored.ap_name_len)), c.storedName);
        EXPECT_EQ(stored.extension_block.bridge_transparent, c.storedBridge);
        EXPECT_EQ(stored.extension_block.tdmaEn, c.storedKelvra);
        EXPECT_EQ(stored.ap_status, STATUS_ONLINE);
        EXPECT_EQ(stored.up_time, row.up_time) << "the rest of the row stays";
        // The text columns follow (the other feature's column reads N/A): the search finds them.
        std::vector<ap_info_stu> found;
        int pages = 0;
        int online = 0;
        ASSERT_TRUE(store_->ListDevicesPage(1, found, pages, online, 30, 1, true, "Off2"));
        EXPECT_EQ(found.size(), c.storedBridge == 0 || c.storedKelvra == 0 ? 1u : 0u);
    }
}

TEST_F(CommandReplyTest, OnlyTheLastValueThatWentOutIsStoredAndOnlyOnce)
{
    ap_info_stu row = DeviceRecord("192.168.0.50");
    SetCText(row.mac, Text(kMacA));
    ASSERT_TRUE(engine_store::SaveDevice(*store_, row));
    const auto storedName = [&] {
        ap_info_stu r;
        engine_store::GetDevice(*store_, r, Text(kMacA));
        return std::string(FieldText(r.ap_name, r.ap_name_len));
    };
    const Bytes success = BuildResultReply(21, MSG_SET_NAME, kMacA, 0);

    // Two renames before the answer: the device ends with the second.
    ASSERT_TRUE(engine_->SetName("192.168.0.50", Text(kMacA), "first"));
    ASSERT_TRUE(engine_->SetName("192.168.0.50", Text(kMacA), "second"));
    EXPECT_EQ(engine_->AwaitedValueCount(), 1u);
    Receive(ReceiveQueue::Reply, "192.168.0.50", success);
    EXPECT_EQ(storedName(), "second");

    // A rename that never left keeps nothing, so a late answer cannot store it.
    sender_->SetResult(false);
    EXPECT_FALSE(engine_->SetName("192.168.0.50", Text(kMacA), "lost"));
    EXPECT_EQ(engine_->AwaitedValueCount(), 0u);
    Receive(ReceiveQueue::Reply, "192.168.0.50", success);
    EXPECT_EQ(storedName(), "second");

    // An answer for a device without a stored row changes nothing and is not kept.
    sender_->SetResult(true);
    ASSERT_TRUE(engine_->SetKelvra("192.168.0.51", Text(kMacB), 1));
    Receive(ReceiveQueue::Reply, "192.168.0.51", BuildResultReply(6, MSG_SET_KELVRA, kMacB, 0));
    EXPECT_EQ(engine_->AwaitedValueCount(), 0u);
    ap_info_stu none;
    EXPECT_EQ(engine_store::GetDevice(*store_, none, Text(kMacB)), 0u);
}

TEST_F(CommandReplyTest, SurveyPagesInAnyOrderCompleteAtTheLastIndex)
{
    auto entry = [](uint8_t last, std::string_view ssid) {
        config_otherwl_basic e{};
        e.mac[0] = 0x0a;
        e.mac[5] = last;
        e.signal = -60;
        e.channel = 6;
        e.ssid_len = SetFieldText(e.ssid, ssid);
        return e;
    };
    ASSERT_TRUE(engine_->StartSiteSurvey("192.168.0.50", Text(kMacA)));
    EXPECT_FALSE(engine_->IsSurveyComplete());
    const config_otherwl_basic p0[] = {entry(1, "a"), entry(2, "b")};
    const config_otherwl_basic p1[] = {entry(3, "c")};
    const config_otherwl_basic p2[] = {entry(4, "\xe5\xb1\x8b")};
    Receive(ReceiveQueue::Reply, "192.168.0.50", *BuildSurveyPage(21, kMacA, 3, 1, p1));
    EXPECT_FALSE(engine_->IsSurveyComplete());
    Receive(ReceiveQueue::Reply, "192.168.0.50", *BuildSurveyPage(21, kMacA, 3, 2, p2));
    EXPECT_TRUE(engine_->IsSurveyComplete());
    Receive(ReceiveQueue::Reply, "192.168.0.50", *BuildSurveyPage(21, kMacA, 3, 0, p0));
    EXPECT_TRUE(engine_->IsSurveyComplete());
    std::vector<config_otherwl_basic> stored;
    ASSERT_TRUE(engine_store::ListScanResults(*store_, stored));
    ASSERT_EQ(stored.size(), 4u);
    EXPECT_EQ(std::string(FieldText(stored[3].ssid, stored[3].ssid_len)), "\xe5\xb1\x8b");
    EXPECT_EQ(stored[0].signal, -60);

    // A new survey request clears the flag again.
    ASSERT_TRUE(engine_->StartSiteSurvey("192.168.0.50", Text(kMacA)));
    EXPECT_FALSE(engine_->IsSurveyComplete());
}

TEST_F(CommandReplyTest, SurveyPageClaimingMoreEntriesThanItCarries)
{
    const config_otherwl_basic one[] = {config_otherwl_basic{{1, 2, 3, 4, 5, 6}, -40, 1, 0, "x", 1, 0, 0}};
    Bytes page = *BuildSurveyPage(21, kMacA, 1, 0, one);
    page[kHeaderSize + 2] = 200;  // icount
    Receive(ReceiveQueue::Reply, "192.168.0.50", page);
    std::vector<config_otherwl_basic> stored;
    ASSERT_TRUE(engine_store::ListScanResults(*store_, stored));
    EXPECT_EQ(stored.size(), 1u);
    EXPECT_TRUE(engine_->IsSurveyComplete());
}

TEST_F(CommandReplyTest, SurveyRequestToAnUnreachableDeviceKeepsTheFlag)
{
    const config_otherwl_basic none[1] = {};
    Receive(ReceiveQueue::Reply, "192.168.0.50", *BuildSurveyPage(21, kMacA, 1, 0, std::span(none, 0)));
    ASSERT_TRUE(engine_->IsSurveyComplete());
    EXPECT_FALSE(engine_->StartSiteSurvey("10.9.9.9", Text(kMacA)));
    EXPECT_TRUE(engine_->IsSurveyComplete());
    EXPECT_TRUE(sender_->Take().empty());
}

}  // namespace
}  // namespace pontiq::testing_engine
