#include "ui/lists/status_dlg.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <algorithm>
#include <utility>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_edit.h"
#include "app/controls/ct_picture.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/application_dlg.h"
#include "app/ui/child_dlg.h"
#include "app/ui/menu_dlg.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "ui/bridge/bridge_set_multi_dlg.h"
#include "ui/bridge/kelvra_set_multi_dlg.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/lists/ip_set_multi_dlg.h"
#include "ui/maintenance/scan_mac_dlg.h"

namespace pontiq {

namespace {

constexpr int kButtonHeight = 26;  // the skin's action-button picture: 90 x 26
constexpr int kAnimationSize = 32;
const QSize kWebPictureSize(50, 16);
const QString kNotAvailable = QStringLiteral("N/A");

QString Tr(std::string_view text)
{
    return TranslateQ(text);
}

CStatusDlg::UrlOpener& WebOpener()
{
    static CStatusDlg::UrlOpener opener;
    return opener;
}

bool OpenUrl(const QUrl& url)
{
    const CStatusDlg::UrlOpener& opener = WebOpener();
    return opener ? opener(url) : QDesktopServices::openUrl(url);
}

// The main window's navigation panel, found through the page's ancestors or the application.
CMenuDlg* NavigationPanel(const QWidget* page)
{
    for (const QWidget* w = page->parentWidget(); w; w = w->parentWidget()) {
        if (const auto* main = qobject_cast<const CApplicationDlg*>(w)) return main->MenuPanel();
    }
    if (CApplicationApp* app = CApplicationApp::InstancePointer(); app && app->MainWindow()) {
        return app->MainWindow()->MenuPanel();
    }
    return nullptr;
}

CChildDlg* PageContainer(const QWidget* page)
{
    if (auto* container = qobject_cast<CChildDlg*>(page->parentWidget())) return container;
    return CChildDlg::Published();
}

}  // namespace

std::vector<ListColumn> StatusColumns()
{
    namespace t = record_text;
    std::vector<ListColumn> c;
    c.reserve(kStatusColumnCount);
    c.push_back(ListColumn::Tick(20));
    c.push_back(ListColumn::Serial(40));
    c.push_back(ListColumn::Text("Location", 90, 2, t::Name, ListField::Name));
    c.back().editable = true;
    c.push_back(ListColumn::Text("Type", 80, 3, t::Model, ListField::Type));
    c.push_back(ListColumn::Text("IP", 102, 1, t::Ip, ListField::Ip));
    c.push_back(ListColumn::Text("MAC", 112, 0, t::Mac, ListField::Mac));
    c.push_back(ListColumn::Text("OperationMode", 66, 4, t::WorkMode));
    c.push_back(ListColumn::Text("SSID", 100, 5, t::Ssid));
    c.push_back(ListColumn::Text("Channel", 65, 6, t::Channel));
    c.push_back(ListColumn::Text("Version", 60, 9, t::Version));
    c.push_back(ListColumn::Text("Transparent bridge", 100, 10, t::TransparentBridge));
    c.push_back(ListColumn::Text("Kelvra", 70, 11, t::Kelvra));
    c.push_back(ListColumn::Text("Time", 70, 12, t::Uptime));
    c.push_back(ListColumn::Image("Operate", 70, 0));
    return c;
}

CStatusDlg::UrlOpener CStatusDlg::SetWebOpener(UrlOpener opener)
{
    return std::exchange(WebOpener(), std::move(opener));
}

CStatusDlg::CStatusDlg(QWidget* parent) : CStatusDlg(Services{}, parent)
{
}

CStatusDlg::CStatusDlg(Services services, QWidget* parent)
    : CListPage({kPageStatus, kIdcStatusGrid, StatusColumns(), kStatusColIp}, parent),
      m_services(services),
      m_dialogs(DefaultDialogs())
{
    setObjectName(QStringLiteral("statusDlg"));
    // The page's own store, or the application's; without either (a page made outside the
    // program) the list stays empty instead of a database being created for it.
    SetPageLoader([this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search) {
        CSqlManagement* store = Store();
        return store && store->ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber,
                                               ascending, search);
    });

