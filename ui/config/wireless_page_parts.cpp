#include "ui/config/wireless_page_parts.h"

#include <QRegularExpressionValidator>
#include <QSignalBlocker>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/dialog_units.h"
#include "app/ui/translate_window.h"
#include "ui/lists/list_columns.h"

namespace pontiq::wireless_ui {

int RowYIn(const QWidget* parent, int row)
{
    const QVariant first = parent ? parent->property(kFirstRowProperty) : QVariant();
    return (first.isValid() ? first.toInt() : kFirstRowY) + row * kRowStep;
}

QString Text(std::string_view key)
{
    QString text = TranslateQ(key);
    text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    return text;
}

QString FieldQString(std::string_view local)
{
    return LocalToQString(local);
}

CTStatic* MakeLabelAt(int controlId, std::string_view key, const QRect& rect, Qt::Alignment align,
                      QWidget* parent)
{
    auto* label = new CTStatic(controlId, parent);
    ApplyLabelSkin(*label, CurrentSettings().skin);
    label->SetText(Text(key));
    label->setAlignment(align | Qt::AlignVCenter);
    label->setWordWrap(false);
    label->setGeometry(rect);
    return label;
}

CTStatic* MakeLabel(int controlId, std::string_view key, int row, QWidget* parent)
{
    return MakeLabelAt(controlId, key, DluRect(kLabelX, RowYIn(parent, row), kLabelWidth, kRowHeight),
                       Qt::AlignRight, parent);
}

QComboBox* MakeCombo(int controlId, int row, QWidget* parent, int width)
{
    auto* combo = new QComboBox(parent);
    SetControlId(combo, controlId);
    combo->setGeometry(DluRect(kFieldX, RowYIn(parent, row), width, kRowHeight));
    combo->setMaxVisibleItems(15);
    return combo;
}

QLineEdit* MakeEdit(int controlId, int maxLength, int row, QWidget* parent, int width)
{
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, controlId);
    if (maxLength > 0) edit->setMaxLength(maxLength);
    edit->setGeometry(DluRect(kFieldX, RowYIn(parent, row), width, kRowHeight));
    return edit;
}

void AcceptDigitsOnly(QLineEdit* edit)
{
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
}

void FillCombo(QComboBox* combo, std::span<const wireless::ValueItem> items)
{
    const QSignalBlocker block(combo);
    combo->clear();
    for (const wireless::ValueItem& item : items) combo->addItem(Text(item.text), int(item.value));
    combo->setCurrentIndex(-1);
}

void FillCombo(QComboBox* combo, std::span<const char* const> texts)
{
    const QSignalBlocker block(combo);
    combo->clear();
    for (size_t i = 0; i < texts.size(); ++i) combo->addItem(Text(texts[i]), int(i));
    combo->setCurrentIndex(-1);
}

std::optional<uint8_t> SelectedValue(const QComboBox* combo)
{
    if (combo->currentIndex() < 0) return std::nullopt;
    return static_cast<uint8_t>(combo->currentData().toInt());
}

void Select(QComboBox* combo, int index)
{
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index < combo->count() ? index : -1);
}

void FocusEntry(QWidget* field)
{
    if (!field) return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

}  // namespace pontiq::wireless_ui
