// The "Device reboot" page: ticked devices restart.
#pragma once

#include "ui/maintenance/device_action_page.h"

namespace pontiq {

// The eleven grid columns.
enum RebootColumn : int {
    kRebootColTick = 0,
    kRebootColSerial,
    kRebootColLocation,
    kRebootColType,
    kRebootColIp,
    kRebootColMac,
    kRebootColMode,
    kRebootColSsid,
    kRebootColChannel,
    kRebootColSecurity,
    kRebootColStatus,
    kRebootColumnCount
};

std::vector<ListColumn> RebootColumns();

class CRebootDlg : public CDeviceActionPage {
    Q_OBJECT

public:
    static constexpr int kPasses = 3;

    explicit CRebootDlg(QWidget* parent = nullptr);
    CRebootDlg(Services services, QWidget* parent);
};

}  // namespace pontiq
