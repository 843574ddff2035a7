#include "ui/config/wpa_dlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"
#include "ui/config/wireless_page_parts.h"
#include "ui/lists/ip_address_ctrl.h"

namespace pontiq {

using namespace wireless_ui;

CWpaDlg::CWpaDlg(QWidget* parent) : CTDialog(parent, Qt::Widget)
{
    setObjectName(QStringLiteral("wpaDlg"));
    SetControlId(this, kDlgWpa);
    setProperty(kNoTranslateProperty, true);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
    setProperty(kFirstRowProperty, kSubPageFirstRowY);
    setFixedSize(DluX(kPageWidth), DluY(RowYIn(this, kRows)));

    MakeLabel(kIdcStatic, "Encryption_Type", 0, this);
    authType_ = MakeCombo(kIdcWpaAuthType, 0, this);
    FillCombo(authType_, wireless::kWpaAuthItems);

    MakeLabel(kIdcStatic, "Radius_server_ip", 1, this);
    server_ = new CIpAddressCtrl(kIdcWpaRadiusIp, this);
    server_->setGeometry(DluRect(kFieldX, RowYIn(this, 1), kFieldWidth, kRowHeight));

    MakeLabel(kIdcStatic, "Radius_port", 2, this);
    port_ = MakeEdit(kIdcWpaRadiusPort, 5, 2, this);
    AcceptDigitsOnly(port_);

    MakeLabel(kIdcStatic, "Radius_Key", 3, this);
    key_ = MakeEdit(kIdcWpaRadiusKey, kKeyLength, 3, this);

    MakeLabel(kIdcStatic, "Radius_Key_time", 4, this);
    keyTime_ = MakeEdit(kIdcWpaRadiusKeyTime, 0, 4, this);
    AcceptDigitsOnly(keyTime_);
}

void CWpaDlg::Load(const SECURITY_BLOCK& s)
{
    Select(authType_, s.wpa_auth_type);
    server_->SetAddress({s.wpa_radius_ip[0], s.wpa_radius_ip[1], s.wpa_radius_ip[2], s.wpa_radius_ip[3]});
    port_->setText(QString::number(s.wpa_radius_port));
    key_->setText(FieldQString(FieldText(s.wpa_key, s.wpa_key_len)));
    keyTime_->setText(QString::number(s.wpa_key_time));
}

wireless::WpaEntries CWpaDlg::Entries() const
{
    wireless::WpaEntries e;
    e.authType = SelectedValue(authType_).value_or(0);
    e.radiusServer = server_->Address();
    e.port = port_->text().toStdU16String();
    e.key = key_->text().toStdU16String();
    e.keyTime = keyTime_->text().toStdU16String();
    return e;
}

QWidget* CWpaDlg::FieldOf(wireless::Field field) const
{
    switch (field) {
        case wireless::Field::RadiusServer:
            return server_;
        case wireless::Field::RadiusPort:
            return port_;
        case wireless::Field::RadiusKey:
            return key_;
        case wireless::Field::RadiusKeyTime:
            return keyTime_;
        default:
            return nullptr;
    }
}

}  // namespace pontiq
