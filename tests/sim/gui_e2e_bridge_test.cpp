// The bridge page and wizard as the user drives them, against simulated devices on the simulated
// LAN: a real engine and store, the real CBridgeDlg and CBridgeConfigDlg. The device surveys 40
// access points (two pages), the wizard sends MSG_SET_BRIDGE, and the simulator shows the payload
// it received. The survey watch and the page's reload are ticked by hand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QRadioButton>
#include <cstring>
#include <filesystem>
#include <memory>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/message_box.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/gui/grid_test_events.h"
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/bridge/bridge_dlg.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq::e2e {
namespace {

class BridgePageEndToEnd : public GuiEndToEnd<CBridgeDlg> {
protected:
    BridgePageEndToEnd() : GuiEndToEnd("pontiq_bridge_e2e") {}

    // The simulator, an engine that has described every device, and the bridge page over them.
    void Start(std::vector<std::string> simOptions, size_t count)
    {
        ASSERT_NO_FATAL_FAILURE(StartSimAndEngine(simOptions));
        ASSERT_NO_FATAL_FAILURE(ExpectPcAdapterOnly());

        engine_->StartSearch(std::nullopt);
        const bool all = WaitUntil(
            [&] {
                std::vector<std::string> macs;
                store_->GetAllMacs(macs);
                return macs.size() == count;
            },
            kSearchPatience, [&] { engine_->Discover(); }, 500ms);
        ASSERT_TRUE(all) << "not every simulated device was described";

        page_ = std::make_unique<CBridgeDlg>(CBridgeDlg::Services{engine_.get(), store_.get()}, nullptr);
        page_->SetAutoRefreshHook([](int32_t) {});
        page_->SetWizardRunner([](CBridgeDlg&, CBridgeConfigDlg&) {});  // the test drives the wizard
        page_->resize(1200, 700);
        page_->show();
        page_->RefreshPage(1);
        ASSERT_EQ(page_->RowCount(), static_cast<int>(count));
    }

    ap_info_stu Stored(const std::string& mac)
    {
        ap_info_stu r{};
        store_->GetDevice(r, mac);
        return r;
    }

    // The first device whose mode switch lets the wizard open.
    std::string Bridgeable(const std::string& except = {})
    {
        for (int row = 0; row < page_->RowCount(); ++row) {
            const std::string mac = page_->CellText(row, ListField::Mac).toStdString();
            const ap_info_stu r = Stored(mac);
            if (mac != except && (r.mode_btn_status == 0 || r.mode_btn_status == 2)) return mac;
        }
        return {};
    }

    int Row(const std::string& mac) const
    {
        return page_->FindRow(ListField::Mac, QString::fromStdString(mac));
    }

    // Opens the wizard on `mac` and ticks the survey watch until the list is filled.
    CBridgeConfigDlg* SurveyFrom(const std::string& mac)
    {
        page_->OnCellClicked(Row(mac), kBridgeColOperate);
        CBridgeConfigDlg* wizard = page_->Wizard();
        if (!wizard) return nullptr;
        CBridgeSearcgAPDlg& search = *wizard->SearchPage();
        search.WatchTimer().stop();  // the test is the clock
        // Ticks at most a second apart, as the page's own timer: the watch's tick limit then
        // gives the survey as long as the page gives it, however slow the machine.
        const auto deadline = Clock::now() + kSearchPatience;
        while (search.Scanning() && Clock::now() < deadline) {
            PumpUntil([&] { return engine_->IsSurveyComplete(); }, 1s);
            search.OnTimer(kTimerSurveyWatch);
        }
        return wizard;
    }

    // Runs the wizard from the survey list to Save with a WPA2-PSK key and the device's own IP.
    void RunToSave(CBridgeConfigDlg& wizard, int apRow, const std::string& ip)
    {
        CBridgeSearcgAPDlg& search = *wizard.SearchPage();
        test::ClickCell(*search.Grid(), apRow, bridge::kApColSelect);
        ASSERT_TRUE(wizard.NextButton()->isEnabled());
        wizard.NextButton()->click();
        ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageSecurity);
        CBridgeSecureDlg& secure = *wizard.SecurePage();
        secure.SecureModeList()->setCurrentIndex(secure.SecureModeList()->findData(bridge::kModeWpa2Psk));
        secure.CipherButton(bridge::kCipherTkipAes)->click();
        secure.KeyEdit()->setText(QStringLiteral("e2e-bridge-key"));
        wizard.NextButton()->click();
        ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageIp)
            << (messages_.empty() ? "" : messages_.back());
        CBridgeIPSetDlg& ipPage = *wizard.IpPage();
        ipPage.Field(kIdcBridgeIp)->SetText(QString::fromStdString(ip));
        ipPage.Field(kIdcBridgeMask)->SetText(QStringLiteral("255.255.224.0"));
        ipPage.Field(kIdcBridgeGateway)->SetText(QStringLiteral("10.99.0.1"));
        ipPage.Field(kIdcBridgeDns1)->SetText(QStringLiteral("10.99.0.1"));
        ipPage.Field(kIdcBridgeDns2)->SetText(QString());
        wizard.NextButton()->click();
        ASSERT_EQ(wizard.PageIndex(), CBridgeConfigDlg::kPageFinish)
            << (messages_.empty() ? "" : messages_.back());
        ASSERT_EQ(wizard.NextButton()->text(), QStringLiteral("Save"));
        wizard.NextButton()->click();
        wizard.SaveWorker().Wait();
        ASSERT_EQ(wizard.result(), QDialog::Accepted);
    }

    // After the wizard: the page's reload is armed for 2 s; once the device's answer is stored,
    // the reload (ticked here) shows it.
    std::string StatusAfterReload(const std::string& mac, uint32_t expected)
    {
        EXPECT_TRUE(page_->Timer(kTimerBridgeReload)->isActive());
        EXPECT_EQ(page_->Timer(kTimerBridgeReload)->interval(), 2000);
        EXPECT_TRUE(PumpUntil([&] { return store_->GetDeviceStatus(mac) == expected; }, kPatience))
            << "status " << store_->GetDeviceStatus(mac);
        page_->Timer(kTimerBridgeReload)->stop();
        page_->OnTimer(kTimerBridgeReload);
        return page_->CellText(Row(mac), ListField::Status).toStdString();
    }
};

