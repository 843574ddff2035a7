// The "Device upgrade" page: the user ticks up to ten devices and presses Upgrade; the upgrade
// dialog does the rest, and when it closes the page searches for the devices again and reloads.
#pragma once

#include <QTimer>
#include <functional>
#include <vector>

#include "store/ap_info.h"
#include "ui/lists/list_page.h"
#include "ui/maintenance/upgrade_config_dlg.h"

namespace pontiq {

class CommEngine;
class CSqlManagement;
class CTButtonPicture;

enum UpgradeControlId : int {
    kIdcUpgradePageSearch = 1003,  // the list page's search button, hidden
    kIdcUpgradePageButton = 1006,
    kIdcUpgradeGrid = 1096,
};

enum UpgradeTimerId : int {
    kTimerUpgradeReload = 1000,  // once, a second after the dialog closed
};

inline constexpr int kUpgradeReloadMs = 1000;
inline constexpr size_t kMaxUpgradeDevices = 10;

// The ten grid columns.
enum UpgradeColumn : int {
    kUpgradeColTick = 0,
    kUpgradeColSerial,
    kUpgradeColLocation,
    kUpgradeColType,
    kUpgradeColIp,
    kUpgradeColMac,
    kUpgradeColMode,
    kUpgradeColSsid,
    kUpgradeColVersion,
    kUpgradeColStatus,
    kUpgradeColumnCount
};

std::vector<ListColumn> UpgradeColumns();

class CUpgradeDlg : public CListPage {
    Q_OBJECT

public:
    // Where the page and its dialog send and read; empty members mean the application's.
    using Services = CUpgradeConfigDlg::Services;
    // Opens the upgrade dialog modally with the selection; by default the real dialog.
    using UpgradeDialog =
        std::function<void(CUpgradeDlg& page, const std::vector<SelectionEntry>& selection)>;

    explicit CUpgradeDlg(QWidget* parent = nullptr);
    CUpgradeDlg(Services services, QWidget* parent);
    ~CUpgradeDlg() override;

    void SetUpgradeDialog(UpgradeDialog dialog);
    static UpgradeDialog DefaultUpgradeDialog();

    void OnUpgradeClicked();  // 1006
    void OnTimer(int timerId);

    const std::vector<SelectionEntry>& Selection() const { return m_selection; }
    // The dialog's services with the page's status cells filled in.
    Services DialogServices();
    CTButtonPicture* UpgradeButton() const { return m_upgrade; }
    QTimer* Timer(int timerId);
    CommEngine* Engine() const;
    CSqlManagement* Store() const;

private:
    Services m_services;
    UpgradeDialog m_dialog;
    std::vector<SelectionEntry> m_selection;
    QTimer m_reloadTimer;
    CTButtonPicture* m_upgrade = nullptr;
};

}  // namespace pontiq