    // The list page's own search button is this page's Search.
    CTButtonPicture* search = SearchButton();
    search->setFixedHeight(kButtonHeight);  // the same picture as the page's other buttons
    search->show();
    m_scanMac = AddButton(kIdcStatusScanMac, "ScanMac");
    m_setIp = AddButton(kIdcStatusSetIp, "Set IP");
    m_setBridge = AddButton(kIdcStatusSetBridge, "Set Bridge");
    m_kelvra = AddButton(kIdcStatusKelvra, "Kelvra");

    m_animation = new CTPicture(kIdcStatusAnimation, this);
    m_animation->setFixedSize(kAnimationSize, kAnimationSize);
    // Its room is kept while it is hidden, so the bar does not grow when a search starts.
    QSizePolicy keepRoom = m_animation->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    m_animation->setSizePolicy(keepRoom);
    m_animation->hide();
    // Beside the buttons, where the stretch of the bar begins.
    ActionBar()->insertWidget(ActionBar()->count() - 1, m_animation);

    BuildImages();

    m_searchTimer.setInterval(StatusSearchRun::kTickMs);
    m_searchTimer.setProperty(kTimerIdProperty, kTimerStatusSearch);
    connect(&m_searchTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerStatusSearch); });
    m_reloadTimer.setInterval(kStatusReloadDelayMs);
    m_reloadTimer.setSingleShot(true);
    m_reloadTimer.setProperty(kTimerIdProperty, kTimerStatusReload);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerStatusReload); });

    connect(search, &QPushButton::clicked, this, &CStatusDlg::OnSearchClicked);
    connect(m_scanMac, &QPushButton::clicked, this, &CStatusDlg::OnScanMacClicked);
    connect(m_setIp, &QPushButton::clicked, this, &CStatusDlg::OnSetIpClicked);
    connect(m_setBridge, &QPushButton::clicked, this, &CStatusDlg::OnSetBridgeClicked);
    connect(m_kelvra, &QPushButton::clicked, this, &CStatusDlg::OnKelvraClicked);
    connect(Grid(), &CGridCtrl::cellClicked, this, &CStatusDlg::OnCellClicked);
    connect(Grid(), &CGridCtrl::editEnded, this, &CStatusDlg::OnEditEnded);

    // The switch commands' devices answer with a new record a moment later.
    const auto reloadSoon = [this] { m_reloadTimer.start(); };
    connect(&m_bridgeWorker, &CApplyWorker::finished, this, reloadSoon);
    connect(&m_kelvraWorker, &CApplyWorker::finished, this, reloadSoon);
}

CStatusDlg::~CStatusDlg()
{
    m_searchTimer.stop();
    m_reloadTimer.stop();
    // The workers stop and join as members, before the rest of the page goes.
}

CTButtonPicture* CStatusDlg::AddButton(int controlId, const char* text)
{
    const SkinPaths& paths = CurrentSkinPaths();
    auto* button = new CTButtonPicture(controlId, this);
    const QString image = QString::fromStdString(paths.btnSearch);
    button->SetImages(image, image, image, image);
    ApplyStandardButtonSkin(*button, Tr(text), CurrentSettings().skin);
    button->setFixedHeight(kButtonHeight);
    AddActionButton(button);
    return button;
}

void CStatusDlg::BuildImages()
{
    const SkinPaths& paths = CurrentSkinPaths();
    CGridImageList images;
    images.AddFromFile(QString::fromStdString(paths.web), kWebPictureSize);
    SetImageList(std::move(images));
}

