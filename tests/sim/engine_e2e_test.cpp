// The engine against simulated devices on the simulated LAN: what a search stores, what keeps a
// device current or lets it age out, and that each command reaches the device and comes back
// into the store as the windows will read it. Waits poll the store with a deadline.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/sim_fixture.h"

namespace pontiq::e2e {
namespace {

// The simulated LAN of run_e2e.sh: tools/simnet/simnet.sh defaults.
constexpr const char* kPcIp = "10.99.0.1";

std::string Text(const char* field, size_t n)
{
    return std::string(field, strnlen(field, n));
}

// Packets the loss filter dropped on the PC end of the link ("dropped N" in the qdisc statistics).
long DroppedOnPcLink()
{
    std::FILE* p = popen("tc -s qdisc show dev simpc0 2>/dev/null", "r");
    if (p == nullptr) return -1;
    long total = 0;
    char line[512];
    while (std::fgets(line, sizeof(line), p) != nullptr) {
        if (const char* at = std::strstr(line, "(dropped ")) total += std::atol(at + 9);
    }
    pclose(p);
    return total;
}

class EngineEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string reason = SkipReason();
        if (!reason.empty()) {
            std::fprintf(stderr, "*** E2E TEST SKIPPED: %s ***\n", reason.c_str());
            GTEST_SKIP() << "E2E TEST SKIPPED: " << reason;
        }
        char pattern[] = "/tmp/pontiq_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = engine_store::CreateStore(dir_);
    }

    void TearDown() override
    {
        engine_.reset();
        sim_.reset();
        store_.reset();
        if (lossSet_) RunCommand({PONTIQ_SIMNET, "loss", "-p", Prefix(), "0"});
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }

    void StartSim(std::vector<std::string> options)
    {
        sim_ = std::make_unique<SimProcess>(options);
        const std::string ready = sim_->WaitReady();
        ASSERT_FALSE(ready.empty()) << "devicesim did not start: " << sim_->error();
    }

    void StartEngine(std::chrono::milliseconds aging = 10s, int retryMax = 3, int retryIntervalMs = 500)
    {
        EngineOptions options;
        options.localEncoding = "UTF-8";
        options.agingPeriod = aging;
        engine_ = std::make_unique<CommEngine>(*store_, options);
        ASSERT_TRUE(engine_->Start(retryMax, retryIntervalMs));
        // The PC side of the LAN must be the engine's one usable adapter address.
        const auto addresses = engine_->AdapterAddresses();
        ASSERT_EQ(addresses.size(), 1u);
        ASSERT_EQ(CText(addresses[0].ip), kPcIp);
    }

    std::vector<std::string> StoredMacs()
    {
        std::vector<std::string> macs;
        engine_store::GetAllMacs(*store_, macs);
        return macs;
    }

    std::optional<ap_info_stu> Stored(const std::string& mac)
    {
        ap_info_stu r{};
        if (engine_store::GetDevice(*store_, r, mac) == 0) return std::nullopt;
        return r;
    }

    uint32_t StoredStatus(const std::string& mac) { return engine_store::GetDeviceStatus(*store_, mac); }

    // Searches until `count` devices are stored, discovering again every second as the status
    // page does every third.
    bool SearchUntilStored(size_t count, std::chrono::milliseconds timeout = kSearchPatience)
    {
        engine_->StartSearch(std::nullopt);
        auto last = Clock::now();
        return WaitUntil([&] { return StoredMacs().size() == count; }, timeout,
                         [&] {
                             if (Clock::now() - last > 1s) {
                                 engine_->Discover();
                                 last = Clock::now();
                             }
                         });
    }

    struct SimDevice {
        std::string mac;
        std::string ip;
        ap_info_stu record{};
    };

    std::vector<SimDevice> SimDevices()
    {
        std::vector<SimDevice> devices;
        for (const auto& d : sim_->List()) devices.push_back({d.mac, d.ip, SimRecord(d.mac)});
        return devices;
    }

