// The device status page as the user drives it, against simulated devices on the simulated LAN:
// the real CStatusDlg with a real engine (real sockets on the PC namespace's adapter) and a store
// in a temporary folder. Search fills the grid, a Location edit renames the device, Set IP moves
// it. The page's one-second search timer is ticked by hand with short real waits between ticks,
// so a run takes as long as the network needs and not 50 seconds; every wait polls a deadline.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <filesystem>
#include <map>
#include <memory>
#include <set>

#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "comm/comm_engine.h"
#include "comm/engine_store.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "tests/sim/gui_e2e_fixture.h"
#include "ui/bridge/switch_set_multi_dlg.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_address_ctrl.h"
#include "ui/lists/ip_set_multi_dlg.h"
#include "ui/lists/status_dlg.h"

namespace pontiq::e2e {
namespace {

class StatusPageEndToEnd : public GuiEndToEnd<CStatusDlg> {
protected:
    StatusPageEndToEnd() : GuiEndToEnd("pontiq_gui_e2e") {}

    void Start(std::vector<std::string> simOptions)
    {
        ASSERT_NO_FATAL_FAILURE(StartSimAndEngine(simOptions));
        ASSERT_NO_FATAL_FAILURE(ExpectPcAdapterOnly());

        page_ = std::make_unique<CStatusDlg>(CStatusDlg::Services{engine_.get(), store_.get()}, nullptr);
        page_->SetShellHooks({[](bool) {}, [](int32_t) {}});  // no main window around the page
        page_->resize(1200, 800);
        page_->show();
        page_->PageSizeList()->setCurrentIndex(2);  // 50 rows: room for every device of a test
        ASSERT_EQ(page_->PageSize(), 50);
    }

    int Row(const std::string& mac) const
    {
        return page_->FindRow(ListField::Mac, QString::fromStdString(mac));
    }

    std::string Cell(int row, ListField field) const { return page_->CellText(row, field).toStdString(); }

    // The MAC of every row on screen.
    std::multiset<std::string> ShownMacs() const
    {
        std::multiset<std::string> macs;
        for (int row = 0; row < page_->RowCount(); ++row) macs.insert(Cell(row, ListField::Mac));
        return macs;
    }

    // Presses Search and ticks the run by hand until `done` holds for the grid; the run goes on
    // (the caller stops it when it needs the grid back).
    bool SearchUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = kSearchPatience)
    {
        page_->Button(kIdcStatusSearch)->click();
        if (!page_->Searching()) return false;
        page_->Timer(kTimerStatusSearch)->stop();  // the test is the clock
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline && page_->Searching()) {
            page_->OnTimer(kTimerStatusSearch);
            const auto tickEnd = Clock::now() + 150ms;
            while (Clock::now() < tickEnd) {
                Pump();
                std::this_thread::sleep_for(10ms);
            }
            if (done()) return true;
        }
        return done();
    }

    void StopSearch()
    {
        ASSERT_TRUE(page_->Searching());
        page_->Button(kIdcStatusSearch)->click();
        ASSERT_FALSE(page_->Searching());
        ASSERT_TRUE(page_->Grid()->isEnabled());
    }

    // Searches until every device of the simulator has a stored row, then stops the run.
    std::vector<SimDevice> SearchAll()
    {
        const std::vector<SimDevice> devices = SimDevices();
        const bool found = SearchUntil([&] {
            if (page_->RowCount() != static_cast<int>(devices.size())) return false;
            for (const SimDevice& d : devices) {
                const int row = Row(d.mac);
                if (row < 0 || !page_->RowRecord(row)->stored) return false;
            }
            return true;
        });
        EXPECT_TRUE(found) << page_->RowCount() << " rows of " << devices.size();
        StopSearch();
        return devices;
    }
};

// ---- Search ----

