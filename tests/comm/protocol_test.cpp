#include "comm/protocol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

namespace pontiq {
namespace {

const MacAddress kDeviceMac = {0x0a, 0x1b, 0x2c, 0xd3, 0xe4, 0xf5};

using Bytes = std::vector<uint8_t>;

// A datagram with a free header, for the receive-side tests: `payloadLen` is the header's
// length field, `payload` what actually follows.
Bytes RawDatagram(uint16_t msgType, uint16_t payloadLen, const Bytes& payload, uint16_t typeCode = 21)
{
    ProtocolHeader header{};
    header.magic = kMagic;
    header.type_code = typeCode;
    header.msg_type = msgType;
    std::copy(kDeviceMac.begin(), kDeviceMac.end(), header.mac);
    header.payload_len = payloadLen;
    Bytes out(kHeaderSize + payload.size());
    std::memcpy(out.data(), &header, kHeaderSize);
    std::copy(payload.begin(), payload.end(), out.begin() + kHeaderSize);
    return out;
}

Bytes Truncated(Bytes bytes, size_t drop)
{
    bytes.resize(bytes.size() - drop);
    return bytes;
}

template <size_t N>
std::string Text(const char (&field)[N], uint8_t len)
{
    return std::string(FieldText(field, len));
}

// ---- Type-code lists ------------------------------------------------------------------

TEST(ProtocolLists, ListsHoldExactlyTheirCodes)
{
    const std::vector<uint32_t> w = {14,  15,  18,  19,  20,  22,  23,  24,  25,  272,
                                     273, 274, 277, 278, 279, 280, 281, 282, 283, 285};
    const std::vector<uint32_t> v = {10,  11,  14,  15,  18,  19,  20,  21,  23,  24,  25,  268, 269,
                                     270, 272, 273, 274, 277, 278, 279, 280, 282, 283, 284, 285};
    std::vector<uint32_t> inW, inV;
    for (uint32_t code = 0; code <= 0x1FFFF; ++code) {
        if (InListW(code)) inW.push_back(code);
        if (InListV(code)) inV.push_back(code);
    }
    EXPECT_EQ(inW, w);
    EXPECT_EQ(inV, v);
}

TEST(ProtocolLists, PayloadLengthsFollowTheLists)
{
    struct Case {
        uint32_t type;
        size_t wireless;
        size_t vlan;
    };
    const Case cases[] = {
        {25, 344, 26},  // in both lists
        {21, 328, 26},  // V only
        {22, 344, 10},  // W only
        {281, 344, 10}, {284, 328, 26}, {0, 328, 10}, {1, 328, 10}, {271, 328, 10},
    };
    const RADIO_BLOCK radio{};
    RADIO_EXTENSION ext{};
    ext.wl_dfs = 1;
    VLAN_BLOCK vlan{};
    vlan.vlan_id = 0x0102;
    EXTENSION_BLOCK vext{};
    vext.vlan_id_lan2 = 0x0304;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(WirelessPayloadLength(c.type), c.wireless);
        EXPECT_EQ(VlanPayloadLength(c.type), c.vlan);
        const Bytes w = WirelessPayload(c.type, radio, ext);
        ASSERT_EQ(w.size(), c.wireless);
        if (c.wireless == 344) {
            EXPECT_EQ(w[328 + 12], 1);  // wl_dfs of the extension
        }
        const Bytes v = VlanPayload(c.type, vlan, vext);
        ASSERT_EQ(v.size(), c.vlan);
        EXPECT_EQ(v[2], 0x02);
        if (c.vlan == 26) {
            EXPECT_EQ(v[10 + 14], 0x04);  // vlan_id_lan2, little-endian
        }
        const auto datagram = BuildCommand(MSG_SET_WIRELESS, w, kDeviceMac);
        ASSERT_TRUE(datagram);
        EXPECT_EQ(datagram->size(), kHeaderSize + c.wireless);
    }
}

// ---- Encoding -------------------------------------------------------------------------

TEST(ProtocolEncode, CommandHeaderBytesAreLittleEndian)
{
    const Bytes payload = {0xaa, 0xbb, 0xcc};
    const auto d = BuildCommand(MSG_SET_KELVRA, payload, kDeviceMac);
    ASSERT_TRUE(d);
    const Bytes expected = {0x86, 0x19, 0,    0,    19, 0, 1,    0,    0x0a, 0x1b,
                            0x2c, 0xd3, 0xe4, 0xf5, 3,  0, 0xaa, 0xbb, 0xcc};
    EXPECT_EQ(*d, expected);
}

TEST(ProtocolEncode, DiscoveryRequestIsSixteenBytesWithoutMulticast)
{
    const Bytes expected = {0x86, 0x19, 0, 0, 1, 0, 0, 0, 0x0a, 0x1b, 0x2c, 0xd3, 0xe4, 0xf5, 0, 0};
    EXPECT_EQ(BuildDiscoveryRequest(kDeviceMac), expected);
    const Bytes fallback = BuildDiscoveryRequest();
    ASSERT_EQ(fallback.size(), kHeaderSize);
    EXPECT_TRUE(std::all_of(fallback.begin() + 8, fallback.end(), [](uint8_t b) { return b == 0; }));
}

TEST(ProtocolEncode, PayloadLimit)
{
    const auto largest = Encode(MSG_SET_IP, Bytes(kMaxPayload, 7), kDeviceMac, true);
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->size(), kMaxDatagram);
    EXPECT_EQ((*largest)[14], kMaxPayload & 0xFF);
    EXPECT_EQ((*largest)[15], kMaxPayload >> 8);
    EXPECT_FALSE(Encode(MSG_SET_IP, Bytes(kMaxPayload + 1, 7), kDeviceMac, true));
    EXPECT_FALSE(BuildCommand(MSG_SET_IP, Bytes(kMaxPayload + 1, 7), kDeviceMac));
}

