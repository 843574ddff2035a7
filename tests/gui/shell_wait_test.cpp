#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QProgressBar>
#include <vector>

#include "app/controls/ct_button_picture.h"
#include "app/ui/shell_ids.h"
#include "app/ui/wait_dlg.h"

namespace pontiq {
namespace {

// A popup whose passes are recorded by tick instead of reaching an engine.
struct Recorder {
    std::vector<int> releases;
    std::vector<int> discovers;
    CWaitDlg* dialog = nullptr;

    CWaitDlg::Actions Actions()
    {
        return {[this] { releases.push_back(dialog->Schedule().Counter()); },
                [this] { discovers.push_back(dialog->Schedule().Counter()); }};
    }
};

struct PassCase {
    const char* name;
    int seconds;
    bool rediscovery;
    int passes;
    std::vector<int> discoverTicks;
    std::vector<int> releaseTicks;
};

TEST(WaitPopup, RunsItsPassesOnTheScheduledTicksAndClosesAtTheEnd)
{
    const PassCase cases[] = {
        {"reboot: 60 s, 3 passes", 60, true, 3, {108, 114, 120}, {108}},
        {"restore: 60 s, 5 passes", 60, true, 5, {96, 102, 108, 114, 120}, {96}},
        {"IP change: 15 s, 3 passes", 15, true, 3, {18, 24, 30}, {18}},
        {"VLAN change: rediscovery off", 60, false, 3, {}, {}},
        {"no passes", 15, true, 0, {}, {}},
        // Too short for its passes by the formula: they still all run, before the end.
        {"5 s, 3 passes", 5, true, 3, {2, 4, 10}, {2}},
    };
    for (const PassCase& c : cases) {
        SCOPED_TRACE(c.name);
        Recorder recorder;
        CWaitDlg popup(c.seconds, c.rediscovery, c.passes, recorder.Actions(), nullptr);
        recorder.dialog = &popup;
        const int total = 2 * c.seconds;
        EXPECT_EQ(popup.Progress()->minimum(), 0);
        EXPECT_EQ(popup.Progress()->maximum(), total);
        EXPECT_EQ(popup.Progress()->value(), 0);
        EXPECT_EQ(popup.Schedule().Counter(), 1);

        int ticks = 0;
        while (popup.result() != QDialog::Accepted && ticks < 1000) {
            popup.Tick();
            ++ticks;
            if (popup.result() != QDialog::Accepted) {
                EXPECT_EQ(popup.Progress()->value(), popup.Schedule().Counter());
            }
        }
        EXPECT_EQ(popup.result(), QDialog::Accepted);
        EXPECT_EQ(popup.Schedule().Counter(), total);
        EXPECT_EQ(ticks, total - 1);  // the counter starts at 1
        EXPECT_EQ(popup.Progress()->value(), total);
        EXPECT_EQ(recorder.discovers, c.discoverTicks);
        EXPECT_EQ(recorder.releases, c.releaseTicks);
        EXPECT_FALSE(popup.TickTimer().isActive());

        popup.Tick();  // a late tick changes nothing
        EXPECT_EQ(recorder.discovers, c.discoverTicks);
    }
}

TEST(WaitPopup, TheCloseButtonStopsEveryLaterPass)
{
    Recorder recorder;
    CWaitDlg popup(60, true, 3, recorder.Actions(), nullptr);
    recorder.dialog = &popup;
    popup.show();
    EXPECT_TRUE(popup.TickTimer().isActive());
    EXPECT_EQ(popup.TickTimer().interval(), 500);
    while (popup.Schedule().Counter() < 110) popup.Tick();
    EXPECT_EQ(recorder.discovers, std::vector<int>{108});

    CTButtonPicture* close = popup.CloseButton();
    ASSERT_NE(close, nullptr);
    EXPECT_EQ(ControlId(close), kIdcWaitClose);
    close->click();

    EXPECT_EQ(popup.result(), QDialog::Accepted);
    EXPECT_FALSE(popup.isVisible());
    EXPECT_FALSE(popup.TickTimer().isActive());
    for (int i = 0; i < 20; ++i) popup.Tick();
    EXPECT_EQ(recorder.discovers, std::vector<int>{108});
    EXPECT_EQ(recorder.releases, std::vector<int>{108});
    EXPECT_LT(popup.Progress()->value(), 120);
}

TEST(WaitPopup, HasItsIdsSizeAndLook)
{
    CWaitDlg popup(15, true, 3, CWaitDlg::Actions{}, nullptr);
    EXPECT_EQ(ControlId(&popup), kDlgWait);
    EXPECT_EQ(ControlId(popup.Progress()), kIdcWaitProgress);
    EXPECT_TRUE(popup.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_TRUE(popup.DragEnabled());
    EXPECT_EQ(popup.FillColor(), QColor(242, 242, 242));
    EXPECT_FALSE(popup.TickTimer().isActive());  // counting starts when it shows
    // Without an engine the default passes do nothing.
    CWaitDlg detached(1, true, 1, nullptr);
    detached.Tick();
    EXPECT_EQ(detached.result(), QDialog::Accepted);
}

}  // namespace
}  // namespace pontiq