    ap_info_stu SimRecord(const std::string& mac)
    {
        std::string why;
        const auto r = sim_->Dump(mac, &why);
        if (!r) ADD_FAILURE() << why << " of " << mac;
        return r.value_or(ap_info_stu{});
    }

    std::vector<config_otherwl_basic> SimSurvey(const std::string& mac)
    {
        std::vector<config_otherwl_basic> aps;
        for (const std::string& line : sim_->Command("survey " + mac)) {
            const auto bytes = FromHex(line.substr(3));
            config_otherwl_basic ap{};
            if (bytes && bytes->size() == sizeof(ap)) std::memcpy(&ap, bytes->data(), sizeof(ap));
            aps.push_back(ap);
        }
        return aps;
    }

    std::string SimState(const std::string& mac, const std::string& key)
    {
        return sim_->Fields("state " + mac)[key];
    }

    std::string dir_;
    std::shared_ptr<CSqlManagement> store_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<CommEngine> engine_;
    bool lossSet_ = false;
};

template <size_t N>
std::string_view Field(const char (&text)[N], uint8_t len)
{
    return FieldText(text, len);
}

// Every field the store keeps, compared with the record the device holds (texts as a UTF-8 PC
// reads them: a name the device cut inside a character loses the broken tail).
void ExpectStoredAsSent(const ap_info_stu& sent, const ap_info_stu& s)
{
    SCOPED_TRACE(Text(sent.mac, sizeof(sent.mac)));
    EXPECT_EQ(CText(s.mac), CText(sent.mac));
    EXPECT_EQ(s.ap_type, sent.ap_type);
    EXPECT_EQ(s.ap_status, STATUS_ONLINE);
    EXPECT_EQ(s.work_mode, sent.work_mode);
    EXPECT_EQ(s.mode_btn_status, sent.mode_btn_status);
    EXPECT_LE(s.up_time, sent.up_time);
    EXPECT_GE(s.up_time + 60, sent.up_time);
    EXPECT_EQ(s.ip_block.ip_mode, sent.ip_block.ip_mode);
    for (const auto& [a, b, what] : {std::tuple{s.ip_block.ip, sent.ip_block.ip, "ip"},
                                     std::tuple{s.ip_block.ip_mask, sent.ip_block.ip_mask, "mask"},
                                     std::tuple{s.ip_block.ip_gateway, sent.ip_block.ip_gateway, "gateway"},
                                     std::tuple{s.ip_block.ip_dns1, sent.ip_block.ip_dns1, "dns1"},
                                     std::tuple{s.ip_block.ip_dns2, sent.ip_block.ip_dns2, "dns2"},
                                     std::tuple{s.radio_block.security.wpa_radius_ip,
                                                sent.radio_block.security.wpa_radius_ip, "radius ip"}}) {
        EXPECT_EQ(IpText(std::span<const uint8_t, 4>(a, 4)), IpText(std::span<const uint8_t, 4>(b, 4)))
            << what;
    }
    EXPECT_EQ(Field(s.ap_name, s.ap_name_len), CompletePrefix(Field(sent.ap_name, sent.ap_name_len)));
    EXPECT_EQ(Field(s.version, s.version_len), Field(sent.version, sent.version_len));
    EXPECT_EQ(s.reboot_block.restart_en, sent.reboot_block.restart_en);
    EXPECT_EQ(s.reboot_block.restart_type, sent.reboot_block.restart_type);
    EXPECT_EQ(s.reboot_block.restart_time, sent.reboot_block.restart_time);

    const RADIO_BLOCK& r = s.radio_block;
    const RADIO_BLOCK& x = sent.radio_block;
    const uint8_t mine[] = {r.rf_count,     r.rf_en,        r.rf_type,      r.country_code,
                            r.network_mode, r.bandwidth,    r.channel,      r.expand_channel,
                            r.tx_power,     r.tx_power_min, r.tx_power_max, r.ssid_rf_type};
    const uint8_t theirs[] = {x.rf_count,     x.rf_en,        x.rf_type,      x.country_code,
                              x.network_mode, x.bandwidth,    x.channel,      x.expand_channel,
                              x.tx_power,     x.tx_power_min, x.tx_power_max, x.ssid_rf_type};
    for (size_t i = 0; i < std::size(mine); ++i) EXPECT_EQ(mine[i], theirs[i]) << "radio field " << i;

    const SECURITY_BLOCK& k = r.security;
    const SECURITY_BLOCK& y = x.security;
    EXPECT_EQ(k.ssid_id, y.ssid_id);
    EXPECT_EQ(k.ssid_hide, y.ssid_hide);
    EXPECT_EQ(MacText(std::span<const uint8_t, 6>(k.ssid_mac, 6)),
              MacText(std::span<const uint8_t, 6>(y.ssid_mac, 6)));
    EXPECT_EQ(Field(k.ssid, k.ssid_len), CompletePrefix(Field(y.ssid, y.ssid_len)));
    EXPECT_EQ(k.secure_mode, y.secure_mode);
    EXPECT_EQ(k.wpapsk_auth_type, y.wpapsk_auth_type);
    EXPECT_EQ(Field(k.wpapsk_key_value, k.wpapsk_key_value_len),
              Field(y.wpapsk_key_value, y.wpapsk_key_value_len));
    EXPECT_EQ(k.wpapsk_key_time, y.wpapsk_key_time);
    EXPECT_EQ(k.wep_auth_type, y.wep_auth_type);
    EXPECT_EQ(k.wep_key_index, y.wep_key_index);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(k.wep_key[i].type, y.wep_key[i].type) << "WEP key " << i;
        EXPECT_EQ(Field(k.wep_key[i].value, k.wep_key[i].len), Field(y.wep_key[i].value, y.wep_key[i].len))
            << "WEP key " << i;
    }
    EXPECT_EQ(k.wpa_radius_port, y.wpa_radius_port);
    EXPECT_EQ(k.wpa_auth_type, y.wpa_auth_type);
    EXPECT_EQ(Field(k.wpa_key, k.wpa_key_len), Field(y.wpa_key, y.wpa_key_len));
    EXPECT_EQ(k.wpa_key_time, y.wpa_key_time);
    EXPECT_EQ(k.ssid_count, y.ssid_count);

    const VLAN_BLOCK& v = s.vlan_block;
    const VLAN_BLOCK& w = sent.vlan_block;
    EXPECT_EQ(v.vlan_en, w.vlan_en);
    EXPECT_EQ(v.vlan_id, w.vlan_id);
    EXPECT_EQ(v.vlan_id_wlan, w.vlan_id_wlan);
    EXPECT_EQ(v.vlan_id_lan, w.vlan_id_lan);
    const EXTENSION_BLOCK& e = s.extension_block;
    const EXTENSION_BLOCK& f = sent.extension_block;
    EXPECT_EQ(e.bridge_transparent, f.bridge_transparent);
    EXPECT_EQ(e.tdmaEn, f.tdmaEn);
    EXPECT_EQ(e.vlan_pvid, f.vlan_pvid);
    EXPECT_EQ(e.vlan_id_lan3, f.vlan_id_lan3);
    EXPECT_EQ(e.vlan_id_lan4, f.vlan_id_lan4);
    EXPECT_EQ(e.wl_dfs, f.wl_dfs);
    EXPECT_EQ(e.trunk_port, f.trunk_port);
    EXPECT_EQ(e.vlan_id_lan2, f.vlan_id_lan2);
}

