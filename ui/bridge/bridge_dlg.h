// The bridge page: the device list with an "Operate" picture in every row. Clicking it chooses
// the device as the station end of a wireless bridge and opens the bridge wizard for it, unless
// the device's mode switch forbids it. The page also runs the worker that asks the chosen device
// for a site survey, on the wizard's behalf.
#pragma once

#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "store/ap_info.h"
#include "ui/bridge/bridge_config_dlg.h"
#include "ui/lists/apply_worker.h"
#include "ui/lists/list_page.h"

namespace pontiq {

class CommEngine;
class CSqlManagement;

enum BridgePageControlId : int {
    kIdcBridgeSearch = 1003,  // created and hidden
    kIdcBridgeGrid = 1019,
};

enum BridgePageTimerId : int {
    kTimerBridgeReload = 1000,  // once, 2 s after the wizard or the mode-switch message
};

inline constexpr int kBridgeReloadDelayMs = 2000;

enum BridgeColumn : int {
    kBridgeColSerial = 0,
    kBridgeColLocation,
    kBridgeColType,
    kBridgeColIp,
    kBridgeColMac,
    kBridgeColMode,
    kBridgeColSsid,
    kBridgeColChannel,
    kBridgeColSecurity,
    kBridgeColStatus,
    kBridgeColOperate,
    kBridgeColumnCount
};

std::vector<ListColumn> BridgeColumns();

class CBridgeDlg : public CListPage {
    Q_OBJECT

public:
    // Where the page sends and reads; empty members mean the application's engine and store.
    struct Services {
        CommEngine* engine = nullptr;
        CSqlManagement* store = nullptr;
    };
    // Runs the wizard modally (default: exec()). Tests drive it instead.
    using WizardRunner = std::function<void(CBridgeDlg& page, CBridgeConfigDlg& wizard)>;
    // Switches the page container's automatic refresh (default: the container the page lives in).
    using AutoRefreshHook = std::function<void(int32_t flag)>;

    explicit CBridgeDlg(QWidget* parent = nullptr);
    CBridgeDlg(Services services, QWidget* parent);
    ~CBridgeDlg() override;

    void SetWizardRunner(WizardRunner runner) { m_runWizard = std::move(runner); }
    void SetAutoRefreshHook(AutoRefreshHook hook) { m_autoRefresh = std::move(hook); }

    void OnCellClicked(int row, int column);
    void OnTimer(int timerId);
    // Opens the wizard for a data row (a click on its Operate cell).
    void OpenWizard(int row);

    // For the wizard.
    const SelectionEntry& ChosenDevice() const { return m_chosen; }
    // Ends a survey worker still running, then sends MSG_SITE_SURVEY once on a new one.
    void StartSiteSurvey();

    CBridgeConfigDlg* Wizard() const { return m_wizard.get(); }
    CApplyWorker& SurveyWorker() { return m_surveyWorker; }
    QTimer* Timer(int timerId);
    CommEngine* Engine() const;
    CSqlManagement* Store() const;
    // How many wizards the page has made (a fresh one per Operate click that opens one).
    int WizardsMade() const { return m_wizardsMade; }

private:
    void SetAutoRefresh(int32_t flag);

    Services m_services;
    WizardRunner m_runWizard;
    AutoRefreshHook m_autoRefresh;
    SelectionEntry m_chosen{};
    QTimer m_reloadTimer;
    int m_wizardsMade = 0;

    // Destroyed in reverse order: the wizard (joining its save worker), then the survey worker.
    CApplyWorker m_surveyWorker;
    std::unique_ptr<CBridgeConfigDlg> m_wizard;
};

}  // namespace pontiq
