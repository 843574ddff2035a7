// The simulator's side of the protocol, without sockets: a recording transport and a clock the
// test moves by hand. The PC's own decoders read what the devices send, so a device that says
// something the PC cannot read fails here before it confuses an end-to-end test.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "comm/operate_character.h"
#include "comm/protocol.h"
#include "comm/raw_frame.h"
#include "store/value_format.h"
#include "tests/support/hex.h"
#include "tools/devicesim/sim_options.h"
#include "tools/devicesim/simulator.h"
#include "tools/devicesim/tftp_fetch.h"

namespace pontiq::sim {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
using TimePoint = DeviceSimulator::TimePoint;

const Ipv4Address kPc = {10, 99, 0, 1};
const Endpoint kPcCommand{kPc, kPortCommand};

struct Sent {
    Endpoint from;
    Endpoint to;
    Bytes bytes;
    int transfer = -1;  // the TFTP socket it left through, or -1

    uint16_t Type() const { return DecodeHeader(bytes)->msg_type; }
};

class RecordingTransport final : public SimTransport {
public:
    void Send(const Endpoint& from, const Endpoint& to, std::span<const uint8_t> bytes) override
    {
        sent.push_back({from, to, Bytes(bytes.begin(), bytes.end())});
    }
    int OpenTransfer(const Ipv4Address& local) override
    {
        transferLocal[nextHandle] = local;
        open.insert(nextHandle);
        return nextHandle++;
    }
    void SendTransfer(int handle, const Endpoint& to, std::span<const uint8_t> bytes) override
    {
        sent.push_back({Endpoint{transferLocal[handle], 0}, to, Bytes(bytes.begin(), bytes.end()), handle});
    }
    void CloseTransfer(int handle) override { open.erase(handle); }
    void AddressChanged(const Ipv4Address& from, const Ipv4Address& to) override
    {
        moves.push_back({from, to});
    }

    // Takes what was sent since the last call.
    std::vector<Sent> Take()
    {
        std::vector<Sent> out;
        out.swap(sent);
        return out;
    }

    std::vector<Sent> sent;
    std::map<int, Ipv4Address> transferLocal;
    std::set<int> open;
    std::vector<std::pair<Ipv4Address, Ipv4Address>> moves;
    int nextHandle = 100;
};

SimOptions Options(int count)
{
    SimOptions o;
    o.count = count;
    o.seed = 7;
    o.shortFormPercent = 0;
    o.heartbeatMs = 1000;
    o.applyMs = 500;
    o.restartMs = 2000;
    o.surveyMs = 100;
    o.flashMs = 300;
    return o;
}

class SimulatorTest : public ::testing::Test {
protected:
    void Make(const SimOptions& options) { sim_ = std::make_unique<DeviceSimulator>(options, net_, now_); }

    void Advance(std::chrono::milliseconds by)
    {
        // Step by the simulator's own deadlines, as the event loop does.
        const TimePoint end = now_ + by;
        while (auto next = sim_->NextDue()) {
            if (*next > end) break;
            now_ = std::max(now_, *next);
            sim_->RunDue(now_);
        }
        now_ = end;
        sim_->RunDue(now_);
    }

    const SimDevice& Device(size_t i) const { return sim_->Devices()[i]; }
    MacAddress Mac(size_t i) const { return Device(i).setup.mac; }

    void Command(size_t device, uint16_t type, const Bytes& payload = {})
    {
        sim_->OnCommand(now_, kPcCommand, *BuildCommand(type, payload, Mac(device)));
    }

    // The single reply a command got; its result byte.
    std::optional<uint8_t> OnlyResult(uint16_t type)
    {
        const auto sent = net_.Take();
        if (sent.size() != 1 || sent[0].Type() != type) {
            ADD_FAILURE() << "expected one reply of type " << type << ", got " << sent.size() << " datagrams";
            return std::nullopt;
        }
        EXPECT_EQ(sent[0].to, (Endpoint{kPc, kPortCommandReply}));
        return DecodeResultByte(sent[0].bytes);
    }

    template <typename T>
    static Bytes Payload(const T& value)
    {
        const auto b = AsBytes(value);
        return Bytes(b.begin(), b.end());
    }

