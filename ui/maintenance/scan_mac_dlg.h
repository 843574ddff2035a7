// The MAC scan dialog: six two-digit hexadecimal fields for the MAC address the status page's
// ScanMac search aims at. It sends nothing; on OK it hands back the six bytes.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

#include "app/controls/ct_dialog.h"
#include "comm/protocol.h"

class QLineEdit;
class QWidget;

namespace pontiq {

class CTButtonPicture;
class CTStatic;

enum ScanMacControlId : int {
    kDlgScanMac = 161,
    kIdcScanMacOk = 1003,
    kIdcScanMacCancel = 1027,
    kIdcScanMacTitleBar = 1131,
    kIdcScanMacPrompt = 1169,
    kIdcScanMacTitle = 1170,
    kIdcScanMacSeparatorFirst = 1172,  // 1172..1176, between the fields
};

// The six fields from left to right.
inline constexpr std::array<int, 6> kScanMacFieldIds = {1009, 1010, 1011, 1013, 1014, 1015};

// What a field's text becomes after a change: a..f raised to A..F, and the text cut before the
// first character that is not a hexadecimal digit.
struct MacFieldFilter {
    QString text;
    bool refused = false;  // a character was cut off
    bool changed = false;  // text differs from the input
};
MacFieldFilter FilterMacField(const QString& text);

// The six bytes of six fields of exactly two hexadecimal digits each; nothing otherwise.
std::optional<MacAddress> MacFromFields(const QStringList& fields);

class ScanMacDlg : public CTDialog {
    Q_OBJECT

public:
    static constexpr int kWidth = 200;  // dialog units
    static constexpr int kHeight = 88;
    static constexpr int kFieldLength = 2;

    explicit ScanMacDlg(QWidget* parent = nullptr);

    // Valid once the dialog ended with OK.
    MacAddress Mac() const { return mac_; }

    QLineEdit* Field(int index) const;  // 0..5, left to right
    CTButtonPicture* OkButton() const { return ok_; }
    CTButtonPicture* CancelButton() const { return cancel_; }

    // OK: checks the six fields and closes with the bytes, or shows why it stays open.
    void OnOk();

private:
    void OnFieldChanged(int index);

    std::array<QLineEdit*, 6> fields_{};
    CTButtonPicture* ok_ = nullptr;
    CTButtonPicture* cancel_ = nullptr;
    MacAddress mac_{};
};

}  // namespace pontiq
