// The management page and the configuration sheet as the user drives them, against simulated
// devices on the simulated LAN: the real CManagementDlg and CManagementConfigDlg with a real engine
// and a store in a temporary folder. The sheet changes a device's name, timed reboot, address and
// VLAN; the record the simulated device holds afterwards shows the bytes that reached it. The
// wait popup's timer is ticked by hand with short real waits, so a run takes as long as the
// network needs and not the popup's 15 or 60 seconds.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <memory>

#include "app/controls/message_box.h"
#include "app/ui/wait_dlg.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/config/config_sheet_rules.h"
#include "ui/config/ip_set_dlg.h"
#include "ui/config/management_config_dlg.h"
#include "ui/config/management_dlg.h"
#include "ui/config/time_reboot_dlg.h"
#include "ui/config/vlan_dlg.h"
#include "ui/config/vlan_rules.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq::e2e {
namespace {

class ManagementEndToEnd : public ManagementPageEndToEnd {
protected:
    ManagementEndToEnd() : ManagementPageEndToEnd("pontiq_config_e2e") {}

    // The simulator, the engine, a search until every device is stored, and the page.
    void Start(std::vector<std::string> simOptions, int count)
    {
        ASSERT_NO_FATAL_FAILURE(StartManagementPage(simOptions, count, kSearchPatience));
    }

    // The first row whose stored record passes `wanted`.
    int FindRow(const std::function<bool(const ap_info_stu&)>& wanted) const
    {
        for (int row = 0; row < page_->RowCount(); ++row) {
            if (wanted(page_->RowRecord(row)->record)) return row;
        }
        return -1;
    }
    std::string Mac(int row) const { return page_->CellText(row, ListField::Mac).toStdString(); }

    // Opens the sheet of `row` through its Operate cell and hands it to `drive`.
    void OpenSheet(int row, const std::function<void(CManagementConfigDlg&)>& drive)
    {
        bool driven = false;
        page_->SetSheetRunner([&](CManagementConfigDlg& sheet) {
            driven = true;
            drive(sheet);
        });
        emit page_->Grid()->cellClicked(row, kManagementColOperate);
        EXPECT_TRUE(driven);
        EXPECT_TRUE(page_->Timer(kTimerManagementReload)->isActive());
    }