    RecordingTransport net_;
    TimePoint now_ = TimePoint{} + 1000h;
    std::unique_ptr<DeviceSimulator> sim_;
};

// ---- Discovery and the record ----

TEST_F(SimulatorTest, EveryDeviceAnswersDiscoveryFromItsOwnAddressInItsOwnForm)
{
    SimOptions o = Options(40);
    o.shortFormPercent = 50;
    Make(o);
    sim_->OnDiscoveryRequest(now_, {kPc, kPortDiscoveryRequest}, BuildDiscoveryRequest());
    const auto sent = net_.Take();
    ASSERT_EQ(sent.size(), 40u);
    std::set<std::string> sources;
    int shortForms = 0;
    for (size_t i = 0; i < sent.size(); ++i) {
        const SimDevice& d = Device(i);
        const Sent& s = sent[i];
        EXPECT_EQ(s.from, (Endpoint{d.ip, kPortDiscoveryRequest}));
        EXPECT_EQ(s.to, (Endpoint{kPc, kPortDiscoveryReply}));
        ASSERT_TRUE(Accept(kPortDiscoveryReply, s.bytes));
        const auto header = DecodeHeader(s.bytes);
        EXPECT_EQ(header->type_code, d.record.ap_type);
        EXPECT_TRUE(std::equal(d.setup.mac.begin(), d.setup.mac.end(), header->mac));
        const auto reply = DecodeDiscoveryReply(s.bytes);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->long_form, !d.setup.shortForm);
        EXPECT_EQ(s.bytes.size(),
                  kHeaderSize + (d.setup.shortForm ? kDiscoverReplyShort : kDiscoverReplyLong));
        EXPECT_EQ(FieldText(reply->fields.version, reply->fields.version_len),
                  FieldText(d.record.version, d.record.version_len));
        if (reply->long_form) {
            EXPECT_EQ(FieldText(reply->fields.ap_name, reply->fields.ap_name_len),
                      FieldText(d.record.ap_name, d.record.ap_name_len));
            EXPECT_EQ(uint32_t{reply->fields.up_time}, sim_->UpTime(d, now_));  // packed: compare a copy
            EXPECT_EQ(reply->fields.channel, d.record.radio_block.channel);
            EXPECT_EQ(reply->fields.tdmaEn, d.record.extension_block.tdmaEn);
        }
        shortForms += d.setup.shortForm;
        sources.insert(IpText(s.from.ip));
    }
    EXPECT_EQ(sources.size(), 40u);
    EXPECT_GT(shortForms, 5);
    EXPECT_LT(shortForms, 35);
}

TEST_F(SimulatorTest, RecordReplyIsTheRecordBodyAndDumpShowsTheSameBytes)
{
    Make(Options(3));
    Advance(5s);
    Command(2, MSG_GET_INFO);
    const auto sent = net_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].from, (Endpoint{Device(2).ip, kPortCommand}));
    EXPECT_EQ(sent[0].to, (Endpoint{kPc, kPortCommandReply}));
    ASSERT_EQ(sent[0].bytes.size(), kHeaderSize + kRecordBody);
    const auto record = DecodeDeviceRecord(sent[0].bytes);
    ASSERT_TRUE(record);
    const ap_info_stu expected = sim_->CurrentRecord(Device(2), now_);
    EXPECT_EQ(std::memcmp(&*record, &expected, sizeof(expected)), 0);
    EXPECT_EQ(record->up_time, Device(2).setup.upTimeAtStart + 5);

    const std::string dump = sim_->Control(now_, "dump " + MacText(Mac(2)));
    const std::string prefix = "RECORD " + MacText(Mac(2)) + " " + IpText(Device(2).ip) + " ";
    ASSERT_TRUE(dump.starts_with(prefix)) << dump;
    std::string hex;
    for (uint8_t b : AsBytes(expected)) {
        char two[3];
        std::snprintf(two, sizeof(two), "%02x", b);
        hex += two;
    }
    EXPECT_EQ(dump, prefix + hex + "\nEND\n");
}

TEST_F(SimulatorTest, CommandsForAnotherMacAndBrokenDatagramsAreIgnored)
{
    Make(Options(2));
    sim_->OnCommand(now_, kPcCommand, *BuildCommand(MSG_REBOOT, {}, MacAddress{0x02, 0x5a, 0, 0, 0, 9}));
    sim_->OnCommand(now_, kPcCommand, Bytes{0x86, 0x19, 0, 0});  // shorter than a header
    Bytes bigEndian = *BuildCommand(MSG_GET_INFO, {}, Mac(0));
    std::swap(bigEndian[0], bigEndian[1]);
    sim_->OnCommand(now_, kPcCommand, bigEndian);
    Advance(5s);
    EXPECT_TRUE(net_.Take().empty());
    EXPECT_EQ(sim_->Stats().foreignCommands, 1u);
    EXPECT_EQ(sim_->Stats().malformed, 2u);
    EXPECT_EQ(sim_->Stats().restarts, 0u);
}

// ---- Settings commands: one table, the effect and the refusal of a short payload ----