// ---- Search ----

TEST_F(EngineEndToEnd, SearchStoresEveryDeviceWithItsFullRecord)
{
    StartSim({"--count", "40", "--short-form", "30", "--bridged-pair", "--seed", "3"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(40)) << StoredMacs().size() << " of 40 stored";
    const auto devices = SimDevices();
    ASSERT_EQ(devices.size(), 40u);
    for (const SimDevice& d : devices) {
        const auto stored = Stored(d.mac);
        ASSERT_TRUE(stored) << d.mac;
        ExpectStoredAsSent(SimRecord(d.mac), *stored);
    }
    // The bridge columns are not read back into records; the pair shows in the bridge queries.
    EXPECT_TRUE(store_->HasBridgedStation(devices[0].mac));
    std::string peer;
    EXPECT_TRUE(store_->FindBridgePeer(devices[1].mac, peer));
    EXPECT_EQ(peer, devices[0].mac);
    EXPECT_TRUE(engine_->ListDiscoveredDevices(100).empty()) << "every device is described";
    for (const OnlineDevice& d : engine_->OnlineDevices()) EXPECT_EQ(d.state, 2) << d.mac;
}

TEST_F(EngineEndToEnd, TwoDevicesWithOneAddressLeaveOneRecordAndOneDiscoveredDevice)
{
    StartSim({"--count", "6", "--conflict"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(5));
    const auto devices = SimDevices();
    ASSERT_EQ(devices[0].ip, devices[5].ip);
    // Every record asked for has come back (and the loser's, if it was asked for, was refused).
    ASSERT_TRUE(WaitUntil(
        [&] { return engine_->RetryEntries().empty() && engine_->ListDiscoveredDevices(10).size() == 1; },
        kPatience));
    const auto stored = StoredMacs();
    EXPECT_EQ(stored.size(), 5u);
    const bool first = std::find(stored.begin(), stored.end(), devices[0].mac) != stored.end();
    const bool last = std::find(stored.begin(), stored.end(), devices[5].mac) != stored.end();
    EXPECT_NE(first, last) << "exactly one of the two holds the address";
    const auto heard = engine_->ListDiscoveredDevices(10);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(CText(heard[0].mac), first ? devices[5].mac : devices[0].mac);
    EXPECT_EQ(heard[0].ap_status, STATUS_DISCOVERED_ONLY);
    EXPECT_EQ(IpText(std::span<const uint8_t, 4>(heard[0].ip_block.ip, 4)), devices[0].ip);
}

// ---- Keeping current ----

TEST_F(EngineEndToEnd, HeartbeatsRefreshTheStoredUpTimeAndAreAcknowledged)
{
    StartSim({"--count", "5", "--heartbeat-ms", "400"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(5));
    const std::string mac = SimDevices()[2].mac;
    const uint32_t before = Stored(mac)->up_time;
    // No more searching: only heartbeats can move the stored up time on.
    EXPECT_TRUE(WaitUntil([&] { return Stored(mac)->up_time >= before + 2; }, kPatience))
        << "stored up time stays at " << Stored(mac)->up_time;
    // The acknowledgements cross the LAN after the beats they answer.
    EXPECT_TRUE(WaitUntil([&] { return sim_->Number("state " + mac, "acks").value_or(0) >= 3; }, kPatience))
        << "acks=" << SimState(mac, "acks");
    EXPECT_EQ(StoredStatus(mac), STATUS_ONLINE);
}

TEST_F(EngineEndToEnd, SilencedDeviceAgesOutWhileTheOthersStay)
{
    StartSim({"--count", "6", "--heartbeat-ms", "200"});
    StartEngine(300ms);
    ASSERT_TRUE(SearchUntilStored(6));
    const auto devices = SimDevices();
    ASSERT_FALSE(sim_->Command("silence " + devices[4].mac).empty());
    const auto silenced = Clock::now();
    ASSERT_TRUE(WaitUntil([&] { return !Stored(devices[4].mac); }, kPatience));
    // Three lowering passes and the removal on the fourth: 0.9 to 1.2 s with a 300 ms period.
    EXPECT_GE(Clock::now() - silenced, 800ms);
    EXPECT_EQ(StoredMacs().size(), 5u);
    for (const OnlineDevice& d : engine_->OnlineDevices()) EXPECT_NE(d.mac, devices[4].mac);
}

// ---- Commands ----

TEST_F(EngineEndToEnd, SetNameReachesTheDeviceAndComesBackIntoTheStore)
{
    StartSim({"--count", "4"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(4));
    const SimDevice d = SimDevices()[1];
    const std::string name = "屋顶-7号 east";  // Chinese: sent as UTF-8
    ASSERT_TRUE(engine_->SetName(d.ip, d.mac, name));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const ap_info_stu r = SimRecord(d.mac);
            return Field(r.ap_name, r.ap_name_len) == name;
        },
        kPatience));
    // The store learns it when the device is described again.
    engine_->Discover();
    EXPECT_TRUE(WaitUntil([&] { return Text(Stored(d.mac)->ap_name, 32) == name; }, kPatience));
    EXPECT_TRUE(WaitUntil([&] { return engine_->RetryEntries().empty(); }, kPatience))
        << "the reply ends the repeats";
}

TEST_F(EngineEndToEnd, SetIpMovesTheDeviceAndItIsFoundAndReachedAtItsNewAddress)
{
    StartSim({"--count", "4", "--apply-ms", "300", "--heartbeat-ms", "500"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(4));
    const SimDevice d = SimDevices()[3];
    IP_BLOCK block = d.record.ip_block;
    const Ipv4Address to = {10, 99, 20, 77};
    std::copy(to.begin(), to.end(), block.ip);
    block.ip_mode = 1;
    block.apply = 1;
    ASSERT_TRUE(engine_->SetIpSettings(d.ip, d.mac, block));
    ASSERT_TRUE(WaitUntil([&] { return SimState(d.mac, "ip") == "10.99.20.77"; }, kPatience));
    // The reply from the old address moves the table entry; the device is then found there.
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const OnlineDevice& o : engine_->OnlineDevices()) {
                if (o.mac == d.mac) return o.ip == "10.99.20.77";
            }
            return false;
        },
        kPatience));
    engine_->Discover();
    EXPECT_TRUE(WaitUntil(
        [&] {
            const auto r = Stored(d.mac);
            return r && IpText(std::span<const uint8_t, 4>(r->ip_block.ip, 4)) == "10.99.20.77";
        },
        kPatience));
    EXPECT_EQ(StoredMacs().size(), 4u);
    // And commands reach it there.
    ASSERT_TRUE(engine_->SetName("10.99.20.77", d.mac, "moved"));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const ap_info_stu r = SimRecord(d.mac);
            return Field(r.ap_name, r.ap_name_len) == "moved";
        },
        kPatience));
}

