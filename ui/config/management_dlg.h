// The management page: the devices with their main wireless settings, one row each; the edit
// icon of a row opens the configuration sheet of that device. The page holds the pending
// configuration of the last save and the one sender that sends it.
#pragma once

#include <QTimer>
#include <functional>
#include <vector>

#include "store/ap_info.h"
#include "ui/config/config_sender.h"
#include "ui/config/pending_config.h"
#include "ui/lists/list_page.h"

namespace pontiq {

class CommEngine;
class CManagementConfigDlg;
class CSqlManagement;

enum ManagementControlId : int {
    kIdcManagementSearch = 1003,  // the list page's search button; it does nothing here
    kIdcManagementGrid = 1018,
};

enum ManagementTimerId : int {
    kTimerManagementReload = 1000,  // once, 2 s after the sheet closed: reload the page
};

inline constexpr int kManagementReloadDelayMs = 2000;

// The eleven grid columns.
enum ManagementColumn : int {
    kManagementColSerial = 0,
    kManagementColLocation,
    kManagementColType,
    kManagementColIp,
    kManagementColMac,
    kManagementColMode,
    kManagementColSsid,
    kManagementColChannel,
    kManagementColSecurity,
    kManagementColPower,
    kManagementColOperate,
    kManagementColumnCount
};

std::vector<ListColumn> ManagementColumns();

class CManagementDlg : public CListPage {
    Q_OBJECT

public:
    // Where the page sends and reads; empty members mean the application's engine and store.
    struct Services {
        CommEngine* engine = nullptr;
        CSqlManagement* store = nullptr;
    };

    // What the page asks of the page container; empty: the container it lives in.
    struct ShellHooks {
        std::function<void(int32_t flag)> setAutoRefresh;
    };

    // Runs the sheet the page made; by default shows it modally. Tests drive it instead.
    using SheetRunner = std::function<void(CManagementConfigDlg& sheet)>;

    explicit CManagementDlg(QWidget* parent = nullptr);
    CManagementDlg(Services services, QWidget* parent);
    ~CManagementDlg() override;

    void SetShellHooks(ShellHooks hooks);
    void SetSheetRunner(SheetRunner runner);

    void OnCellClicked(int row, int column);
    // Opens the configuration sheet of a data row and, after it closed, reloads 2 s later.
    void OpenSheet(int row);
    void OnTimer(int timerId);

    PendingConfiguration& Pending() { return m_pending; }
    CConfigSender& Sender() { return m_sender; }
    QTimer* Timer(int timerId);
    CommEngine* Engine() const;
    CSqlManagement* Store() const;

private:
    void SetAutoRefresh(int32_t flag);

    Services m_services;
    ShellHooks m_shell;
    SheetRunner m_runner;
    PendingConfiguration m_pending;
    QTimer m_reloadTimer;
    // Last: its routine is ended before anything it might reach goes away.
    CConfigSender m_sender;
};

}  // namespace pontiq
