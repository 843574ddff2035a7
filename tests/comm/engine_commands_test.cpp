// Searches, discovery targets, the command path and the payload of every command.
#include "tests/comm/engine_fixture.h"

namespace pontiq::testing_engine {
namespace {

using SearchTest = EngineTest;
using DiscoverTest = EngineTest;
using CommandTest = EngineTest;

void StoreRow(CSqlManagement& store, const MacAddress& mac, const char* ip, uint16_t type = 21)
{
    ap_info_stu row = DeviceRecord(ip, type);
    SetCText(row.mac, Text(mac));
    ASSERT_TRUE(engine_store::SaveDevice(store, row));
}

TEST_F(SearchTest, NormalSearchReleasesHeardDevicesKeepsDescribedOnesThenDiscovers)
{
    captureDevices_ = {"eth0", "any"};
    Described(kMacA, "192.168.0.50");
    Discovered(kMacB, "192.168.0.51");
    StoreRow(*store_, kMacC, "192.168.0.52");  // in the store, no longer in the table
    sender_->Take();

    engine_->StartSearch(std::nullopt);
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].kind, Sent::Multicast);
    EXPECT_EQ(sent[0].Type(), MSG_RELEASE);
    EXPECT_EQ(sent[0].Mac(), Text(kMacB));
    EXPECT_TRUE(sent[0].Payload().empty());
    EXPECT_EQ(sent[1].kind, Sent::Broadcast);
    EXPECT_EQ(sent[1].Type(), MSG_DISCOVER);

    ASSERT_EQ(engine_->OnlineDevices().size(), 1u);
    EXPECT_TRUE(Entry(kMacA));
    EXPECT_NE(StoredType(kMacA), 0u);
    EXPECT_EQ(StoredType(kMacC), 0u);
    EXPECT_EQ(engine_->CaptureDevices(), captureDevices_);
}

TEST_F(SearchTest, MacSearchStartsOverAndTheNextNormalSearchKeepsOnlyDescribedDevices)
{
    captureDevices_ = {"eth0"};
    Described(kMacB, "192.168.0.51");
    engine_->StartSearch(kMacA);
    std::vector<Sent> sent = sender_->Take();
    // Every known device is released in a MAC search, and discovery goes out as a raw frame.
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(sent.back().kind, Sent::Raw);
    EXPECT_EQ(sent.back().to, "eth0");
    EXPECT_TRUE(std::any_of(sent.begin(), sent.end(), [](const Sent& s) {
        return s.kind == Sent::Multicast && s.Mac() == Text(kMacB);
    }));
    EXPECT_TRUE(engine_->OnlineDevices().empty());
    EXPECT_EQ(StoredType(kMacB), 0u);

    // Only the target answers through the filter; it gets described.
    Described(kMacA, "192.168.0.50");
    EXPECT_FALSE(engine_->OnDatagram(ReceiveQueue::Discovery, From("192.168.0.53"),
                                     BuildDiscoveryReply(21, kMacC, Reply("V1"))));
    StoreRow(*store_, kMacC, "192.168.0.53");  // a row the engine does not know

    engine_->StartSearch(std::nullopt);
    sent = sender_->Take();
    EXPECT_EQ(sent.back().kind, Sent::Broadcast);
    EXPECT_TRUE(Entry(kMacA));
    EXPECT_NE(StoredType(kMacA), 0u);
    EXPECT_EQ(StoredType(kMacC), 0u);
}

TEST_F(SearchTest, SecondSearchReleasesWhatTheFirstOneFound)
{
    engine_->StartSearch(std::nullopt);
    Discovered(kMacA, "192.168.0.50");
    Discovered(kMacB, "192.168.0.51");
    sender_->Take();
    engine_->StartSearch(std::nullopt);
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].Mac(), Text(kMacA));
    EXPECT_EQ(sent[1].Mac(), Text(kMacB));
    EXPECT_EQ(sent[0].Type(), MSG_RELEASE);
    EXPECT_EQ(sent[2].Type(), MSG_DISCOVER);
    EXPECT_TRUE(engine_->OnlineDevices().empty());
}

