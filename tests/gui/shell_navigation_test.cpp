#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_multi_pages.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/application_dlg.h"
#include "app/ui/child_dlg.h"
#include "app/ui/menu_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/wait_dlg.h"
#include "tests/gui/shell_test_support.h"

namespace pontiq {
namespace {

using test::RecordingPage;

constexpr int kAllPages[] = {133, 134, 135, 136, 137, 138, 139, 155};

// The main window with recording pages in place of the program's.
class MainWindowFixture : public ::testing::Test {
protected:
    MainWindowFixture() : window_(nullptr, test::CreateRecordingPage) {}

    RecordingPage* Page(int id) { return static_cast<RecordingPage*>(window_.PageContainer()->Page(id)); }
    CChildDlg& Container() { return *window_.PageContainer(); }
    CMenuDlg& Menu() { return *window_.MenuPanel(); }
    std::vector<int> VisiblePages()
    {
        std::vector<int> visible;
        for (int id : kAllPages) {
            if (!Page(id)->isHidden()) visible.push_back(id);
        }
        return visible;
    }
    std::vector<int> MarkedButtons()
    {
        std::vector<int> marked;
        for (const CMenuDlg::Entry& entry : CMenuDlg::Entries()) {
            if (Menu().Button(entry.buttonId)->IsSelected()) marked.push_back(entry.buttonId);
        }
        return marked;
    }

    CApplicationDlg window_;
};

TEST_F(MainWindowFixture, StartsOnTheStatusPageWithBothTimersRunning)
{
    EXPECT_EQ(Container().CurrentPageId(), kPageStatus);
    EXPECT_EQ(VisiblePages(), std::vector<int>{kPageStatus});
    EXPECT_EQ(MarkedButtons(), std::vector<int>{kIdcMenuStatus});
    EXPECT_EQ(Container().AutoRefresh(), 1);

    QTimer* afterSwitch = Container().Timer(kTimerAfterSwitch);
    QTimer* periodic = Container().Timer(kTimerPageRefresh);
    ASSERT_TRUE(afterSwitch && periodic);
    EXPECT_TRUE(afterSwitch->isActive());
    EXPECT_TRUE(afterSwitch->isSingleShot());
    EXPECT_EQ(afterSwitch->interval(), 100);
    EXPECT_TRUE(periodic->isActive());
    EXPECT_FALSE(periodic->isSingleShot());
    EXPECT_EQ(periodic->interval(), 30000);

    // Layout: panel below the banner at the left edge, container right of it.
    EXPECT_EQ(Menu().pos(), QPoint(0, CApplicationDlg::kMenuTop));
    EXPECT_EQ(Container().pos(), QPoint(Menu().width(), CApplicationDlg::kContainerTop));
    EXPECT_TRUE(window_.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(window_.isWindow());
    EXPECT_FALSE(Menu().isWindow());
    EXPECT_FALSE(Container().isWindow());
}

TEST_F(MainWindowFixture, StatusPageRefreshesAbout100MsAfterStart)
{
    window_.show();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::PumpUntil([&] { return Page(kPageStatus)->refreshes > 0; }, 2000));
    EXPECT_GE(clock.elapsed(), 80);
    EXPECT_EQ(Page(kPageStatus)->refreshes, 1);
    EXPECT_FALSE(Container().Timer(kTimerAfterSwitch)->isActive());  // one-shot
}

TEST_F(MainWindowFixture, EveryMenuButtonMarksItselfAndShowsItsPage)
{
    for (const CMenuDlg::Entry& entry : CMenuDlg::Entries()) {
        SCOPED_TRACE(entry.caption);
        Container().Timer(kTimerAfterSwitch)->stop();
        for (int id : kAllPages) Page(id)->refreshes = 0;

        Menu().Button(entry.buttonId)->click();

        EXPECT_EQ(MarkedButtons(), std::vector<int>{entry.buttonId});
        EXPECT_EQ(Container().CurrentPageId(), entry.pageId);
        EXPECT_EQ(VisiblePages(), std::vector<int>{entry.pageId});
        EXPECT_TRUE(Container().Timer(kTimerAfterSwitch)->isActive());
        EXPECT_EQ(Page(entry.pageId)->refreshes, 0);  // not before the timer

        Container().OnTimer(kTimerAfterSwitch);
        // Install help and system tool have no refresh.
        const int expected = CChildDlg::IsListPage(entry.pageId) ? 1 : 0;
        EXPECT_EQ(Page(entry.pageId)->refreshes, expected);
        EXPECT_FALSE(Container().Timer(kTimerAfterSwitch)->isActive());
        for (int id : kAllPages) {
            if (id != entry.pageId) {
                EXPECT_EQ(Page(id)->refreshes, 0) << id;
            }
        }
    }
}

TEST_F(MainWindowFixture, SwitchRefreshRunsOnceAfter100MsOnTheNewPage)
{
    window_.show();
    ASSERT_TRUE(test::PumpUntil([&] { return Page(kPageStatus)->refreshes > 0; }, 2000));
    Menu().Button(kIdcMenuReboot)->click();
    // Switching twice quickly restarts the timer: only the last page is refreshed.
    Menu().Button(kIdcMenuBridge)->click();
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(test::PumpUntil([&] { return Page(kPageBridge)->refreshes > 0; }, 2000));
    EXPECT_GE(clock.elapsed(), 80);
    test::PumpFor(150);
    EXPECT_EQ(Page(kPageBridge)->refreshes, 1);
    EXPECT_EQ(Page(kPageReboot)->refreshes, 0);
}

TEST_F(MainWindowFixture, PeriodicRefreshSkipsRebootUpgradeRestoreAndSuspendedRuns)
{
    struct Case {
        int pageId;
        int autoRefresh;
        bool refreshed;
    };
    const Case cases[] = {
        {133, 1, true},  {134, 1, true},  {135, 1, true},  {136, 1, false}, {137, 1, false},
        {138, 1, false}, {139, 1, false}, {155, 1, false}, {133, 0, false}, {134, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageId);
        Container().ShowPage(c.pageId);
        Container().SetAutoRefresh(c.autoRefresh);
        Page(c.pageId)->refreshes = 0;
        Container().OnTimer(kTimerPageRefresh);
        EXPECT_EQ(Page(c.pageId)->refreshes, c.refreshed ? 1 : 0);
    }
    Container().SetAutoRefresh(1);
}

TEST_F(MainWindowFixture, PagerMessagesReachOnlyTheSixListPages)
{
    struct Case {
        int pageId;
        bool delivered;
    };
    const Case cases[] = {{133, true}, {134, true},  {135, true},  {136, true}, {137, true},
                          {138, true}, {139, false}, {155, false}, {0, false},  {2023, false}};
    int page = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pageId);
        Container().OnPageChange(c.pageId, page);
        for (int id : kAllPages) {
            const bool here = c.delivered && id == c.pageId;
            EXPECT_EQ(Page(id)->pagesAsked, here ? std::vector<int>{page} : std::vector<int>{}) << id;
            Page(id)->pagesAsked.clear();
        }
        ++page;
    }
}

