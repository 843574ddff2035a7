// A full firmware upgrade as the user drives it, against simulated devices on the simulated LAN:
// the real upgrade page and dialog with a real engine and store, and the real FileServer (a copy
// under a name of its own in a temporary program folder, so that no other FileServer is ended)
// serving the firmware by TFTP on port 69 of the PC namespace. The dialog's one-second timers
// are ticked by hand every 100 ms; everything else (the worker's wait for the server, the
// transfers, the devices' flashing and restarts) runs in real time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/list_columns.h"
#include "ui/maintenance/file_server_process.h"
#include "ui/maintenance/upgrade_config_dlg.h"
#include "ui/maintenance/upgrade_dlg.h"

#ifndef PONTIQ_FILESERVER
#define PONTIQ_FILESERVER ""
#endif

namespace pontiq::e2e {
namespace {

namespace fs = std::filesystem;

class UpgradeEndToEnd : public GuiEndToEnd<CUpgradeDlg> {
protected:
    UpgradeEndToEnd() : GuiEndToEnd("pontiq_upgrade_e2e") {}

    void SetUp() override
    {
        GuiEndToEnd::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;

        // The program folder: service/<name> beside its FileServer.ini.
        serverName_ = "FileServerE2E" + std::to_string(getpid());
        fs::create_directories(dir_ + "/program/service");
        fs::copy_file(PONTIQ_FILESERVER, dir_ + "/program/service/" + serverName_);
        CFileServerControl::Names names;
        names.server = serverName_;
        names.aux = serverName_ + "Aux";
        server_ = std::make_unique<CFileServerProcess>(system_, ini_, dir_ + "/program/", names);
    }

    void TearDown() override
    {
        page_.reset();
        if (server_) server_->Stop();  // before the engine, as the page
        GuiEndToEnd::TearDown();
    }

    std::string StoreFolder() const override { return dir_ + "/"; }

    void Start(std::vector<std::string> simOptions)
    {
        ASSERT_NO_FATAL_FAILURE(StartSimAndEngine(simOptions));
        for (const SimDevice& device : SimDevices()) macs_.push_back(device.mac);
        engine_->StartSearch(std::nullopt);
        ASSERT_TRUE(WaitUntil([&] { return StoredCount() == macs_.size(); }, kSearchPatience,
                              [&] { engine_->Discover(); }, 300ms));

        CUpgradeDlg::Services services;
        services.engine = engine_.get();
        services.store = store_.get();
        services.fileServer = server_.get();
        page_ = std::make_unique<CUpgradeDlg>(services, nullptr);
        page_->resize(1200, 700);
        page_->show();
        page_->RefreshPage(1);
        ASSERT_EQ(static_cast<size_t>(page_->RowCount()), macs_.size());
    }

    int Row(const std::string& mac) { return page_->FindRow(ListField::Mac, QString::fromStdString(mac)); }
    std::string Cell(const std::string& mac, int column)
    {
        return page_->Grid()->CellText(Row(mac), column).toStdString();
    }

    // The dialog as the user starts it; then its timers ticked every 100 ms until it closes.
    void DriveDialog(CUpgradeDlg& page, const std::vector<SelectionEntry>& selection,
                     const std::string& firmware)
    {
        CUpgradeConfigDlg dlg(selection, page.DialogServices(), &page);
        for (int id :
             {kTimerUpgradeStageOne, kTimerUpgradeStageTwo, kTimerUpgradeBatchWatch, kTimerUpgradeFollowUp}) {
            dlg.Timer(id)->setInterval(3600 * 1000);
        }
        dlg.show();
        dlg.SetChosenFile(QString::fromStdString(firmware));
        started_ = dlg.OnUpgradeClicked();
        if (!started_) return;
        // The timers' own intervals are an hour: the test fires whichever of them runs.
        QTimer* watch = dlg.Timer(kTimerUpgradeBatchWatch);
        const auto deadline = Clock::now() + 120s;
        while (dlg.isVisible() && Clock::now() < deadline) {
            const auto until = Clock::now() + 100ms;
            while (Clock::now() < until) Pump();
            serverRan_ = serverRan_ || server_->IsRunning();
            if (watch->isActive()) dlg.OnTimer(kTimerUpgradeBatchWatch);
            for (int id : {kTimerUpgradeStageOne, kTimerUpgradeStageTwo, kTimerUpgradeFollowUp}) {
                if (dlg.isVisible() && dlg.Timer(id)->isActive()) dlg.OnTimer(id);
            }
            for (const SelectionEntry& e : selection) {
                const std::string mac(CText(e.mac));
                seen_[mac].insert(Cell(mac, kUpgradeColStatus));
            }
        }
        closedByItself_ = !dlg.isVisible() && dlg.result() == QDialog::Accepted;
        if (dlg.isVisible()) dlg.reject();
    }