TEST_F(StatusPageEndToEnd, SearchShowsEverySimulatedDeviceWithItsTextsAndTheUndescribedOneOffline)
{
    // The demo's LAN: 40 devices, short and long discovery replies, a bridged pair, two devices
    // sharing one address (only one of them can be described), answers spread over 200 ms.
    Start({"--count", "40", "--seed", "2024", "--short-form", "25", "--bridged-pair", "--conflict",
           "--jitter-ms", "200"});
    const std::vector<SimDevice> devices = SimDevices();
    ASSERT_EQ(devices.size(), 40u);
    std::multiset<std::string> all;
    std::map<std::string, int> perIp;
    for (const SimDevice& d : devices) {
        all.insert(d.mac);
        ++perIp[d.ip];
    }

    const auto storedRows = [&] {
        int stored = 0;
        for (int row = 0; row < page_->RowCount(); ++row) stored += page_->RowRecord(row)->stored ? 1 : 0;
        return stored;
    };
    ASSERT_TRUE(SearchUntil([&] { return ShownMacs() == all && storedRows() == 39; }))
        << page_->RowCount() << " rows, " << storedRows() << " stored";
    EXPECT_FALSE(page_->Grid()->isEnabled()) << "the grid waits while the run goes on";
    StopSearch();
    // The last load of the run shows the same.
    ASSERT_EQ(ShownMacs(), all);
    EXPECT_EQ(page_->OnlineCount(), 39);

    for (const SimDevice& d : devices) {
        SCOPED_TRACE(d.mac);
        const int row = Row(d.mac);
        ASSERT_GE(row, 0);
        const ListRow& shown = *page_->RowRecord(row);
        EXPECT_EQ(Cell(row, ListField::Ip), d.ip);
        if (!shown.stored) {
            // The loser of the shared address: heard, never described, drawn in the offline tone.
            EXPECT_EQ(perIp[d.ip], 2);
            EXPECT_EQ(page_->Grid()->CellTextColor(row, kStatusColLocation),
                      page_->ToneColor(CellTone::Offline));
            continue;
        }
        // The device's own name as a UTF-8 PC shows it (a name cut inside a character loses the
        // broken tail) and its record's texts.
        EXPECT_EQ(Cell(row, ListField::Name), std::string(CompletePrefix(SimName(d.mac))));
        EXPECT_FALSE(Cell(row, ListField::Type).empty());
        EXPECT_NE(page_->Grid()->CellText(row, kStatusColVersion), QString());
    }
    EXPECT_TRUE(messages_.empty());
}

// ---- Rename ----

TEST_F(StatusPageEndToEnd, LocationEditRenamesTheDeviceAndTheNextReloadShowsTheNewName)
{
    Start({"--count", "6", "--seed", "11"});
    const std::vector<SimDevice> devices = SearchAll();
    ASSERT_FALSE(HasFatalFailure());
    const SimDevice target = devices[2];
    const std::string before = SimName(devices[3].mac);
    const std::string name = "楼顶east7号";  // passes both name rules: Chinese, lowercase, digits

    // The user's edit: the cell's editor, the new text, Enter.
    const int row = Row(target.mac);
    ASSERT_GE(row, 0);
    ASSERT_TRUE(page_->Grid()->EditCell(row, kStatusColLocation));
    auto* editor = qobject_cast<QLineEdit*>(
        page_->Grid()->indexWidget(page_->Grid()->model()->index(row, kStatusColLocation)));
    ASSERT_NE(editor, nullptr);
    editor->setText(QString::fromStdString(name));
    int loads = 0;
    QObject::connect(page_.get(), &CListPage::pageLoaded, page_.get(), [&] { ++loads; });
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    Pump();
    EXPECT_EQ(Cell(row, ListField::Name), name);
    EXPECT_TRUE(messages_.empty()) << messages_.front();

    EXPECT_TRUE(PumpUntil([&] { return SimName(target.mac) == name; }, kPatience))
        << "the device holds '" << SimName(target.mac) << "'";
    EXPECT_EQ(SimName(devices[3].mac), before) << "only the edited device is renamed";

    // The device's success answer puts the name into the store; the page's own reload 2 s after
    // the edit shows it, without a new search.
    EXPECT_TRUE(PumpUntil([&] { return loads >= 1; }, kPatience)) << "the page did not reload";
    const int r = Row(target.mac);
    ASSERT_GE(r, 0);
    EXPECT_EQ(Cell(r, ListField::Name), name);
    EXPECT_FALSE(page_->Searching());
    EXPECT_EQ(Cell(Row(devices[3].mac), ListField::Name), std::string(CompletePrefix(before)));
    EXPECT_EQ(page_->RowCount(), 6);
}

// ---- Transparent bridge and Kelvra ----