TEST_F(MainWindowFixture, AClickOnAPagerStripGoesToItsListPage)
{
    ASSERT_EQ(CChildDlg::Published(), &Container());
    CTMultiPages pager;
    pager.resize(300, 30);
    pager.Reset(kPageManagement);
    pager.SetPageCount(5);
    Container().ConnectPager(&pager);

    const auto& values = pager.SlotValues();
    const auto it = std::find(values.begin(), values.end(), 3);
    ASSERT_NE(it, values.end());
    const QPoint centre = pager.SlotRects()[static_cast<size_t>(it - values.begin())].center();
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, centre, pager.mapToGlobal(centre), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&pager, &event);
    }
    EXPECT_EQ(Page(kPageManagement)->pagesAsked, std::vector<int>{3});
    EXPECT_TRUE(Page(kPageStatus)->pagesAsked.empty());
}

TEST_F(MainWindowFixture, EnterAndEscapeNeitherCloseNorPress)
{
    window_.show();
    int clicks = 0;
    for (int id : {kIdcClose, kIdcMin, kIdcHelp}) {
        QObject::connect(window_.TitleButton(id), &QAbstractButton::clicked, [&] { ++clicks; });
    }
    QWidget* targets[] = {&window_, window_.TitleButton(kIdcClose), Menu().Button(kIdcMenuReboot),
                          &Container()};
    for (QWidget* target : targets) {
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
            QApplication::sendEvent(target, &press);
            QApplication::sendEvent(target, &release);
        }
    }
    test::PumpFor(20);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.Ended());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(Container().CurrentPageId(), kPageStatus);  // the focused menu button was not pressed

    CWaitDlg wait(60, false, 3, CWaitDlg::Actions{}, &window_);
    wait.show();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&wait, &escape);
    EXPECT_TRUE(wait.isVisible());
}