TEST_F(EngineEndToEnd, RebootAndRestoreShowTheirStatusAndTheDeviceComesBack)
{
    struct Case {
        const char* what;
        std::function<bool(CommEngine&, const std::string& ip, const std::string& mac)> send;
        uint32_t status;
        bool factoryName;
    };
    const std::vector<Case> cases = {
        {"reboot",
         [](CommEngine& e, const std::string& ip, const std::string& mac) { return e.Reboot(ip, mac); },
         STATUS_RESTARTING, false},
        {"restore",
         [](CommEngine& e, const std::string& ip, const std::string& mac) { return e.Restore(ip, mac); },
         STATUS_RESETING, true},
    };
    StartSim({"--count", "3", "--restart-ms", "1500"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(3));
    size_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const SimDevice d = SimDevices()[index++];
        const std::string factory(CompletePrefix(Field(d.record.ap_name, d.record.ap_name_len)));
        ASSERT_TRUE(engine_->SetName(d.ip, d.mac, "renamed"));
        ASSERT_TRUE(WaitUntil([&] { return SimState(d.mac, "name") == "72656e616d6564"; }, kPatience));

        const std::string restartsBefore = SimState(d.mac, "restarts");
        const auto sent = Clock::now();
        ASSERT_TRUE(c.send(*engine_, d.ip, d.mac));
        ASSERT_TRUE(WaitUntil([&] { return StoredStatus(d.mac) == c.status; }, kPatience));
        // The counter, not the restarting flag: under load a poll can miss the down time.
        ASSERT_TRUE(WaitUntil(
            [&] {
                const std::string now = SimState(d.mac, "restarts");
                return !now.empty() && now != restartsBefore;
            },
            kPatience));
        // The windows discover again until the device answers; its record makes it Online.
        auto last = Clock::now();
        EXPECT_TRUE(WaitUntil([&] { return StoredStatus(d.mac) == STATUS_ONLINE; }, kPatience,
                              [&] {
                                  if (Clock::now() - last > 700ms) {
                                      engine_->Discover();
                                      last = Clock::now();
                                  }
                              }));
        const auto back = Stored(d.mac);
        ASSERT_TRUE(back);
        // The up time of the restarted device: no older than the command.
        const auto since = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - sent).count();
        EXPECT_LE(back->up_time, static_cast<uint32_t>(since) + 1);
        EXPECT_EQ(Text(back->ap_name, 32), c.factoryName ? factory : "renamed");
    }
}

