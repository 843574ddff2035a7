// Timed reboot tab of the configuration sheet (dialog 142): the weekly reboot schedule. No
// buttons: the sheet's Save calls Collect last.
#pragma once

#include <array>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/pending_config.h"

class QCheckBox;
class QLineEdit;

namespace pontiq {

enum TimeRebootControlId : int {
    kDlgTimeReboot = 142,
    kIdcRebootHour = 1009,
    kIdcRebootMinute = 1010,
    kIdcRebootEnable = 1028,
    kIdcRebootEnableLabel = 1029,  // "Time_to_restart"
    kIdcRebootTimeLabel = 1030,
    kIdcRebootEnableAfter = 1031,  // "Enable"
    kIdcRebootDateLabel = 1032,
    kIdcRebootMonday = 1033,  // .. 1039 Sunday
    kIdcRebootSunday = 1039,
    kIdcRebootEveryday = 1040,
    kIdcRebootMondayLabel = 1074,  // .. 1081 Everyday
    kIdcRebootHourLabel = 1128,
    kIdcRebootMinuteLabel = 1129,
};

class CTimeRebootDlg : public CTDialog {
    Q_OBJECT

public:
    // The page keeps the stored block it is created with and reads nothing else of the device.
    explicit CTimeRebootDlg(const REBOOT_BLOCK& stored, QWidget* parent = nullptr);

    // Fills the reboot block and the reboot changed flag. False when the entries were refused
    // (the message has been shown; the focus stays where it was).
    bool Collect(PendingConfiguration& pending);

    QCheckBox* EnableBox() const { return enable_; }
    QCheckBox* EverydayBox() const { return everyday_; }
    QCheckBox* DayBox(int index) const { return days_[static_cast<size_t>(index)]; }  // 0 Monday
    QLineEdit* HourEdit() const { return hour_; }
    QLineEdit* MinuteEdit() const { return minute_; }

    // The two rules of the boxes, as a click applies them.
    void ApplyEnableRule();
    void ApplyEverydayRule();

private:
    REBOOT_BLOCK stored_{};
    QCheckBox* enable_ = nullptr;
    QLineEdit* hour_ = nullptr;
    QLineEdit* minute_ = nullptr;
    std::array<QCheckBox*, 7> days_{};
    QCheckBox* everyday_ = nullptr;
};

}  // namespace pontiq
