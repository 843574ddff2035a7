// The wait popup: a modal progress bar for the time devices need after a command that restarts
// them or changes their address, with rediscovery passes toward its end so that the devices are
// found again when it closes.
#pragma once

#include <QTimer>
#include <functional>

#include "app/controls/ct_dialog.h"

class QProgressBar;

namespace pontiq {

class CTButtonPicture;

// The popup's tick schedule, one Tick per 500 ms timer tick. Pass R (counting down from the
// configured number) falls on tick total - 6 * R + 6, so the last pass is on the last tick; the
// first pass also releases the devices the engine knows.
class WaitSchedule {
public:
    struct Step {
        bool releaseDevices = false;
        bool discover = false;
        int progress = 0;
        bool finished = false;
    };

    WaitSchedule(int durationSeconds, bool rediscovery, int passes);

    Step Tick();
    // No more passes and no more progress (the popup was closed).
    void Stop() { stopped_ = true; }

    int TotalTicks() const { return totalTicks_; }
    int Counter() const { return counter_; }
    int ConfiguredPasses() const { return configuredPasses_; }
    int RemainingPasses() const { return remainingPasses_; }
    bool Rediscovery() const { return rediscovery_; }
    bool Stopped() const { return stopped_; }
    // The tick the next pass falls on, 0 when none is left.
    int NextPassTick() const;

private:
    int totalTicks_;
    int counter_ = 1;
    bool rediscovery_;
    int configuredPasses_;
    int remainingPasses_;
    bool stopped_ = false;
};

class CWaitDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 264;  // dialog units
    static constexpr int kHeight = 26;

    // What a pass calls; by default the application's engine.
    struct Actions {
        std::function<void()> releaseDevices;
        std::function<void()> discover;
    };

    CWaitDlg(int durationSeconds, bool rediscovery, int passes, QWidget* parent = nullptr);
    CWaitDlg(int durationSeconds, bool rediscovery, int passes, Actions actions, QWidget* parent);
    ~CWaitDlg() override;

    // One tick of timer 1000 (every 500 ms while the popup shows).
    void Tick();
    // The close button: ends the popup at once, as OK; no pass runs after it.
    void CloseNow();

    const WaitSchedule& Schedule() const { return schedule_; }
    QProgressBar* Progress() const { return progress_; }
    CTButtonPicture* CloseButton() const { return close_; }
    QTimer& TickTimer() { return timer_; }

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void Finish();

    WaitSchedule schedule_;
    Actions actions_;
    QTimer timer_;
    QProgressBar* progress_ = nullptr;
    CTButtonPicture* close_ = nullptr;
};

}  // namespace pontiq
