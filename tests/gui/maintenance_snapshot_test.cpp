// Pictures of the reboot, restore and upgrade pages during and after a run, the wait popup and the
// upgrade dialog in both stages, in English and Chinese, for a look by eye. Run only when
// PONTIQ_MAINTENANCE_SNAPSHOTS names the folder for the pictures.
#include <gtest/gtest.h>

#include <QDir>
#include <QProgressBar>
#include <cstdlib>

#include "app/application_app.h"
#include "app/controls/ct_button_picture.h"
#include "app/language.h"
#include "app/ui/wait_dlg.h"
#include "store/value_format.h"
#include "tests/comm/engine_fixture.h"
#include "tests/gui/shell_test_support.h"
#include "tests/gui/status_test_support.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/maintenance/reboot_dlg.h"
#include "ui/maintenance/restore_dlg.h"
#include "ui/maintenance/upgrade_config_dlg.h"
#include "ui/maintenance/upgrade_dlg.h"

namespace pontiq {
namespace {

const char* const kNames[] = {"Tower-North",
                              "\xe5\xa1\x94\xe6\xa5\xbc\xe4\xb8\x80\xe5\x8f\xb7",
                              "roof_a",
                              "Silo 7",
                              "\xe4\xbb\x93\xe5\xba\x93\xe4\xb8\x9c",
                              "pump-station-long-name-x"};
const uint16_t kTypes[] = {1, 4, 21, 21, 257, 261};

class NullServer final : public FileServerControl {
public:
    bool Start(const std::string&) override { return true; }
    void Stop() override {}
    bool IsRunning() override { return true; }
    FileServerHealth Health() override { return {}; }
};

class MaintenanceSnapshot : public testing_engine::EngineTest {
protected:
    void SetUp() override
    {
        const char* dir = std::getenv("PONTIQ_MAINTENANCE_SNAPSHOTS");
        if (!dir || !*dir) GTEST_SKIP() << "set PONTIQ_MAINTENANCE_SNAPSHOTS to a folder to get the pictures";
        folder_ = QString::fromLocal8Bit(dir);
    }
    void TearDown() override
    {
        if (folder_.isEmpty()) return;
        EngineTest::TearDown();
        SetTextTranslator(nullptr);
        test::ResetLanguage();
        app_.reset();
    }

    void Load(uint32_t locale)
    {
        app_ = std::make_unique<CApplicationApp>();
        app_->LoadConfiguration(std::string(PONTIQ_SOURCE_DIR) + "/resources/", locale);
        const COperateCharacter& chars = app_->characters();
        SetTextTranslator([&chars](std::string_view key) { return chars.Utf8ToLocal(Translate(key)); });
        EngineTest::SetUp();
        for (int i = 0; i < 12; ++i) {
            ap_info_stu r = test::StoredDevice(i, kTypes[i % std::size(kTypes)]);
            r.ap_name_len = SetFieldText(r.ap_name, kNames[i % std::size(kNames)]);
            r.work_mode = static_cast<uint8_t>(1 + i % 3);
            r.radio_block.security.secure_mode = static_cast<uint8_t>(i % 5);
            r.radio_block.tx_power = static_cast<uint8_t>(18 + i % 9);
            r.version_len = SetFieldText(r.version, "V2.1." + std::to_string(30 + i));
            const MacAddress mac = MacToBytes(CText(r.mac));
            const std::string ip = record_text::Ip(r);
            Discovered(mac, ip.c_str(), r.ap_type);
            Receive(ReceiveQueue::Reply, ip.c_str(), BuildDeviceRecordReply(mac, r));
        }
    }

    // The device of a grid row answers a command.
    void Answer(CListPage& page, int row, uint16_t type, uint8_t result)
    {
        const std::string ip = page.CellText(row, ListField::Ip).toStdString();
        const std::string mac = page.CellText(row, ListField::Mac).toStdString();
        Receive(ReceiveQueue::Reply, ip.c_str(), BuildResultReply(21, type, MacToBytes(mac), result));
    }

    void Save(QWidget& w, const QString& name)
    {
        ASSERT_TRUE(w.grab().save(QDir(folder_).filePath(name + QStringLiteral(".png"))))
            << name.toStdString();
    }