TEST_F(SimulatorTest, SettingsCommandsTakeEffectAndShortPayloadsAreRefused)
{
    struct Case {
        const char* name;
        uint16_t type;
        std::function<Bytes(const ap_info_stu&)> payload;
        std::function<void(const ap_info_stu& before, const ap_info_stu& after)> check;
    };
    const std::vector<Case> cases = {
        {"name", MSG_SET_NAME, [](const ap_info_stu&) { return Payload(MakeNamePayload("北门-3")); },
         [](const ap_info_stu&, const ap_info_stu& r) {
             EXPECT_EQ(FieldText(r.ap_name, r.ap_name_len), "北门-3");
         }},
        {"wireless with radio extension", MSG_SET_WIRELESS,
         [](const ap_info_stu& r) {
             RADIO_BLOCK radio = r.radio_block;
             radio.channel = 149;
             radio.tx_power = 17;
             radio.security.ssid_len = SetFieldText(radio.security.ssid, "Link-B");
             std::memset(radio.security.ssid_mac, 0xAB, 6);  // the radio's own MAC cannot be set
             RADIO_EXTENSION ext{};
             ext.wl_dfs = static_cast<uint8_t>(!r.extension_block.wl_dfs);
             return WirelessPayload(25, radio, ext);  // 25 is in list W: 344 bytes
         },
         [](const ap_info_stu& before, const ap_info_stu& r) {
             EXPECT_EQ(r.radio_block.channel, 149);
             EXPECT_EQ(r.radio_block.tx_power, 17);
             EXPECT_EQ(FieldText(r.radio_block.security.ssid, r.radio_block.security.ssid_len), "Link-B");
             EXPECT_EQ(std::memcmp(r.radio_block.security.ssid_mac, before.radio_block.security.ssid_mac, 6),
                       0);
             EXPECT_NE(r.extension_block.wl_dfs, before.extension_block.wl_dfs);
         }},
        {"timed reboot", MSG_SET_TIMED_REBOOT,
         [](const ap_info_stu&) {
             return Payload(REBOOT_BLOCK{1, 0x41, 3 * 60 + 30});
         },
         [](const ap_info_stu&, const ap_info_stu& r) {
             EXPECT_EQ(r.reboot_block.restart_en, 1);
             EXPECT_EQ(r.reboot_block.restart_type, 0x41);
             EXPECT_EQ(r.reboot_block.restart_time, 210);
         }},
        {"transparent bridge", MSG_SET_TRANSPARENT_BRIDGE,
         [](const ap_info_stu& r) {
             EXTENSION_BLOCK e{};
             e.bridge_transparent = static_cast<uint8_t>(!r.extension_block.bridge_transparent);
             return Payload(e);
         },
         [](const ap_info_stu& before, const ap_info_stu& r) {
             EXPECT_NE(r.extension_block.bridge_transparent, before.extension_block.bridge_transparent);
             EXPECT_EQ(r.extension_block.tdmaEn, before.extension_block.tdmaEn);
         }},
        {"kelvra", MSG_SET_KELVRA,
         [](const ap_info_stu& r) {
             EXTENSION_BLOCK e{};
             e.tdmaEn = static_cast<uint8_t>(!r.extension_block.tdmaEn);
             return Payload(e);
         },
         [](const ap_info_stu& before, const ap_info_stu& r) {
             EXPECT_NE(r.extension_block.tdmaEn, before.extension_block.tdmaEn);
             EXPECT_EQ(r.extension_block.bridge_transparent, before.extension_block.bridge_transparent);
         }},
        {"bridge", MSG_SET_BRIDGE,
         [](const ap_info_stu& r) {
             BRIDGE_PAYLOAD b{};
             b.security.work_mode = 2;
             std::memset(b.security.ap_mac, 0x0E, 6);
             b.security.channel = 44;
             b.security.ssid_len = SetFieldText(b.security.ssid, "主干-AP");
             b.ip_block = r.ip_block;  // the wizard shows the current settings
             return Payload(b);
         },
         [](const ap_info_stu& before, const ap_info_stu& r) {
             EXPECT_EQ(r.work_mode, 2);
             EXPECT_EQ(r.bridge_work_mode, 2);
             EXPECT_EQ(r.bridge_mac[5], 0x0E);
             EXPECT_EQ(r.bridge_channel, 44);
             EXPECT_EQ(FieldText(r.bridge_ssid, r.bridge_ssid_len), "主干-AP");
             EXPECT_EQ(std::memcmp(r.ip_block.ip, before.ip_block.ip, 4), 0);
         }},
    };
    SimOptions o = Options(1);
    o.types = {25};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Make(o);
        const ap_info_stu before = Device(0).record;
        const Bytes payload = c.payload(before);

        Command(0, c.type, Bytes(payload.begin(), payload.begin() + static_cast<long>(payload.size() / 2)));
        EXPECT_EQ(OnlyResult(c.type), 1) << "a short payload is refused";
        EXPECT_EQ(std::memcmp(&Device(0).record, &before, sizeof(before)), 0);

        Command(0, c.type, payload);
        EXPECT_EQ(OnlyResult(c.type), 0);
        Advance(2s);
        c.check(before, Device(0).record);
        // The payload as received, for tests that check the PC's bytes at the device.
        const std::string last =
            sim_->Control(now_, "payload " + MacText(Mac(0)) + " " + std::to_string(c.type));
        ASSERT_TRUE(last.starts_with("PAYLOAD ")) << last;
        EXPECT_EQ(pontiq::test::FromHex(last.substr(8, last.find('\n') - 8)), payload);

        // A test may make the device refuse: it answers the forced byte and keeps its settings.
        Make(o);
        EXPECT_EQ(sim_->Control(now_, "result " + MacText(Mac(0)) + " " + std::to_string(c.type) + " 3"),
                  "OK\nEND\n");
        Command(0, c.type, payload);
        EXPECT_EQ(OnlyResult(c.type), 3);
        Advance(2s);
        EXPECT_EQ(std::memcmp(&Device(0).record, &before, sizeof(before)), 0);
    }
}

