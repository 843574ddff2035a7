#include "ui/maintenance/device_action_page.h"

#include <QHBoxLayout>
#include <utility>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "app/ui/wait_dlg.h"
#include "comm/comm_engine.h"
#include "store/sql_management.h"
#include "store/value_format.h"
#include "ui/grid/grid_ctrl.h"
#include "ui/maintenance/device_action_rules.h"

namespace pontiq {

namespace {

constexpr int kButtonHeight = 26;  // the skin's action-button picture: 90 x 26

QString Tr(std::string_view text)
{
    return TranslateQ(text);
}

}  // namespace

bool ShowRowStatus(CListPage& page, const QString& mac, const QString& text)
{
    const int column = page.ColumnOf(ListField::Status);
    const int row = page.FindRow(ListField::Mac, mac);
    if (column < 0 || row < 0) return false;
    page.Grid()->SetCellText(row, column, text);
    page.Grid()->SetCellTextColor(row, column, page.ToneColor(CellTone::Online));
    return true;
}

CDeviceActionPage::CDeviceActionPage(DeviceActionDesign design, Services services, QWidget* parent)
    : CListPage({design.pageId, design.gridId, design.columns, -1}, parent),
      m_design(std::move(design)),
      m_services(std::move(services)),
      m_waitPopup(DefaultWaitPopup())
{
    SetPageLoader([this](int sortKey, std::vector<ap_info_stu>& list, int& pageCount, int& onlineCount,
                         int pageSize, int pageNumber, bool ascending, std::string_view search) {
        CSqlManagement* store = Store();
        return store && store->ListDevicesPage(sortKey, list, pageCount, onlineCount, pageSize, pageNumber,
                                               ascending, search);
    });

    const SkinPaths& paths = CurrentSkinPaths();
    m_action = new CTButtonPicture(kIdcActionButton, this);
    const QString image = QString::fromStdString(paths.btnSearch);
    m_action->SetImages(image, image, image, image);
    ApplyStandardButtonSkin(*m_action, Tr(m_design.buttonText), CurrentSettings().skin);
    m_action->setFixedHeight(kButtonHeight);
    AddActionButton(m_action);
    connect(m_action, &QPushButton::clicked, this, &CDeviceActionPage::OnActionClicked);

    m_followUpTimer.setInterval(kActionFollowUpMs);
    m_followUpTimer.setProperty(kTimerIdProperty, kTimerActionFollowUp);
    connect(&m_followUpTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerActionFollowUp); });
    m_reloadTimer.setInterval(kActionReloadMs);
    m_reloadTimer.setProperty(kTimerIdProperty, kTimerActionReload);
    connect(&m_reloadTimer, &QTimer::timeout, this, [this] { OnTimer(kTimerActionReload); });
}

CDeviceActionPage::~CDeviceActionPage()
{
    m_followUpTimer.stop();
    m_reloadTimer.stop();
    // The worker stops and joins as a member.
}

void CDeviceActionPage::SetWaitPopup(WaitPopup popup)
{
    m_waitPopup = popup ? std::move(popup) : DefaultWaitPopup();
}

CDeviceActionPage::WaitPopup CDeviceActionPage::DefaultWaitPopup()
{
    return [](CDeviceActionPage& page, int seconds, int passes) {
        CWaitDlg::Actions actions;
        actions.releaseDevices = [&page] {
            if (CommEngine* engine = page.Engine()) engine->ReleaseDevices();
        };
        actions.discover = [&page] {
            if (CommEngine* engine = page.Engine()) engine->Discover();
        };
        CWaitDlg popup(seconds, true, passes, std::move(actions), &page);
        popup.exec();
    };
}

CommEngine* CDeviceActionPage::Engine() const
{
    return CApplicationApp::EngineOr(m_services.engine);
}

CSqlManagement* CDeviceActionPage::Store() const
{
    return CApplicationApp::StoreOr(m_services.store);
}

QTimer* CDeviceActionPage::Timer(int timerId)
{
    switch (timerId) {
        case kTimerActionFollowUp:
            return &m_followUpTimer;
        case kTimerActionReload:
            return &m_reloadTimer;
        default:
            return nullptr;
    }
}

void CDeviceActionPage::OnActionClicked()
{
    m_selection = GatherSelection();
    if (m_selection.empty()) {
        ShowMessage(this, Tr("Please select the devices!"));
        return;
    }
    if (ShowMessage(this, Tr(m_design.confirmation), MessageCaption::Empty, MessageIcon::Question,
                    MessageButtons::OkCancel) != MessageResult::Ok) {
        return;
    }

    CommEngine* engine = Engine();
    CSqlManagement* store = Store();
    if (engine) {
        DeviceActionIo io;
        if (store)
            io.hasBridgedStation = [store](std::string_view mac) { return store->HasBridgedStation(mac); };
        io.send = [engine, type = m_design.msgType](const SelectionEntry& entry) {
            engine->SendCommand(CText(entry.ip), type, {}, CText(entry.mac), true);
        };
        io.pause = m_services.pause;
        // Start ends a worker of an earlier run first.
        m_worker.Start([io = std::move(io), selection = m_selection](const std::atomic<bool>& stop) {
            RunDeviceAction(selection, io, stop);
        });
    }

    m_followUpTimer.start();
    if (m_waitPopup) m_waitPopup(*this, kActionWaitSeconds, m_design.passes);
    m_followUpTimer.stop();
    if (engine) engine->Discover();
    m_reloadTimer.start();
}

void CDeviceActionPage::OnTimer(int timerId)
{
    switch (timerId) {
        case kTimerActionFollowUp:
            FollowUpStatus();
            break;
        case kTimerActionReload:
            m_reloadTimer.stop();
            RefreshPage();
            break;
        default:
            break;
    }
}

void CDeviceActionPage::FollowUpStatus()
{
    CSqlManagement* store = Store();
    if (!store) return;
    for (const SelectionEntry& entry : m_selection) {
        const std::string_view mac = CText(entry.mac);
        if (mac.empty()) continue;
        const QString text = LocalToQString(StatusText(store->GetDeviceStatus(mac)));
        ShowRowStatus(*this, LocalToQString(mac), text);
    }
}

}  // namespace pontiq