TEST_F(StatusPageEndToEnd, SwitchesShowTheNewValuesAtThePagesNextReloadWithoutASearch)
{
    Start({"--count", "16", "--seed", "3"});
    const std::vector<SimDevice> devices = SearchAll();
    ASSERT_FALSE(HasFatalFailure());

    struct Feature {
        const char* what;
        int button;
        int column;
    };
    for (const Feature& f : {Feature{"bridge", kIdcStatusSetBridge, kStatusColBridge},
                             Feature{"kelvra", kIdcStatusKelvra, kStatusColKelvra}}) {
        SCOPED_TRACE(f.what);
        const bool bridge = f.column == kStatusColBridge;
        const auto value = [&](const ap_info_stu& r) {
            return bridge ? r.extension_block.bridge_transparent : r.extension_block.tdmaEn;
        };
        const auto text = [&](const ap_info_stu& r, int v) {
            return bridge ? TransparentBridgeText(r.ap_type, r.work_mode, static_cast<uint32_t>(v))
                          : KelvraText(r.ap_type, static_cast<uint32_t>(v));
        };
        // Every row that can take the switch; the first one's value decides the new one.
        std::vector<std::string> macs;
        for (int row = 0; row < page_->RowCount(); ++row) {
            page_->Grid()->SetTicked(row, false);
            if (page_->Grid()->CellText(row, f.column) == QStringLiteral("N/A")) continue;
            page_->Grid()->SetTicked(row, true);
            macs.push_back(Cell(row, ListField::Mac));
        }
        ASSERT_FALSE(macs.empty()) << "no device of the seed takes the switch";
        const int chosen = value(SimRecord(macs.front())) != 0 ? 0 : 1;

        bool saved = false;
        QTimer::singleShot(0, page_.get(), [&] {
            auto* dlg = qobject_cast<CSwitchSetMultiDlg*>(QApplication::activeModalWidget());
            if (!dlg) {
                ADD_FAILURE() << "no switch dialog is up";
                return;
            }
            (chosen ? dlg->EnableButton() : dlg->DisableButton())->click();
            if (auto* save = qobject_cast<CTButtonPicture*>(FindControl(dlg, kIdcSwitchSave))) {
                save->click();
                saved = true;
            } else {
                dlg->reject();
            }
        });
        page_->Button(f.button)->click();  // returns when the modal dialog has closed
        ASSERT_TRUE(saved);

        EXPECT_TRUE(PumpUntil(
            [&] {
                for (const std::string& mac : macs) {
                    if (value(SimRecord(mac)) != chosen) return false;
                }
                return true;
            },
            kPatience))
            << "the devices did not switch";
        // The page's own reload, two seconds after the routine ended, shows the stored values.
        const auto shown = [&] {
            for (const std::string& mac : macs) {
                const int row = Row(mac);
                if (row < 0) return false;
                if (page_->Grid()->CellText(row, f.column).toStdString() != text(SimRecord(mac), chosen)) {
                    return false;
                }
            }
            return true;
        };
        EXPECT_TRUE(PumpUntil(shown, kPatience))
            << Cell(Row(macs.front()), ListField::Mac) << " shows "
            << page_->Grid()->CellText(Row(macs.front()), f.column).toStdString();
        EXPECT_FALSE(page_->Searching());
    }
    EXPECT_TRUE(messages_.empty()) << messages_.front();
}

// ---- Set IP ----

struct SetIpCase {
    const char* what;
    int devices;                        // ticked rows, from the top of the grid
    const char* first;                  // the dialog's entries
    const char* last;                   // only with several devices
    std::vector<std::string> expected;  // the addresses the ticked rows get, in grid order
};

void PrintTo(const SetIpCase& c, std::ostream* os)
{
    *os << c.what;
}

class StatusPageSetIp : public StatusPageEndToEnd, public ::testing::WithParamInterface<SetIpCase> {};

