// IP settings tab of the configuration sheet (dialog 143): the device's address, mask, gateway,
// DNS servers and its name. No buttons: the sheet's Save calls Collect.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/pending_config.h"

class QLineEdit;

namespace pontiq {

class CIpAddressCtrl;

enum IpTabControlId : int {
    kDlgIpTab = 143,
    kIdcIpTabName = 1009,
    kIdcIpTabIp = 1041,
    kIdcIpTabMask = 1042,
    kIdcIpTabGateway = 1043,
    kIdcIpTabDns1 = 1044,
    kIdcIpTabDns2 = 1045,
    kIdcIpTabGatewayLabel = 1046,
    kIdcIpTabMaskLabel = 1047,
    kIdcIpTabIpLabel = 1048,
    kIdcIpTabDns1Label = 1049,
    kIdcIpTabDns2Label = 1050,
    kIdcIpTabNameLabel = 1058,
};

class CIPSetDlg : public CTDialog {
    Q_OBJECT

public:
    // Every address stored (CSqlManagement::GetAllIps); by default the application's store.
    using IpLookup = std::function<bool(std::vector<std::string>& ips)>;

    // The tab works on its own copy of the device record.
    explicit CIPSetDlg(const ap_info_stu& record, QWidget* parent = nullptr);

    void SetIpLookup(IpLookup lookup);

    // Fills the IP block, the name block and their changed flags. False when an entry was
    // refused (the message has been shown, for the name with the focus on the name edit).
    bool Collect(PendingConfiguration& pending);

    CIpAddressCtrl* AddressControl(int controlId) const;
    QLineEdit* NameEdit() const { return name_; }

signals:
    // A refused entry is about to take the focus: the sheet shows this tab first, as a hidden
    // edit cannot take it.
    void entryRefused();

private:
    ap_info_stu record_{};
    IpLookup lookup_;
    CIpAddressCtrl* ip_ = nullptr;
    CIpAddressCtrl* mask_ = nullptr;
    CIpAddressCtrl* gateway_ = nullptr;
    CIpAddressCtrl* dns1_ = nullptr;
    CIpAddressCtrl* dns2_ = nullptr;
    QLineEdit* name_ = nullptr;
};

}  // namespace pontiq