TEST_F(SearchTest, ListDiscoveredDevices)
{
    Discovered(kMacA, "192.168.1.15", 25, "V1.1\nbuild 7");
    Described(kMacB, "192.168.0.51");
    Discovered(kMacC, "192.168.0.53", 21, "V2.0");
    EXPECT_TRUE(engine_->ListDiscoveredDevices(0).empty());

    const auto all = engine_->ListDiscoveredDevices(10);
    ASSERT_EQ(all.size(), 2u);
    const ap_info_stu& a = all[0];
    EXPECT_EQ(CText(a.mac), Text(kMacA));
    EXPECT_EQ(a.ap_type, 25);
    EXPECT_EQ(a.ap_status, STATUS_DISCOVERED_ONLY);
    EXPECT_EQ(IpText(std::span<const uint8_t, 4>(a.ip_block.ip)), "192.168.1.15");
    EXPECT_EQ(FieldText(a.version, a.version_len), "V1.1");
    EXPECT_EQ(a.up_time, 1234u);
    EXPECT_EQ(a.work_mode, 3);
    EXPECT_EQ(a.mode_btn_status, 2);
    EXPECT_EQ(a.radio_block.channel, 36);
    EXPECT_EQ(a.extension_block.bridge_transparent, 1);
    EXPECT_EQ(a.extension_block.tdmaEn, 1);
    EXPECT_EQ(a.ip_block.ip_mask[0], 0);

    EXPECT_EQ(engine_->ListDiscoveredDevices(1).size(), 1u);
    struct Case {
        const char* filter;
        size_t count;
    };
    for (const Case c : {Case{"1.1", 1}, Case{"4e:03", 1}, Case{"V2.0", 1}, Case{"build", 0},
                         Case{"192.168", 2}, Case{"0.51", 0}}) {
        EXPECT_EQ(engine_->ListDiscoveredDevices(10, c.filter).size(), c.count) << c.filter;
    }
}

TEST_F(DiscoverTest, OneRequestPerBroadcastAndAdapter)
{
    const MacAddress mac2 = {0x02, 0, 0, 0, 0, 0x02};
    const MacAddress mac3 = {0x02, 0, 0, 0, 0, 0x03};
    SetAdapters({
        MakeAdapter("eth0", kAdapterMac,
                    {{"192.168.0.10", "255.255.255.0"}, {"192.168.0.11", "255.255.255.0"}, {"", ""}}),
        MakeAdapter("eth1", mac2, {{"192.168.0.12", "255.255.255.0"}, {"10.0.0.1", "255.0.0.0"}}),
        MakeAdapter("eth2", mac3, {{"0.0.0.0", "0.0.0.0"}, {"172.16.0.1", "255.255.0.0"}}),  // no address yet
        MakeAdapter("lo", {}, {{"127.0.0.1", "255.0.0.0"}}, kAdapterLoopback),
    });
    engine_->Discover();
    const std::vector<Sent> sent = sender_->Take();
    struct Want {
        const char* from;
        const char* adapter;
        const char* to;
        MacAddress mac;
    };
    const Want want[] = {{"192.168.0.10", "eth0", "192.168.0.255", kAdapterMac},
                         {"192.168.0.12", "eth1", "192.168.0.255", mac2},
                         {"10.0.0.1", "eth1", "10.255.255.255", mac2}};
    ASSERT_EQ(sent.size(), std::size(want));
    for (size_t i = 0; i < sent.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sent[i].kind, Sent::Broadcast);
        EXPECT_EQ(sent[i].from, want[i].from);
        EXPECT_EQ(sent[i].adapter, want[i].adapter);
        EXPECT_EQ(sent[i].to, want[i].to);
        EXPECT_EQ(sent[i].port, kPortDiscoveryRequest);
        EXPECT_EQ(sent[i].bytes, BuildDiscoveryRequest(want[i].mac));
        EXPECT_EQ(sent[i].bytes.size(), 16u);
    }
}