// Every request the PC sends: header as a device reads it, payload byte for byte.
TEST(ProtocolEncode, RequestsRoundTrip)
{
    IP_BLOCK ip{};
    ip.ip_mode = 1;
    ip.ip[0] = 192;
    ip.apply = 1;
    REBOOT_BLOCK reboot{1, 0x7f, 23 * 60 + 59};
    BRIDGE_PAYLOAD bridge{};
    bridge.security.work_mode = 2;
    bridge.security.key_time = 0x01020304;
    bridge.ip_block = ip;
    EXTENSION_BLOCK transparent{};
    transparent.bridge_transparent = 1;
    const NAME_PAYLOAD name = MakeNamePayload("roof-east");
    const auto upgrade = MakeUpgradePayload("fw.bin", 123456);
    ASSERT_TRUE(upgrade);

    struct Case {
        uint16_t type;
        Bytes payload;
    };
    const auto bytes = [](auto span) { return Bytes(span.begin(), span.end()); };
    const Case cases[] = {
        {MSG_DISCOVER, {}},
        {MSG_GET_INFO, {}},
        {MSG_SET_IP, bytes(AsBytes(ip))},
        {MSG_SET_WIRELESS, WirelessPayload(25, RADIO_BLOCK{}, RADIO_EXTENSION{})},
        {MSG_SET_TIMED_REBOOT, bytes(AsBytes(reboot))},
        {MSG_SITE_SURVEY, {}},
        {MSG_SET_BRIDGE, bytes(AsBytes(bridge))},
        {MSG_SET_NAME, bytes(AsBytes(name))},
        {MSG_REBOOT, {}},
        {MSG_RESTORE, {}},
        {MSG_UPGRADE, bytes(AsBytes(*upgrade))},
        {MSG_SET_VLAN, VlanPayload(21, VLAN_BLOCK{}, EXTENSION_BLOCK{})},
        {MSG_HEARTBEAT, {}},
        {MSG_UPGRADE_START, {}},
        {MSG_RELEASE, {}},
        {MSG_SET_TRANSPARENT_BRIDGE, bytes(AsBytes(transparent))},
        {MSG_SET_KELVRA, bytes(AsBytes(EXTENSION_BLOCK{}))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const auto d = BuildCommand(c.type, c.payload, kDeviceMac);
        ASSERT_TRUE(d);
        const auto h = DecodeHeader(*d);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->type_code, 0);
        EXPECT_EQ(h->msg_type, c.type);
        EXPECT_EQ(h->multicast, 1);
        EXPECT_EQ(h->reserved, 0);
        EXPECT_TRUE(std::equal(kDeviceMac.begin(), kDeviceMac.end(), h->mac));
        EXPECT_EQ(h->payload_len, c.payload.size());
        const auto p = ReceivedPayload(*d);
        EXPECT_EQ(Bytes(p.begin(), p.end()), c.payload);
    }
    const auto d = BuildCommand(MSG_SET_BRIDGE, AsBytes(bridge), kDeviceMac);
    const auto back = DecodeLayout<BRIDGE_PAYLOAD>(ReceivedPayload(*d));
    const uint32_t keyTime = back.security.key_time;  // packed member: compare a copy, not a reference
    EXPECT_EQ(keyTime, 0x01020304u);
    EXPECT_EQ(back.ip_block.ip[0], 192);
    EXPECT_EQ((*d)[kHeaderSize + 109], 0x04);  // key_time low byte first, at an odd offset
}

