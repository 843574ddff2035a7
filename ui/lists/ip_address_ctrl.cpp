#include "ui/lists/ip_address_ctrl.h"

#include <QEvent>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <algorithm>

#include "app/controls/control_id.h"

namespace pontiq {

namespace {

constexpr int kFieldMax = 255;

}  // namespace

CIpAddressCtrl::CIpAddressCtrl(QWidget* parent) : QWidget(parent)
{
    // The window translation leaves an address field and its inside alone.
    setProperty("ipField", true);
    setAttribute(Qt::WA_StyledBackground, true);
    setObjectName(QStringLiteral("ipAddressCtrl"));
    setStyleSheet(
        QStringLiteral("#ipAddressCtrl { background: white; border: 1px solid rgb(190,190,190); }"
                       "#ipAddressCtrl:disabled { background: rgb(240,240,240); }"
                       "QLineEdit { border: none; background: transparent; }"
                       "QLabel { background: transparent; }"));
    setFocusPolicy(Qt::StrongFocus);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);
    for (size_t i = 0; i < fields_.size(); ++i) {
        auto* field = new QLineEdit(this);
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setValidator(new QIntValidator(0, 999, field));  // above 255 is clamped on edit
        field->installEventFilter(this);
        field->setFrame(false);
        fields_[i] = field;
        layout->addWidget(field, 1);
        if (i + 1 < fields_.size()) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setAlignment(Qt::AlignCenter);
            dot->setProperty("noTranslate", true);
            layout->addWidget(dot);
        }
        const int index = static_cast<int>(i);
        connect(field, &QLineEdit::textEdited, this, [this, index] { OnFieldEdited(index); });
        connect(field, &QLineEdit::textChanged, this, &CIpAddressCtrl::textChanged);
    }
    setFocusProxy(fields_[0]);
}

CIpAddressCtrl::CIpAddressCtrl(int controlId, QWidget* parent) : CIpAddressCtrl(parent)
{
    SetControlId(this, controlId);
}

void CIpAddressCtrl::SetText(const QString& text)
{
    const QStringList parts = text.trimmed().split(QLatin1Char('.'));
    std::array<uint8_t, 4> address{};
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) {
        const QString& part = parts[i];
        bool number = false;
        const int value = part.toInt(&number);
        ok = number && !part.isEmpty() && part.size() <= 3 && value >= 0 && value <= kFieldMax;
        if (ok) address[static_cast<size_t>(i)] = static_cast<uint8_t>(value);
    }
    if (ok) {
        SetAddress(address);
    } else {
        Clear();
    }
}

QString CIpAddressCtrl::Text() const
{
    if (IsBlank()) return QString();
    const std::array<uint8_t, 4> a = Address();
    return QStringLiteral("%1.%2.%3.%4").arg(a[0]).arg(a[1]).arg(a[2]).arg(a[3]);
}

void CIpAddressCtrl::SetAddress(const std::array<uint8_t, 4>& address)
{
    for (size_t i = 0; i < fields_.size(); ++i) fields_[i]->setText(QString::number(address[i]));
}

std::array<uint8_t, 4> CIpAddressCtrl::Address() const
{
    std::array<uint8_t, 4> address{};
    for (size_t i = 0; i < fields_.size(); ++i) {
        const int value = fields_[i]->text().toInt();
        address[i] = static_cast<uint8_t>(std::clamp(value, 0, kFieldMax));
    }
    return address;
}

void CIpAddressCtrl::Clear()
{
    for (QLineEdit* field : fields_) field->clear();
}

bool CIpAddressCtrl::IsBlank() const
{
    for (const QLineEdit* field : fields_) {
        if (!field->text().isEmpty()) return false;
    }
    return true;
}

void CIpAddressCtrl::OnFieldEdited(int index)
{
    QLineEdit* field = fields_[static_cast<size_t>(index)];
    const QString text = field->text();
    if (text.toInt() > kFieldMax) field->setText(QString::number(kFieldMax));
    if (text.size() == 3 && index + 1 < 4) {
        QLineEdit* next = fields_[static_cast<size_t>(index + 1)];
        next->setFocus();
        next->selectAll();
    }
}

bool CIpAddressCtrl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int index =
            static_cast<int>(std::find(fields_.begin(), fields_.end(), watched) - fields_.begin());
        if (index < 4) {
            auto* key = static_cast<QKeyEvent*>(event);
            QLineEdit* field = fields_[static_cast<size_t>(index)];
            const bool dot = key->text() == QLatin1String(".") || key->key() == Qt::Key_Period;
            if (dot || key->key() == Qt::Key_Space) {
                if (index + 1 < 4 && !field->text().isEmpty()) {
                    fields_[static_cast<size_t>(index + 1)]->setFocus();
                    fields_[static_cast<size_t>(index + 1)]->selectAll();
                }
                return true;
            }
            if (key->key() == Qt::Key_Backspace && field->text().isEmpty() && index > 0) {
                QLineEdit* previous = fields_[static_cast<size_t>(index - 1)];
                previous->setFocus();
                previous->end(false);
                return true;
            }
            if (key->key() == Qt::Key_Right && field->cursorPosition() == field->text().size() &&
                index + 1 < 4) {
                fields_[static_cast<size_t>(index + 1)]->setFocus();
                fields_[static_cast<size_t>(index + 1)]->setCursorPosition(0);
                return true;
            }
            if (key->key() == Qt::Key_Left && field->cursorPosition() == 0 && index > 0) {
                fields_[static_cast<size_t>(index - 1)]->setFocus();
                fields_[static_cast<size_t>(index - 1)]->end(false);
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CIpAddressCtrl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) update();
}

void CIpAddressCtrl::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    fields_[0]->setFocus(event->reason());
}

}  // namespace pontiq
