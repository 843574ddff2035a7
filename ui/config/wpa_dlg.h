// WPA / WPA2 sub-page of the wireless page (dialog 152): the cipher and the RADIUS server with
// its port, key and key renewal interval. Placed over the wireless page's security area.
#pragma once

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/wireless_rules.h"

class QComboBox;
class QLineEdit;

namespace pontiq {

class CIpAddressCtrl;

enum WpaControlId : int {
    kDlgWpa = 152,
    kIdcWpaAuthType = 1013,
    kIdcWpaRadiusIp = 1111,
    kIdcWpaRadiusPort = 1009,
    kIdcWpaRadiusKey = 1072,
    kIdcWpaRadiusKeyTime = 1115,
};

class CWpaDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kRows = 5;
    static constexpr int kKeyLength = 64;

    explicit CWpaDlg(QWidget* parent = nullptr);

    void Load(const SECURITY_BLOCK& security);
    wireless::WpaEntries Entries() const;
    QWidget* FieldOf(wireless::Field field) const;

    QComboBox* AuthType() const { return authType_; }
    CIpAddressCtrl* RadiusServer() const { return server_; }
    QLineEdit* RadiusPort() const { return port_; }
    QLineEdit* RadiusKey() const { return key_; }
    QLineEdit* RadiusKeyTime() const { return keyTime_; }

private:
    QComboBox* authType_ = nullptr;
    CIpAddressCtrl* server_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* key_ = nullptr;
    QLineEdit* keyTime_ = nullptr;
};

}  // namespace pontiq