TEST(ProtocolEncode, NameAndUpgradePayloads)
{
    const NAME_PAYLOAD longName = MakeNamePayload(std::string(40, 'n'));
    EXPECT_EQ(longName.ap_name_len, 32);

    const std::string name255(255, 'f');
    const auto ok = MakeUpgradePayload(name255, 0x11223344);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->file_name_len, 255);
    EXPECT_EQ(ok->file_name[255], '\0');
    EXPECT_EQ(ok->file_size, 0x11223344u);
    // A length byte cannot count 256 bytes; cutting the name would name another file.
    EXPECT_FALSE(MakeUpgradePayload(std::string(256, 'f'), 1));
}

// ---- Accept filter --------------------------------------------------------------------

TEST(ProtocolAccept, PortFilter)
{
    Bytes bigEndianMagic = RawDatagram(MSG_DISCOVER, 0, {});
    bigEndianMagic[0] = 0x19;
    bigEndianMagic[1] = 0x86;
    const Bytes fifteen = Truncated(RawDatagram(MSG_DISCOVER, 0, {}), 1);

    struct Case {
        const char* what;
        uint16_t port;
        Bytes datagram;
        bool accepted;
    };
    const Case cases[] = {
        {"header only", kPortDiscoveryReply, RawDatagram(MSG_DISCOVER, 0, {}), true},
        {"15 bytes", kPortDiscoveryReply, fifteen, false},
        {"empty", kPortCommandReply, {}, false},
        {"1472 bytes", kPortDiscoveryReply, RawDatagram(MSG_DISCOVER, 1456, Bytes(1456)), true},
        {"1473 bytes", kPortCommandReply, RawDatagram(MSG_GET_INFO, 1456, Bytes(1457)), false},
        {"big-endian magic", kPortDiscoveryReply, bigEndianMagic, false},
        {"big-endian magic 9788", kPortCommandReply, bigEndianMagic, false},
        {"heartbeat on 9785", kPortDiscoveryReply, RawDatagram(MSG_HEARTBEAT, 0, {}), false},
        {"record on 9785", kPortDiscoveryReply, RawDatagram(MSG_GET_INFO, 0, {}), false},
        {"heartbeat on 9787", kPortCommand, RawDatagram(MSG_HEARTBEAT, 40, Bytes(40)), true},
        {"discovery reply on 9787", kPortCommand, RawDatagram(MSG_DISCOVER, 0, {}), false},
        {"release on 9787", kPortCommand, RawDatagram(MSG_RELEASE, 0, {}), false},
        {"discovery reply on 9788", kPortCommandReply, RawDatagram(MSG_DISCOVER, 0, {}), true},
        {"port the PC does not listen on", kPortDiscoveryRequest, RawDatagram(MSG_DISCOVER, 0, {}), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Accept(c.port, c.datagram), c.accepted) << c.what;
    }
    for (uint32_t type = 0; type <= 0xFFFF; type += (type < 32 ? 1 : 997)) {
        EXPECT_TRUE(Accept(kPortCommandReply, RawDatagram(static_cast<uint16_t>(type), 0, {}))) << type;
    }
}