TEST_F(MainWindowFixture, MenuCaptionsFitTheirButtonsEvenWhenSelected)
{
    for (const CMenuDlg::Entry& entry : CMenuDlg::Entries()) {
        const CTButtonPicture* button = Menu().Button(entry.buttonId);
        const QFont bold = SkinFont(button->FaceName(), 700, button->FontHeight());
        EXPECT_LE(QFontMetrics(bold).horizontalAdvance(button->Caption()), button->width()) << entry.caption;
        EXPECT_GE(button->FontHeight(), 9);
    }
}

TEST_F(MainWindowFixture, PanelEnablesAndDisablesAsOne)
{
    Menu().SetPanelEnabled(false);
    for (const CMenuDlg::Entry& entry : CMenuDlg::Entries())
        EXPECT_FALSE(Menu().Button(entry.buttonId)->isEnabled());
    EXPECT_FALSE(Menu().VersionLabel()->isEnabled());
    Menu().Button(kIdcMenuReboot)->click();  // a disabled button does nothing
    EXPECT_EQ(Container().CurrentPageId(), kPageStatus);
    Menu().SetPanelEnabled(true);
    for (const CMenuDlg::Entry& entry : CMenuDlg::Entries())
        EXPECT_TRUE(Menu().Button(entry.buttonId)->isEnabled());
    EXPECT_TRUE(Menu().VersionLabel()->isEnabled());
    EXPECT_EQ(ControlId(Menu().VersionLabel()), kIdcVersionLabel);
    EXPECT_EQ(Menu().VersionLabel()->text().left(1), "V");
}

TEST_F(MainWindowFixture, MinHidesWithinReachAndTheTrayBringsItBack)
{
    window_.show();
    window_.OnCommand(kIdcMin);
    // Without a tray the window is minimised, never hidden beyond reach.
    EXPECT_TRUE(!window_.isVisible() || window_.isMinimized());
    if (!window_.isVisible()) {
        EXPECT_TRUE(window_.TrayIcon()->isVisible());
    }
    window_.OnTrayActivated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(window_.isVisible());
    EXPECT_FALSE(window_.isMinimized());
    EXPECT_FALSE(window_.Ended());

    QMenu* tray = window_.TrayMenu();
    ASSERT_EQ(tray->actions().size(), 2);
    EXPECT_EQ(tray->actions()[0]->data().toInt(), kCmdTrayShow);
    EXPECT_EQ(tray->actions()[1]->data().toInt(), kCmdTrayExit);
    tray->actions()[1]->trigger();
    EXPECT_TRUE(window_.Ended());
    EXPECT_FALSE(window_.isVisible());
}

TEST_F(MainWindowFixture, ExitWhileAPopupRunsEndsThePopupThenTheWindow)
{
    bool popupReturned = false;
    int passes = 0;
    QTimer::singleShot(0, [&] {
        CWaitDlg wait(60, true, 3, {[] {}, [&] { ++passes; }}, &window_);
        QTimer::singleShot(30, [&] { window_.OnCommand(kCmdTrayExit); });
        wait.exec();
        popupReturned = true;
    });
    window_.RunModal();  // returns only once both have ended
    EXPECT_TRUE(popupReturned);
    EXPECT_TRUE(window_.Ended());
    EXPECT_EQ(passes, 0);
}

TEST_F(MainWindowFixture, TitleButtonsCarryIdsPlacesAndTips)
{
    struct Case {
        int id;
        int x;  // dialog units
        const char* tip;
    };
    const Case cases[] = {{kIdcHelp, 647, "Info"}, {kIdcMin, 666, "Min"}, {kIdcClose, 684, "Close"}};
    for (const Case& c : cases) {
        CTButtonPicture* button = window_.TitleButton(c.id);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(ControlId(button), c.id);
        EXPECT_EQ(button->toolTip(), c.tip);
        EXPECT_EQ(button->geometry(), DluRect(c.x, 2, 17, 10));
        EXPECT_EQ(button->style()->styleHint(QStyle::SH_ToolTip_WakeUpDelay, nullptr, button), 500);
    }
}

}  // namespace
}  // namespace pontiq
