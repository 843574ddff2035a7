// The bridge wizard: the device chosen on the bridge page surveys the access points it hears,
// the user picks one, confirms its SSID, channel and security and the device's own IP settings,
// and Save sends one MSG_SET_BRIDGE that makes the device the station end of the link.
//
// Four pages share one area: CBridgeSearcgAPDlg (access-point search), CBridgeSecureDlg (with its
// WEP sub-page CBridgeWepDlg), CBridgeIPSetDlg and CBridgeFinishDlg. They are made once with the
// wizard and refilled on every step forward.
#pragma once

#include <QTimer>
#include <functional>
#include <string>

#include "app/controls/ct_dialog.h"
#include "comm/protocol.h"
#include "store/ap_info.h"
#include "ui/bridge/bridge_rules.h"
#include "ui/lists/apply_worker.h"

class QButtonGroup;
class QComboBox;
class QRadioButton;

namespace pontiq {

class CGridCtrl;
class CIpAddressCtrl;
class CSqlManagement;
class CTButtonPicture;
class CTEdit;
class CTPicture;
class CTStatic;
class CommEngine;

enum BridgeWizardId : int {
    kDlgBridgeConfig = 145,
    kDlgBridgeIpSet = 146,
    kDlgBridgeSecure = 147,
    kDlgBridgeFinish = 148,
    kDlgBridgeSearchAp = 149,
    kDlgBridgeWep = 153,

    // Wizard frame.
    kIdcWizardBack = 1001,
    kIdcWizardClose = 1003,
    kIdcWizardNext = 1074,
    kIdcWizardTitleBar = 1131,
    kIdcWizardTitle = 1139,

    // Access-point search page.
    kIdcSearchApRescan = 1003,
    kIdcSearchApGrid = 1015,
    kIdcSearchApLabel = 1073,
    kIdcSearchApAnimation = 1140,
    kIdcSearchApScanning = 1141,

    // Security page.
    kIdcSecureSsid = 1010,
    kIdcSecureChannel = 1013,
    kIdcSecureKey = 1054,
    kIdcSecureMode = 1071,
    kIdcSecureKeyTime = 1072,
    kIdcSecureCipherLabel = 1105,
    kIdcSecureAes = 1125,
    kIdcSecureTkip = 1126,
    kIdcSecureTkipAes = 1127,
    kIdcSecureBandwidth = 1161,

    // WEP sub-page (ids of its own dialog, as on the wireless page's WEP sub-page).
    kIdcBridgeWepAuth = 1013,
    kIdcBridgeWepDefaultKey = 1071,
    kIdcBridgeWepKey1 = 1009,  // 1009..1012

    // IP page.
    kIdcBridgeIp = 1041,
    kIdcBridgeMask = 1042,
    kIdcBridgeGateway = 1043,
    kIdcBridgeDns1 = 1044,
    kIdcBridgeDns2 = 1045,
    kIdcBridgeTopTip = 1124,

    // Finish page.
    kIdcFinishPicture = 1003,
    kIdcFinishText = 1117,
};

enum BridgeWizardTimerId : int {
    kTimerSurveyWatch = 1000,
};

// What the wizard needs of the bridge page.
struct BridgeWizardHost {
    CommEngine* engine = nullptr;
    CSqlManagement* store = nullptr;
    std::function<SelectionEntry()> chosenDevice;
    std::function<void()> startSiteSurvey;  // the page's survey worker
};

// ---- Access-point search page (dialog 149) -------------------------------------------------------

class CBridgeSearcgAPDlg : public CTDialog {
    Q_OBJECT

public:
    CBridgeSearcgAPDlg(const BridgeWizardHost& host, QWidget* parent);
    ~CBridgeSearcgAPDlg() override;

    // Empties the grid, shows the animation, clears the scan table, asks the page to survey
    // and starts the one-second watch.
    void StartSurvey();
    void OnTimer(int timerId);
    void OnHeaderClicked(int column);
    void OnCellClicked(int row, int column);
    void FillGrid();
    // Ends the watch without filling the grid (the wizard closes).
    void StopWatch();