void CStatusDlg::SetDialogs(Dialogs dialogs)
{
    const Dialogs defaults = DefaultDialogs();
    m_dialogs = std::move(dialogs);
    if (!m_dialogs.scanMac) m_dialogs.scanMac = defaults.scanMac;
    if (!m_dialogs.setIp) m_dialogs.setIp = defaults.setIp;
    if (!m_dialogs.setBridge) m_dialogs.setBridge = defaults.setBridge;
    if (!m_dialogs.setKelvra) m_dialogs.setKelvra = defaults.setKelvra;
}

CStatusDlg::Dialogs CStatusDlg::DefaultDialogs()
{
    Dialogs d;
    d.scanMac = [](CStatusDlg& page) -> std::optional<MacAddress> {
        ScanMacDlg dlg(&page);
        if (dlg.exec() != QDialog::Accepted) return std::nullopt;
        return dlg.Mac();
    };
    d.setIp = [](CStatusDlg& page, const std::vector<SelectionEntry>& selection, const IP_BLOCK& initial) {
        CommEngine* engine = page.Engine();
        if (!engine) return;
        CIpsetMutilDlg dlg(selection, initial, page.IpWorker(), *engine, &page);
        dlg.exec();
    };
    d.setBridge = [](CStatusDlg& page, const std::vector<SelectionEntry>& selection, int initial) {
        CommEngine* engine = page.Engine();
        if (!engine) return;
        CBridgeSetMultiDlg dlg(selection, initial, page.BridgeWorker(), *engine, &page);
        if (dlg.exec() == QDialog::Accepted) page.m_featureBlock.bridge_transparent = dlg.ChosenValue();
    };
    d.setKelvra = [](CStatusDlg& page, const std::vector<SelectionEntry>& selection, int initial) {
        CommEngine* engine = page.Engine();
        if (!engine) return;
        CKelvraSetMultiDlg dlg(selection, initial, page.KelvraWorker(), *engine, &page);
        if (dlg.exec() == QDialog::Accepted) page.m_featureBlock.tdmaEn = dlg.ChosenValue();
    };
    return d;
}

void CStatusDlg::SetShellHooks(ShellHooks hooks)
{
    m_shell = std::move(hooks);
}

CommEngine* CStatusDlg::Engine() const
{
    return CApplicationApp::EngineOr(m_services.engine);
}

CSqlManagement* CStatusDlg::Store() const
{
    return CApplicationApp::StoreOr(m_services.store);
}

CTButtonPicture* CStatusDlg::Button(int controlId) const
{
    switch (controlId) {
        case kIdcStatusSearch:
            return SearchButton();
        case kIdcStatusScanMac:
            return m_scanMac;
        case kIdcStatusSetIp:
            return m_setIp;
        case kIdcStatusSetBridge:
            return m_setBridge;
        case kIdcStatusKelvra:
            return m_kelvra;
        default:
            return nullptr;
    }
}

QTimer* CStatusDlg::Timer(int timerId)
{
    switch (timerId) {
        case kTimerStatusSearch:
            return &m_searchTimer;
        case kTimerStatusReload:
            return &m_reloadTimer;
        default:
            return nullptr;
    }
}

// ---- Loading ---------------------------------------------------------------------------------

void CStatusDlg::AddPageRows(const PageLoad& load, std::vector<ListRow>& rows)
{
    // Devices heard but not described yet have no row in the store: they take the room left on
    // the last page (or the only one when the store has none).
    if (load.storedRows >= load.pageSize) return;
    if (load.pageCount != 0 && load.page != load.pageCount) return;
    CommEngine* engine = Engine();
    if (!engine) return;
    const size_t room = static_cast<size_t>(load.pageSize - load.storedRows);
    std::vector<ap_info_stu> heard = engine->ListDiscoveredDevices(room, load.search);
    if (heard.size() > room) heard.resize(room);
    for (const ap_info_stu& record : heard) rows.push_back({record, false});
}

// ---- Search ----------------------------------------------------------------------------------