TEST_F(DiscoverTest, WithoutUsableAdapterOneFallbackRequest)
{
    SetAdapters({MakeAdapter("eth0", kAdapterMac, {{"0.0.0.0", "0.0.0.0"}}),
                 MakeAdapter("eth1", kAdapterMac, {{"192.168.5.1", "255.255.255.0"}}, kAdapterDown)});
    engine_->Discover();
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].kind, Sent::Broadcast);
    EXPECT_EQ(sent[0].from, "");
    EXPECT_EQ(sent[0].to, "255.255.255.255");
    EXPECT_EQ(sent[0].port, 9786);
    EXPECT_EQ(sent[0].bytes, BuildDiscoveryRequest());
    // Nor can any command be sent.
    EXPECT_FALSE(engine_->Reboot("192.168.0.50", Text(kMacA)));
}

TEST_F(DiscoverTest, RawFrameGoesToTheCaptureDeviceOfTheAdapter)
{
    const MacAddress mac2 = {0x02, 0, 0, 0, 0, 0x02};
    SetAdapters({MakeAdapter("eth1", kAdapterMac, {{"192.168.0.10", "255.255.255.0"}}),
                 MakeAdapter("eth9", mac2, {{"10.0.0.1", "255.0.0.0"}})});
    captureDevices_ = {"eth10", "eth1", "any"};  // "eth1" is also part of "eth10"
    engine_->StartSearch(kMacA);
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 1u);  // eth9 has no capture device
    EXPECT_EQ(sent[0].kind, Sent::Raw);
    EXPECT_EQ(sent[0].to, "eth1");
    const RawFrame frame = BuildRawDiscoveryFrame(kMacA, kAdapterMac, {192, 168, 0, 10}, {192, 168, 0, 255});
    EXPECT_EQ(sent[0].bytes, Bytes(frame.begin(), frame.end()));
}

TEST_F(DiscoverTest, AddressListFollowsTheAdapters)
{
    const MacAddress mac2 = {0x02, 0, 0, 0, 0, 0x02};
    SetAdapters({MakeAdapter("eth0", kAdapterMac, {{"192.168.0.10", "255.255.255.0"}}),
                 MakeAdapter("eth1", mac2, {{"192.168.0.20", "255.255.255.0"}})});
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    std::vector<Sent> sent = sender_->Take();
    // A subnet served by two local addresses receives the command twice.
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].from, "192.168.0.10");
    EXPECT_EQ(sent[1].from, "192.168.0.20");

    // 192.168.0.10 is gone; the other address keeps its place; a new one comes last.
    SetAdapters(
        {MakeAdapter("eth0", kAdapterMac, {{"10.0.0.1", "255.0.0.0"}}),
         MakeAdapter("eth1", mac2, {{"192.168.0.20", "255.255.255.0"}, {"192.168.0.20", "255.255.255.0"}})});
    const auto list = engine_->AdapterAddresses();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(CText(list[0].ip), "192.168.0.20");
    EXPECT_EQ(CText(list[1].ip), "10.0.0.1");
    ASSERT_TRUE(engine_->Reboot("192.168.0.50", Text(kMacA)));
    sent = sender_->Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].from, "192.168.0.20");
}

TEST_F(CommandTest, CommandDatagramLayout)
{
    ASSERT_TRUE(engine_->SetKelvra("192.168.0.50", Text(kMacA), 1));
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 1u);
    const Bytes expected = {0x86, 0x19, 0,    0,    MSG_SET_KELVRA,
                            0,    1,    0,    0x00, 0x1b,
                            0x2c, 0x3d, 0x4e, 0x01, 16,
                            0,    0,    1,    0,    0,
                            0,    0,    0,    0,    0,
                            0,    0,    0,    0,    0,
                            0,    0};
    EXPECT_EQ(sent[0].bytes, expected);
    EXPECT_EQ(sent[0].kind, Sent::Multicast);
}

