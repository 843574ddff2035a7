#include "ui/maintenance/upgrade_dlg.h"

#include <utility>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "ui/maintenance/device_action_page.h"

namespace pontiq {

namespace {

constexpr int kButtonHeight = 26;  // the skin's action-button picture: 90 x 26

QString Tr(std::string_view text)
{
    return TranslateQ(text);
}

}  // namespace

std::vector<ListColumn> UpgradeColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kUpgradeColumnCount);
    c.push_back(ListColumn::Tick(30));
    c.push_back(ListColumn::Serial(60));
    c.push_back(ListColumn::Text("Location", 120, 2, t::Name, ListField::Name));
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 132, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 132, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 106, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 140, 5, t::Ssid));
    c.push_back(ListColumn::Text("Version", 140, 9, t::Version));
    // The Status cells follow an upgrade: their header does not sort.
    c.push_back(ListColumn::Text("Status", 80, kNoSortKey, t::Status, ListField::Status));
    c.back().tone = StatusTone;
    return c;
}

CUpgradeDlg::CUpgradeDlg(QWidget* parent) : CUpgradeDlg(Services{}, parent)
{
}

CUpgradeDlg::CUpgradeDlg(Services services, QWidget* parent)
    : CListPage({kPageUpgrade, kIdcUpgradeGrid, UpgradeColumns(), -1}, parent),
      m_services(std::move(services)),
      m_dialog(DefaultUpgradeDialog())
{
    setObjectName(QStringLiteral("upgradeDlg"));
    SetPageLoader([this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search) {
        CSqlManagement* store = Store();
        return store && store->ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber,
                                               ascending, search);
    });

    m_upgrade = new CTButtonPicture(kIdcUpgradePageButton, this);
    const QString image = QString::fromStdString(CurrentSkinPaths().btnSearch);
    m_upgrade->SetImages(image, image, image, image);
    ApplyStandardButtonSkin(*m_upgrade, Tr("Upgrade"), CurrentSettings().skin);
    m_upgrade->setFixedHeight(kButtonHeight);
    AddActionButton(m_upgrade);
    connect(m_upgrade, &QPushButton::clicked, this, &CUpgradeDlg::OnUpgradeClicked);

    m_reloadTimer.setInterval(kUpgradeReloadMs);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setProperty(kTimerIdProperty, kTimerUpgradeReload);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerUpgradeReload); });
}

CUpgradeDlg::~CUpgradeDlg()
{
    m_reloadTimer.stop();
}

void CUpgradeDlg::SetUpgradeDialog(UpgradeDialog dialog)
{
    m_dialog = dialog ? std::move(dialog) : DefaultUpgradeDialog();
}

CUpgradeDlg::UpgradeDialog CUpgradeDlg::DefaultUpgradeDialog()
{
    return [](CUpgradeDlg& page, const std::vector<SelectionEntry>& selection) {
        CUpgradeConfigDlg dlg(selection, page.DialogServices(), &page);
        dlg.exec();
    };
}

CUpgradeDlg::Services CUpgradeDlg::DialogServices()
{
    Services services = m_services;
    if (!services.engine) services.engine = Engine();
    if (!services.store) services.store = Store();
    services.showStatus = [this](const QString& mac, const QString& text) {
        ShowRowStatus(*this, mac, text);
    };
    return services;
}

CommEngine* CUpgradeDlg::Engine() const
{
    return CApplicationApp::EngineOr(m_services.engine);
}

CSqlManagement* CUpgradeDlg::Store() const
{
    return CApplicationApp::StoreOr(m_services.store);
}

QTimer* CUpgradeDlg::Timer(int timerId)
{
    return timerId == kTimerUpgradeReload ? &m_reloadTimer : nullptr;
}

void CUpgradeDlg::OnUpgradeClicked()
{
    m_selection = GatherSelection();
    if (m_selection.empty()) {
        ShowMessage(this, Tr("Please select the devices!"));
        return;
    }
    if (m_selection.size() > kMaxUpgradeDevices) {
        ShowMessage(this, Tr("Maximum selection of 10 devices!"));
        return;
    }
    if (m_dialog) m_dialog(*this, m_selection);
    if (CommEngine* engine = Engine()) engine->Discover();
    m_reloadTimer.start();
}

void CUpgradeDlg::OnTimer(int timerId)
{
    if (timerId != kTimerUpgradeReload) return;
    m_reloadTimer.stop();
    RefreshPage();
}

}  // namespace pontiq