// ---- Discovery reply and heartbeat ----------------------------------------------------

DISCOVER_REPLY SampleReply()
{
    DISCOVER_REPLY r{};
    r.version_len = SetFieldText(r.version, "V2.1.3 build 77");
    r.work_mode = 3;
    r.mode_btn_status = 2;
    r.up_time = 0x00012345;
    r.ap_name_len = SetFieldText(r.ap_name, "mast \xe5\x8c\x97");
    r.ssid_len = SetFieldText(r.ssid, std::string(32, 's'));
    r.channel = 149;
    r.bridge_transparent = 1;
    r.tdmaEn = 1;
    return r;
}

TEST(ProtocolDiscoveryReply, LongFormRoundTrip)
{
    const DISCOVER_REPLY r = SampleReply();
    const Bytes d = BuildDiscoveryReply(21, kDeviceMac, r);
    ASSERT_EQ(d.size(), kHeaderSize + 109);
    ASSERT_TRUE(Accept(kPortDiscoveryReply, d));
    EXPECT_EQ(DecodeHeader(d)->type_code, 21);
    const auto back = DecodeDiscoveryReply(d);
    ASSERT_TRUE(back);
    EXPECT_TRUE(back->long_form);
    EXPECT_EQ(std::memcmp(&back->fields, &r, sizeof(r)), 0);
}

TEST(ProtocolDiscoveryReply, ShortFormRule)
{
    const DISCOVER_REPLY r = SampleReply();
    const Bytes full(BuildDiscoveryReply(21, kDeviceMac, r));
    const Bytes body(full.begin() + kHeaderSize, full.end());

    struct Case {
        const char* what;
        uint16_t lengthField;
        size_t received;  // payload bytes that follow the header
        bool longForm;
        bool hasVersion;
        bool hasName;
    };
    const Case cases[] = {
        {"short form as sent", 33, 33, false, true, false},
        {"length 33, long body follows", 33, 109, false, true, false},
        {"length 0, body follows", 0, 109, false, true, false},
        {"length 34 is long", 34, 109, true, true, true},
        {"long, only the version arrived", 109, 33, true, true, false},
        {"long, nothing arrived", 109, 0, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Bytes d =
            RawDatagram(MSG_DISCOVER, c.lengthField, Bytes(body.begin(), body.begin() + c.received));
        const auto back = DecodeDiscoveryReply(d);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->long_form, c.longForm);
        EXPECT_EQ(Text(back->fields.version, back->fields.version_len),
                  c.hasVersion ? "V2.1.3 build 77" : "");
        EXPECT_EQ(Text(back->fields.ap_name, back->fields.ap_name_len), c.hasName ? "mast \xe5\x8c\x97" : "");
        EXPECT_EQ(uint32_t{back->fields.up_time}, c.hasName ? uint32_t{r.up_time} : 0u);  // packed: copy
        EXPECT_EQ(back->fields.tdmaEn, c.hasName ? 1 : 0);
    }
}

// The decoder sees only the span it is given, even when the buffer behind it holds more.
TEST(ProtocolDiscoveryReply, ReadsNothingPastTheReceivedBytes)
{
    Bytes buffer = RawDatagram(MSG_DISCOVER, 109, Bytes(109, 'X'));
    const auto d = std::span<const uint8_t>(buffer).first(kHeaderSize + 50);
    const auto back = DecodeDiscoveryReply(d);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->fields.ap_name[9], 'X');  // payload byte 49
    EXPECT_EQ(back->fields.ap_name[10], 0);   // payload byte 50: not received
    EXPECT_EQ(back->fields.ssid_len, 0);
    EXPECT_EQ(back->fields.tdmaEn, 0);
}

