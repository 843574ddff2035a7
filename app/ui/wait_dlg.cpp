#include "app/ui/wait_dlg.h"

#include <QPainter>
#include <QProgressBar>
#include <QShowEvent>
#include <algorithm>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"

namespace pontiq {

// ---- Schedule ------------------------------------------------------------------------------

WaitSchedule::WaitSchedule(int durationSeconds, bool rediscovery, int passes)
    : totalTicks_(2 * std::max(0, durationSeconds)),
      rediscovery_(rediscovery),
      configuredPasses_(std::max(0, passes)),
      remainingPasses_(configuredPasses_)
{
}

int WaitSchedule::NextPassTick() const
{
    if (!rediscovery_ || stopped_ || remainingPasses_ <= 0) return 0;
    return totalTicks_ - 6 * remainingPasses_ + 6;
}

WaitSchedule::Step WaitSchedule::Tick()
{
    Step step;
    if (stopped_) {
        step.progress = std::min(counter_, totalTicks_);
        step.finished = true;
        return step;
    }
    ++counter_;
    // ">=" rather than "==": for a popup too short for all its passes (the first pass would fall
    // before the first tick) the passes are run as early as they can instead of never.
    if (rediscovery_ && remainingPasses_ > 0 && counter_ >= NextPassTick()) {
        step.releaseDevices = remainingPasses_ == configuredPasses_;
        --remainingPasses_;
        step.discover = true;
    }
    if (counter_ < totalTicks_) {
        step.progress = counter_;
    } else {
        step.progress = totalTicks_;
        step.finished = true;
        stopped_ = true;
    }
    return step;
}

// ---- Popup ---------------------------------------------------------------------------------

namespace {

CWaitDlg::Actions EngineActions()
{
    CWaitDlg::Actions actions;
    actions.releaseDevices = [] {
        if (CApplicationApp* app = CApplicationApp::InstancePointer(); app && app->HasEngine()) {
            app->engine().ReleaseDevices();
        }
    };
    actions.discover = [] {
        if (CApplicationApp* app = CApplicationApp::InstancePointer(); app && app->HasEngine()) {
            app->engine().Discover();
        }
    };
    return actions;
}

const QColor kWaitFill(242, 242, 242);

}  // namespace

CWaitDlg::CWaitDlg(int durationSeconds, bool rediscovery, int passes, QWidget* parent)
    : CWaitDlg(durationSeconds, rediscovery, passes, EngineActions(), parent)
{
}

CWaitDlg::CWaitDlg(int durationSeconds, bool rediscovery, int passes, Actions actions, QWidget* parent)
    : CTDialog(parent, Qt::Dialog),
      schedule_(durationSeconds, rediscovery, passes),
      actions_(std::move(actions))
{
    setObjectName(QStringLiteral("waitDlg"));
    SetControlId(this, kDlgWait);
    SetFrameless(true);
    setModal(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(QStringLiteral("Please wait"));

    progress_ = new QProgressBar(this);
    SetControlId(progress_, kIdcWaitProgress);
    progress_->setGeometry(DluRect(8, 8, 230, 10));
    progress_->setTextVisible(false);
    const QColor chunk = ToQColor(CurrentSettings().skin.gridTitleTextColor);
    progress_->setStyleSheet(
        QStringLiteral("QProgressBar { border: 1px solid rgb(190,190,190); border-radius: 3px;"
                       " background: white; }"
                       "QProgressBar::chunk { background: %1; border-radius: 2px; }")
            .arg(chunk.name()));

    TranslateWindow(this);
    EnableDrag(true);
    SetFillColor(kWaitFill);
    close_ = MakeCloseButton(kIdcWaitClose, QString::fromStdString(CurrentSkinPaths().closeWait),
                             TranslateQ(std::string_view("Close")), CurrentSettings().skin, this);
    close_->setGeometry(DluRect(245, 7, 12, 12));
    connect(close_, &CTButtonPicture::clicked, this, &CWaitDlg::CloseNow);

    progress_->setRange(0, schedule_.TotalTicks());
    progress_->setValue(0);

    timer_.setInterval(kWaitTickMs);
    timer_.setProperty(kTimerIdProperty, kTimerWaitTick);
    connect(&timer_, &QTimer::timeout, this, &CWaitDlg::Tick);
}

CWaitDlg::~CWaitDlg()
{
    timer_.stop();
}

void CWaitDlg::showEvent(QShowEvent* event)
{
    CTDialog::showEvent(event);
    // The popup starts counting when it shows, as its modal run begins.
    if (!timer_.isActive() && !schedule_.Stopped()) timer_.start();
    if (QWidget* owner = parentWidget()) {
        const QWidget* window = owner->window();
        move(window->geometry().center() - rect().center());
    }
}

void CWaitDlg::paintEvent(QPaintEvent* event)
{
    CTDialog::paintEvent(event);
    QPainter painter(this);
    painter.setPen(QColor(170, 170, 170));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CWaitDlg::Tick()
{
    if (schedule_.Stopped()) return;
    const WaitSchedule::Step step = schedule_.Tick();
    if (step.releaseDevices && actions_.releaseDevices) actions_.releaseDevices();
    if (step.discover && actions_.discover) actions_.discover();
    progress_->setValue(step.progress);
    if (step.finished) Finish();
}

void CWaitDlg::CloseNow()
{
    schedule_.Stop();
    Finish();
}

void CWaitDlg::Finish()
{
    timer_.stop();
    accept();
}

}  // namespace pontiq
