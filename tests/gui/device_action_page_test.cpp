// The reboot and restore pages on a test engine (recording sender) and a store in a temporary
// folder. The wait popup is the real CWaitDlg ticked by hand; the worker's 200 ms wait runs on a
// virtual clock, so no test sleeps.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/controls/ct_button_picture.h"
#include "app/ui/wait_dlg.h"
#include "store/value_format.h"
#include "tests/comm/engine_fixture.h"
#include "tests/gui/shell_test_support.h"
#include "tests/gui/status_test_support.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/maintenance/reboot_dlg.h"
#include "ui/maintenance/restore_dlg.h"

namespace pontiq::test {
namespace {

using testing_engine::kMacA;
using testing_engine::kMacB;
using testing_engine::kMacC;
using testing_engine::Sent;

struct PageKind {
    const char* name;
    uint16_t msgType;
    const char* confirmation;
    int passes;
    int statusColumn;
    uint32_t answeredStatus;  // what a device's answer to the command stores
    std::function<std::unique_ptr<CDeviceActionPage>(CDeviceActionPage::Services)> make;
};

void PrintTo(const PageKind& k, std::ostream* os)
{
    *os << k.name;
}

const PageKind kReboot{
    "reboot",
    MSG_REBOOT,
    "Are you sure you want to restart?",
    3,
    kRebootColStatus,
    STATUS_RESTARTING,
    [](CDeviceActionPage::Services s) { return std::make_unique<CRebootDlg>(std::move(s), nullptr); }};
const PageKind kRestore{
    "restore",
    MSG_RESTORE,
    "Are you sure you want to reset?",
    5,
    kRestoreColStatus,
    STATUS_RESETING,
    [](CDeviceActionPage::Services s) { return std::make_unique<CRestoreDlg>(std::move(s), nullptr); }};

class DeviceActionPageTest : public testing_engine::EngineTest,
                             public ::testing::WithParamInterface<PageKind> {
public:
    void SetUp() override
    {
        EngineTest::SetUp();
        previousPresenter_ = SetMessagePresenter([this](const MessageRequest& request) {
            messages.push_back(request);
            return request.buttons == MessageButtons::OkCancel ? confirmAnswer : MessageResult::Ok;
        });
        // Sends are stamped with the worker's virtual clock.
        sender_->onSend = [this](const Sent& s) {
            std::lock_guard lock(mutex_);
            if (s.kind == Sent::Multicast) stamped.push_back({s.Type(), s.Mac(), virtualMs.load()});
        };
        CDeviceActionPage::Services services{engine_.get(), store_.get(), {}};
        services.pause = [this](std::chrono::milliseconds ms, const std::atomic<bool>& stop) {
            if (stop.load()) return false;
            virtualMs += static_cast<long>(ms.count());
            return true;
        };
        page = GetParam().make(services);
        page->SetWaitPopup(
            [this](CDeviceActionPage& p, int seconds, int passes) { RunPopup(p, seconds, passes); });
        page->resize(1100, 600);
        page->show();
    }

    void TearDown() override
    {
        page.reset();
        SetMessagePresenter(previousPresenter_);
        EngineTest::TearDown();
    }

    // The real popup, ticked by hand to its end; `during` runs after each tick.
    void RunPopup(CDeviceActionPage& p, int seconds, int passes)
    {
        popupSeconds = seconds;
        popupPasses = passes;
        followUpActiveDuringPopup = p.Timer(kTimerActionFollowUp)->isActive();
        CWaitDlg::Actions actions;
        actions.releaseDevices = [this] { ++releases; };
        actions.discover = [this] { ++popupDiscoveries; };
        CWaitDlg popup(seconds, true, passes, actions, &p);
        popup.TickTimer().setInterval(3600 * 1000);
        popup.show();
        for (int tick = 0; tick < 1000 && popup.isVisible(); ++tick) {
            popup.Tick();
            ++popupTicks;
            if (during) during(popupTicks);
        }
        popupClosedByItself = !popup.isVisible();
    }

    void Describe(const MacAddress& mac, const char* ip, const ap_info_stu& record)
    {
        Discovered(mac, ip);
        Receive(ReceiveQueue::Reply, ip, BuildDeviceRecordReply(mac, record));
    }

    // A (access point, wireless MAC 02:..:aa), B (station bridged to A), C (alone); in IP order
    // the station comes first.
    void StoreBridgedPair()
    {
        ap_info_stu ap = testing_engine::DeviceRecord("192.168.0.30");
        const uint8_t wireless[6] = {0x02, 0x11, 0x22, 0x33, 0x44, 0xaa};
        std::copy(std::begin(wireless), std::end(wireless), ap.radio_block.security.ssid_mac);
        ap_info_stu station = testing_engine::DeviceRecord("192.168.0.20");
        station.work_mode = 2;
        std::copy(std::begin(wireless), std::end(wireless), station.bridge_mac);
        Describe(kMacA, "192.168.0.30", ap);
        Describe(kMacB, "192.168.0.20", station);
        Describe(kMacC, "192.168.0.40", testing_engine::DeviceRecord("192.168.0.40"));
        sender_->Take();
    }

    void TickAll()
    {
        page->RefreshPage(1);
        for (int row = 0; row < page->RowCount(); ++row) page->Grid()->SetTicked(row, true);
    }

    int Row(const MacAddress& mac)
    {
        return page->FindRow(ListField::Mac, QString::fromStdString(MacText(mac)));
    }
    QString StatusCell(const MacAddress& mac)
    {
        return page->Grid()->CellText(Row(mac), GetParam().statusColumn);
    }

    struct Stamped {
        uint16_t type;
        std::string mac;
        long atMs;
    };
    std::vector<Stamped> Stamps(uint16_t type)
    {
        std::lock_guard lock(mutex_);
        std::vector<Stamped> out;
        for (const Stamped& s : stamped) {
            if (s.type == type) out.push_back(s);
        }
        return out;
    }
    size_t Broadcasts(uint16_t type)
    {
        size_t n = 0;
        for (const Sent& s : sender_->Take()) n += s.kind == Sent::Broadcast && s.Type() == type ? 1 : 0;
        return n;
    }

    std::unique_ptr<CDeviceActionPage> page;
    std::vector<MessageRequest> messages;
    MessageResult confirmAnswer = MessageResult::Ok;
    std::atomic<long> virtualMs{0};
    std::vector<Stamped> stamped;
    std::function<void(int tick)> during;
    int popupSeconds = 0;
    int popupPasses = 0;
    int popupTicks = 0;
    int releases = 0;
    int popupDiscoveries = 0;
    bool popupClosedByItself = false;
    bool followUpActiveDuringPopup = false;

private:
    std::mutex mutex_;
    MessagePresenter previousPresenter_;
};

TEST_P(DeviceActionPageTest, NothingTickedShowsOnlyTheMessage)
{
    StoreBridgedPair();
    page->RefreshPage(1);
    ASSERT_EQ(page->RowCount(), 3);
    page->ActionButton()->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QStringLiteral("Please select the devices!"));
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[0].caption, QString());
    EXPECT_EQ(popupTicks, 0) << "no popup";
    EXPECT_FALSE(page->Timer(kTimerActionFollowUp)->isActive());
    EXPECT_FALSE(page->Timer(kTimerActionReload)->isActive());
    page->Worker().Wait();
    EXPECT_TRUE(sender_->Take().empty());
}

