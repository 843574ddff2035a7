// The wireless tab against simulated devices on the simulated LAN, through the real management
// page and configuration sheet: a real engine and store find the devices, the sheet opens on a
// row's Operate cell, and its Save sends through the page's sender. The simulator's own record
// and its count and length of MSG_SET_WIRELESS say what arrived.
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
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/config/management_config_dlg.h"
#include "ui/config/management_dlg.h"
#include "ui/config/wireless_rules.h"
#include "ui/config/wireless_set_dlg.h"
#include "ui/grid/grid_ctrl.h"

namespace pontiq::e2e {
namespace {

namespace wl = wireless;

class WirelessEndToEnd : public ManagementPageEndToEnd {
protected:
    WirelessEndToEnd() : ManagementPageEndToEnd("pontiq_wl_e2e") {}

    // The simulator, the engine, a search until every device is stored, and the management page.
    void Start(std::vector<std::string> simOptions, int count)
    {
        ASSERT_NO_FATAL_FAILURE(StartManagementPage(simOptions, count, kSearchPatience));
    }

    std::string Mac(int row) const { return page_->CellText(row, ListField::Mac).toStdString(); }

    // Opens the sheet of `row` through its Operate cell and hands it to `drive`. A wait popup
    // (another tab's change) is not shown.
    void OpenSheet(int row, const std::function<void(CManagementConfigDlg&)>& drive)
    {
        bool driven = false;
        page_->SetSheetRunner([&](CManagementConfigDlg& sheet) {
            driven = true;
            sheet.SetHooks({{}, [](int, bool, int) {}});
            drive(sheet);
        });
        emit page_->Grid()->cellClicked(row, kManagementColOperate);
        EXPECT_TRUE(driven);
    }

    std::map<std::string, std::string> SimState(const std::string& mac)
    {
        return sim_->Fields("state " + mac);
    }
};

// Every device of a varied set: its sheet opened from the management page and saved without an
// edit sends no MSG_SET_WIRELESS.
TEST_F(WirelessEndToEnd, UntouchedSheetSaveSendsNoWirelessForAnyDevice)
{
    constexpr int kCount = 40;
    Start({"--count", std::to_string(kCount), "--seed", "2025", "--heartbeat-ms", "500"}, kCount);
    ASSERT_FALSE(HasFatalFailure());
    std::vector<std::string> macs;
    int refusedElsewhere = 0;
    for (int row = 0; row < page_->RowCount(); ++row) {
        macs.push_back(Mac(row));
        OpenSheet(row, [&](CManagementConfigDlg& sheet) {
            // Some simulated names are refused by the IP tab (its name rules); the wireless tab,
            // collected first, must accept every record and find nothing changed.
            if (!sheet.Save()) {
                EXPECT_NE(sheet.CurrentTab(), ConfigTab::Wireless) << Mac(row) << ": " << messages_.back();
                ++refusedElsewhere;
            }
            EXPECT_EQ(page_->Pending().wireless_changed, 0) << "type " << sheet.Record().ap_type;
        });
        // The sender of this save finishes before the next save would end it.
        ASSERT_TRUE(WaitUntil([&] { return !page_->Sender().IsRunning(); }, kPatience));
    }
    // Every command the engine sends is repeated until the device answers it, and the device
    // counts it before it answers: with no repeat left, anything sent has been counted.
    ASSERT_TRUE(WaitUntil([&] { return engine_->RetryEntries().empty(); }, kPatience));
    for (const std::string& mac : macs) EXPECT_EQ(sim_->Fields("state " + mac)["wireless_sets"], "0") << mac;
    EXPECT_LT(refusedElsewhere, kCount) << "most sheets save";
}

struct ChangeCase {
    const char* what;
    uint16_t type;
    const char* ssid;  // UTF-8
    size_t payload;
};

class WirelessChangeEndToEnd : public WirelessEndToEnd, public ::testing::WithParamInterface<ChangeCase> {};

// Channel, SSID and security changed on the sheet's wireless tab arrive in the device's record;
// the payload is 344 bytes for list W and 328 otherwise.
TEST_P(WirelessChangeEndToEnd, ChangesArriveInTheDevicesRecord)
{
    const ChangeCase& c = GetParam();
    Start({"--count", "3", "--seed", "5", "--types", std::to_string(c.type)}, 3);
    ASSERT_FALSE(HasFatalFailure());
    const std::string target = Mac(1);
    const std::string other = Mac(0);
    int channel = -1;

    OpenSheet(1, [&](CManagementConfigDlg& sheet) {
        CWirelessSetDlg& page = *sheet.WirelessPage();
        const ap_info_stu& record = sheet.Record();
        ASSERT_EQ(record.ap_type, c.type);
        if (page.Country()->currentIndex() < 0) page.Country()->setCurrentIndex(4);  // China
        page.Ssid()->setText(QString::fromUtf8(c.ssid));
        // A channel other than the current one, not Auto.
        for (int i = 0; i < page.Channel()->count(); ++i) {
            const int ch = page.Channel()->itemData(i).toInt();
            if (ch != 0 && ch != record.radio_block.channel) channel = ch;
        }
        ASSERT_GT(channel, 0);
        page.Channel()->setCurrentIndex(page.Channel()->findData(channel));
        page.SecureMode()->setCurrentIndex(page.SecureMode()->findData(int(wl::kSecureWpa2Psk)));
        page.Key()->setText("new-key-2025");
        page.KeyTime()->setText("600");
        EXPECT_TRUE(sheet.Save()) << (messages_.empty() ? "" : messages_.back());
        EXPECT_EQ(page_->Pending().wireless_changed, 1);
    });

    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::string sets = SimState(target)["wireless_sets"];
            return !sets.empty() && sets != "0";
        },
        kPatience));
    EXPECT_EQ(SimState(target)["wireless_len"], std::to_string(c.payload));
    const ap_info_stu now = SimRecord(target);
    const SECURITY_BLOCK& s = now.radio_block.security;
    EXPECT_EQ(std::string(FieldText(s.ssid, s.ssid_len)), c.ssid);
    EXPECT_EQ(now.radio_block.channel, channel);
    EXPECT_EQ(s.secure_mode, wl::kSecureWpa2Psk);
    EXPECT_EQ(std::string(FieldText(s.wpapsk_key_value, s.wpapsk_key_value_len)), "new-key-2025");
    EXPECT_EQ(s.wpapsk_key_time, 600u);
    EXPECT_EQ(SimState(other)["wireless_sets"], "0") << "only the edited device is changed";
    EXPECT_TRUE(messages_.empty());
}

INSTANTIATE_TEST_SUITE_P(Types, WirelessChangeEndToEnd,
                         ::testing::Values(ChangeCase{"list W", 25, "Roof-Link-5G", 344},
                                           ChangeCase{"list W, Chinese", 272, "楼顶无线-5G", 344},
                                           ChangeCase{"not list W, Chinese", 1, "楼顶无线", 328}),
                         [](const auto& info) { return std::to_string(info.param.type); });

}  // namespace
}  // namespace pontiq::e2e