    // The MAC text of the ticked row; empty when none is ticked.
    QString TickedMac() const;
    bool Scanning() const { return watch_.Running(); }
    int Ticks() const { return watch_.Ticks(); }
    int SortColumn() const { return sortColumn_; }
    bool Ascending() const { return ascending_; }
    CGridCtrl* Grid() const { return grid_; }
    QTimer& WatchTimer() { return timer_; }
    CTButtonPicture* RescanButton() const { return rescan_; }
    CTPicture* Animation() const { return animation_; }
    CTStatic* ScanningText() const { return scanning_; }

signals:
    void surveyStarted();
    void choiceChanged(bool ticked);

private:
    const BridgeWizardHost& host_;
    bridge::SurveyWatch watch_;
    int sortColumn_ = bridge::kApColSignal;
    bool ascending_ = false;
    QTimer timer_;

    CTStatic* label_ = nullptr;
    CTButtonPicture* rescan_ = nullptr;
    CTPicture* animation_ = nullptr;
    CTStatic* scanning_ = nullptr;
    CGridCtrl* grid_ = nullptr;
};

// ---- WEP sub-page (dialog 153) -------------------------------------------------------------------

class CBridgeWepDlg : public CTDialog {
    Q_OBJECT

public:
    explicit CBridgeWepDlg(QWidget* parent);

    void Reset();  // Open, Key 1, four empty ASCII keys
    QComboBox* AuthList() const { return auth_; }
    QComboBox* DefaultKeyList() const { return defaultKey_; }
    CTEdit* KeyEdit(int k) const { return keys_[static_cast<size_t>(k)]; }
    QComboBox* KeyTypeList(int k) const { return types_[static_cast<size_t>(k)]; }

private:
    QComboBox* auth_ = nullptr;
    QComboBox* defaultKey_ = nullptr;
    std::array<CTEdit*, 4> keys_{};
    std::array<QComboBox*, 4> types_{};
};

// ---- Security page (dialog 147) ------------------------------------------------------------------

class CBridgeSecureDlg : public CTDialog {
    Q_OBJECT

public:
    // The channel list of the wireless page for a device and bandwidth, before this page's filter;
    // `testCountry` tells whether the country is "Test". Replaceable for tests.
    using ChannelSource =
        std::function<std::vector<int>(const ap_info_stu& record, int bandwidth, bool& testCountry)>;
    static ChannelSource DefaultChannelSource();

    explicit CBridgeSecureDlg(QWidget* parent);

    void SetChannelSource(ChannelSource source) { channels_ = std::move(source); }
    void Fill(const ap_info_stu& record, const config_otherwl_basic& ap);
    // Checks the entries; shows the first refusal and returns false, or builds the block.
    bool Collect(BRIDGE_SECURITY_BLOCK& block);
    const BRIDGE_SECURITY_BLOCK& LastBlock() const { return block_; }

    // Shows the fields of the chosen security mode.
    void OnSecureModeChanged();
    void OnBandwidthChanged();

    bridge::SecurityInput Input() const;
    int SelectedMode() const;
    int SelectedCipher() const;

    CTEdit* SsidEdit() const { return ssid_; }
    QComboBox* ChannelList() const { return channel_; }
    QComboBox* BandwidthList() const { return bandwidth_; }
    QComboBox* SecureModeList() const { return secureMode_; }
    QRadioButton* CipherButton(int cipher) const;
    CTEdit* KeyEdit() const { return key_; }
    CTEdit* KeyTimeEdit() const { return keyTime_; }
    CBridgeWepDlg* WepPage() const { return wep_; }
    CTStatic* BandwidthLabel() const { return bandwidthLabel_; }

private:
    void BuildChannels(int bandwidth, int select);
    void PlaceLowerRows(bool bandwidthShown);
    void ShowRefusal(const bridge::SecurityVerdict& verdict);

    ap_info_stu record_{};
    config_otherwl_basic ap_{};
    ChannelSource channels_;
    BRIDGE_SECURITY_BLOCK block_{};

