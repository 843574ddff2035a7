// The configuration sheet of one device (dialog 141): a frameless popup with four tabs, wireless,
// IP settings, VLAN and timed reboot. Save collects the tabs in that order, keeps what changed,
// starts the page's sender and covers the device's restart with the wait popup.
#pragma once

#include <array>
#include <functional>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/pending_config.h"

class QLabel;

namespace pontiq {

class CConfigSender;
class CIPSetDlg;
class CTButtonPicture;
class CTStatic;
class CTimeRebootDlg;
class CVlanDlg;
class CWirelessSetDlg;

enum ManagementConfigControlId : int {
    kDlgManagementConfig = 141,
    kIdcConfigSave = 1001,
    kIdcConfigTabWireless = 1003,
    kIdcConfigTabIp = 1004,
    kIdcConfigClose = 1005,
    kIdcConfigTabReboot = 1009,
    kIdcConfigSeparator = 1012,
    kIdcConfigCancel = 1027,
    kIdcConfigTabVlan = 1074,
    kIdcConfigTitleStrip = 1131,
    kIdcConfigTitle = 1142,
};

enum class ConfigTab { Wireless = 0, Ip = 1, Vlan = 2, Reboot = 3 };

// The wait popup after a save that changes the address or the VLAN.
inline constexpr int kVlanWaitSeconds = 60;
inline constexpr int kIpWaitSeconds = 15;
inline constexpr int kIpWaitPasses = 3;

class CManagementConfigDlg : public CTDialog {
    Q_OBJECT

public:
    struct Hooks {
        // The wireless tab's collect; empty: the wireless page's own.
        std::function<bool(PendingConfiguration&)> wirelessCollect;
        // Shows the wait popup modally; empty: CWaitDlg on the application's engine.
        std::function<void(int seconds, bool rediscovery, int passes)> showWait;
    };

    // `record` is the device's stored record (copied); `pending` is the page's pending
    // configuration, whose target the page has set; `sender` is the page's one sender.
    CManagementConfigDlg(const ap_info_stu& record, PendingConfiguration& pending, CConfigSender& sender,
                         QWidget* parent = nullptr);
    ~CManagementConfigDlg() override;

    void SetHooks(Hooks hooks);

    // Save (1001): clears the pending configuration, collects the tabs, sets the apply flags,
    // starts the sender and shows the wait popup; ends the sheet as accepted. False when a tab
    // refused an entry (the sheet stays open and nothing is sent).
    bool Save();
    // Cancel (1027) and the close button (1005): end the sheet without sending anything.
    void CancelSheet();
    void ShowTab(ConfigTab tab);

    ConfigTab CurrentTab() const { return current_; }
    CTButtonPicture* TabButton(ConfigTab tab) const { return tabButtons_[static_cast<size_t>(tab)]; }
    QWidget* TabPage(ConfigTab tab) const { return pages_[static_cast<size_t>(tab)]; }
    CWirelessSetDlg* WirelessPage() const { return wireless_; }
    CIPSetDlg* IpPage() const { return ip_; }
    CVlanDlg* VlanPage() const { return vlan_; }
    CTimeRebootDlg* RebootPage() const { return reboot_; }
    CTButtonPicture* SaveButton() const { return save_; }
    CTButtonPicture* CancelButton() const { return cancel_; }
    CTButtonPicture* CloseButton() const { return close_; }
    const ap_info_stu& Record() const { return record_; }

private:
    void BuildControls();

    ap_info_stu record_{};
    PendingConfiguration& pending_;
    CConfigSender& sender_;
    Hooks hooks_;
    ConfigTab current_ = ConfigTab::Wireless;

    std::array<CTButtonPicture*, 4> tabButtons_{};
    std::array<QWidget*, 4> pages_{};
    CWirelessSetDlg* wireless_ = nullptr;
    CIPSetDlg* ip_ = nullptr;
    CVlanDlg* vlan_ = nullptr;
    CTimeRebootDlg* reboot_ = nullptr;
    QWidget* titleStrip_ = nullptr;
    CTStatic* title_ = nullptr;
    QLabel* separator_ = nullptr;
    CTButtonPicture* save_ = nullptr;
    CTButtonPicture* cancel_ = nullptr;
    CTButtonPicture* close_ = nullptr;
};

}  // namespace pontiq
