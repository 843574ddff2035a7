#include "ui/config/management_dlg.h"

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/ui/child_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/wait_dlg.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/config/ip_set_dlg.h"
#include "ui/config/management_config_dlg.h"
#include "ui/grid/grid_ctrl.h"

namespace pontiq {

namespace {

const QSize kWritePictureSize(50, 16);
constexpr int kButtonHeight = 26;

}  // namespace

std::vector<ListColumn> ManagementColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kManagementColumnCount);
    c.push_back(ListColumn::Serial(60));
    c.push_back(ListColumn::Text("Location", 100, 2, t::Name, ListField::Name));
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 96, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 130, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 80, 6, t::Channel));
    c.push_back(ListColumn::Text("SecureMode", 90, 7, t::Security));
    c.push_back(ListColumn::Text("Power", 70, 8, t::Power));
    c.push_back(ListColumn::Image("Operate", 70, 0));
    return c;
}

CManagementDlg::CManagementDlg(QWidget* parent) : CManagementDlg(Services{}, parent)
{
}

CManagementDlg::CManagementDlg(Services services, QWidget* parent)
    : CListPage({kPageManagement, kIdcManagementGrid, ManagementColumns(), kManagementColIp}, parent),
      m_services(services),
      m_sender(services.engine)
{
    setObjectName(QStringLiteral("managementDlg"));
    SetPageLoader([this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search) {
        CSqlManagement* store = Store();
        return store && store->ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber,
                                               ascending, search);
    });

    // The search box reloads on every change of its text; the button itself does nothing.
    SearchButton()->setFixedHeight(kButtonHeight);
    SearchButton()->show();

    CGridImageList images;
    images.AddFromFile(QString::fromStdString(CurrentSkinPaths().write), kWritePictureSize);
    SetImageList(std::move(images));

    m_reloadTimer.setInterval(kManagementReloadDelayMs);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setProperty(kTimerIdProperty, kTimerManagementReload);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerManagementReload); });
    connect(Grid(), &CGridCtrl::cellClicked, this, &CManagementDlg::OnCellClicked);
}

CManagementDlg::~CManagementDlg()
{
    m_reloadTimer.stop();
}

void CManagementDlg::SetShellHooks(ShellHooks hooks)
{
    m_shell = std::move(hooks);
}

void CManagementDlg::SetSheetRunner(SheetRunner runner)
{
    m_runner = std::move(runner);
}

CommEngine* CManagementDlg::Engine() const
{
    return CApplicationApp::EngineOr(m_services.engine);
}

CSqlManagement* CManagementDlg::Store() const
{
    return CApplicationApp::StoreOr(m_services.store);
}

QTimer* CManagementDlg::Timer(int timerId)
{
    return timerId == kTimerManagementReload ? &m_reloadTimer : nullptr;
}

void CManagementDlg::SetAutoRefresh(int32_t flag)
{
    if (m_shell.setAutoRefresh) {
        m_shell.setAutoRefresh(flag);
        return;
    }
    CChildDlg* container = qobject_cast<CChildDlg*>(parentWidget());
    if (!container) container = CChildDlg::Published();
    if (container) container->SetAutoRefresh(flag);
}

void CManagementDlg::OnCellClicked(int row, int column)
{
    if (row < 0 || row >= RowCount()) return;
    if (column == kManagementColOperate) OpenSheet(row);
}

void CManagementDlg::OpenSheet(int row)
{
    const ListRow* shown = RowRecord(row);
    if (!shown || !shown->stored) return;
    const SelectionEntry entry = RowEntry(row);
    // The target the sender will use: the row's texts, the type code of its Type text.
    SetCText(m_pending.target_ip, CText(entry.ip));
    SetCText(m_pending.target_mac, CText(entry.mac));
    m_pending.type_code = static_cast<uint32_t>(entry.type_code);

    SetAutoRefresh(0);
    ap_info_stu record{};
    // An empty MAC would read the store's first row, another device's record.
    const std::string_view mac = CText(entry.mac);
    if (CSqlManagement* store = Store(); store && !mac.empty()) store->GetDevice(record, mac);

    {
        CManagementConfigDlg sheet(record, m_pending, m_sender, this);
        CManagementConfigDlg::Hooks hooks;
        CommEngine* engine = Engine();
        hooks.showWait = [engine, &sheet](int seconds, bool rediscovery, int passes) {
            CWaitDlg::Actions actions;
            actions.releaseDevices = [engine] {
                if (engine) engine->ReleaseDevices();
            };
            actions.discover = [engine] {
                if (engine) engine->Discover();
            };
            CWaitDlg wait(seconds, rediscovery, passes, std::move(actions), &sheet);
            wait.exec();
        };
        sheet.SetHooks(std::move(hooks));
        if (CSqlManagement* store = Store()) {
            sheet.IpPage()->SetIpLookup(
                [store](std::vector<std::string>& ips) { return store->GetAllIps(ips); });
        }
        if (m_runner) {
            m_runner(sheet);
        } else {
            sheet.exec();
        }
    }

    SetAutoRefresh(1);
    m_reloadTimer.start();
}

void CManagementDlg::OnTimer(int timerId)
{
    if (timerId != kTimerManagementReload) return;
    m_reloadTimer.stop();
    RefreshPage();
}

}  // namespace pontiq
