// VLAN tab of the configuration sheet (dialog 157): VLAN on or off and the VLAN ids, with the
// fields the device's model has. No buttons: the sheet's Save calls Collect.
#pragma once

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/pending_config.h"
#include "ui/config/vlan_rules.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;

namespace pontiq {

class CTStatic;

enum VlanControlId : int {
    kDlgVlan = 157,
    kIdcVlanManage = 1009,
    kIdcVlanPvid = 1010,
    kIdcVlanWlan = 1072,
    kIdcVlanLan = 1073,
    kIdcVlanLan3 = 1074,
    kIdcVlanLan4 = 1075,
    kIdcVlanEnable = 1143,
    kIdcVlanConfigLabel = 1144,
    kIdcVlanManageLabel = 1145,
    kIdcVlanWlanLabel = 1146,
    kIdcVlanEnableLabel = 1147,
    kIdcVlanLanLabel = 1148,
    kIdcVlanPvidLabel = 1149,
    kIdcVlanLan3Label = 1150,
    kIdcVlanLan4Label = 1151,
    kIdcVlanTrunkLabel = 1164,
    kIdcVlanTrunkLan1 = 1165,
    kIdcVlanTrunkLan2 = 1166,
    kIdcVlanTrunkLan1Label = 1167,
    kIdcVlanTrunkLan2Label = 1168,
};

class CVlanDlg : public CTDialog {
    Q_OBJECT

public:
    // The tab works on its own copy of the device record.
    explicit CVlanDlg(const ap_info_stu& record, QWidget* parent = nullptr);

    // Fills the VLAN block, the extension block and the VLAN changed flag. False when an id was
    // refused (the message has been shown and the edit has the focus).
    bool Collect(PendingConfiguration& pending);

    VlanGroup Group() const { return group_; }
    bool ReadOnly() const { return readOnly_; }
    QCheckBox* EnableBox() const { return enable_; }
    QLineEdit* IdEdit(int controlId) const;
    QRadioButton* TrunkRadio(int controlId) const;
    CTStatic* LanLabel() const { return lanLabel_; }

signals:
    // A refused entry is about to take the focus: the sheet shows this tab first, as a hidden
    // edit cannot take it.
    void entryRefused();

private:
    void OnEnableToggled(bool on);
    void OnTrunkChosen(int choice);
    void ShowLanRow(int trunkChoice);
    VlanEntries Entries() const;

    ap_info_stu record_{};
    VlanGroup group_ = VlanGroup::Other;
    bool readOnly_ = false;
    QCheckBox* enable_ = nullptr;
    QLineEdit* pvid_ = nullptr;
    QLineEdit* manage_ = nullptr;
    QLineEdit* wlan_ = nullptr;
    QLineEdit* lan_ = nullptr;
    QLineEdit* lan3_ = nullptr;
    QLineEdit* lan4_ = nullptr;
    QRadioButton* trunkLan1_ = nullptr;
    QRadioButton* trunkLan2_ = nullptr;
    CTStatic* trunkLabel_ = nullptr;
    CTStatic* lanLabel_ = nullptr;
    QWidget* pvidRow_ = nullptr;
    QWidget* trunkRow_ = nullptr;
    QWidget* lanRow_ = nullptr;
    QWidget* lan3Row_ = nullptr;
    QWidget* lan4Row_ = nullptr;
};

}  // namespace pontiq
