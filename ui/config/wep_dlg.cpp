#include "ui/config/wep_dlg.h"

#include <QComboBox>
#include <QLineEdit>

#include "app/application_app.h"
#include "app/controls/control_id.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"
#include "ui/config/wireless_page_parts.h"

namespace pontiq {

using namespace wireless_ui;

namespace {

constexpr int kKeyEditWidth = 88;
constexpr int kKeyTypeX = kFieldX + kKeyEditWidth + 4;
constexpr int kKeyTypeWidth = kFieldWidth - kKeyEditWidth - 4;

}  // namespace

CWepDlg::CWepDlg(QWidget* parent) : CTDialog(parent, Qt::Widget)
{
    setObjectName(QStringLiteral("wepDlg"));
    SetControlId(this, kDlgWep);
    setProperty(kNoTranslateProperty, true);
    SetFillColor(ToQColor(CurrentSettings().skin.childBkColor));
    setProperty(kFirstRowProperty, kSubPageFirstRowY);
    setFixedSize(DluX(kPageWidth), DluY(RowYIn(this, kRows)));

    MakeLabel(kIdcStatic, "Encryption_Type", 0, this);
    authType_ = MakeCombo(kIdcWepAuthType, 0, this);
    FillCombo(authType_, wireless::kWepAuthItems);
    MakeLabel(kIdcStatic, "Default_key", 1, this);
    defaultKey_ = MakeCombo(kIdcWepDefaultKey, 1, this);
    FillCombo(defaultKey_, wireless::kWepDefaultKeyItems);

    constexpr int kKeyIds[4] = {kIdcWepKey1, kIdcWepKey2, kIdcWepKey3, kIdcWepKey4};
    constexpr int kTypeIds[4] = {kIdcWepKeyType1, kIdcWepKeyType2, kIdcWepKeyType3, kIdcWepKeyType4};
    constexpr const char* kKeyLabels[4] = {"Key1", "Key2", "Key3", "Key4"};
    for (int k = 0; k < 4; ++k) {
        MakeLabel(kIdcStatic, kKeyLabels[k], 2 + k, this);
        keys_[static_cast<size_t>(k)] = MakeEdit(kKeyIds[k], kKeyLength, 2 + k, this, kKeyEditWidth);
        QComboBox* type = MakeCombo(kTypeIds[k], 2 + k, this, kKeyTypeWidth);
        type->move(DluX(kKeyTypeX), type->y());
        FillCombo(type, wireless::kWepKeyTypeItems);
        keyTypes_[static_cast<size_t>(k)] = type;
    }
}

void CWepDlg::Load(const SECURITY_BLOCK& s)
{
    Select(authType_, s.wep_auth_type);
    Select(defaultKey_, s.wep_key_index);
    for (size_t k = 0; k < 4; ++k) {
        const WEP_KEY& key = s.wep_key[k];
        keys_[k]->setText(FieldQString(FieldText(key.value, key.len)));
        Select(keyTypes_[k], key.type);
    }
}

wireless::WepEntries CWepDlg::Entries() const
{
    wireless::WepEntries e;
    e.authType = SelectedValue(authType_).value_or(0);
    e.defaultKey = SelectedValue(defaultKey_).value_or(0);
    for (size_t k = 0; k < 4; ++k) {
        e.keyType[k] = SelectedValue(keyTypes_[k]).value_or(wireless::kWepAscii);
        e.key[k] = keys_[k]->text().toStdU16String();
    }
    return e;
}

QWidget* CWepDlg::FieldOf(wireless::Field field) const
{
    switch (field) {
        case wireless::Field::WepKey1:
            return keys_[0];
        case wireless::Field::WepKey2:
            return keys_[1];
        case wireless::Field::WepKey3:
            return keys_[2];
        case wireless::Field::WepKey4:
            return keys_[3];
        default:
            return nullptr;
    }
}

}  // namespace pontiq