TEST_F(EngineEndToEnd, SiteSurveyOfSeveralPagesSetsTheFlagAndFillsTheScanTable)
{
    StartSim({"--count", "2", "--survey-aps", "70"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(2));
    const SimDevice d = SimDevices()[1];
    ASSERT_TRUE(engine_->StartSiteSurvey(d.ip, d.mac));
    ASSERT_TRUE(WaitUntil([&] { return engine_->IsSurveyComplete(); }, kPatience));
    std::vector<config_otherwl_basic> stored;
    ASSERT_TRUE(engine_store::ListScanResults(*store_, stored));
    const auto seen = SimSurvey(d.mac);
    ASSERT_EQ(seen.size(), 70u);
    ASSERT_EQ(stored.size(), 70u);
    for (const config_otherwl_basic& ap : seen) {
        const auto it = std::find_if(stored.begin(), stored.end(), [&](const config_otherwl_basic& s) {
            return std::memcmp(s.mac, ap.mac, 6) == 0;
        });
        ASSERT_NE(it, stored.end());
        EXPECT_EQ(it->signal, ap.signal);
        EXPECT_EQ(it->channel, ap.channel);
        EXPECT_EQ(it->secure_mode, ap.secure_mode);
        EXPECT_EQ(Field(it->ssid, it->ssid_len), CompletePrefix(Field(ap.ssid, ap.ssid_len)));
        EXPECT_EQ(it->exchannel, ap.exchannel);
        EXPECT_EQ(it->bandwidth, ap.bandwidth);
    }
}

TEST_F(EngineEndToEnd, SetBridgeGivesBridgeSuccessOrBridgeFailAsTheDeviceAnswers)
{
    StartSim({"--count", "3", "--apply-ms", "200"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(3));
    const auto devices = SimDevices();
    struct Case {
        size_t device;
        int forced;  // -1: the device accepts
        uint32_t status;
    };
    for (const Case c : {Case{1, -1, STATUS_BRIDGE_SUCCESS}, Case{2, 1, STATUS_BRIDGE_FAIL}}) {
        const SimDevice& d = devices[c.device];
        SCOPED_TRACE(d.mac);
        if (c.forced >= 0) {
            ASSERT_FALSE(sim_->Command("result " + d.mac + " 7 " + std::to_string(c.forced)).empty());
        }
        BRIDGE_PAYLOAD bridge{};
        bridge.security.work_mode = 2;
        std::copy_n(devices[0].record.radio_block.security.ssid_mac, 6, bridge.security.ap_mac);
        bridge.security.channel = 149;
        bridge.security.ssid_len = SetFieldText(bridge.security.ssid, "主干链路");
        bridge.security.secure_mode = 3;
        bridge.security.key_len = SetFieldText(bridge.security.key, "bridge-key-123");
        bridge.ip_block = d.record.ip_block;
        bridge.ip_block.ip_mode = 1;
        bridge.ip_block.apply = 0;
        ASSERT_TRUE(engine_->SetBridge(d.ip, d.mac, bridge));
        EXPECT_TRUE(WaitUntil([&] { return StoredStatus(d.mac) == c.status; }, kPatience));
        const ap_info_stu r = SimRecord(d.mac);
        EXPECT_EQ(r.bridge_work_mode == 2, c.forced < 0);
        if (c.forced < 0) {
            EXPECT_EQ(std::memcmp(r.bridge_mac, bridge.security.ap_mac, 6), 0);
            EXPECT_EQ(Field(r.bridge_ssid, r.bridge_ssid_len), "主干链路");
            EXPECT_EQ(SimState(d.mac, "ip"), d.ip);
        }
    }
}

TEST_F(EngineEndToEnd, MacSearchFindsOnlyItsTarget)
{
    StartSim({"--count", "12"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(12));
    const auto devices = SimDevices();
    const std::string target = devices[7].mac;
    engine_->StartSearch(MacToBytes(target));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto macs = StoredMacs();
            return macs.size() == 1 && macs[0] == target;
        },
        kPatience))
        << StoredMacs().size() << " stored";
    EXPECT_EQ(SimState(target, "raw_answers"), "1");
    EXPECT_EQ(sim_->Fields("stats")["raw_frames"], "1") << "one raw frame, for the target alone";
    // Discovering again in target mode keeps it that way.
    engine_->Discover();
    ASSERT_TRUE(WaitUntil([&] { return SimState(target, "raw_answers") == "2"; }, kPatience));
    EXPECT_TRUE(WaitUntil(
        [&] {
            const EngineCounters c = engine_->Counters();
            return c.handled[0] == c.queued[0] && c.handled[2] == c.queued[2] &&
                   engine_->RetryEntries().empty();
        },
        kPatience));
    EXPECT_EQ(sim_->Fields("stats")["raw_frames"], "2");
    EXPECT_EQ(StoredMacs(), std::vector<std::string>{target});
    ASSERT_EQ(engine_->OnlineDevices().size(), 1u);
    EXPECT_EQ(engine_->OnlineDevices()[0].mac, target);
}

