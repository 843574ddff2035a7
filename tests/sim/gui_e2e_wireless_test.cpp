// The wireless page against simulated devices on the simulated LAN: a real engine and store
// find the devices, the page opens on each stored record, and what its Save builds goes out
// through the engine. The simulator's own record and its count of MSG_SET_WIRELESS say what
// arrived.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <filesystem>
#include <memory>
#include <sstream>

#include "app/controls/message_box.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "comm/protocol.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/sim_fixture.h"
#include "ui/config/pending_config.h"
#include "ui/config/wireless_rules.h"
#include "ui/config/wireless_set_dlg.h"
#include "ui/config/wpa_dlg.h"

namespace pontiq::e2e {
namespace {

namespace wl = wireless;

constexpr const char* kPcIp = "10.99.0.1";

struct Device {
    std::string mac;
    std::string ip;
};

class WirelessEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string reason = SkipReason();
        if (!reason.empty()) {
            std::fprintf(stderr, "*** E2E TEST SKIPPED: %s ***\n", reason.c_str());
            GTEST_SKIP() << "E2E TEST SKIPPED: " << reason;
        }
        char pattern[] = "/tmp/pontiq_wl_e2e_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = engine_store::CreateStore(dir_);
        previousPresenter_ = SetMessagePresenter([this](const MessageRequest& request) {
            messages_.push_back(request.text.toStdString());
            return MessageResult::Ok;
        });
        presenterSet_ = true;
    }

    void TearDown() override
    {
        engine_.reset();
        sim_.reset();
        store_.reset();
        if (presenterSet_) SetMessagePresenter(previousPresenter_);
        if (!dir_.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(dir_, ec);
        }
    }

    void Start(std::vector<std::string> simOptions)
    {
        sim_ = std::make_unique<SimProcess>(simOptions);
        ASSERT_FALSE(sim_->WaitReady().empty()) << "devicesim did not start: " << sim_->error();
        EngineOptions options;
        options.localEncoding = "UTF-8";
        engine_ = std::make_unique<CommEngine>(*store_, options);
        ASSERT_TRUE(engine_->Start(3, 500));
        const auto addresses = engine_->AdapterAddresses();
        ASSERT_EQ(addresses.size(), 1u);
        ASSERT_EQ(CText(addresses[0].ip), kPcIp);
    }

    std::vector<Device> SimDevices()
    {
        std::vector<Device> devices;
        for (const std::string& line : sim_->Command("list")) {
            std::istringstream in(line);
            std::string word, mac, ip;
            in >> word >> mac >> ip;
            devices.push_back({mac, ip});
        }
        return devices;
    }

    // Searches until every simulated device has a stored record.
    std::vector<Device> SearchAll()
    {
        const std::vector<Device> devices = SimDevices();
        engine_->StartSearch(std::nullopt);
        const bool all = WaitUntil(
            [&] {
                for (const Device& d : devices) {
                    if (store_->GetDeviceStatus(d.mac) == 0) return false;
                }
                return true;
            },
            15s, [&] { engine_->Discover(); }, 500ms);
        EXPECT_TRUE(all);
        return devices;
    }

    ap_info_stu Stored(const std::string& mac)
    {
        ap_info_stu r{};
        store_->GetDevice(r, mac);
        return r;
    }

    // The record the simulated device holds now (texts as the device keeps them, UTF-8).
    ap_info_stu SimRecord(const std::string& mac)
    {
        const auto answer = sim_->Command("dump " + mac);
        ap_info_stu r{};
        if (answer.size() != 1) return r;
        const auto bytes = FromHex(answer[0].substr(answer[0].rfind(' ') + 1));
        if (bytes && bytes->size() == sizeof(r)) std::memcpy(&r, bytes->data(), sizeof(r));
        return r;
    }

    std::map<std::string, std::string> SimState(const std::string& mac)
    {
        return sim_->Fields("state " + mac);
    }

    // What the sheet's sender does with a wireless change.
    bool Send(const Device& d, const ap_info_stu& record, const PendingConfiguration& pending)
    {
        if (!pending.wireless_changed) return false;
        return engine_->SetWireless(d.ip, d.mac, record.ap_type, pending.radio_block,
                                    DecodeLayout<RADIO_EXTENSION>(pending.radio_extension));
    }

    std::string dir_;
    std::shared_ptr<CSqlManagement> store_;
    std::unique_ptr<SimProcess> sim_;
    std::unique_ptr<CommEngine> engine_;
    std::vector<std::string> messages_;

private:
    MessagePresenter previousPresenter_;
    bool presenterSet_ = false;
};