void CStatusDlg::OnSearchClicked()
{
    if (m_searching) {
        StopSearchRun();
        return;
    }
    StartSearchRun(std::nullopt, kIdcStatusSearch);
}

void CStatusDlg::OnScanMacClicked()
{
    if (m_searching) {
        StopSearchRun();
        return;
    }
    const std::optional<MacAddress> target = m_dialogs.scanMac ? m_dialogs.scanMac(*this) : std::nullopt;
    if (target) StartSearchRun(target, kIdcStatusScanMac);
}

void CStatusDlg::StartSearchRun(std::optional<MacAddress> target, int button)
{
    if (m_searching) return;
    if (CommEngine* engine = Engine()) engine->StartSearch(target);
    m_searching = true;
    m_run.Start();

    // Emptying the edit loads page 1 through the list page's own search handling; with an edit
    // already empty nothing changes, so page 1 is loaded here.
    const bool hadSearchText = !SearchEdit()->text().isEmpty();
    SearchEdit()->clear();
    if (!hadSearchText || !SearchText().empty()) RefreshPage(1);

    const QString waitSearch = QString::fromStdString(CurrentSkinPaths().waitSearch);
    if (m_animation->LoadFromFile(waitSearch)) m_animation->Draw();
    m_animation->show();
    if (CTButtonPicture* pressed =
            Button(button == kIdcStatusScanMac ? kIdcStatusScanMac : kIdcStatusSearch)) {
        pressed->SetCaption(Tr("Stop"));
    }

    SetSearchControlsEnabled(false);
    m_searchTimer.start();
}

void CStatusDlg::StopSearchRun()
{
    if (!m_searching) return;
    m_searchTimer.stop();
    m_run.Stop();
    m_animation->Stop();
    m_animation->hide();
    SearchButton()->SetCaption(Tr("Search"));
    m_scanMac->SetCaption(Tr("ScanMac"));
    SetSearchControlsEnabled(true);
    m_searching = false;
    RefreshPage();
}

void CStatusDlg::SetSearchControlsEnabled(bool enabled)
{
    SearchEdit()->setEnabled(enabled);
    Grid()->setEnabled(enabled);
    PageSizeList()->setEnabled(enabled);

    // The user stays on this page while it searches, and the container's periodic refresh
    // waits: the search reloads the page itself.
    if (m_shell.setNavigationEnabled) {
        m_shell.setNavigationEnabled(enabled);
    } else if (CMenuDlg* panel = NavigationPanel(this)) {
        panel->SetPanelEnabled(enabled);
    }
    const int32_t flag = enabled ? 1 : 0;
    if (m_shell.setAutoRefresh) {
        m_shell.setAutoRefresh(flag);
    } else if (CChildDlg* container = PageContainer(this)) {
        container->SetAutoRefresh(flag);
    }
}

void CStatusDlg::OnTimer(int timerId)
{
    if (timerId == kTimerStatusReload) {
        m_reloadTimer.stop();
        RefreshPage();
        return;
    }
    if (timerId != kTimerStatusSearch) return;
    switch (m_run.Tick()) {
        case StatusSearchRun::Step::None:
            break;
        case StatusSearchRun::Step::DiscoverAndReload:
            if (CommEngine* engine = Engine()) engine->Discover();
            RefreshPage(1);
            break;
        case StatusSearchRun::Step::Stop:
            StopSearchRun();
            break;
    }
}

// ---- Multi-device commands -------------------------------------------------------------------

ap_info_stu CStatusDlg::StoredRecord(const SelectionEntry& entry) const
{
    ap_info_stu record{};
    const std::string_view mac = CText(entry.mac);
    // An empty MAC would give the store's first row; such an entry has no record of its own.
    if (CSqlManagement* store = Store(); store && !mac.empty()) store->GetDevice(record, mac);
    return record;
}