TEST_F(CommandTest, PayloadLengthsFollowTheStoredTypeCode)
{
    struct Case {
        uint16_t storedType;  // 0: no stored row
        uint32_t callerType;
        size_t wireless;
        size_t vlan;
    };
    const Case cases[] = {
        {25, 0, 344, 26}, {21, 25, 328, 26}, {22, 21, 344, 10},
        {12, 0, 328, 10}, {0, 25, 344, 26},  {0, 22, 344, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "stored " << c.storedType << " caller " << c.callerType);
        engine_store::DeleteDevice(*store_, Text(kMacA));
        if (c.storedType != 0) StoreRow(*store_, kMacA, "192.168.0.50", c.storedType);
        ASSERT_TRUE(engine_->SetWireless("192.168.0.50", Text(kMacA), c.callerType, RADIO_BLOCK{},
                                         RADIO_EXTENSION{}));
        ASSERT_TRUE(
            engine_->SetVlan("192.168.0.50", Text(kMacA), c.callerType, VLAN_BLOCK{}, EXTENSION_BLOCK{}));
        const std::vector<Sent> sent = sender_->Take();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].Payload().size(), c.wireless);
        EXPECT_EQ(sent[0].Header().payload_len, c.wireless);
        EXPECT_EQ(sent[1].Payload().size(), c.vlan);
    }
}

// A MAC the store has no row for must not pick up another device's type code: the store answers
// an empty MAC with its first row.
TEST_F(CommandTest, PayloadLengthsWithoutAStoredRowFollowTheCallersTypeCode)
{
    StoreRow(*store_, kMacB, "192.168.0.51", 25);  // lists W and V: the long payloads
    struct Case {
        std::string mac;
        uint32_t callerType;
        size_t wireless;
        size_t vlan;
    };
    const Case cases[] = {
        {"", 12, 328, 10},
        {"", 25, 344, 26},
        {Text(kMacC), 12, 328, 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "mac '" << c.mac << "' caller " << c.callerType);
        ASSERT_TRUE(
            engine_->SetWireless("192.168.0.50", c.mac, c.callerType, RADIO_BLOCK{}, RADIO_EXTENSION{}));
        ASSERT_TRUE(engine_->SetVlan("192.168.0.50", c.mac, c.callerType, VLAN_BLOCK{}, EXTENSION_BLOCK{}));
        const std::vector<Sent> sent = sender_->Take();
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_EQ(sent[0].Payload().size(), c.wireless);
        EXPECT_EQ(sent[1].Payload().size(), c.vlan);
    }
}

TEST_F(CommandTest, FixedPayloads)
{
    struct Case {
        const char* name;
        std::function<bool(CommEngine&)> send;
        uint16_t type;
        Bytes payload;
        bool tracked;
    };
    Bytes transparent(16, 0), kelvra(16, 0);
    transparent[0] = 1;
    kelvra[1] = 1;
    REBOOT_BLOCK reboot{1, 0x41, 0x0102};
    const std::string ip = "192.168.0.50", mac = Text(kMacA);
    const Case cases[] = {
        {"reboot", [&](CommEngine& e) { return e.Reboot(ip, mac); }, MSG_REBOOT, {}, true},
        {"restore", [&](CommEngine& e) { return e.Restore(ip, mac); }, MSG_RESTORE, {}, true},
        {"start upgrade",
         [&](CommEngine& e) { return e.StartUpgrade(ip, mac); },
         MSG_UPGRADE_START,
         {},
         true},
        {"survey", [&](CommEngine& e) { return e.StartSiteSurvey(ip, mac); }, MSG_SITE_SURVEY, {}, false},
        {"transparent", [&](CommEngine& e) { return e.SetTransparentBridge(ip, mac, 1); },
         MSG_SET_TRANSPARENT_BRIDGE, transparent, true},
        {"kelvra", [&](CommEngine& e) { return e.SetKelvra(ip, mac, 1); }, MSG_SET_KELVRA, kelvra, true},
        {"timed reboot",
         [&](CommEngine& e) { return e.SetTimedReboot(ip, mac, reboot); },
         MSG_SET_TIMED_REBOOT,
         {1, 0x41, 0x02, 0x01},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(c.send(*engine_));
        const std::vector<Sent> sent = sender_->Take();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].Type(), c.type);
        EXPECT_EQ(sent[0].Payload(), c.payload);
        const auto retries = engine_->RetryEntries();
        EXPECT_EQ(!retries.empty() && retries.back().msgType == c.type, c.tracked);
    }
}

