#include "ui/maintenance/restore_dlg.h"

#include "app/ui/shell_ids.h"
#include "comm/protocol.h"

namespace pontiq {

std::vector<ListColumn> RestoreColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kRestoreColumnCount);
    c.push_back(ListColumn::Tick(30));
    c.push_back(ListColumn::Serial(60));
    c.push_back(ListColumn::Text("Location", 110, 2, t::Name, ListField::Name));
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 96, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 120, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 80, 6, t::Channel));
    c.push_back(ListColumn::Text("SecureMode", 70, 7, t::Security));
    c.push_back(ListColumn::Text("Power", 70, 8, t::Power));
    // The Status cells follow a run: their header does not sort.
    c.push_back(ListColumn::Text("Status", 60, kNoSortKey, t::Status, ListField::Status));
    c.back().tone = StatusTone;
    return c;
}

CRestoreDlg::CRestoreDlg(QWidget* parent) : CRestoreDlg(Services{}, parent)
{
}

CRestoreDlg::CRestoreDlg(Services services, QWidget* parent)
    : CDeviceActionPage({kPageRestore, kIdcRestoreGrid, "Restore", MSG_RESTORE,
                         "Are you sure you want to reset?", kPasses, RestoreColumns()},
                        std::move(services), parent)
{
    setObjectName(QStringLiteral("restoreDlg"));
}

}  // namespace pontiq
