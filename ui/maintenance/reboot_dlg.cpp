#include "ui/maintenance/reboot_dlg.h"

#include "app/ui/shell_ids.h"
#include "comm/protocol.h"

namespace pontiq {

std::vector<ListColumn> RebootColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kRebootColumnCount);
    c.push_back(ListColumn::Tick(30));
    c.push_back(ListColumn::Serial(60));
    c.push_back(ListColumn::Text("Location", 110, 2, t::Name, ListField::Name));
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 106, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 130, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 80, 6, t::Channel));
    c.push_back(ListColumn::Text("SecureMode", 100, 7, t::Security));
    // The Status cells follow a run: their header does not sort.
    c.push_back(ListColumn::Text("Status", 80, kNoSortKey, t::Status, ListField::Status));
    c.back().tone = StatusTone;
    return c;
}

CRebootDlg::CRebootDlg(QWidget* parent) : CRebootDlg(Services{}, parent)
{
}

CRebootDlg::CRebootDlg(Services services, QWidget* parent)
    : CDeviceActionPage({kPageReboot, kIdcRebootGrid, "Reboot", MSG_REBOOT,
                         "Are you sure you want to restart?", kPasses, RebootColumns()},
                        std::move(services), parent)
{
    setObjectName(QStringLiteral("rebootDlg"));
}

}  // namespace pontiq