TEST_P(DeviceActionPageTest, CancelAtTheConfirmationSendsNothing)
{
    StoreBridgedPair();
    TickAll();
    confirmAnswer = MessageResult::Cancel;
    page->ActionButton()->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, QString::fromLatin1(GetParam().confirmation));
    EXPECT_EQ(messages[0].icon, MessageIcon::Question);
    EXPECT_EQ(messages[0].buttons, MessageButtons::OkCancel);
    page->Worker().Wait();
    EXPECT_TRUE(sender_->Take().empty());
    EXPECT_EQ(popupTicks, 0);
    EXPECT_FALSE(page->Timer(kTimerActionReload)->isActive());
}

TEST_P(DeviceActionPageTest, BridgedAccessPointGetsTheCommand200MsBeforeItsStation)
{
    StoreBridgedPair();
    TickAll();
    std::vector<std::string> rest;  // grid order without the access point
    for (const SelectionEntry& e : page->GatherSelection()) {
        if (CText(e.mac) != MacText(kMacA)) rest.emplace_back(CText(e.mac));
    }
    ASSERT_EQ(rest.size(), 2u);
    page->ActionButton()->click();
    page->Worker().Wait();
    const std::vector<Stamped> sends = Stamps(GetParam().msgType);
    ASSERT_EQ(sends.size(), 3u);
    EXPECT_EQ(sends[0].mac, MacText(kMacA));
    EXPECT_EQ(sends[0].atMs, 0);
    for (size_t i = 0; i < rest.size(); ++i) {
        EXPECT_EQ(sends[i + 1].mac, rest[i]) << "the rest in grid order";
        EXPECT_EQ(sends[i + 1].atMs, 200);
    }
}

TEST_P(DeviceActionPageTest, StatusAndSerialHeadersDoNotSort)
{
    StoreBridgedPair();
    page->RefreshPage(1);
    const int column = page->SortColumn();
    const bool descending = page->SortDescending();
    for (int c : {static_cast<int>(kRebootColSerial), GetParam().statusColumn}) {
        page->OnHeaderClicked(c);
        EXPECT_EQ(page->SortColumn(), column) << c;
        EXPECT_EQ(page->SortDescending(), descending) << c;
    }
    // The column before Status sorts: security mode on the reboot page, power on the restore page.
    page->OnHeaderClicked(GetParam().statusColumn - 1);
    EXPECT_EQ(page->SortColumn(), GetParam().statusColumn - 1);
    EXPECT_EQ(page->SortKey(), GetParam().statusColumn == kRestoreColStatus ? 8 : 7);
}

