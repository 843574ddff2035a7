#include "ui/config/wireless_set_dlg.h"

#include "app/controls/control_id.h"

namespace pontiq {

CWirelessSetDlg::CWirelessSetDlg(const ap_info_stu& record, QWidget* parent)
    : QWidget(parent), record_(record)
{
    SetControlId(this, 144);  // dialog 144
}

// Placeholder until the wireless controls exist: nothing to send.
bool CWirelessSetDlg::Collect(PendingConfiguration& pending)
{
    (void)pending;
    return true;
}

}  // namespace pontiq