TEST_F(CommandTest, UpgradePayload)
{
    ASSERT_TRUE(engine_->PrepareUpgrade("192.168.0.50", Text(kMacA), "fw_v2.bin", 0x01020304));
    const Bytes p = sender_->Take().at(0).Payload();
    ASSERT_EQ(p.size(), 268u);
    EXPECT_EQ(std::string(p.begin(), p.begin() + 9), "fw_v2.bin");
    EXPECT_EQ(p[9], 0);
    EXPECT_EQ(p[260], 9);
    EXPECT_EQ(p[264], 0x04);
    EXPECT_EQ(p[267], 0x01);
    // A name that does not fit is not sent.
    EXPECT_FALSE(engine_->PrepareUpgrade("192.168.0.50", Text(kMacA), std::string(300, 'a'), 1));
    EXPECT_TRUE(sender_->Take().empty());
}

std::string Repeat(std::string_view s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

class GbkCommandTest : public EngineTest {
protected:
    EngineOptions Options() const override
    {
        EngineOptions o;
        o.localEncoding = "GBK";
        return o;
    }
};

TEST_F(GbkCommandTest, NamesAndSsidsFollowTheOutgoingTextRule)
{
    struct Case {
        const char* name;
        std::string local;  // GBK
        std::string wire;
    };
    const Case cases[] = {
        {"ascii", "Roof-1", "Roof-1"},
        {"chinese", "\xce\xdd\xb6\xa5", "\xe5\xb1\x8b\xe9\xa1\xb6"},                          // 屋顶
        {"high bytes without chinese go unchanged", "\xa6\xc1\xa6\xc2", "\xa6\xc1\xa6\xc2"},  // Greek letters
        // Eleven Chinese characters are 33 bytes of UTF-8: cut before the eleventh, not inside it.
        {"cut at a character", Repeat("\xce\xdd", 11), Repeat("\xe5\xb1\x8b", 10)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string& local = c.local;
        const std::string& wire = c.wire;
        ASSERT_TRUE(engine_->SetName("192.168.0.50", Text(kMacA), local));
        Bytes p = sender_->Take().at(0).Payload();
        ASSERT_EQ(p.size(), 33u);
        EXPECT_EQ(p[32], wire.size());
        EXPECT_EQ(std::string(p.begin(), p.begin() + p[32]), wire);

        RADIO_BLOCK radio{};
        radio.security.ssid_len = SetFieldText(radio.security.ssid, local);
        radio.channel = 11;
        ASSERT_TRUE(engine_->SetWireless("192.168.0.50", Text(kMacA), 21, radio, RADIO_EXTENSION{}));
        p = sender_->Take().at(0).Payload();
        ASSERT_EQ(p.size(), 328u);
        const RADIO_BLOCK sentRadio = DecodeLayout<RADIO_BLOCK>(p);
        EXPECT_EQ(std::string(FieldText(sentRadio.security.ssid, sentRadio.security.ssid_len)), wire);
        EXPECT_EQ(sentRadio.channel, 11);

        BRIDGE_PAYLOAD bridge{};
        bridge.security.ssid_len = SetFieldText(bridge.security.ssid, local);
        bridge.ip_block.ip_mode = 1;
        bridge.reserved327 = 9;
        ASSERT_TRUE(engine_->SetBridge("192.168.0.50", Text(kMacA), bridge));
        p = sender_->Take().at(0).Payload();
        ASSERT_EQ(p.size(), 328u);
        EXPECT_EQ(p[40], wire.size());
        EXPECT_EQ(std::string(p.begin() + 8, p.begin() + 8 + p[40]), wire);
        EXPECT_EQ(p[304], 1);
        EXPECT_EQ(p[327], 0);
    }
}

TEST_F(CommandTest, ConfigurationApplySendsInOrderWithTheJointApplyFlags)
{
    Described(kMacA, "192.168.0.50", 25);
    sender_->Take();
    struct Case {
        const char* name;
        bool nameChanged, wireless, reboot, vlan, ip;
        std::vector<uint16_t> types;
        uint8_t ipApply, vlanApply;
    };
    const Case cases[] = {
        {"nothing", false, false, false, false, false, {}, 1, 0},
        {"name only", true, false, false, false, false, {MSG_SET_NAME}, 1, 0},
        {"wireless and ip", false, true, false, false, true, {MSG_SET_WIRELESS, MSG_SET_IP}, 1, 0},
        {"all",
         true,
         true,
         true,
         true,
         true,
         {MSG_SET_NAME, MSG_SET_WIRELESS, MSG_SET_TIMED_REBOOT, MSG_SET_VLAN, MSG_SET_IP},
         0,
         1},
        {"vlan only", false, false, false, true, false, {MSG_SET_VLAN}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigurationApply apply;
        apply.ip = "192.168.0.50";
        apply.mac = Text(kMacA);
        apply.typeCode = 25;
        apply.nameChanged = c.nameChanged;
        apply.wirelessChanged = c.wireless;
        apply.rebootChanged = c.reboot;
        apply.vlanChanged = c.vlan;
        apply.ipChanged = c.ip;
        apply.name.ap_name_len = SetFieldText(apply.name.ap_name, "new name");
        apply.ipBlock.ip_mode = 1;
        apply.ipBlock.apply = 1;
        const auto newIp = IpToBytes("192.168.0.50");  // unchanged address: the entry stays put
        std::copy(newIp.begin(), newIp.end(), apply.ipBlock.ip);
        EXPECT_EQ(engine_->ApplyConfiguration(apply), static_cast<int>(c.types.size()));
        const std::vector<Sent> sent = sender_->Take();
        std::vector<uint16_t> types;
        for (const Sent& s : sent) types.push_back(s.Type());
        EXPECT_EQ(types, c.types);
        for (const Sent& s : sent) {
            const Bytes p = s.Payload();
            switch (s.Type()) {
                case MSG_SET_IP:
                    EXPECT_EQ(p[21], c.ipApply);
                    break;
                case MSG_SET_VLAN:
                    EXPECT_EQ(p.size(), 26u);  // type 25 is in list V
                    EXPECT_EQ(p[8], c.vlanApply);
                    break;
                case MSG_SET_WIRELESS:
                    EXPECT_EQ(p.size(), 344u);
                    break;
                case MSG_SET_NAME:
                    EXPECT_EQ(std::string(p.begin(), p.begin() + 8), "new name");
                    break;
            }
        }
    }
}

TEST_F(CommandTest, ShutdownReleasesEveryKnownDevice)
{
    Described(kMacA, "192.168.0.50");
    Discovered(kMacB, "192.168.0.51");
    Discovered(kMacC, "10.0.0.5");  // no local subnet: nothing can reach it
    sender_->Take();
    engine_->Shutdown();
    const std::vector<Sent> sent = sender_->Take();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].Type(), MSG_RELEASE);
    EXPECT_EQ(sent[0].Mac(), Text(kMacA));
    EXPECT_EQ(sent[1].Mac(), Text(kMacB));
    EXPECT_TRUE(sent[1].Payload().empty());
    // Once only.
    engine_->Shutdown();
    EXPECT_TRUE(sender_->Take().empty());
}

TEST_F(CommandTest, PayloadLongerThanADatagramIsRefused)
{
    const Bytes big(kMaxPayload + 1, 0);
    EXPECT_FALSE(engine_->SendCommand("192.168.0.50", MSG_SET_NAME, big, Text(kMacA), true));
    const Bytes full(kMaxPayload, 0);
    EXPECT_TRUE(engine_->SendCommand("192.168.0.50", MSG_SET_NAME, full, Text(kMacA), true));
    EXPECT_EQ(sender_->Take().at(0).bytes.size(), kMaxDatagram);
}

}  // namespace
}  // namespace pontiq::testing_engine
