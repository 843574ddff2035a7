// The Set IP dialog of the status page: a first and (for several devices) a last address with a
// common mask, gateway and DNS servers for the ticked devices. Save validates, starts the IP
// apply routine on the page's worker and runs a 15-second progress bar during which the devices
// are searched for again; the dialog then closes itself (Accepted).
//
//     CIpsetMutilDlg dlg(selection, record.ip_block, m_ipWorker, this);
//     dlg.exec();
#pragma once

#include <QString>
#include <QTimer>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/lists/ip_range.h"
#include "ui/lists/ip_set_rules.h"

class QProgressBar;

namespace pontiq {

class CApplyWorker;
class CommEngine;
class CIpAddressCtrl;
class CTButtonPicture;
class CTStatic;

enum IpSetMultiControlId : int {
    kDlgIpSetMulti = 158,
    kIdcIpSetSave = 1001,
    kIdcIpSetClose = 1003,
    kIdcIpSetTitle = 1020,
    kIdcIpSetCancel = 1027,
    kIdcIpSetMask = 1042,
    kIdcIpSetGateway = 1043,
    kIdcIpSetDns1 = 1044,
    kIdcIpSetDns2 = 1045,
    kIdcIpSetGatewayLabel = 1046,
    kIdcIpSetMaskLabel = 1047,
    kIdcIpSetDns1Label = 1049,
    kIdcIpSetDns2Label = 1050,
    kIdcIpSetProgress = 1136,
    kIdcIpSetFirstLabel = 1152,
    kIdcIpSetFirst = 1153,
    kIdcIpSetLast = 1154,
    kIdcIpSetLastLabel = 1155,
};

// The six entries as text, in the dialog's order.
struct IpRangeEntries {
    QString first;
    QString last;
    QString mask;
    QString gateway;
    QString dns1;
    QString dns2;
};

// The dialog's checks in their order; returns the message key of the first failure, or nullptr
// when the entries pass. `several`: more than one device is selected (the last address counts).
const char* CheckIpRange(const IpRangeEntries& entries, bool several);

class CIpsetMutilDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kTimerProgress = 1000;
    static constexpr int kProgressTickMs = 500;
    static constexpr int kProgressLength = 30;  // ticks: 15 s
    static constexpr int kRediscoveries = 3;
    static constexpr int kOneDeviceShift = 33;  // pixels the first row moves down for one device

    // selection: the ticked rows; initial: the stored IP_BLOCK of the first one. The IP apply
    // routine runs on `worker` (which the page owns: it outlives the dialog) and sends through
    // `engine`; the first form uses the application's engine.
    CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial, CApplyWorker& worker,
                   QWidget* parent = nullptr);
    CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial, CApplyWorker& worker,
                   CommEngine& engine, QWidget* parent);
    ~CIpsetMutilDlg() override;

    // Save (1001): validates, starts the routine and the progress. False when an entry was
    // refused (its message has been shown) or the dialog is already busy.
    bool Save();
    // Cancel (1027) and the close button (1003): close at once; a routine started keeps running.
    void CancelDialog();
    // One tick of timer 1000.
    void Tick();

    IpRangeEntries Entries() const;
    // Filled by Save: what the routine was given.
    const IpApplySettings& Settings() const { return settings_; }
    const std::vector<SelectionEntry>& Selection() const { return selection_; }
    int DeviceCount() const { return static_cast<int>(selection_.size()); }
    bool Busy() const { return busy_; }
    int TickCounter() const { return tickCounter_; }
    int RediscoveriesLeft() const { return rediscoveriesLeft_; }
    QTimer& ProgressTimer() { return timer_; }
    QProgressBar* Progress() const { return progress_; }
    CIpAddressCtrl* AddressControl(int controlId) const;

private:
    CIpsetMutilDlg(std::vector<SelectionEntry> selection, const IP_BLOCK& initial, CApplyWorker& worker,
                   CommEngine* engine, QWidget* parent);
    void BuildControls();
    void ShowRefusal(const char* key);

    std::vector<SelectionEntry> selection_;
    CApplyWorker& worker_;
    CommEngine* engine_;
    IpApplySettings settings_;
    bool busy_ = false;
    int progressLength_ = kProgressLength;
    int rediscoveries_ = kRediscoveries;
    int rediscoveriesLeft_ = kRediscoveries;
    int tickCounter_ = 0;
    QTimer timer_;

    CTStatic* title_ = nullptr;
    CTStatic* firstLabel_ = nullptr;
    CTStatic* lastLabel_ = nullptr;
    CIpAddressCtrl* first_ = nullptr;
    CIpAddressCtrl* last_ = nullptr;
    CIpAddressCtrl* mask_ = nullptr;
    CIpAddressCtrl* gateway_ = nullptr;
    CIpAddressCtrl* dns1_ = nullptr;
    CIpAddressCtrl* dns2_ = nullptr;
    CTButtonPicture* save_ = nullptr;
    CTButtonPicture* cancel_ = nullptr;
    CTButtonPicture* close_ = nullptr;
    QProgressBar* progress_ = nullptr;
};

}  // namespace pontiq