TEST_F(SimulatorTest, SetIpRepliesFromTheOldAddressAndMovesAfterTheApplyDelay)
{
    Make(Options(2));
    const Ipv4Address old = Device(1).ip;
    IP_BLOCK block = Device(1).record.ip_block;
    block.ip[2] = 20;
    block.ip[3] = 77;
    block.apply = 1;
    Command(1, MSG_SET_IP, Payload(block));
    auto sent = net_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].from.ip, old);
    EXPECT_EQ(DecodeResultByte(sent[0].bytes), 0);

    Advance(400ms);
    EXPECT_EQ(Device(1).ip, old);
    Advance(200ms);
    const Ipv4Address moved = {10, 99, 20, 77};
    EXPECT_EQ(Device(1).ip, moved);
    EXPECT_EQ(Device(1).record.ip_block.ip[3], 77);
    EXPECT_EQ(Device(1).record.ip_block.apply, 0);
    ASSERT_EQ(net_.moves.size(), 1u);
    EXPECT_EQ(net_.moves[0], std::make_pair(old, moved));

    Command(1, MSG_GET_INFO);
    sent = net_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].from.ip, moved);

    // An address no device can hold is refused and changes nothing.
    std::memset(block.ip, 255, 4);
    Command(1, MSG_SET_IP, Payload(block));
    EXPECT_EQ(OnlyResult(MSG_SET_IP), 1);
    Advance(2s);
    EXPECT_EQ(Device(1).ip, moved);
}

TEST_F(SimulatorTest, RebootAndRestoreGoSilentThenComeBackWithAFreshUpTime)
{
    struct Case {
        uint16_t type;
        bool backToFactory;
    };
    for (const Case c : {Case{MSG_REBOOT, false}, Case{MSG_RESTORE, true}, Case{MSG_SET_VLAN, false}}) {
        SCOPED_TRACE(c.type);
        Make(Options(2));
        Command(0, MSG_SET_NAME, Payload(MakeNamePayload("changed")));
        IP_BLOCK block = Device(0).record.ip_block;
        block.ip[3] = 200;
        Command(0, MSG_SET_IP, Payload(block));
        Advance(1s);
        net_.Take();
        ASSERT_EQ(Device(0).ip[3], 200);

        Command(0, c.type, c.type == MSG_SET_VLAN ? Payload(Device(0).record.vlan_block) : Bytes{});
        EXPECT_EQ(OnlyResult(c.type), 0);
        Command(0, c.type,
                c.type == MSG_SET_VLAN ? Payload(Device(0).record.vlan_block) : Bytes{});  // a repeat
        EXPECT_EQ(OnlyResult(c.type), 0);
        Advance(300ms);
        EXPECT_TRUE(Device(0).restarting);
        sim_->OnDiscoveryRequest(now_, {kPc, kPortDiscoveryRequest}, BuildDiscoveryRequest());
        Command(0, MSG_GET_INFO);
        auto sent = net_.Take();
        ASSERT_EQ(sent.size(), 1u) << "only the other device answers while it restarts";
        EXPECT_EQ(sent[0].from.ip, Device(1).ip);

        Advance(2s);
        EXPECT_FALSE(Device(0).restarting);
        EXPECT_EQ(Device(0).restarts, 1u);
        EXPECT_EQ(sim_->UpTime(Device(0), now_), 0u);
        Advance(3s);
        EXPECT_EQ(sim_->UpTime(Device(0), now_), 3u);
        const ap_info_stu& r = Device(0).record;
        if (c.backToFactory) {
            EXPECT_EQ(std::memcmp(&r, &Device(0).setup.record, sizeof(r)), 0);
            EXPECT_EQ(Device(0).ip, Device(0).setup.ip);
        } else {
            EXPECT_EQ(FieldText(r.ap_name, r.ap_name_len), "changed");
            EXPECT_EQ(Device(0).ip[3], 200);
        }
        EXPECT_FALSE(Device(0).discovered) << "a restarted device waits to be discovered again";
    }
}