    CTEdit* ssid_ = nullptr;
    QComboBox* channel_ = nullptr;
    QComboBox* bandwidth_ = nullptr;
    CTStatic* bandwidthLabel_ = nullptr;
    CTStatic* secureModeLabel_ = nullptr;
    QComboBox* secureMode_ = nullptr;
    CTStatic* cipherLabel_ = nullptr;
    std::array<QRadioButton*, 3> ciphers_{};
    std::array<CTStatic*, 3> cipherTexts_{};
    QButtonGroup* cipherGroup_ = nullptr;
    CTStatic* keyLabel_ = nullptr;
    CTEdit* key_ = nullptr;
    CTEdit* keyTime_ = nullptr;
    CBridgeWepDlg* wep_ = nullptr;
};

// ---- IP page (dialog 146) ------------------------------------------------------------------------

class CBridgeIPSetDlg : public CTDialog {
    Q_OBJECT

public:
    CBridgeIPSetDlg(const BridgeWizardHost& host, QWidget* parent);

    void Fill(const IP_BLOCK& block);
    bool Collect(IP_BLOCK& block);
    bridge::IpInput Input() const;
    QString CurrentIp() const { return currentIp_; }
    CIpAddressCtrl* Field(int controlId) const;

private:
    const BridgeWizardHost& host_;
    QString currentIp_;
    std::array<CIpAddressCtrl*, 5> fields_{};
};

// ---- Finish page (dialog 148) --------------------------------------------------------------------

class CBridgeFinishDlg : public CTDialog {
    Q_OBJECT

public:
    explicit CBridgeFinishDlg(QWidget* parent);
};

// ---- The wizard (dialog 145) ---------------------------------------------------------------------

class CBridgeConfigDlg : public CTDialog {
    Q_OBJECT

public:
    enum Page : int { kPageSearch = 0, kPageSecurity = 1, kPageIp = 2, kPageFinish = 3 };

    // record: the chosen device's stored record (copied). The first survey starts at once.
    CBridgeConfigDlg(const ap_info_stu& record, BridgeWizardHost host, QWidget* parent = nullptr);
    ~CBridgeConfigDlg() override;  // ends a save worker still running

    void Next();         // 1074; Save on the finish page
    void Back();         // 1001
    void CloseWizard();  // 1003: clears the scan table, closes (Rejected), sends nothing

    int PageIndex() const { return page_; }
    const ap_info_stu& Record() const { return record_; }
    const SelectionEntry& Chosen() const { return chosen_; }
    const BRIDGE_PAYLOAD& Payload() const { return payload_; }
    CApplyWorker& SaveWorker() { return saveWorker_; }

    CTButtonPicture* BackButton() const { return back_; }
    CTButtonPicture* NextButton() const { return next_; }
    CTButtonPicture* CloseButton() const { return close_; }
    CBridgeSearcgAPDlg* SearchPage() const { return search_; }
    CBridgeSecureDlg* SecurePage() const { return secure_; }
    CBridgeIPSetDlg* IpPage() const { return ipPage_; }
    CBridgeFinishDlg* FinishPage() const { return finish_; }

private:
    void ShowPage(int page);
    void Save();
    void ClearScanTable();

    ap_info_stu record_{};
    BridgeWizardHost host_;
    SelectionEntry chosen_{};
    int page_ = kPageSearch;
    BRIDGE_SECURITY_BLOCK security_{};
    IP_BLOCK ipBlock_{};
    BRIDGE_PAYLOAD payload_{};

    CTStatic* title_ = nullptr;
    CTButtonPicture* back_ = nullptr;
    CTButtonPicture* next_ = nullptr;
    CTButtonPicture* close_ = nullptr;
    CBridgeSearcgAPDlg* search_ = nullptr;
    CBridgeSecureDlg* secure_ = nullptr;
    CBridgeIPSetDlg* ipPage_ = nullptr;
    CBridgeFinishDlg* finish_ = nullptr;

    // Declared last: joined before the rest of the wizard goes.
    CApplyWorker saveWorker_;
};

}  // namespace pontiq
