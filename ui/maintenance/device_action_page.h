// The reboot and restore pages share this design: the user ticks devices, presses the page's
// action button and confirms; a worker tells every ticked device to restart (or to return to its
// factory settings) while a 60-second wait popup runs, the Status cells of the ticked rows
// follow the stored status every second, and at the end the devices are searched for again and
// the page reloads. CRebootDlg and CRestoreDlg only choose the differences.
#pragma once

#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include "store/ap_info.h"
#include "ui/lists/apply_worker.h"
#include "ui/lists/list_page.h"

namespace pontiq {

class CommEngine;
class CSqlManagement;
class CTButtonPicture;

enum DeviceActionControlId : int {
    kIdcActionButton = 1001,  // "Reboot" / "Restore"
    kIdcActionSearch = 1003,  // the list page's search button, hidden
    kIdcRestoreGrid = 1097,
    kIdcRebootGrid = 1128,
};

enum DeviceActionTimerId : int {
    kTimerActionFollowUp = 1000,  // every second while the wait popup shows
    kTimerActionReload = 2000,    // once, a second after the popup closed
};

inline constexpr int kActionFollowUpMs = 1000;
inline constexpr int kActionReloadMs = 1000;
inline constexpr int kActionWaitSeconds = 60;

// What makes a page the reboot or the restore page.
struct DeviceActionDesign {
    int pageId = 0;
    int gridId = 0;
    const char* buttonText = "";
    uint16_t msgType = 0;
    const char* confirmation = "";  // the question before anything is sent
    int passes = 0;                 // rediscovery passes of the wait popup
    std::vector<ListColumn> columns;
};

// Puts `text` in the online colour into the status column of the first row whose MAC cell is
// exactly `mac`; false when no row has it. Shared with the upgrade page.
bool ShowRowStatus(CListPage& page, const QString& mac, const QString& text);

class CDeviceActionPage : public CListPage {
    Q_OBJECT

public:
    // Where the page sends and reads; empty members mean the application's engine and store.
    struct Services {
        CommEngine* engine = nullptr;
        CSqlManagement* store = nullptr;
        // The worker's wait between its two passes; PauseUnlessStopped when empty.
        std::function<bool(std::chrono::milliseconds, const std::atomic<bool>& stop)> pause;
    };
    // Shows the wait popup modally for `seconds` with `passes` rediscovery passes and returns
    // when it has closed. By default the real CWaitDlg; tests drive their own.
    using WaitPopup = std::function<void(CDeviceActionPage& page, int seconds, int passes)>;

    CDeviceActionPage(DeviceActionDesign design, Services services, QWidget* parent);
    ~CDeviceActionPage() override;

    void SetWaitPopup(WaitPopup popup);
    static WaitPopup DefaultWaitPopup();

    // ---- Events ----
    void OnActionClicked();  // 1001
    void OnTimer(int timerId);
    // Timer 1000: the stored status of every selected device into its row's Status cell.
    void FollowUpStatus();

    // ---- State ----
    const DeviceActionDesign& Design() const { return m_design; }
    const std::vector<SelectionEntry>& Selection() const { return m_selection; }
    CTButtonPicture* ActionButton() const { return m_action; }
    QTimer* Timer(int timerId);
    CApplyWorker& Worker() { return m_worker; }
    CommEngine* Engine() const;
    CSqlManagement* Store() const;

private:
    DeviceActionDesign m_design;
    Services m_services;
    WaitPopup m_waitPopup;
    std::vector<SelectionEntry> m_selection;

    QTimer m_followUpTimer;
    QTimer m_reloadTimer;
    CTButtonPicture* m_action = nullptr;

    // Declared last: joined before anything its routine might reach goes away.
    CApplyWorker m_worker;
};

}  // namespace pontiq