TEST_F(SimulatorTest, SiteSurveyComesInPagesOfAtMost32AccessPoints)
{
    struct Case {
        int aps;
        std::vector<size_t> pages;
    };
    for (const Case& c : {Case{70, {32, 32, 6}}, Case{32, {32}}, Case{0, {0}}}) {
        SCOPED_TRACE(c.aps);
        SimOptions o = Options(2);
        o.surveyAps = c.aps;
        Make(o);
        Command(1, MSG_SITE_SURVEY);
        EXPECT_TRUE(net_.Take().empty()) << "the device scans first";
        Advance(150ms);
        const auto sent = net_.Take();
        ASSERT_EQ(sent.size(), c.pages.size());
        const auto expected = MakeSurvey(o, 1, nullptr);
        size_t k = 0;
        for (size_t p = 0; p < sent.size(); ++p) {
            const auto page = DecodeSurveyPage(sent[p].bytes);
            ASSERT_TRUE(page);
            EXPECT_FALSE(page->icount_mended);
            EXPECT_EQ(page->header.packet_count, c.pages.size());
            EXPECT_EQ(page->header.packet_id, p);
            ASSERT_EQ(page->entries.size(), c.pages[p]);
            EXPECT_EQ(page->IsLastPage(), p + 1 == sent.size());
            for (const config_otherwl_basic& e : page->entries) {
                EXPECT_EQ(std::memcmp(&e, &expected[k++], sizeof(e)), 0);
            }
        }
        EXPECT_EQ(k, static_cast<size_t>(c.aps));
    }
}

TEST_F(SimulatorTest, HeartbeatsFollowTheAcknowledgementAndStopAtRelease)
{
    Make(Options(1));
    Advance(5s);
    EXPECT_TRUE(net_.Take().empty()) << "no heartbeats before the PC has acknowledged the device";

    Command(0, MSG_DISCOVER);  // the acknowledgement
    Advance(3100ms);
    auto sent = net_.Take();
    ASSERT_GE(sent.size(), 3u);
    ASSERT_LE(sent.size(), 4u);
    uint32_t last = 0;
    for (const Sent& s : sent) {
        EXPECT_EQ(s.to, (Endpoint{kPc, kPortCommand}));
        ASSERT_TRUE(Accept(kPortCommand, s.bytes));
        const auto beat = DecodeHeartbeat(s.bytes);
        EXPECT_GE(beat->up_time, last);
        last = beat->up_time;
        EXPECT_EQ(FieldText(beat->version, beat->version_len),
                  FieldText(Device(0).record.version, Device(0).record.version_len));
    }
    EXPECT_LE(last, sim_->UpTime(Device(0), now_));
    Command(0, MSG_HEARTBEAT);
    EXPECT_EQ(Device(0).heartbeatAcks, 1u);

    Command(0, MSG_RELEASE);
    Advance(5s);
    EXPECT_TRUE(net_.Take().empty());
}

TEST_F(SimulatorTest, RawDiscoveryFrameIsAnsweredOnlyByItsTargetAndOnlyWhenItsChecksumsHold)
{
    Make(Options(5));
    const MacAddress adapter = {0x02, 0x99, 0, 0, 0, 1};
    const Ipv4Address broadcast = {10, 99, 31, 255};
    RawFrame frame = BuildRawDiscoveryFrame(Mac(3), adapter, kPc, broadcast);
    sim_->OnRawFrame(now_, frame);
    auto sent = net_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].from.ip, Device(3).ip);
    EXPECT_EQ(sent[0].to, (Endpoint{kPc, kPortDiscoveryReply}));
    const MacAddress target = Mac(3);
    EXPECT_TRUE(std::equal(target.begin(), target.end(), DecodeHeader(sent[0].bytes)->mac));

    const RawFrame foreign = BuildRawDiscoveryFrame({0x02, 0x5a, 0, 0, 0, 0x77}, adapter, kPc, broadcast);
    sim_->OnRawFrame(now_, foreign);
    EXPECT_TRUE(net_.Take().empty());

    struct Corruption {
        const char* what;
        size_t offset;
    };
    for (const Corruption c : {Corruption{"IPv4 header", 22}, Corruption{"UDP payload", 50}}) {
        RawFrame bad = frame;
        bad[c.offset] ^= 0x01;
        sim_->OnRawFrame(now_, bad);
        EXPECT_TRUE(net_.Take().empty()) << c.what;
    }
    EXPECT_EQ(sim_->Stats().rawBadChecksum, 2u);
    EXPECT_EQ(Device(3).rawAnswers, 1u);
    sim_->OnRawFrame(now_, std::span<const uint8_t>(frame).first(40));  // cut short
    EXPECT_TRUE(net_.Take().empty());
}

// ---- Firmware upgrade over TFTP ----

Bytes Data(uint16_t block, const Bytes& content)
{
    const size_t from = std::min(content.size(), (static_cast<size_t>(block) - 1) * kTftpBlock);
    const size_t n = std::min(content.size() - from, kTftpBlock);
    Bytes out(4 + n);
    out[1] = 3;
    out[2] = static_cast<uint8_t>(block >> 8);
    out[3] = static_cast<uint8_t>(block);
    std::copy_n(content.data() + from, n, out.data() + 4);
    return out;
}

