#include "ui/config/time_reboot_dlg.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "ui/config/reboot_rules.h"
#include "ui/config/tab_controls.h"

namespace pontiq {

namespace {

constexpr int kLabelWidth = 120;  // pixels
constexpr int kTimeEditWidth = 50;

constexpr const char* kDayKeys[8] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                     "Friday", "Saturday", "Sunday",    "Everyday"};

}  // namespace

CTimeRebootDlg::CTimeRebootDlg(const REBOOT_BLOCK& stored, QWidget* parent)
    : CTDialog(parent, Qt::Widget), stored_(stored)
{
    setObjectName(QStringLiteral("timeRebootDlg"));
    SetControlId(this, kDlgTimeReboot);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(DluX(14), DluY(10), DluX(14), DluY(8));
    column->setSpacing(DluY(8));

    QHBoxLayout* h = nullptr;
    QWidget* row = config_tab::Row(this, &h);
    CTStatic* label = config_tab::Label(kIdcRebootEnableLabel, "Time_to_restart", row);
    label->setFixedWidth(kLabelWidth);
    h->addWidget(label);
    enable_ = config_tab::CheckBox(kIdcRebootEnable, row);
    h->addWidget(enable_);
    h->addWidget(config_tab::Label(kIdcRebootEnableAfter, "Enable", row));
    h->addStretch(1);
    column->addWidget(row);

    row = config_tab::Row(this, &h);
    label = config_tab::Label(kIdcRebootTimeLabel, "Restart_time", row);
    label->setFixedWidth(kLabelWidth);
    h->addWidget(label);
    hour_ = config_tab::DigitEdit(kIdcRebootHour, row);
    hour_->setFixedWidth(kTimeEditWidth);
    h->addWidget(hour_);
    h->addWidget(config_tab::Label(kIdcRebootHourLabel, "Hour", row));
    h->addSpacing(DluX(6));
    minute_ = config_tab::DigitEdit(kIdcRebootMinute, row);
    minute_->setFixedWidth(kTimeEditWidth);
    h->addWidget(minute_);
    h->addWidget(config_tab::Label(kIdcRebootMinuteLabel, "Minutes", row));
    h->addStretch(1);
    column->addWidget(row);

    row = config_tab::Row(this, &h);
    label = config_tab::Label(kIdcRebootDateLabel, "Date", row);
    label->setFixedWidth(kLabelWidth);
    // Level with the first row of days.
    label->setFixedHeight(QCheckBox().sizeHint().height());
    h->addWidget(label, 0, Qt::AlignTop);
    // Three rows of days: Monday to Wednesday, Thursday to Saturday, Sunday and Everyday.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(DluX(6));
    grid->setVerticalSpacing(DluY(6));
    for (int i = 0; i < 8; ++i) {
        QCheckBox* box = config_tab::CheckBox(kIdcRebootMonday + i, row);
        auto* cell = new QHBoxLayout;
        cell->setSpacing(4);
        cell->addWidget(box);
        cell->addWidget(config_tab::Label(kIdcRebootMondayLabel + i, kDayKeys[i], row));
        cell->addStretch(1);
        grid->addLayout(cell, i / 3, i % 3);
        if (i < 7) {
            days_[static_cast<size_t>(i)] = box;
        } else {
            everyday_ = box;
        }
    }
    h->addLayout(grid, 1);
    column->addWidget(row);
    column->addStretch(1);

    // Opening: Enable and the Everyday rule (Everyday still unchecked, so the days come out
    // unchecked and enabled), then the stored days and time.
    const RebootView view = RebootViewOf(stored_);
    enable_->setChecked(view.enabled);
    if (view.enabled) ApplyEnableRule();
    ApplyEverydayRule();
    if (!view.enabled) ApplyEnableRule();
    for (size_t i = 0; i < days_.size(); ++i) days_[i]->setChecked(view.days[i]);
    // All seven days check Everyday; the seven boxes keep the state step 2 gave them.
    everyday_->setChecked(view.everyday);
    hour_->setText(QString::number(view.hour));
    minute_->setText(QString::number(view.minute));

    connect(enable_, &QCheckBox::clicked, this, &CTimeRebootDlg::ApplyEnableRule);
    connect(everyday_, &QCheckBox::clicked, this, &CTimeRebootDlg::ApplyEverydayRule);
}

void CTimeRebootDlg::ApplyEnableRule()
{
    const bool on = enable_->isChecked();
    hour_->setEnabled(on);
    minute_->setEnabled(on);
    for (QCheckBox* day : days_) day->setEnabled(on);
    everyday_->setEnabled(on);
}

void CTimeRebootDlg::ApplyEverydayRule()
{
    const bool all = everyday_->isChecked();
    for (QCheckBox* day : days_) {
        day->setChecked(all);
        day->setEnabled(!all);
    }
}

bool CTimeRebootDlg::Collect(PendingConfiguration& pending)
{
    pending.reboot_changed = 0;
    RebootEntries entries;
    entries.enabled = enable_->isChecked();
    entries.hour = hour_->text().toStdString();
    entries.minute = minute_->text().toStdString();
    for (size_t i = 0; i < days_.size(); ++i) entries.days[i] = days_[i]->isChecked();
    entries.everyday = everyday_->isChecked();
    const RebootCollectResult r = CollectReboot(stored_, entries);
    if (r.refusal) {
        ShowMessage(this, TranslateQ(std::string_view(r.refusal)));
        return false;
    }
    pending.reboot_block = r.block;
    pending.reboot_changed = r.changed ? 1 : 0;
    return true;
}

}  // namespace pontiq