TEST_P(DeviceActionPageTest, PopupRunsSixtySecondsAndThePageFollowsReloadsAndKeepsSilentDevicesStatus)
{
    StoreBridgedPair();
    TickAll();
    for (const MacAddress& mac : {kMacA, kMacB, kMacC}) EXPECT_EQ(StatusCell(mac), QStringLiteral("Online"));

    // A and B answer the command at once; B comes back during the popup, A and C never answer
    // anything again.
    during = [this](int tick) {
        if (tick == 2) {
            Receive(ReceiveQueue::Reply, "192.168.0.30", BuildResultReply(21, GetParam().msgType, kMacA, 0));
            Receive(ReceiveQueue::Reply, "192.168.0.20", BuildResultReply(21, GetParam().msgType, kMacB, 0));
            page->OnTimer(kTimerActionFollowUp);
            EXPECT_EQ(StatusCell(kMacA), LocalToQString(StatusText(GetParam().answeredStatus)));
            EXPECT_EQ(StatusCell(kMacB), LocalToQString(StatusText(GetParam().answeredStatus)));
            EXPECT_EQ(page->Grid()->CellTextColor(Row(kMacA), GetParam().statusColumn),
                      page->ToneColor(CellTone::Online));
            EXPECT_EQ(StatusCell(kMacC), QStringLiteral("Online"));
        }
        if (tick == 110) {
            ap_info_stu station = testing_engine::DeviceRecord("192.168.0.20");
            Describe(kMacB, "192.168.0.20", station);
            page->OnTimer(kTimerActionFollowUp);
            EXPECT_EQ(StatusCell(kMacB), QStringLiteral("Online"));
        }
    };
    page->ActionButton()->click();

    EXPECT_EQ(popupSeconds, 60);
    EXPECT_EQ(popupPasses, GetParam().passes);
    EXPECT_TRUE(followUpActiveDuringPopup);
    EXPECT_TRUE(popupClosedByItself);
    EXPECT_EQ(popupTicks, 119) << "the popup's counter starts at 1 and closes at 120";
    EXPECT_EQ(releases, 1);
    EXPECT_EQ(popupDiscoveries, GetParam().passes);

    // When it has closed: the follow-up stops, one discovery, the reload a second later.
    EXPECT_FALSE(page->Timer(kTimerActionFollowUp)->isActive());
    EXPECT_EQ(Broadcasts(MSG_DISCOVER), 1u);
    QTimer* reload = page->Timer(kTimerActionReload);
    ASSERT_TRUE(reload->isActive());
    EXPECT_EQ(reload->interval(), 1000);
    int loaded = 0;
    QObject::connect(page.get(), &CListPage::pageLoaded, [&loaded] { ++loaded; });
    page->OnTimer(kTimerActionReload);
    EXPECT_FALSE(reload->isActive()) << "once only";
    EXPECT_EQ(loaded, 1);

    // The reloaded page shows what is stored: B came back, A keeps the status of its answer, C
    // (never answered) keeps "Online".
    EXPECT_EQ(StatusCell(kMacB), QStringLiteral("Online"));
    EXPECT_EQ(StatusCell(kMacA), LocalToQString(StatusText(GetParam().answeredStatus)));
    EXPECT_EQ(StatusCell(kMacC), QStringLiteral("Online"));
}

TEST_P(DeviceActionPageTest, ANewRunEndsTheWorkerOfTheEarlierOne)
{
    StoreBridgedPair();
    TickAll();
    // The first run's worker blocks in its wait until the second run asks it to stop.
    std::atomic<bool> firstWaiting{false};
    CDeviceActionPage::Services services{engine_.get(), store_.get(), {}};
    services.pause = [&](std::chrono::milliseconds, const std::atomic<bool>& stop) {
        firstWaiting = true;
        while (!stop.load()) std::this_thread::yield();
        return false;
    };
    page = GetParam().make(services);
    page->SetWaitPopup([](CDeviceActionPage&, int, int) {});
    TickAll();
    page->ActionButton()->click();
    ASSERT_TRUE(PumpUntil([&] { return firstWaiting.load(); }, 20000));
    EXPECT_EQ(Stamps(GetParam().msgType).size(), 1u) << "only the access point before the wait";
    page->ActionButton()->click();  // ends the first worker, then starts again (and waits again)
    ASSERT_TRUE(PumpUntil([&] { return Stamps(GetParam().msgType).size() == 2u; }, 20000));
    page.reset();  // closing the page ends the waiting worker
    EXPECT_EQ(Stamps(GetParam().msgType).size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Pages, DeviceActionPageTest, ::testing::Values(kReboot, kRestore),
                         [](const ::testing::TestParamInfo<PageKind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pontiq::test