    void ShootActionPage(CDeviceActionPage& page, uint16_t msgType, const QString& name,
                         const QString& suffix)
    {
        page.resize(1100, 560);
        page.show();
        page.RefreshPage(1);
        for (int row : {0, 2, 3, 5}) page.Grid()->SetTicked(row, true);
        page.SetWaitPopup([&](CDeviceActionPage& p, int seconds, int passes) {
            Answer(p, 0, msgType, 0);
            Answer(p, 2, msgType, 0);
            p.FollowUpStatus();
            CWaitDlg popup(seconds, true, passes, CWaitDlg::Actions{}, &p);
            popup.TickTimer().setInterval(3600 * 1000);
            popup.show();
            for (int t = 0; t < 50; ++t) popup.Tick();
            Save(p, name + QStringLiteral("_running_") + suffix);
            Save(popup, QStringLiteral("wait_popup_") + suffix);
            popup.CloseNow();
        });
        page.ActionButton()->click();
        page.Worker().Wait();
        // The device of row 2 came back, the one of row 0 did not.
        const std::string backMac = page.CellText(2, ListField::Mac).toStdString();
        for (int i = 0; i < 12; ++i) {
            ap_info_stu back = test::StoredDevice(i, kTypes[i % std::size(kTypes)]);
            if (CText(back.mac) != backMac) continue;
            back.ap_name_len = SetFieldText(back.ap_name, kNames[i % std::size(kNames)]);
            Receive(ReceiveQueue::Reply, record_text::Ip(back).c_str(),
                    BuildDeviceRecordReply(MacToBytes(backMac), back));
        }
        page.OnTimer(kTimerActionReload);
        Save(page, name + QStringLiteral("_after_") + suffix);
    }

    void Shoot(uint32_t locale, const QString& suffix)
    {
        test::MessageRecorder confirm;  // every box answered with OK
        Load(locale);
        CDeviceActionPage::Services services{
            engine_.get(), store_.get(),
            [](std::chrono::milliseconds, const std::atomic<bool>&) { return true; }};
        {
            CRebootDlg reboot(services, nullptr);
            ShootActionPage(reboot, MSG_REBOOT, QStringLiteral("reboot"), suffix);
        }
        EngineTest::TearDown();
        Load(locale);
        services.engine = engine_.get();
        services.store = store_.get();
        {
            CRestoreDlg restore(services, nullptr);
            ShootActionPage(restore, MSG_RESTORE, QStringLiteral("restore"), suffix);
        }
        EngineTest::TearDown();
        Load(locale);
        NullServer server;
        CUpgradeDlg::Services upgradeServices;
        upgradeServices.engine = engine_.get();
        upgradeServices.store = store_.get();
        upgradeServices.fileServer = &server;
        upgradeServices.pause = [](std::chrono::milliseconds, const std::atomic<bool>&) { return true; };
        CUpgradeDlg page(upgradeServices, nullptr);
        page.resize(1100, 560);
        page.show();
        page.RefreshPage(1);
        for (int row : {1, 2, 3}) page.Grid()->SetTicked(row, true);
        page.SetUpgradeDialog([&](CUpgradeDlg& p, const std::vector<SelectionEntry>& selection) {
            CUpgradeConfigDlg dlg(selection, p.DialogServices(), &p);
            for (int id : {kTimerUpgradeStageOne, kTimerUpgradeStageTwo, kTimerUpgradeBatchWatch,
                           kTimerUpgradeFollowUp}) {
                dlg.Timer(id)->setInterval(3600 * 1000);
            }
            dlg.show();
            dlg.SetChosenFile(QStringLiteral("/srv/firmware/V2.2.0_outdoor_cpe.bin"));
            Save(dlg, QStringLiteral("upgrade_dialog_idle_") + suffix);
            dlg.OnUpgradeClicked();
            dlg.Worker().Wait();
            test::PumpFor(20);
            for (int t = 0; t < 40; ++t) dlg.OnTimer(kTimerUpgradeStageOne);
            Answer(p, 1, MSG_UPGRADE_STATUS, 0);
            Answer(p, 2, MSG_UPGRADE_STATUS, 1);
            dlg.OnTimer(kTimerUpgradeFollowUp);
            Save(dlg, QStringLiteral("upgrade_dialog_stage1_") + suffix);
            Save(p, QStringLiteral("upgrade_running_") + suffix);
            for (int t = 0; t < 90; ++t) dlg.OnTimer(kTimerUpgradeStageOne);
            for (int t = 0; t < 60; ++t) dlg.OnTimer(kTimerUpgradeStageTwo);
            Save(dlg, QStringLiteral("upgrade_dialog_stage2_") + suffix);
            dlg.OnCloseClicked();
        });
        page.UpgradeButton()->click();
        page.OnTimer(kTimerUpgradeReload);
        Save(page, QStringLiteral("upgrade_after_") + suffix);
    }

    QString folder_;
    std::unique_ptr<CApplicationApp> app_;
};

TEST_F(MaintenanceSnapshot, English)
{
    Shoot(kLocaleEnglishUs, QStringLiteral("en"));
}

TEST_F(MaintenanceSnapshot, Chinese)
{
    Shoot(kLocaleChineseSimplified, QStringLiteral("zh"));
}

}  // namespace
}  // namespace pontiq