void CStatusDlg::OnSetIpClicked()
{
    m_selection = GatherSelection();
    if (m_selection.empty()) {
        ShowMessage(this, Tr("Please select the devices!"));
        return;
    }
    const ap_info_stu record = StoredRecord(m_selection.front());
    if (m_dialogs.setIp) m_dialogs.setIp(*this, m_selection, record.ip_block);
    // The dialog has followed the devices to their new addresses; show what the store now holds.
    RefreshPage();
}

std::vector<SelectionEntry> CStatusDlg::GatherConfigurable(int column) const
{
    std::vector<SelectionEntry> entries;
    for (int row : Grid()->TickedRows()) {
        if (Grid()->CellText(row, column) != kNotAvailable) entries.push_back(RowEntry(row));
    }
    return entries;
}

void CStatusDlg::OnSetBridgeClicked()
{
    std::vector<SelectionEntry> entries = GatherConfigurable(kStatusColBridge);
    if (entries.empty()) {
        ShowMessage(this, Tr("Please select configurable devices!"));
        return;
    }
    m_featureBlock = {};
    m_featureBlock.bridge_transparent = StoredRecord(entries.front()).extension_block.bridge_transparent;
    m_selection = std::move(entries);
    if (m_dialogs.setBridge) m_dialogs.setBridge(*this, m_selection, m_featureBlock.bridge_transparent);
}

void CStatusDlg::OnKelvraClicked()
{
    std::vector<SelectionEntry> entries = GatherConfigurable(kStatusColKelvra);
    if (entries.empty()) {
        ShowMessage(this, Tr("Please select configurable devices!"));
        return;
    }
    m_featureBlock = {};
    m_featureBlock.tdmaEn = StoredRecord(entries.front()).extension_block.tdmaEn;
    m_selection = std::move(entries);
    if (m_dialogs.setKelvra) m_dialogs.setKelvra(*this, m_selection, m_featureBlock.tdmaEn);
}

// ---- Grid ------------------------------------------------------------------------------------

void CStatusDlg::OnCellClicked(int row, int column)
{
    if (row < 0 || row >= RowCount()) return;
    if (column == kStatusColOperate) OpenWebPage(row);
}

void CStatusDlg::OpenWebPage(int row)
{
    // A device only heard has no known address of its own yet.
    if (Grid()->ItemData(row, kStatusColSerial) == STATUS_DISCOVERED_ONLY) return;
    const QString ip = Grid()->CellText(row, kStatusColIp);
    if (ip.isEmpty()) return;
    OpenUrl(QUrl(QStringLiteral("http://") + ip));
}

void CStatusDlg::OnEditEnded(int row, int column, const QString& oldText, const QString& newText,
                             bool* accept)
{
    if (column != kStatusColLocation || row < 0 || row >= RowCount()) return;
    const SelectionEntry entry = RowEntry(row);
    const RenameCheck check = CheckRename(oldText, newText, static_cast<uint32_t>(entry.type_code));
    switch (check.outcome) {
        case RenameCheck::Outcome::Unchanged:
            return;
        case RenameCheck::Outcome::Empty:
            if (accept) *accept = false;
            return;
        case RenameCheck::Outcome::Refused:
            ShowMessage(this, Tr(NameRuleMessage(check.rule)));
            if (accept) *accept = false;
            return;
        case RenameCheck::Outcome::Accepted:
            break;
    }

    Grid()->SetCellText(row, column, check.name);
    m_renameTarget = {std::string(CText(entry.ip)), std::string(CText(entry.mac)),
                      static_cast<uint32_t>(entry.type_code), QStringToLocal(check.name)};
    CommEngine* engine = Engine();
    if (engine) {
        // The routine gets its own copy: the next edit may change the page's target while it runs.
        m_renameWorker.Start([engine, target = m_renameTarget](const std::atomic<bool>& stop) {
            RunRename(*engine, target, stop);
        });
    }
    m_reloadTimer.start();
}

}  // namespace pontiq
