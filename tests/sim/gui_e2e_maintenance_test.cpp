// The reboot and restore pages as the user drives them, against simulated devices on the
// simulated LAN: the real pages with a real engine (real sockets on the PC namespace's adapter)
// and a store in a temporary folder. The 60-second wait popup is the real CWaitDlg ticked by hand
// with short real waits between ticks, so a run takes as long as the devices need to restart.
#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "app/ui/wait_dlg.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/list_columns.h"
#include "ui/maintenance/reboot_dlg.h"
#include "ui/maintenance/restore_dlg.h"

namespace pontiq::e2e {
namespace {

class MaintenanceEndToEnd : public GuiEndToEnd<CDeviceActionPage> {
protected:
    MaintenanceEndToEnd() : GuiEndToEnd("pontiq_maint_e2e") {}

    void Start(std::vector<std::string> simOptions)
    {
        ASSERT_NO_FATAL_FAILURE(StartSimAndEngine(simOptions));
        for (const SimDevice& device : SimDevices()) macs_.push_back(device.mac);
        // Every device described and stored.
        engine_->StartSearch(std::nullopt);
        ASSERT_TRUE(WaitUntil([&] { return StoredCount() == macs_.size(); }, kSearchPatience,
                              [&] { engine_->Discover(); }, 300ms))
            << StoredCount() << " of " << macs_.size() << " stored";
    }

    // The name as this PC reads it: a name the device cut at a byte count loses its broken end.
    std::string SimName(const std::string& mac)
    {
        return std::string(CompletePrefix(GuiEndToEnd::SimName(mac)));
    }

    template <class Page>
    void MakePage()
    {
        page_ = std::make_unique<Page>(CDeviceActionPage::Services{engine_.get(), store_.get(), {}}, nullptr);
        page_->resize(1200, 700);
        page_->show();
        page_->SetWaitPopup(
            [this](CDeviceActionPage& p, int seconds, int passes) { RunPopup(p, seconds, passes); });
        page_->RefreshPage(1);
        ASSERT_EQ(static_cast<size_t>(page_->RowCount()), macs_.size());
    }

    // The real popup with the engine's passes, ticked every 40 ms; the page's follow-up after
    // every tick, recording what each Status cell showed.
    void RunPopup(CDeviceActionPage& p, int seconds, int passes)
    {
        CWaitDlg::Actions actions;
        actions.releaseDevices = [this] { engine_->ReleaseDevices(); };
        actions.discover = [this] { engine_->Discover(); };
        CWaitDlg popup(seconds, true, passes, actions, &p);
        popup.TickTimer().setInterval(3600 * 1000);
        popup.show();
        for (int tick = 0; tick < 400 && popup.isVisible(); ++tick) {
            popup.Tick();
            const auto until = Clock::now() + 40ms;
            while (Clock::now() < until) Pump();
            p.OnTimer(kTimerActionFollowUp);
            for (const std::string& mac : ticked_) seen_[mac].insert(Status(mac));
        }
        popupClosed_ = !popup.isVisible();
    }

    int Row(const std::string& mac) { return page_->FindRow(ListField::Mac, QString::fromStdString(mac)); }
    std::string Status(const std::string& mac)
    {
        return page_->CellText(Row(mac), ListField::Status).toStdString();
    }
    std::string Name(const std::string& mac)
    {
        return page_->CellText(Row(mac), ListField::Name).toStdString();
    }

    void Tick(const std::vector<std::string>& macs)
    {
        ticked_ = macs;
        for (const std::string& mac : macs) page_->Grid()->SetTicked(Row(mac), true);
    }

    // Presses the page's action button (confirmed) and reloads as the page's timer would, until
    // every ticked row reads "Online".
    bool RunAndComeBack()
    {
        page_->ActionButton()->click();  // returns when the popup has closed
        EXPECT_TRUE(popupClosed_);
        return WaitUntil(
            [&] {
                page_->OnTimer(kTimerActionReload);
                for (const std::string& mac : ticked_) {
                    if (Row(mac) < 0 || Status(mac) != "Online") return false;
                }
                return true;
            },
            kSearchPatience, [&] { engine_->Discover(); }, 300ms);
    }

    std::vector<std::string> macs_;
    std::vector<std::string> ticked_;
    std::map<std::string, std::set<std::string>> seen_;
    bool popupClosed_ = false;
};

TEST_F(MaintenanceEndToEnd, RebootFiveDevicesTheyRestartAndReadOnlineAgain)
{
    Start(
        {"--count", "7", "--seed", "31", "--restart-ms", "1500", "--heartbeat-ms", "500", "--bridged-pair"});
    ASSERT_FALSE(HasFatalFailure());
    MakePage<CRebootDlg>();
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<std::string> chosen(macs_.begin() + 1, macs_.begin() + 6);
    Tick(chosen);
    std::map<std::string, long> restartsBefore;
    for (const std::string& mac : macs_) {
        const auto restarts = sim_->Number("state " + mac, "restarts");
        ASSERT_TRUE(restarts) << mac;
        restartsBefore[mac] = *restarts;
    }

    EXPECT_TRUE(RunAndComeBack()) << "a rebooted device is not back";
    for (const std::string& mac : macs_) {
        SCOPED_TRACE(mac);
        const long restarts = sim_->Number("state " + mac, "restarts").value_or(-1) - restartsBefore[mac];
        const bool wasChosen = std::find(chosen.begin(), chosen.end(), mac) != chosen.end();
        EXPECT_EQ(restarts, wasChosen ? 1 : 0);
        if (wasChosen) {
            EXPECT_TRUE(seen_[mac].count("Restarting")) << "the Status cell followed the device";
        }
    }
    EXPECT_TRUE(messages_.size() == 1 && messages_[0] == "Are you sure you want to restart?");
}

TEST_F(MaintenanceEndToEnd, RestoreTwoDevicesTheyComeBackWithTheirFactoryValues)
{
    Start({"--count", "5", "--seed", "77", "--restart-ms", "1500", "--heartbeat-ms", "500", "--apply-ms",
           "200"});
    ASSERT_FALSE(HasFatalFailure());
    const std::vector<std::string> chosen = {macs_[1], macs_[3]};
    std::map<std::string, std::string> factory;
    std::map<std::string, std::string> ips;
    for (const std::string& mac : macs_) factory[mac] = SimName(mac);
    {
        std::vector<ap_info_stu> list;
        int pages = 0, online = 0;
        store_->ListDevicesPage(1, list, pages, online, 100, 1, true, "");
        for (const ap_info_stu& r : list) ips[std::string(CText(r.mac))] = record_text::Ip(r);
    }
    // The installer changed the two devices' names before.
    for (const std::string& mac : chosen) ASSERT_TRUE(engine_->SetName(ips[mac], mac, "changed"));
    ASSERT_TRUE(WaitUntil([&] { return SimName(chosen[0]) == "changed" && SimName(chosen[1]) == "changed"; },
                          kPatience));

    MakePage<CRestoreDlg>();
    ASSERT_FALSE(HasFatalFailure());
    Tick(chosen);
    EXPECT_TRUE(RunAndComeBack()) << "a restored device is not back";
    for (const std::string& mac : macs_) {
        SCOPED_TRACE(mac);
        EXPECT_EQ(SimName(mac), factory[mac]);
        EXPECT_EQ(Name(mac), factory[mac]) << "the page shows the factory name";
    }
    for (const std::string& mac : chosen) EXPECT_TRUE(seen_[mac].count("Reseting")) << mac;
}

}  // namespace
}  // namespace pontiq::e2e