// The dialog as the user fills it, from inside its modal loop: the entries, Save, then the 15 s
// progress run by hand once the devices have moved. Gives up (rejects) when anything is off, so
// exec() always returns.
void DriveIpDialog(const SetIpCase& c, const std::function<bool()>& moved, bool& saved, bool& closedByItself)
{
    auto* dlg = qobject_cast<CIpsetMutilDlg*>(QApplication::activeModalWidget());
    if (!dlg) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* other = qobject_cast<CIpsetMutilDlg*>(w)) other->reject();
        }
        ADD_FAILURE() << "no Set IP dialog is up";
        return;
    }
    EXPECT_EQ(dlg->DeviceCount(), c.devices);
    dlg->AddressControl(kIdcIpSetFirst)->SetText(QString::fromLatin1(c.first));
    if (c.devices > 1) dlg->AddressControl(kIdcIpSetLast)->SetText(QString::fromLatin1(c.last));
    auto* save = qobject_cast<CTButtonPicture*>(FindControl(dlg, kIdcIpSetSave));
    if (!save) {
        ADD_FAILURE() << "no Save button";
        dlg->reject();
        return;
    }
    save->click();
    saved = dlg->Busy();
    if (!saved) {
        dlg->reject();
        return;
    }
    dlg->ProgressTimer().setInterval(3600 * 1000);  // the test ticks it
    EXPECT_TRUE(PumpUntil(moved, kPatience)) << "the devices did not move";
    for (int i = 0; i < CIpsetMutilDlg::kProgressLength && dlg->isVisible(); ++i) {
        dlg->Tick();
        Pump();
    }
    closedByItself = dlg->result() == QDialog::Accepted;
    if (dlg->isVisible()) dlg->reject();
}

TEST_P(StatusPageSetIp, SaveMovesTheTickedDevicesAndThePageShowsTheirNewAddresses)
{
    const SetIpCase& c = GetParam();
    Start({"--count", "6", "--seed", "5", "--apply-ms", "300", "--heartbeat-ms", "500"});
    const std::vector<SimDevice> devices = SearchAll();
    ASSERT_FALSE(HasFatalFailure());

    for (int row = 0; row < c.devices; ++row) page_->Grid()->SetTicked(row, true);
    const std::vector<SelectionEntry> selection = page_->GatherSelection();
    ASSERT_EQ(selection.size(), static_cast<size_t>(c.devices));
    std::vector<std::string> macs;
    for (const SelectionEntry& e : selection) macs.emplace_back(CText(e.mac));

    const auto moved = [&] {
        for (size_t i = 0; i < macs.size(); ++i) {
            if (SimIp(macs[i]) != c.expected[i]) return false;
        }
        return true;
    };
    bool saved = false;
    bool closedByItself = false;
    QTimer::singleShot(0, page_.get(), [&] { DriveIpDialog(c, moved, saved, closedByItself); });
    int loads = 0;
    QObject::connect(page_.get(), &CListPage::pageLoaded, page_.get(), [&] { ++loads; });
    page_->Button(kIdcStatusSetIp)->click();  // returns when the modal dialog has closed
    EXPECT_GE(loads, 1) << "the page reloads when the dialog closes";

    ASSERT_TRUE(saved) << (messages_.empty() ? std::string("not saved") : messages_.front());
    EXPECT_TRUE(closedByItself) << "the progress run closes the dialog";
    ASSERT_TRUE(moved()) << "the first device is at " << SimIp(macs[0]);

    // The dialog's rediscoveries describe the devices at their new addresses; Refresh shows them.
    const auto shown = [&] {
        page_->RefreshButton()->click();
        for (size_t i = 0; i < macs.size(); ++i) {
            const int row = Row(macs[i]);
            if (row < 0 || Cell(row, ListField::Ip) != c.expected[i]) return false;
        }
        return page_->RowCount() == static_cast<int>(devices.size());
    };
    EXPECT_TRUE(PumpUntil(shown, kPatience))
        << "row of " << macs[0] << " shows "
        << (Row(macs[0]) < 0 ? "nothing" : Cell(Row(macs[0]), ListField::Ip));
    // The devices left alone kept their addresses.
    for (const SimDevice& d : devices) {
        if (std::find(macs.begin(), macs.end(), d.mac) != macs.end()) continue;
        EXPECT_EQ(SimIp(d.mac), d.ip);
        const int row = Row(d.mac);
        ASSERT_GE(row, 0) << d.mac;
        EXPECT_EQ(Cell(row, ListField::Ip), d.ip);
    }
    EXPECT_TRUE(messages_.empty()) << messages_.front();
}

INSTANTIATE_TEST_SUITE_P(
    Devices, StatusPageSetIp,
    ::testing::Values(SetIpCase{"one", 1, "10.99.20.77", "", {"10.99.20.77"}},
                      // .1.255 and .2.0 are skipped even though the /19 segment holds them as hosts.
                      SetIpCase{
                          "three", 3, "10.99.1.254", "10.99.2.2", {"10.99.1.254", "10.99.2.1", "10.99.2.2"}}),
    [](const ::testing::TestParamInfo<SetIpCase>& info) { return std::string(info.param.what); });

}  // namespace
}  // namespace pontiq::e2e