TEST_F(EngineEndToEnd, TrackedCommandsTakeEffectDespiteTwentyPercentLossOnTheLink)
{
    ASSERT_EQ(RunCommand({PONTIQ_SIMNET, "loss", "-p", Prefix(), "20"}), 0);
    lossSet_ = true;
    StartSim({"--count", "12", "--heartbeat-ms", "3000"});
    // Six sends at most (one and five repeats): a command is lost for good with 0.2^6 = 6e-5.
    StartEngine(10s, 5, 300);
    ASSERT_TRUE(SearchUntilStored(12, 2 * kSearchPatience)) << StoredMacs().size() << " of 12 stored";
    const auto devices = SimDevices();
    for (size_t i = 0; i < devices.size(); ++i) {
        ASSERT_TRUE(engine_->SetName(devices[i].ip, devices[i].mac, "lossy-" + std::to_string(i)));
    }
    // The repeats end after six sends 300 ms apart: a name not there by then never comes, so a
    // long wait proves no less.
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (size_t i = 0; i < devices.size(); ++i) {
                const ap_info_stu r = SimRecord(devices[i].mac);
                if (Field(r.ap_name, r.ap_name_len) != "lossy-" + std::to_string(i)) return false;
            }
            return true;
        },
        kPatience));
    EXPECT_TRUE(WaitUntil([&] { return engine_->RetryEntries().empty(); }, kPatience));
    EXPECT_GT(DroppedOnPcLink(), 0) << "the loss filter was not active";
}