    // Saves from inside the sheet and runs the wait popup by hand: `settled` is awaited before
    // the popup's ticks run, so its rediscovery passes find the device where it now is.
    void SaveThroughPopup(CManagementConfigDlg& sheet, int expectedSeconds,
                          const std::function<bool()>& settled)
    {
        bool popup = false;
        QTimer::singleShot(0, page_.get(), [&] {
            auto* wait = qobject_cast<CWaitDlg*>(QApplication::activeModalWidget());
            if (!wait) {
                ADD_FAILURE() << "no wait popup is up";
                return;
            }
            popup = true;
            EXPECT_EQ(wait->Schedule().TotalTicks(), expectedSeconds * 2);
            wait->TickTimer().setInterval(3600 * 1000);  // the test is the clock
            EXPECT_TRUE(PumpUntil(settled, kPatience)) << "the device did not take the change";
            for (int i = 0; i < expectedSeconds * 2 && wait->isVisible(); ++i) {
                wait->Tick();
                const auto tickEnd = Clock::now() + 30ms;
                while (Clock::now() < tickEnd) Pump();
            }
            if (wait->isVisible()) wait->reject();
        });
        EXPECT_TRUE(sheet.Save());
        EXPECT_TRUE(popup);
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
    }
};

TEST_F(ManagementEndToEnd, NameAndTimedRebootReachTheDeviceAndThePageShowsTheNewName)
{
    // Models without a trunk choice: an untouched group D tab sends the trunk port as a character
    // and so changes the VLAN as well.
    Start({"--count", "5", "--seed", "31", "--types", "1,4,14", "--heartbeat-ms", "500"}, 5);
    ASSERT_FALSE(HasFatalFailure());
    const int row = FindRow([](const ap_info_stu& r) { return !IsTimedRebootTabDisabled(r.ap_type); });
    ASSERT_GE(row, 0);
    const std::string mac = Mac(row);
    const std::string other = Mac(row == 0 ? 1 : 0);
    const ap_info_stu otherBefore = SimRecord(other);
    const std::string name =
        "\xe6\xa5\xbc\xe9\xa1\xb6"
        "east7";  // 楼顶east7: UTF-8 on the wire

    OpenSheet(row, [&](CManagementConfigDlg& sheet) {
        sheet.IpPage()->NameEdit()->setText(QString::fromStdString(name));
        CTimeRebootDlg& reboot = *sheet.RebootPage();
        if (!reboot.EnableBox()->isChecked()) reboot.EnableBox()->click();
        if (reboot.EverydayBox()->isChecked()) reboot.EverydayBox()->click();
        for (int d = 0; d < 7; ++d) reboot.DayBox(d)->setChecked(d == 0 || d == 4);  // Monday, Friday
        reboot.HourEdit()->setText(QStringLiteral("7"));
        reboot.MinuteEdit()->setText(QStringLiteral("5"));
        EXPECT_TRUE(sheet.Save());
    });
    EXPECT_TRUE(messages_.empty()) << messages_.front();

    const auto arrived = [&] {
        const ap_info_stu r = SimRecord(mac);
        return FieldText(r.ap_name, r.ap_name_len) == name && r.reboot_block.restart_en == 1 &&
               r.reboot_block.restart_type == 34 && r.reboot_block.restart_time == 425;
    };
    ASSERT_TRUE(PumpUntil(arrived, kPatience))
        << "the device holds '" << FieldText(SimRecord(mac).ap_name, SimRecord(mac).ap_name_len) << "'";
    const ap_info_stu otherAfter = SimRecord(other);
    EXPECT_EQ(std::memcmp(&otherBefore.reboot_block, &otherAfter.reboot_block, sizeof(REBOOT_BLOCK)), 0);
    EXPECT_EQ(FieldText(otherAfter.ap_name, otherAfter.ap_name_len),
              FieldText(otherBefore.ap_name, otherBefore.ap_name_len));

    // The store learns the name from the device's next description, which a search asks for.
    const auto shown = [&] {
        page_->OnTimer(kTimerManagementReload);
        const int r = page_->FindRow(ListField::Mac, QString::fromStdString(mac));
        return r >= 0 && page_->CellText(r, ListField::Name).toStdString() == name;
    };
    bool found = false;
    for (int attempt = 0; attempt < 10 && !found; ++attempt) {
        engine_->StartSearch(std::nullopt);
        found = PumpUntil(shown, 2s);
    }
    EXPECT_TRUE(found);
}

TEST_F(ManagementEndToEnd, NewAddressMovesTheDeviceAndThePopupsRediscoveryFindsItThere)
{
    Start({"--count", "4", "--seed", "7", "--types", "1,14", "--apply-ms", "300", "--heartbeat-ms", "500"},
          4);
    ASSERT_FALSE(HasFatalFailure());
    const int row = 0;
    const std::string mac = Mac(row);
    const std::string oldIp = page_->CellText(row, ListField::Ip).toStdString();
    const std::string newIp = "10.99.7.77";  // inside the PC's /19

    OpenSheet(row, [&](CManagementConfigDlg& sheet) {
        CIPSetDlg& ip = *sheet.IpPage();
        ip.AddressControl(kIdcIpTabIp)->SetText(QString::fromStdString(newIp));
        ip.AddressControl(kIdcIpTabMask)->SetText(QStringLiteral("255.255.224.0"));
        ip.AddressControl(kIdcIpTabGateway)->SetText(QStringLiteral("10.99.0.1"));
        SaveThroughPopup(sheet, kIpWaitSeconds, [&] { return SimIp(mac) == newIp; });
    });
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    EXPECT_EQ(SimIp(mac), newIp);
    const ap_info_stu r = SimRecord(mac);
    EXPECT_EQ(IpText(std::span<const uint8_t, 4>(r.ip_block.ip_mask)), "255.255.224.0");
    EXPECT_EQ(IpText(std::span<const uint8_t, 4>(r.ip_block.ip_gateway)), "10.99.0.1");

    // The popup's passes described the device at its new address; the reload shows it.
    EXPECT_TRUE(PumpUntil(
        [&] {
            page_->OnTimer(kTimerManagementReload);
            const int at = page_->FindRow(ListField::Mac, QString::fromStdString(mac));
            return at >= 0 && page_->CellText(at, ListField::Ip).toStdString() == newIp;
        },
        kPatience))
        << "the page still shows " << oldIp;
    EXPECT_EQ(page_->RowCount(), 4);
}

TEST_F(ManagementEndToEnd, VlanChangeReachesTheDeviceWithTheExtensionBlock)
{
    // Group D codes of list V: the 26-byte payload with the trunk choice.
    Start(
        {"--count", "3", "--seed", "3", "--types", "20,285", "--restart-ms", "500", "--heartbeat-ms", "500"},
        3);
    ASSERT_FALSE(HasFatalFailure());
    const int row = FindRow([](const ap_info_stu& r) {
        return VlanGroupOf(r.ap_type) == VlanGroup::D && !IsVlanReadOnly(r.ap_type, r.work_mode);
    });
    ASSERT_GE(row, 0);
    const std::string mac = Mac(row);
    const auto restartsBefore = sim_->Number("state " + mac, "restarts");
    ASSERT_TRUE(restartsBefore);

    OpenSheet(row, [&](CManagementConfigDlg& sheet) {
        CVlanDlg& vlan = *sheet.VlanPage();
        if (!vlan.EnableBox()->isChecked()) vlan.EnableBox()->click();
        vlan.IdEdit(kIdcVlanManage)->setText(QStringLiteral("42"));
        vlan.IdEdit(kIdcVlanWlan)->setText(QStringLiteral("43"));
        vlan.IdEdit(kIdcVlanPvid)->setText(QStringLiteral("44"));
        vlan.TrunkRadio(kIdcVlanTrunkLan2)->click();
        vlan.IdEdit(kIdcVlanLan)->setText(QStringLiteral("45"));
        SaveThroughPopup(sheet, kVlanWaitSeconds, [&] {
            return sim_->Number("state " + mac, "restarts").value_or(0) > *restartsBefore;
        });
    });
    EXPECT_TRUE(messages_.empty()) << messages_.front();
    const ap_info_stu r = SimRecord(mac);
    EXPECT_EQ(+r.vlan_block.vlan_en, 1);
    EXPECT_EQ(+r.vlan_block.vlan_id, 42);
    EXPECT_EQ(+r.vlan_block.vlan_id_wlan, 43);
    EXPECT_EQ(+r.vlan_block.vlan_id_lan, 45);
    EXPECT_EQ(+r.extension_block.vlan_pvid, 44);
    EXPECT_EQ(+r.extension_block.trunk_port, 50);
    EXPECT_EQ(+r.extension_block.vlan_id_lan2, 42);
}

}  // namespace
}  // namespace pontiq::e2e