TEST_F(BridgePageEndToEnd, FortyAccessPointsThenBridgeSuccess)
{
    Start({"--count", "6", "--seed", "31", "--survey-aps", "40", "--survey-ms", "300"}, 6);
    const std::string mac = Bridgeable();
    ASSERT_FALSE(mac.empty()) << "no device with the mode switch off";
    const std::string ip = page_->CellText(Row(mac), ListField::Ip).toStdString();

    CBridgeConfigDlg* wizard = SurveyFrom(mac);
    ASSERT_NE(wizard, nullptr);
    CGridCtrl& grid = *wizard->SearchPage()->Grid();
    ASSERT_FALSE(wizard->SearchPage()->Scanning());
    ASSERT_EQ(grid.RowCount(), 40) << "both survey pages listed";
    // Strongest first: the signal pictures never go up.
    for (int r = 1; r < grid.RowCount(); ++r) {
        EXPECT_LE(grid.Cell(r, bridge::kApColSignal).data, grid.Cell(r - 1, bridge::kApColSignal).data) << r;
    }
    EXPECT_FALSE(wizard->NextButton()->isEnabled());

    const std::string apMac = grid.CellText(3, bridge::kApColMac).toStdString();
    config_otherwl_basic ap{};
    ASSERT_TRUE(store_->GetScanResult(ap, apMac));
    RunToSave(*wizard, 3, ip);
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    std::vector<config_otherwl_basic> left;
    store_->ListScanResults(0, left, true);
    EXPECT_TRUE(left.empty()) << "the scan table is cleared on Save";

    // The payload as the device received it: the save worker has only sent it.
    std::vector<std::string> answer;
    EXPECT_TRUE(PumpUntil(
        [&] {
            answer = sim_->Command("payload " + mac + " " + std::to_string(MSG_SET_BRIDGE));
            return answer.size() != 1 || answer[0] != "NONE";
        },
        kPatience))
        << "the device received no MSG_SET_BRIDGE";
    ASSERT_EQ(answer.size(), 1u);
    ASSERT_EQ(answer[0].rfind("PAYLOAD ", 0), 0u) << answer[0];
    const auto bytes = FromHex(answer[0].substr(8));
    ASSERT_TRUE(bytes && bytes->size() == 328u);
    const std::vector<uint8_t>& p = *bytes;
    EXPECT_EQ(p[0], 2);
    EXPECT_EQ(MacText(std::span<const uint8_t, 6>(p.data() + 1, 6)), apMac);
    EXPECT_EQ(p[7], wizard->SecurePage()->ChannelList()->currentData().toInt());
    // The SSID as the survey reported it (UTF-8 on the wire, and local text here is UTF-8).
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 8), p[40]),
              std::string(FieldText(ap.ssid, ap.ssid_len)));
    EXPECT_EQ(p[42], bridge::kModeWpa2Psk);
    EXPECT_EQ(p[43], bridge::kCipherTkipAes);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.data() + 44), p[108]), "e2e-bridge-key");
    for (int i = 109; i < 304; ++i) ASSERT_EQ(p[static_cast<size_t>(i)], 0) << i;
    const auto ipBytes = IpToBytes(ip);
    const uint8_t ipBlock[22] = {1, ipBytes[0], ipBytes[1], ipBytes[2], ipBytes[3], 255, 255, 224, 0, 10, 99,
                                 0, 1,          10,         99,         0,          1,   0,   0,   0, 0,  0};
    EXPECT_EQ(std::memcmp(p.data() + 304, ipBlock, 22), 0);
    EXPECT_EQ(p[326], 0);
    EXPECT_EQ(p[327], 0);
    // The payload the wizard built is the one that arrived.
    EXPECT_EQ(std::memcmp(p.data(), &wizard->Payload(), 328), 0);

    EXPECT_EQ(StatusAfterReload(mac, STATUS_BRIDGE_SUCCESS), "Bridge success");
}

TEST_F(BridgePageEndToEnd, RefusedBridgeShowsBridgeFail)
{
    Start({"--count", "6", "--seed", "32", "--survey-aps", "40", "--survey-ms", "300"}, 6);
    const std::string mac = Bridgeable();
    ASSERT_FALSE(mac.empty());
    const std::string ip = page_->CellText(Row(mac), ListField::Ip).toStdString();
    ASSERT_FALSE(sim_->Command("result " + mac + " " + std::to_string(MSG_SET_BRIDGE) + " 1").empty());

    CBridgeConfigDlg* wizard = SurveyFrom(mac);
    ASSERT_NE(wizard, nullptr);
    ASSERT_EQ(wizard->SearchPage()->Grid()->RowCount(), 40);
    RunToSave(*wizard, 0, ip);
    EXPECT_EQ(StatusAfterReload(mac, STATUS_BRIDGE_FAIL), "Bridge fail");
    // The refusing device kept its settings: the simulator stored no bridge.
    std::string why;
    const std::optional<ap_info_stu> r = SimDump(mac, &why);
    ASSERT_TRUE(r.has_value()) << why;
    EXPECT_NE(std::memcmp(r->bridge_mac, wizard->Payload().security.ap_mac, 6), 0);
}

}  // namespace
}  // namespace pontiq::e2e