// ---- Firmware upgrade: the device fetches the file from a TFTP server on the PC side ----

class TinyTftpServer {
public:
    explicit TinyTftpServer(std::vector<uint8_t> file) : file_(std::move(file))
    {
        fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        int one = 1;
        setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(69);
        inet_pton(AF_INET, kPcIp, &a.sin_addr);
        ok_ = bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof(a)) == 0;
        timeval tv{0, 100000};
        setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
        thread_ = std::thread([this] { Serve(); });
    }
    ~TinyTftpServer()
    {
        stop_ = true;
        thread_.join();
        close(fd_);
    }
    bool ok() const { return ok_; }
    std::string requested() const
    {
        std::lock_guard lock(mutex_);
        return requested_;
    }

private:
    void Serve()
    {
        while (!stop_) {
            uint8_t buf[600];
            sockaddr_in from{};
            socklen_t len = sizeof(from);
            const ssize_t n = recvfrom(fd_, buf, sizeof(buf), 0, reinterpret_cast<sockaddr*>(&from), &len);
            if (n < 4 || buf[1] != 1) continue;
            {
                std::lock_guard lock(mutex_);
                requested_ = std::string(reinterpret_cast<char*>(buf) + 2,
                                         strnlen(reinterpret_cast<char*>(buf) + 2, n - 2));
            }
            Transfer(from);
        }
    }

    // One transfer from a port of its own, block by block, each repeated until acknowledged.
    void Transfer(const sockaddr_in& client)
    {
        const int t = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        timeval tv{0, 300000};
        setsockopt(t, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
        const size_t blocks = file_.size() / 512 + 1;
        for (size_t b = 1; b <= blocks && !stop_; ++b) {
            std::vector<uint8_t> data{0, 3, static_cast<uint8_t>(b >> 8), static_cast<uint8_t>(b)};
            const size_t from = (b - 1) * 512;
            data.insert(data.end(), file_.begin() + static_cast<long>(from),
                        file_.begin() + static_cast<long>(std::min(file_.size(), from + 512)));
            bool acked = false;
            for (int attempt = 0; attempt < 10 && !acked && !stop_; ++attempt) {
                sendto(t, data.data(), data.size(), 0, reinterpret_cast<const sockaddr*>(&client),
                       sizeof(client));
                uint8_t ack[16];
                const ssize_t n = recv(t, ack, sizeof(ack), 0);
                acked = n >= 4 && ack[1] == 4 && (ack[2] << 8 | ack[3]) == static_cast<int>(b & 0xFFFF);
            }
            if (!acked) break;
        }
        close(t);
    }

    std::vector<uint8_t> file_;
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string requested_;
    std::thread thread_;
};

