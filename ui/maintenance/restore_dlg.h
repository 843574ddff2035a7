// The "Device restore" page: ticked devices return to their factory settings.
#pragma once

#include "ui/maintenance/device_action_page.h"

namespace pontiq {

// The twelve grid columns.
enum RestoreColumn : int {
    kRestoreColTick = 0,
    kRestoreColSerial,
    kRestoreColLocation,
    kRestoreColType,
    kRestoreColIp,
    kRestoreColMac,
    kRestoreColMode,
    kRestoreColSsid,
    kRestoreColChannel,
    kRestoreColSecurity,
    kRestoreColPower,
    kRestoreColStatus,
    kRestoreColumnCount
};

std::vector<ListColumn> RestoreColumns();

class CRestoreDlg : public CDeviceActionPage {
    Q_OBJECT

public:
    static constexpr int kPasses = 5;

    explicit CRestoreDlg(QWidget* parent = nullptr);
    CRestoreDlg(Services services, QWidget* parent);
};

}  // namespace pontiq