TEST_F(SimulatorTest, UpgradeFetchesTheFileByTftpReportsWaitAndFlashesOnStart)
{
    Make(Options(2));
    Bytes firmware(1300);
    for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<uint8_t>(i * 7);
    const auto request = *MakeUpgradePayload("fw_3.1.bin", static_cast<uint32_t>(firmware.size()));
    Command(1, MSG_UPGRADE, Payload(request));
    auto sent = net_.Take();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(DecodeResultByte(sent[0].bytes), 0);
    const Sent& rrq = sent[1];
    EXPECT_EQ(rrq.to, (Endpoint{kPc, 69}));
    EXPECT_EQ(net_.transferLocal[rrq.transfer], Device(1).ip);
    const std::string expectedRrq("\0\1fw_3.1.bin\0octet\0", 19);
    EXPECT_EQ(std::string(rrq.bytes.begin(), rrq.bytes.end()), expectedRrq);

    // A repeat of MSG_UPGRADE (our reply was lost) does not start a second transfer.
    Command(1, MSG_UPGRADE, Payload(request));
    EXPECT_EQ(OnlyResult(MSG_UPGRADE), 0);

    const Endpoint server{kPc, 40000};
    const int handle = rrq.transfer;
    auto acks = [&] {
        std::vector<uint16_t> blocks;
        for (const Sent& s : net_.Take()) {
            if (s.transfer == handle && s.bytes.size() == 4 && s.bytes[1] == 4) {
                EXPECT_EQ(s.to, server);
                blocks.push_back(static_cast<uint16_t>(s.bytes[2] << 8 | s.bytes[3]));
            }
        }
        return blocks;
    };
    sim_->OnTransferDatagram(now_, handle, server, Data(1, firmware));
    sim_->OnTransferDatagram(now_, handle, server, Data(1, firmware));  // repeated: our ACK was lost
    EXPECT_EQ(acks(), (std::vector<uint16_t>{1, 1}));
    sim_->OnTransferDatagram(now_, handle, {kPc, 40001}, Data(2, firmware));  // another transfer id
    const auto refusal = net_.Take();
    ASSERT_EQ(refusal.size(), 1u);
    EXPECT_EQ(refusal[0].to, (Endpoint{kPc, 40001}));
    EXPECT_EQ(refusal[0].bytes[1], 5) << "an ERROR packet";
    sim_->OnTransferDatagram(now_, handle, server, Data(2, firmware));
    sim_->OnTransferDatagram(now_, handle, server, Data(3, firmware));
    sent = net_.Take();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[2].Type(), MSG_UPGRADE_STATUS);
    EXPECT_EQ(DecodeResultByte(sent[2].bytes), 0) << "fetched: waiting for the start";
    EXPECT_EQ(Device(1).upgrade, UpgradePhase::Waiting);
    EXPECT_EQ(Device(1).upgradeBytes, firmware.size());
    EXPECT_EQ(Device(1).upgradeCrc, ~Crc32Update(0xFFFFFFFFu, firmware));
    Advance(1500ms);
    EXPECT_EQ(net_.open.count(handle), 0u) << "the socket goes once the last ACK has lingered";

    Command(1, MSG_UPGRADE_START);
    EXPECT_EQ(OnlyResult(MSG_UPGRADE_START), 0);
    Advance(300ms);
    sent = net_.Take();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].Type(), MSG_UPGRADE_STATUS);
    EXPECT_EQ(DecodeResultByte(sent[0].bytes), 2) << "success";
    EXPECT_EQ(FieldText(Device(1).record.version, Device(1).record.version_len), "fw_3.1");
    Advance(300ms);
    EXPECT_TRUE(Device(1).restarting);

    // A start without a fetched file is refused.
    Command(0, MSG_UPGRADE_START);
    EXPECT_EQ(OnlyResult(MSG_UPGRADE_START), 1);
}