TEST_F(EngineEndToEnd, UpgradeFetchesTheFileWaitsStartsAndSucceeds)
{
    std::vector<uint8_t> firmware(5000);
    for (size_t i = 0; i < firmware.size(); ++i) firmware[i] = static_cast<uint8_t>(i * 31 + 7);
    TinyTftpServer server(firmware);
    ASSERT_TRUE(server.ok());
    StartSim({"--count", "3", "--flash-ms", "300", "--restart-ms", "800"});
    StartEngine();
    ASSERT_TRUE(SearchUntilStored(3));
    const SimDevice d = SimDevices()[2];
    ASSERT_TRUE(engine_->PrepareUpgrade(d.ip, d.mac, "fw_v3.2.bin", static_cast<uint32_t>(firmware.size())));
    ASSERT_TRUE(WaitUntil([&] { return StoredStatus(d.mac) == STATUS_UPGRADE_WAIT; }, kPatience))
        << "status " << StoredStatus(d.mac) << ", device " << SimState(d.mac, "upgrade");
    EXPECT_EQ(server.requested(), "fw_v3.2.bin");
    EXPECT_EQ(SimState(d.mac, "fetched"), std::to_string(firmware.size()));
    ASSERT_TRUE(engine_->StartUpgrade(d.ip, d.mac));
    // Upgrading (the answer to the start) and then success, reported before the restart.
    EXPECT_TRUE(WaitUntil([&] { return StoredStatus(d.mac) == STATUS_UPGRADE_SUCCESS; }, kPatience))
        << "status " << StoredStatus(d.mac);
    auto last = Clock::now();
    EXPECT_TRUE(WaitUntil([&] { return Text(Stored(d.mac)->version, 32) == "fw_v3.2"; }, kPatience,
                          [&] {
                              if (Clock::now() - last > 700ms) {
                                  engine_->Discover();
                                  last = Clock::now();
                              }
                          }));
}

}  // namespace
}  // namespace pontiq::e2e