// Every device of a varied set: the page opened on its stored record and saved untouched asks
// for no MSG_SET_WIRELESS, and none arrives.
TEST_F(WirelessEndToEnd, UntouchedSaveSendsNothingForAnyDevice)
{
    Start({"--count", "40", "--seed", "2025"});
    const std::vector<Device> devices = SearchAll();
    ASSERT_FALSE(HasFatalFailure());
    for (const Device& d : devices) {
        SCOPED_TRACE(d.mac);
        const ap_info_stu record = Stored(d.mac);
        CWirelessSetDlg page(record);
        PendingConfiguration pending;
        ASSERT_TRUE(page.Collect(pending)) << (messages_.empty() ? "" : messages_.back());
        EXPECT_EQ(pending.wireless_changed, 0) << "type " << record.ap_type;
        Send(d, record, pending);
    }
    std::this_thread::sleep_for(500ms);  // anything sent would have arrived
    for (const Device& d : devices) EXPECT_EQ(SimState(d.mac)["wireless_sets"], "0") << d.mac;
}

struct ChangeCase {
    const char* what;
    uint16_t type;
    const char* ssid;  // UTF-8
    size_t payload;
};

class WirelessChangeEndToEnd : public WirelessEndToEnd, public ::testing::WithParamInterface<ChangeCase> {};

// Channel, SSID and security changed on the page arrive in the device's record; the payload is
// 344 bytes for list W and 328 otherwise.
TEST_P(WirelessChangeEndToEnd, ChangesArriveInTheDevicesRecord)
{
    const ChangeCase& c = GetParam();
    Start({"--count", "3", "--seed", "5", "--types", std::to_string(c.type)});
    const std::vector<Device> devices = SearchAll();
    ASSERT_FALSE(HasFatalFailure());
    const Device target = devices[1];
    const ap_info_stu record = Stored(target.mac);
    ASSERT_EQ(record.ap_type, c.type);

    CWirelessSetDlg page(record);
    const QString ssid = QString::fromUtf8(c.ssid);
    page.Ssid()->setText(ssid);
    // A channel other than the current one (and not Auto).
    int channelIndex = -1;
    for (int i = 0; i < page.Channel()->count(); ++i) {
        const int ch = page.Channel()->itemData(i).toInt();
        if (ch != 0 && ch != record.radio_block.channel) channelIndex = i;
    }
    if (page.Country()->currentIndex() < 0) page.Country()->setCurrentIndex(4);  // China
    if (channelIndex < 0) {
        for (int i = 0; i < page.Channel()->count(); ++i) {
            if (page.Channel()->itemData(i).toInt() != 0) channelIndex = i;
        }
    }
    ASSERT_GE(channelIndex, 0);
    page.Channel()->setCurrentIndex(channelIndex);
    const int channel = page.Channel()->currentData().toInt();
    // WPA2-PSK with a new key.
    page.SecureMode()->setCurrentIndex(page.SecureMode()->findData(int(wl::kSecureWpa2Psk)));
    page.Key()->setText("new-key-2025");
    page.KeyTime()->setText("600");

    PendingConfiguration pending;
    ASSERT_TRUE(page.Collect(pending)) << (messages_.empty() ? "" : messages_.back());
    ASSERT_EQ(pending.wireless_changed, 1);
    ASSERT_TRUE(Send(target, record, pending));

    ASSERT_TRUE(WaitUntil([&] { return SimState(target.mac)["wireless_sets"] != "0"; }, 5s));
    EXPECT_EQ(SimState(target.mac)["wireless_len"], std::to_string(c.payload));
    const ap_info_stu now = SimRecord(target.mac);
    const SECURITY_BLOCK& s = now.radio_block.security;
    EXPECT_EQ(std::string(FieldText(s.ssid, s.ssid_len)), c.ssid);
    EXPECT_EQ(now.radio_block.channel, channel);
    EXPECT_EQ(s.secure_mode, wl::kSecureWpa2Psk);
    EXPECT_EQ(std::string(FieldText(s.wpapsk_key_value, s.wpapsk_key_value_len)), "new-key-2025");
    EXPECT_EQ(s.wpapsk_key_time, 600u);
    // The other devices are untouched.
    EXPECT_EQ(SimState(devices[0].mac)["wireless_sets"], "0");
    EXPECT_TRUE(messages_.empty());
}

INSTANTIATE_TEST_SUITE_P(Types, WirelessChangeEndToEnd,
                         ::testing::Values(ChangeCase{"list W", 25, "Roof-Link-5G", 344},
                                           ChangeCase{"list W, Chinese", 272, "楼顶无线-5G", 344},
                                           ChangeCase{"not list W, Chinese", 1, "楼顶无线", 328}),
                         [](const auto& info) { return std::to_string(info.param.type); });

}  // namespace
}  // namespace pontiq::e2e