TEST_F(SimulatorTest, UpgradeFailsWhenTheServerIsSilentErrsOrSendsTheWrongSize)
{
    struct Case {
        const char* what;
        std::function<void(DeviceSimulator&, TimePoint&, int handle)> serve;
    };
    const Bytes small(100, 0x42);
    const std::vector<Case> cases = {
        {"silent server", [](DeviceSimulator&, TimePoint&, int) {}},
        {"error packet",
         [](DeviceSimulator& sim, TimePoint& now, int handle) {
             sim.OnTransferDatagram(now, handle, {kPc, 40000}, TftpFetch::ErrorPacket(1, "File not found"));
         }},
        {"size differs from the request",
         [&](DeviceSimulator& sim, TimePoint& now, int handle) {
             sim.OnTransferDatagram(now, handle, {kPc, 40000}, Data(1, small));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Make(Options(1));
        Command(0, MSG_UPGRADE, Payload(*MakeUpgradePayload("image.bin", 4096)));
        const auto sent = net_.Take();
        ASSERT_EQ(sent.size(), 2u);
        c.serve(*sim_, now_, sent[1].transfer);
        Advance(8s);
        int rrqs = 1;
        std::optional<uint8_t> status;
        for (const Sent& s : net_.Take()) {
            if (s.transfer >= 0 && s.bytes[1] == 1) ++rrqs;
            if (s.transfer < 0 && s.Type() == MSG_UPGRADE_STATUS) status = DecodeResultByte(s.bytes);
        }
        EXPECT_EQ(status, 1);
        EXPECT_EQ(Device(0).upgrade, UpgradePhase::Failed);
        if (std::string_view(c.what) == "silent server") {
            EXPECT_EQ(rrqs, 1 + TftpFetch::kMaxRetransmits);
        }
        EXPECT_TRUE(net_.open.empty());
    }
}

// ---- Faults ----

TEST_F(SimulatorTest, FaultsLoseDuplicateDelayOrSilenceWhatDevicesSend)
{
    struct Case {
        const char* what;
        std::function<void(SimOptions&)> set;
        size_t now;    // datagrams sent at once for 10 devices
        size_t later;  // and after a second more
    };
    const std::vector<Case> cases = {
        {"loss 100%", [](SimOptions& o) { o.lossPercent = 100; }, 0, 0},
        {"dup 100%", [](SimOptions& o) { o.dupPercent = 100; }, 20, 0},
        {"delay 300 ms", [](SimOptions& o) { o.delayMs = 300; }, 0, 10},
        {"3 silent devices", [](SimOptions& o) { o.silentCount = 3; }, 7, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimOptions o = Options(10);
        c.set(o);
        Make(o);
        sim_->OnDiscoveryRequest(now_, {kPc, kPortDiscoveryRequest}, BuildDiscoveryRequest());
        EXPECT_EQ(net_.Take().size(), c.now);
        Advance(1s);
        EXPECT_EQ(net_.Take().size(), c.later);
    }
    Make(Options(10));
    EXPECT_EQ(sim_->Control(now_, "silence " + MacText(Mac(4))), "OK\nEND\n");
    sim_->OnDiscoveryRequest(now_, {kPc, kPortDiscoveryRequest}, BuildDiscoveryRequest());
    EXPECT_EQ(net_.Take().size(), 9u);
    EXPECT_EQ(sim_->Control(now_, "wake all"), "OK\nEND\n");
    EXPECT_EQ(sim_->Control(now_, "fault loss 100"), "OK\nEND\n");
    sim_->OnDiscoveryRequest(now_, {kPc, kPortDiscoveryRequest}, BuildDiscoveryRequest());
    EXPECT_EQ(net_.Take().size(), 0u);
}

// ---- The device set ----

size_t CompleteUtf8(std::string_view s)
{
    size_t i = s.size();
    size_t back = 0;
    while (i > 0 && back < 3 && (static_cast<uint8_t>(s[i - 1]) & 0xC0) == 0x80) --i, ++back;
    if (i == 0) return s.size();
    const uint8_t lead = static_cast<uint8_t>(s[i - 1]);
    const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return need > back + 1 ? i - 1 : s.size();
}

TEST(DeviceSet, IsVariedUniqueAndTheSameForOneSeed)
{
    SimOptions o = Options(kMaxDevices);
    o.shortFormPercent = 20;
    o.bridgedPair = true;
    o.conflict = true;
    const auto devices = MakeDevices(o);
    ASSERT_EQ(devices.size(), 5000u);
    std::set<std::string> macs, ips, types, bands;
    int cutInsideCharacter = 0, chinese = 0, shortForms = 0, exactly32 = 0;
    for (const DeviceSpec& d : devices) {
        macs.insert(MacText(d.mac));
        ips.insert(IpText(d.ip));
        types.insert(std::to_string(d.record.ap_type));
        bands.insert(std::to_string(d.record.radio_block.rf_type));
        EXPECT_EQ(CText(d.record.mac), MacText(d.mac));
        EXPECT_EQ(std::memcmp(d.record.ip_block.ip, d.ip.data(), 4), 0);
        const std::string_view name = FieldText(d.record.ap_name, d.record.ap_name_len);
        cutInsideCharacter += CompleteUtf8(name) < name.size();
        chinese += name.find("\xE5") != std::string_view::npos || name.find("\xE4") != std::string_view::npos;
        exactly32 += name.size() == 32 && CompleteUtf8(name) == 32;
        shortForms += d.shortForm;
    }
    EXPECT_EQ(macs.size(), 5000u);
    EXPECT_EQ(ips.size(), 4999u) << "the last device shares the first one's address";
    EXPECT_EQ(IpText(devices.back().ip), IpText(devices[0].ip));
    EXPECT_EQ(IpText(devices[4998].ip), "10.99.19.144");
    EXPECT_GT(types.size(), 40u);
    EXPECT_EQ(bands.size(), 2u);
    EXPECT_GT(cutInsideCharacter, 1000);
    EXPECT_GT(chinese, 1500);
    EXPECT_GT(exactly32, 500);
    EXPECT_NEAR(shortForms, 1000, 150);

    const ap_info_stu& ap = devices[0].record;
    const ap_info_stu& station = devices[1].record;
    EXPECT_EQ(ap.work_mode, 1);
    EXPECT_EQ(station.work_mode, 2);
    EXPECT_EQ(std::memcmp(station.bridge_mac, ap.radio_block.security.ssid_mac, 6), 0);
    const auto seen = MakeSurvey(o, 1, &ap);
    EXPECT_EQ(std::memcmp(seen[0].mac, ap.radio_block.security.ssid_mac, 6), 0);

    const auto again = MakeDevices(o);
    for (size_t i = 0; i < devices.size(); i += 97) {
        EXPECT_EQ(std::memcmp(&devices[i].record, &again[i].record, sizeof(ap_info_stu)), 0);
    }
    o.seed = 8;
    EXPECT_NE(std::memcmp(&MakeDevices(o)[5].record, &devices[5].record, sizeof(ap_info_stu)), 0);
}

TEST(Options, BadValuesAreRefusedWithTheirReason)
{
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {{"--count", "0"}, "count"},
        {{"--count", "5001"}, "count"},
        {{"--count", "12x"}, "count"},
        {{"--first-ip", "10.99.0.256"}, "first-ip"},
        {{"--first-ip", "10.99.00.1"}, "first-ip"},
        {{"--count", "5000", "--first-ip", "10.99.16.0"}, "do not fit"},
        {{"--first-ip", "10.99.0.0"}, "do not fit"},
        {{"--loss", "101"}, "loss"},
        {{"--mac-base", "02:5a:00:00:00"}, "mac-base"},
        {{"--types", "14,999"}, "999"},
        {{"--silent", "11"}, "silent"},
        {{"--count", "1", "--conflict"}, "two devices"},
        {{"--frobnicate"}, "unknown option"},
        {{"--count"}, "needs a value"},
        {{"--config", "/nonexistent/sim.conf"}, "cannot read"},
    };
    for (const Case& c : cases) {
        const ParseResult r = ParseOptions(c.args);
        EXPECT_FALSE(r.options) << c.args[0];
        EXPECT_NE(r.message.find(c.reason), std::string::npos) << r.message;
    }
    const ParseResult ok =
        ParseOptions({"--count=300", "--loss", "20%", "--types", "14,25", "--bridged-pair"});
    ASSERT_TRUE(ok.options) << ok.message;
    EXPECT_EQ(ok.options->count, 300);
    EXPECT_DOUBLE_EQ(ok.options->lossPercent, 20);
    EXPECT_EQ(ok.options->types, (std::vector<uint16_t>{14, 25}));
    EXPECT_TRUE(ok.options->bridgedPair);
}

TEST(Options, ConfigFileLinesAreOptionsAndCommandLineOrderDecides)
{
    const std::string path =
        std::filesystem::temp_directory_path() / ("devicesim_test_" + std::to_string(getpid()));
    {
        std::ofstream f(path);
        f << "# a demo set\ncount = 42\nseed 9\n\nsilent-mac=02:5a:00:00:00:03\nbridged-pair\n";
    }
    const ParseResult r = ParseOptions({"--config", path, "--seed", "11"});
    std::filesystem::remove(path);
    ASSERT_TRUE(r.options) << r.message;
    EXPECT_EQ(r.options->count, 42);
    EXPECT_EQ(r.options->seed, 11u);
    ASSERT_EQ(r.options->silentMacs.size(), 1u);
    EXPECT_TRUE(r.options->bridgedPair);
    EXPECT_TRUE(MakeDevices(*r.options)[2].silent);
}

TEST_F(SimulatorTest, ControlCommandsAnswerOrExplain)
{
    Make(Options(3));
    struct Case {
        const char* line;
        const char* starts;
    };
    for (const Case c :
         {Case{"stats", "STATS devices=3 "}, Case{"list", "DEVICE 02:5a:00:00:00:01 10.99.0.10 "},
          Case{"state 02:5a:00:00:00:02", "STATE 02:5a:00:00:00:02 ip=10.99.0.11 "},
          Case{"survey 02:5a:00:00:00:02", "AP "}, Case{"dump 02:5a:00:00:00:09", "ERROR no device"},
          Case{"dump", "ERROR"}, Case{"bogus 02:5a:00:00:00:01", "ERROR unknown command"},
          Case{"result 02:5a:00:00:00:01 7 300", "ERROR usage"}, Case{"fault loss lots", "ERROR"},
          Case{"payload 02:5a:00:00:00:01 7", "NONE"}, Case{"payload 02:5a:00:00:00:01", "ERROR usage"},
          Case{"", "END"}}) {
        const std::string answer = sim_->Control(now_, c.line);
        EXPECT_TRUE(answer.starts_with(c.starts)) << c.line << " -> " << answer;
        EXPECT_TRUE(answer.ends_with("END\n")) << c.line;
    }
    EXPECT_FALSE(sim_->QuitRequested());
    sim_->Control(now_, "quit");
    EXPECT_TRUE(sim_->QuitRequested());
}

}  // namespace
}  // namespace pontiq::sim