TEST(ProtocolHeartbeat, ReadsVersionAndUptimeOnly)
{
    HEARTBEAT_PAYLOAD hb{};
    hb.version_len = SetFieldText(hb.version, "V9");
    hb.work_mode = 5;
    hb.mode_btn_status = 1;
    hb.up_time = 86400 * 3 + 5;
    const Bytes d = BuildHeartbeat(281, kDeviceMac, hb);
    ASSERT_EQ(d.size(), kHeaderSize + 40);
    ASSERT_TRUE(Accept(kPortCommand, d));
    const auto back = DecodeHeartbeat(d);
    ASSERT_TRUE(back);
    EXPECT_EQ(Text(back->version, back->version_len), "V9");
    EXPECT_EQ(back->up_time, hb.up_time);
    EXPECT_EQ(back->work_mode, 0);
    EXPECT_EQ(back->mode_btn_status, 0);

    // A heartbeat cut inside up_time reads the bytes that came and zero for the rest.
    const auto cut = DecodeHeartbeat(std::span<const uint8_t>(d).first(kHeaderSize + 38));
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->up_time, hb.up_time & 0xFFFF);
}

// ---- Length clamping ------------------------------------------------------------------

TEST(ProtocolClamp, OversizeLengthBytesAreClampedToTheField)
{
    for (const uint8_t len : {uint8_t{32}, uint8_t{33}, uint8_t{200}, uint8_t{255}}) {
        SCOPED_TRACE(static_cast<int>(len));
        DISCOVER_REPLY r = SampleReply();
        r.version_len = r.ap_name_len = r.ssid_len = len;
        const auto reply = DecodeDiscoveryReply(BuildDiscoveryReply(1, kDeviceMac, r));
        EXPECT_EQ(reply->fields.version_len, 32);
        EXPECT_EQ(reply->fields.ap_name_len, 32);
        EXPECT_EQ(reply->fields.ssid_len, 32);

        HEARTBEAT_PAYLOAD hb{};
        hb.version_len = len;
        EXPECT_EQ(DecodeHeartbeat(BuildHeartbeat(1, kDeviceMac, hb))->version_len, 32);

        config_otherwl_basic ap{};
        ap.ssid_len = len;
        const auto page = DecodeSurveyPage(*BuildSurveyPage(1, kDeviceMac, 1, 0, {&ap, 1}));
        EXPECT_EQ(page->entries.at(0).ssid_len, 32);
    }
    ap_info_stu rec{};
    rec.ap_name_len = 200;
    rec.version_len = 33;
    rec.radio_block.security.ssid_len = 255;
    rec.radio_block.security.wpapsk_key_value_len = 65;
    rec.radio_block.security.wep_key[0].len = 27;
    rec.radio_block.security.wep_key[3].len = 26;
    rec.radio_block.security.wpa_key_len = 64;
    rec.bridge_ssid_len = 100;
    const auto back = DecodeDeviceRecord(BuildDeviceRecordReply(kDeviceMac, rec));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->ap_name_len, 32);
    EXPECT_EQ(back->version_len, 32);
    EXPECT_EQ(back->radio_block.security.ssid_len, 32);
    EXPECT_EQ(back->radio_block.security.wpapsk_key_value_len, 64);
    EXPECT_EQ(back->radio_block.security.wep_key[0].len, 26);
    EXPECT_EQ(back->radio_block.security.wep_key[3].len, 26);
    EXPECT_EQ(back->radio_block.security.wpa_key_len, 64);
    EXPECT_EQ(back->bridge_ssid_len, 32);
}

// ---- Device record --------------------------------------------------------------------

class ProtocolDeviceRecord : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Every body byte distinct from zero, text lengths within their fields.
        auto* raw = reinterpret_cast<uint8_t*>(&record_);
        for (size_t i = kRecordPrefix; i < sizeof(record_); ++i) raw[i] = static_cast<uint8_t>(i % 251 + 1);
        record_.ap_name_len = 5;
        record_.version_len = 6;
        record_.radio_block.security.ssid_len = 7;
        record_.radio_block.security.wpapsk_key_value_len = 8;
        for (WEP_KEY& k : record_.radio_block.security.wep_key) k.len = 5;
        record_.radio_block.security.wpa_key_len = 9;
        record_.bridge_ssid_len = 10;
        record_.ap_type = 283;
        body_ = Bytes(raw + kRecordPrefix, raw + sizeof(record_));
    }

    ap_info_stu record_{};
    Bytes body_;
};