    COperateSystemInfo system_;
    COperateFileIni ini_;
    std::string serverName_;
    std::unique_ptr<CFileServerProcess> server_;
    std::vector<std::string> macs_;
    std::map<std::string, std::set<std::string>> seen_;
    bool started_ = false;
    bool serverRan_ = false;
    bool closedByItself_ = false;
};

TEST_F(UpgradeEndToEnd, TenDevicesFetchTheFirmwareFromTheFileServerUpgradeAndComeBackWithTheNewVersion)
{
    if (std::string(PONTIQ_FILESERVER).empty()) GTEST_SKIP() << "no FileServer built";
    Start({"--count", "11", "--seed", "8", "--types", "21", "--heartbeat-ms", "500", "--restart-ms", "1000",
           "--flash-ms", "500"});
    ASSERT_FALSE(HasFatalFailure());

    // 300 kB of firmware: almost 600 blocks of 512 bytes per device, ten devices at once.
    fs::create_directories(dir_ + "/firmware");
    const std::string firmware = dir_ + "/firmware/V9.8.7.bin";
    {
        QFile file(QString::fromStdString(firmware));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        QByteArray bytes(300 * 1024, '\0');
        for (int i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7 + 3);
        file.write(bytes);
    }

    std::vector<std::string> chosen;
    for (int row = 0; row < 10; ++row) {
        page_->Grid()->SetTicked(row, true);
        chosen.push_back(page_->CellText(row, ListField::Mac).toStdString());
    }
    const std::string left = page_->CellText(10, ListField::Mac).toStdString();
    const std::string leftVersion = Cell(left, kUpgradeColVersion);
    page_->SetUpgradeDialog([&](CUpgradeDlg& page, const std::vector<SelectionEntry>& selection) {
        ASSERT_EQ(selection.size(), 10u);
        DriveDialog(page, selection, firmware);
    });
    page_->UpgradeButton()->click();
    ASSERT_TRUE(started_) << (messages_.empty() ? "" : messages_.back());
    EXPECT_TRUE(serverRan_);
    EXPECT_TRUE(closedByItself_) << "the run ends by its stage-2 timer";
    EXPECT_FALSE(server_->IsRunning()) << "the server runs only for the time of the upgrade";

    // After the dialog: the page rediscovers and reloads a second later; the devices come back.
    const bool back = WaitUntil(
        [&] {
            page_->OnTimer(kTimerUpgradeReload);
            for (const std::string& mac : chosen) {
                if (Row(mac) < 0 || Cell(mac, kUpgradeColVersion) != "V9.8.7" ||
                    Cell(mac, kUpgradeColStatus) != "Online") {
                    return false;
                }
            }
            return true;
        },
        kSearchPatience, [&] { engine_->Discover(); }, 300ms);
    EXPECT_TRUE(back);
    for (const std::string& mac : chosen) {
        SCOPED_TRACE(mac);
        EXPECT_EQ(Cell(mac, kUpgradeColVersion), "V9.8.7");
        EXPECT_TRUE(seen_[mac].count("Upgrade wait") || seen_[mac].count("Upgrading") ||
                    seen_[mac].count("Upgrade success"))
            << "the Status cell followed the device";
        EXPECT_EQ(sim_->Fields("state " + mac)["restarts"], "1");
    }
    EXPECT_EQ(Cell(left, kUpgradeColVersion), leftVersion) << "the unticked device is left alone";
    EXPECT_EQ(sim_->Fields("stats")["upgrades_done"], "10");
    EXPECT_EQ(messages_.size(), 1u) << "only the confirmation";
}

}  // namespace
}  // namespace pontiq::e2e
