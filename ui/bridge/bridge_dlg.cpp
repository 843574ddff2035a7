#include "ui/bridge/bridge_dlg.h"

#include <utility>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "app/ui/child_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/grid/grid_ctrl.h"

namespace pontiq {

namespace {

const QSize kOperatePictureSize(50, 16);

}  // namespace

std::vector<ListColumn> BridgeColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kBridgeColumnCount);
    c.push_back(ListColumn::Serial(60));
    c.push_back(ListColumn::Text("Location", 100, 2, t::Name, ListField::Name));
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 96, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 130, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 80, 6, t::Channel));
    c.push_back(ListColumn::Text("SecureMode", 90, 7, t::Security));
    c.push_back(ListColumn::Text("Status", 70, 13, t::Status, ListField::Status));
    c.back().tone = StatusTone;
    c.push_back(ListColumn::Image("Operate", 70, 0));
    return c;
}

CBridgeDlg::CBridgeDlg(QWidget* parent) : CBridgeDlg(Services{}, parent)
{
}

CBridgeDlg::CBridgeDlg(Services services, QWidget* parent)
    : CListPage({kPageBridge, kIdcBridgeGrid, BridgeColumns(), kBridgeColIp}, parent), m_services(services)
{
    setObjectName(QStringLiteral("bridgeDlg"));
    SetPageLoader([this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search) {
        CSqlManagement* store = Store();
        return store && store->ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber,
                                               ascending, search);
    });
    // The list page's Search button (1003) stays hidden on this page.
    SearchButton()->hide();

    CGridImageList images;
    images.AddFromFile(QString::fromStdString(CurrentSkinPaths().bridge), kOperatePictureSize);
    SetImageList(std::move(images));

    m_reloadTimer.setInterval(kBridgeReloadDelayMs);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setProperty(kTimerIdProperty, kTimerBridgeReload);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerBridgeReload); });
    connect(Grid(), &CGridCtrl::cellClicked, this, &CBridgeDlg::OnCellClicked);

    m_runWizard = [](CBridgeDlg&, CBridgeConfigDlg& wizard) { wizard.exec(); };
}

CBridgeDlg::~CBridgeDlg()
{
    m_reloadTimer.stop();
    m_wizard.reset();
    m_surveyWorker.Stop();
}

CommEngine* CBridgeDlg::Engine() const
{
    return CApplicationApp::EngineOr(m_services.engine);
}

CSqlManagement* CBridgeDlg::Store() const
{
    return CApplicationApp::StoreOr(m_services.store);
}

QTimer* CBridgeDlg::Timer(int timerId)
{
    return timerId == kTimerBridgeReload ? &m_reloadTimer : nullptr;
}

void CBridgeDlg::OnTimer(int timerId)
{
    if (timerId != kTimerBridgeReload) return;
    m_reloadTimer.stop();
    RefreshPage();
}

void CBridgeDlg::OnCellClicked(int row, int column)
{
    if (row < 0 || row >= RowCount()) return;
    if (column == kBridgeColOperate) OpenWizard(row);
}

void CBridgeDlg::SetAutoRefresh(int32_t flag)
{
    if (m_autoRefresh) {
        m_autoRefresh(flag);
        return;
    }
    CChildDlg* container = qobject_cast<CChildDlg*>(parentWidget());
    if (!container) container = CChildDlg::Published();
    if (container) container->SetAutoRefresh(flag);
}

void CBridgeDlg::OpenWizard(int row)
{
    if (row < 0 || row >= RowCount()) return;
    m_chosen = RowEntry(row);
    m_wizard.reset();
    SetAutoRefresh(0);

    ap_info_stu record{};
    const std::string_view mac = CText(m_chosen.mac);
    // An empty MAC would read the store's first row; such a row has no record of its own.
    if (CSqlManagement* store = Store(); store && !mac.empty()) store->GetDevice(record, mac);

    if (record.mode_btn_status != 0 && record.mode_btn_status != 2) {
        ShowMessage(this,
                    TranslateQ(std::string_view("The Mode Switch is at AP position, please switch it to Off "
                                                "position to modify to other operating mode.")),
                    MessageCaption::ApplicationName);
    } else {
        BridgeWizardHost host;
        host.engine = Engine();
        host.store = Store();
        host.chosenDevice = [this] { return m_chosen; };
        host.startSiteSurvey = [this] { StartSiteSurvey(); };
        m_wizard = std::make_unique<CBridgeConfigDlg>(record, std::move(host), this);
        ++m_wizardsMade;
        if (m_runWizard) m_runWizard(*this, *m_wizard);
    }

    SetAutoRefresh(1);
    m_reloadTimer.start();
}

void CBridgeDlg::StartSiteSurvey()
{
    CommEngine* engine = Engine();
    if (!engine) return;
    // One send; the worker is asked to stop only between sends, never inside one.
    m_surveyWorker.Start([engine, ip = std::string(CText(m_chosen.ip)),
                          mac = std::string(CText(m_chosen.mac))](const std::atomic<bool>& stop) {
        if (!stop.load()) engine->StartSiteSurvey(ip, mac);
    });
}

}  // namespace pontiq