TEST_F(ProtocolDeviceRecord, RoundTrip)
{
    const Bytes d = BuildDeviceRecordReply(kDeviceMac, record_);
    ASSERT_EQ(d.size(), kHeaderSize + kRecordBody);
    ASSERT_TRUE(Accept(kPortCommandReply, d));
    const auto back = DecodeDeviceRecord(d);
    ASSERT_TRUE(back);
    EXPECT_STREQ(back->mac, "0a:1b:2c:d3:e4:f5");
    EXPECT_EQ(back->ap_type, 283);
    EXPECT_EQ(back->ap_status, 0u);
    EXPECT_EQ(
        std::memcmp(reinterpret_cast<const uint8_t*>(&*back) + kRecordPrefix, body_.data(), kRecordBody), 0);
    EXPECT_EQ(uint32_t{back->radio_block.security.wpapsk_key_time},
              uint32_t{record_.radio_block.security.wpapsk_key_time});
}

TEST_F(ProtocolDeviceRecord, CopiesTheSmallestOfFieldReceivedAndBody)
{
    struct Case {
        uint16_t lengthField;
        size_t received;
        size_t copied;
    };
    const Case cases[] = {
        {760, 760, 760}, {100, 760, 100},   {760, 100, 100}, {1000, 800, 760},
        {0, 760, 0},     {1456, 1456, 760}, {760, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lengthField << "/" << c.received);
        Bytes payload = body_;
        payload.resize(c.received, 0xEE);
        const auto back = DecodeDeviceRecord(RawDatagram(MSG_GET_INFO, c.lengthField, payload, 25));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->ap_type, 25);
        const auto* raw = reinterpret_cast<const uint8_t*>(&*back) + kRecordPrefix;
        EXPECT_EQ(std::memcmp(raw, body_.data(), c.copied), 0);
        EXPECT_TRUE(std::all_of(raw + c.copied, raw + kRecordBody, [](uint8_t b) { return b == 0; }));
    }
}

// ---- Site survey ----------------------------------------------------------------------

config_otherwl_basic SurveyEntry(uint8_t k)
{
    config_otherwl_basic e{};
    e.mac[5] = k;
    e.signal = static_cast<int8_t>(-40 - k);
    e.channel = static_cast<uint8_t>(36 + k);
    e.secure_mode = k % 10;
    e.ssid_len = SetFieldText(e.ssid, "ap-" + std::to_string(k));
    e.exchannel = 1;
    e.bandwidth = 2;
    return e;
}

TEST(ProtocolSurvey, PageRoundTrip)
{
    std::vector<config_otherwl_basic> entries;
    for (uint8_t k = 0; k < kMaxSurveyEntries; ++k) entries.push_back(SurveyEntry(k));
    const auto d = BuildSurveyPage(33, kDeviceMac, 3, 2, entries);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->size(), kHeaderSize + 1411);
    const auto page = DecodeSurveyPage(*d);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->header.packet_count, 3);
    EXPECT_EQ(page->header.packet_id, 2);
    EXPECT_EQ(page->header.icount, 32);
    EXPECT_FALSE(page->icount_mended);
    ASSERT_EQ(page->entries.size(), entries.size());
    for (size_t k = 0; k < entries.size(); ++k) {
        EXPECT_EQ(std::memcmp(&page->entries[k], &entries[k], sizeof(config_otherwl_basic)), 0) << k;
    }
    EXPECT_EQ(page->entries[31].signal, -71);

    entries.push_back(SurveyEntry(32));
    EXPECT_FALSE(BuildSurveyPage(33, kDeviceMac, 1, 0, entries));
}

