#include "ui/maintenance/scan_mac_dlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/message_box.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"

namespace pontiq {

namespace {

bool IsUpperHexDigit(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

}  // namespace

MacFieldFilter FilterMacField(const QString& text)
{
    MacFieldFilter result;
    result.text.reserve(text.size());
    for (QChar c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('f')) c = c.toUpper();
        if (!IsUpperHexDigit(c)) {
            result.refused = true;
            break;
        }
        result.text.append(c);
    }
    result.changed = result.text != text;
    return result;
}

std::optional<MacAddress> MacFromFields(const QStringList& fields)
{
    if (fields.size() != static_cast<qsizetype>(MacAddress().size())) return std::nullopt;
    MacAddress mac{};
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (fields[i].size() != ScanMacDlg::kFieldLength) return std::nullopt;
        bool ok = false;
        const uint value = fields[i].toUInt(&ok, 16);
        // toUInt takes signs and blanks; only two plain digits make a byte here.
        if (!ok || !IsUpperHexDigit(fields[i][0].toUpper()) || !IsUpperHexDigit(fields[i][1].toUpper())) {
            return std::nullopt;
        }
        mac[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
    }
    return mac;
}

ScanMacDlg::ScanMacDlg(QWidget* parent) : CTDialog(parent, Qt::Dialog)
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetControlId(this, kDlgScanMac);
    setWindowTitle(QStringLiteral("SCAN MAC"));
    setModal(true);
    SetFrameless(true);
    EnableDrag(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    SetFillColor(ToQColor(skin.childBkColor));
    // Frameless: an outline keeps the small window apart from what lies behind it.
    const int right = width() - 1;
    const int bottom = height() - 1;
    SetLines({{0, 0, right, 0}, {right, 0, right, bottom}, {right, bottom, 0, bottom}, {0, bottom, 0, 0}});
    SetLineColor(ToQColor(skin.lineColor).darker(115));

    auto* titleBar = new CTStatic(kIdcScanMacTitleBar, this);
    titleBar->SetBackgroundColor(ToQColor(skin.gridTitleBkColor));
    titleBar->SetTransparent(false);
    titleBar->setGeometry(0, 0, width(), DluY(16));

    auto* title = new CTStatic(kIdcScanMacTitle, this);
    title->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor),
                   ToQColor(skin.gridTitleBkColor), 700, skin.staticFontHeight);
    title->setText(QStringLiteral("SCAN MAC"));
    title->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    title->setGeometry(DluX(6), 0, width() - DluX(12), DluY(16));

    auto* prompt = new CTStatic(kIdcScanMacPrompt, this);
    ApplyLabelSkin(*prompt, skin);
    prompt->setText(QStringLiteral("Please enter the add you want to search"));
    prompt->setGeometry(DluRect(10, 22, kWidth - 20, 12));

    // Six fields of 2 characters with full-width colons between them.
    constexpr int kFieldWidth = 20;
    constexpr int kColonWidth = 8;
    constexpr int kRowLeft = (kWidth - (6 * kFieldWidth + 5 * kColonWidth)) / 2;
    const QFont fieldFont = SkinFont(ToQString(skin.fontName), 700, skin.staticFontHeight);
    for (size_t i = 0; i < fields_.size(); ++i) {
        const int x = kRowLeft + static_cast<int>(i) * (kFieldWidth + kColonWidth);
        auto* field = new QLineEdit(this);
        SetControlId(field, kScanMacFieldIds[i]);
        field->setMaxLength(kFieldLength);
        field->setAlignment(Qt::AlignCenter);
        field->setFont(fieldFont);
        field->setGeometry(DluRect(x, 40, kFieldWidth, 13));
        fields_[i] = field;
        const int index = static_cast<int>(i);
        connect(field, &QLineEdit::textChanged, this, [this, index] { OnFieldChanged(index); });
        if (i + 1 < fields_.size()) {
            auto* colon = new CTStatic(kIdcScanMacSeparatorFirst + index, this);
            ApplyLabelSkin(*colon, skin);
            colon->setText(QString(QChar(0xFF1A)));
            colon->setAlignment(Qt::AlignCenter);
            colon->setGeometry(DluRect(x + kFieldWidth, 40, kColonWidth, 13));
        }
    }

    const QString buttonImage = QString::fromStdString(paths.btnConfig);
    ok_ = new CTButtonPicture(kIdcScanMacOk, this);
    ok_->SetImages(buttonImage, buttonImage, buttonImage, buttonImage);
    ok_->setGeometry(DluRect(kWidth / 2 - 60, 64, 50, 15));
    cancel_ = new CTButtonPicture(kIdcScanMacCancel, this);
    cancel_->SetImages(buttonImage, buttonImage, buttonImage, buttonImage);
    cancel_->setGeometry(DluRect(kWidth / 2 + 10, 64, 50, 15));

    TranslateWindow(this);
    ApplyStandardButtonSkin(*ok_, TranslateQ(std::string_view("Ok")), skin);
    ApplyStandardButtonSkin(*cancel_, TranslateQ(std::string_view("Cancel")), skin);
    connect(ok_, &QPushButton::clicked, this, &ScanMacDlg::OnOk);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

QLineEdit* ScanMacDlg::Field(int index) const
{
    return index >= 0 && index < static_cast<int>(fields_.size()) ? fields_[static_cast<size_t>(index)]
                                                                  : nullptr;
}

void ScanMacDlg::OnFieldChanged(int index)
{
    QLineEdit* field = fields_[static_cast<size_t>(index)];
    const MacFieldFilter filtered = FilterMacField(field->text());
    if (filtered.changed) {
        // Put back without coming here again for our own change.
        const QSignalBlocker block(field);
        field->setText(filtered.text);
        field->setCursorPosition(static_cast<int>(filtered.text.size()));
    }
    if (filtered.refused) {
        field->setFocus();
        ShowMessage(this, TranslateQ(std::string_view("please enter : 0-9&a--f&A--F")),
                    MessageCaption::ApplicationName, MessageIcon::None);
        return;
    }
    if (filtered.text.size() == kFieldLength && index + 1 < static_cast<int>(fields_.size())) {
        fields_[static_cast<size_t>(index) + 1]->setFocus();
    }
}

void ScanMacDlg::OnOk()
{
    QStringList texts;
    for (const QLineEdit* field : fields_) texts.append(field->text());
    const std::optional<MacAddress> mac = MacFromFields(texts);
    if (!mac) {
        ShowMessage(this, TranslateQ(std::string_view("Mac address is error!!")),
                    MessageCaption::ApplicationName, MessageIcon::None);
        return;
    }
    mac_ = *mac;
    accept();
}

}  // namespace pontiq
