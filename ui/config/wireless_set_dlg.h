// Wireless settings page of the configuration sheet (dialog 144): SSID, radio settings, country,
// channel and security of one device, with the WEP and WPA sub-pages over its security area.
// The lists follow the rules of wireless_rules.h; Collect checks the entries and builds the
// radio block and its extension for the sheet's Save.
#pragma once

#include <QWidget>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/pending_config.h"
#include "ui/config/wireless_rules.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;

namespace pontiq {

class CTStatic;
class CWepDlg;
class CWpaDlg;

enum WirelessSetControlId : int {
    kDlgWirelessSet = 144,
    kIdcWlSsid = 1010,
    kIdcWlSsidLabel = 1059,
    kIdcWlSsidHide = 1123,
    kIdcWlSsidHideLabel = 1031,
    kIdcWlDfs = 1163,
    kIdcWlDfsLabel = 1162,
    kIdcWlNetMode = 1013,
    kIdcWlNetModeLabel = 1062,
    kIdcWlBandwidth = 1016,
    kIdcWlBandwidthLabel = 1066,
    kIdcWlPower = 1056,
    kIdcWlPowerLabel = 1065,
    kIdcWlPowerRange = 1149,
    kIdcWlCountry = 1071,
    kIdcWlCountryLabel = 1093,
    kIdcWlChannel = 1014,
    kIdcWlChannelLabel = 1060,
    kIdcWlExpandChannel = 1094,
    kIdcWlExpandChannelLabel = 1095,
    kIdcWlSecureMode = 1015,
    kIdcWlSecureModeLabel = 1061,
    kIdcWlAes = 1051,
    kIdcWlTkip = 1052,
    kIdcWlTkipAes = 1053,
    kIdcWlAesLabel = 1087,
    kIdcWlTkipLabel = 1090,
    kIdcWlTkipAesLabel = 1089,
    kIdcWlAutoTypeLabel = 1067,
    kIdcWlKey = 1054,
    kIdcWlKeyLabel = 1063,
    kIdcWlKeyTime = 1072,
    kIdcWlKeyTimeLabel = 1064,
};

class CWirelessSetDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kSsidLength = 32;
    static constexpr int kPowerLength = 5;
    static constexpr int kKeyLength = 64;
    static constexpr int kSecurityRow = 9;  // first row of the security area
    static constexpr int kRows = 15;

    // The page works on its own copy of the device record.
    explicit CWirelessSetDlg(const ap_info_stu& record, QWidget* parent = nullptr);

    // Fills the radio block, the radio extension and the wireless changed flag. Returns false
    // when an entry is invalid (the page has shown the message and focused the entry).
    bool Collect(PendingConfiguration& pending);

    // What the controls hold now.
    wireless::WirelessEntries Entries() const;

    QLineEdit* Ssid() const { return ssid_; }
    QCheckBox* SsidHide() const { return ssidHide_; }
    QCheckBox* Dfs() const { return dfs_; }
    QComboBox* NetworkMode() const { return networkMode_; }
    QComboBox* Bandwidth() const { return bandwidth_; }
    QLineEdit* Power() const { return power_; }
    QComboBox* Country() const { return country_; }
    QComboBox* Channel() const { return channel_; }
    QComboBox* ExpandChannel() const { return expandChannel_; }
    QComboBox* SecureMode() const { return secureMode_; }
    QRadioButton* Cipher(wireless::PskCipher cipher) const;
    QLineEdit* Key() const { return key_; }
    QLineEdit* KeyTime() const { return keyTime_; }
    CWepDlg* WepPage() const { return wep_; }
    CWpaDlg* WpaPage() const { return wpa_; }

private:
    void BuildControls();
    void Load();
    // Change handlers: each rebuilds the lists that depend on its combo.
    void OnCountryChanged();
    void OnNetworkModeChanged();
    void OnBandwidthChanged();
    void OnChannelChanged();
    void OnDfsChanged();
    void OnSecureModeChanged();
    void FillBandwidth();
    void FillChannels();
    void FillExpandChannel();
    void ShowSecurityFields();
    uint8_t Band() const { return record_.radio_block.rf_type; }
    uint32_t TypeCode() const { return record_.ap_type; }
    std::optional<int> CountryIndex() const;
    QWidget* FieldOf(wireless::Field field) const;

    ap_info_stu record_{};
    // The blocks an untouched page builds: a Save that builds the same sends nothing.
    RADIO_BLOCK loadedBlock_{};
    EXTENSION_BLOCK loadedExtension_{};

    QLineEdit* ssid_ = nullptr;
    QCheckBox* ssidHide_ = nullptr;
    QCheckBox* dfs_ = nullptr;
    QComboBox* networkMode_ = nullptr;
    QComboBox* bandwidth_ = nullptr;
    QLineEdit* power_ = nullptr;
    CTStatic* powerRange_ = nullptr;
    QComboBox* country_ = nullptr;
    QComboBox* channel_ = nullptr;
    QComboBox* expandChannel_ = nullptr;
    QComboBox* secureMode_ = nullptr;
    QRadioButton* aes_ = nullptr;
    QRadioButton* tkip_ = nullptr;
    QRadioButton* tkipAes_ = nullptr;
    QLineEdit* key_ = nullptr;
    QLineEdit* keyTime_ = nullptr;
    std::vector<QWidget*> pskControls_;  // the PSK labels, radios and edits
    CWepDlg* wep_ = nullptr;
    CWpaDlg* wpa_ = nullptr;
};

}  // namespace pontiq
