// WEP sub-page of the wireless page (dialog 151): authentication type, default key and four keys
// with their types. Placed over the wireless page's security area, shown for the WEP mode.
#pragma once

#include <array>

#include "app/controls/ct_dialog.h"
#include "store/ap_info.h"
#include "ui/config/wireless_rules.h"

class QComboBox;
class QLineEdit;

namespace pontiq {

enum WepControlId : int {
    kDlgWep = 151,
    kIdcWepAuthType = 1013,
    kIdcWepDefaultKey = 1071,
    kIdcWepKey1 = 1009,
    kIdcWepKey2 = 1010,
    kIdcWepKey3 = 1011,
    kIdcWepKey4 = 1012,
    kIdcWepKeyType1 = 1107,
    kIdcWepKeyType2 = 1110,
    kIdcWepKeyType3 = 1112,
    kIdcWepKeyType4 = 1114,
};

class CWepDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kRows = 6;
    static constexpr int kKeyLength = 26;  // bytes of a key field

    explicit CWepDlg(QWidget* parent = nullptr);

    void Load(const SECURITY_BLOCK& security);
    wireless::WepEntries Entries() const;
    // The field a refusal of the checks points at (nullptr for others).
    QWidget* FieldOf(wireless::Field field) const;

    QComboBox* AuthType() const { return authType_; }
    QComboBox* DefaultKey() const { return defaultKey_; }
    QLineEdit* Key(int k) const { return keys_[static_cast<size_t>(k)]; }
    QComboBox* KeyType(int k) const { return keyTypes_[static_cast<size_t>(k)]; }

private:
    QComboBox* authType_ = nullptr;
    QComboBox* defaultKey_ = nullptr;
    std::array<QLineEdit*, 4> keys_{};
    std::array<QComboBox*, 4> keyTypes_{};
};

}  // namespace pontiq