TEST(ProtocolSurvey, IcountIsClampedToTheEntriesCarried)
{
    Bytes entryBytes;
    for (uint8_t k = 0; k < 33; ++k) {
        const auto e = SurveyEntry(k);
        const auto b = AsBytes(e);
        entryBytes.insert(entryBytes.end(), b.begin(), b.end());
    }
    const auto pagePayload = [&](uint8_t icount, size_t entryByteCount) {
        Bytes p = {1, 0, icount};
        p.insert(p.end(), entryBytes.begin(), entryBytes.begin() + entryByteCount);
        return p;
    };
    struct Case {
        const char* what;
        Bytes payload;
        size_t entries;
        bool mended;
    };
    const Case cases[] = {
        {"as claimed", pagePayload(3, 3 * 44), 3, false},
        {"fewer claimed than carried", pagePayload(2, 3 * 44), 2, false},
        {"claims more than received", pagePayload(5, 2 * 44), 2, true},
        {"partial last entry is dropped", pagePayload(3, 2 * 44 + 20), 2, true},
        {"icount above 32", pagePayload(200, 32 * 44), 32, true},
        {"33 entries sent, 1414 bytes read", pagePayload(33, 33 * 44), 32, true},
        {"no entries", pagePayload(0, 0), 0, false},
        {"header cut short", Bytes{1, 0}, 0, false},
        {"empty payload", Bytes{}, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto page = DecodeSurveyPage(
            RawDatagram(MSG_SITE_SURVEY, static_cast<uint16_t>(c.payload.size()), c.payload));
        ASSERT_TRUE(page);
        EXPECT_EQ(page->entries.size(), c.entries);
        EXPECT_EQ(page->header.icount, c.entries);
        EXPECT_EQ(page->icount_mended, c.mended);
        for (size_t k = 0; k < page->entries.size(); ++k) EXPECT_EQ(page->entries[k].mac[5], k);
    }
}

TEST(ProtocolSurvey, LastPage)
{
    struct Case {
        uint8_t count, id;
        bool last;
    };
    const Case cases[] = {{3, 2, true},    {3, 0, false}, {1, 0, true},
                          {0, 255, false}, {0, 0, false}, {255, 254, true}};
    for (const Case& c : cases) {
        const auto page = DecodeSurveyPage(*BuildSurveyPage(1, kDeviceMac, c.count, c.id, {}));
        EXPECT_EQ(page->IsLastPage(), c.last) << int(c.count) << "/" << int(c.id);
    }
}

// ---- Result bytes and header decoding -------------------------------------------------

TEST(ProtocolResult, ResultByte)
{
    for (const uint16_t type : {MSG_SET_BRIDGE, MSG_REBOOT, MSG_RESTORE, MSG_UPGRADE_STATUS, MSG_SET_VLAN}) {
        for (const uint8_t result : {0, 1, 2, 255}) {
            const Bytes d = BuildResultReply(21, type, kDeviceMac, static_cast<uint8_t>(result));
            EXPECT_EQ(DecodeHeader(d)->msg_type, type);
            EXPECT_EQ(DecodeResultByte(d), result);
            EXPECT_EQ(DecodeUpgradeStatus(d), result);
        }
    }
    // No payload byte: no result, rather than a made-up 0 that would read as success.
    EXPECT_FALSE(DecodeResultByte(RawDatagram(MSG_SET_BRIDGE, 1, {})));
}

TEST(ProtocolDecode, InvalidHeadersDecodeToNothing)
{
    Bytes badMagic = RawDatagram(MSG_DISCOVER, 109, Bytes(109));
    badMagic[0] = 0x19;
    badMagic[1] = 0x86;
    const Bytes tooLong = RawDatagram(MSG_GET_INFO, 1456, Bytes(1457));
    const Bytes tooShort = Truncated(RawDatagram(MSG_GET_INFO, 0, {}), 1);
    for (const Bytes* d : {&std::as_const(badMagic), &tooLong, &tooShort}) {
        EXPECT_FALSE(DecodeHeader(*d));
        EXPECT_FALSE(DecodeDiscoveryReply(*d));
        EXPECT_FALSE(DecodeHeartbeat(*d));
        EXPECT_FALSE(DecodeDeviceRecord(*d));
        EXPECT_FALSE(DecodeSurveyPage(*d));
        EXPECT_FALSE(DecodeResultByte(*d));
    }
    EXPECT_TRUE(ReceivedPayload(tooShort).empty());
}

}  // namespace
}  // namespace pontiq
