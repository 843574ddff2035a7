// Shared pieces of the wireless page and its WEP and WPA sub-pages: the row layout in dialog
// units and the makers of their skinned labels, combos and edits. Every text is translated here,
// so the pages carry the "noTranslate" mark and a later pass over the sheet leaves them alone.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QString>
#include <span>
#include <string>

#include "app/controls/ct_static.h"
#include "ui/config/wireless_rules.h"

namespace pontiq::wireless_ui {

// Labels without an id of their own.
inline constexpr int kIdcStatic = -1;

// Rows of label and field, in dialog units.
inline constexpr int kPageWidth = 265;
inline constexpr int kLabelX = 6;
inline constexpr int kLabelWidth = 92;
inline constexpr int kFieldX = 104;
inline constexpr int kFieldWidth = 132;
inline constexpr int kRowHeight = 12;
inline constexpr int kRowStep = 15;
inline constexpr int kFirstRowY = 6;

inline int RowY(int row)
{
    return kFirstRowY + row * kRowStep;
}

// The sub-pages start their rows near their top edge: they lie right below the security mode.
inline constexpr int kSubPageFirstRowY = 1;
inline constexpr char kFirstRowProperty[] = "firstRowY";
// The top of a row of parent, whose rows start at its "firstRowY" (kFirstRowY when unset).
int RowYIn(const QWidget* parent, int row);

// Translated text of a built-in key; a doubled "&" shows as one, as in a dialog's label.
QString Text(std::string_view key);
// The local 8-bit text of a record field, as window text.
QString FieldQString(std::string_view local);

// A skinned label, right-aligned before the field of its row.
CTStatic* MakeLabel(int controlId, std::string_view key, int row, QWidget* parent);
CTStatic* MakeLabelAt(int controlId, std::string_view key, const QRect& rect, Qt::Alignment align,
                      QWidget* parent);
QComboBox* MakeCombo(int controlId, int row, QWidget* parent, int width = kFieldWidth);
QLineEdit* MakeEdit(int controlId, int maxLength, int row, QWidget* parent, int width = kFieldWidth);
// Digits only (typing and pasting); the checks still judge whatever the box holds.
void AcceptDigitsOnly(QLineEdit* edit);

// Refills a combo with translated items carrying their values; no change signal while it fills.
void FillCombo(QComboBox* combo, std::span<const wireless::ValueItem> items);
void FillCombo(QComboBox* combo, std::span<const char* const> texts);  // values: the positions
// The value of the selected item, nullopt without a selection.
std::optional<uint8_t> SelectedValue(const QComboBox* combo);
// Selects the item at index without a change signal (-1: no selection).
void Select(QComboBox* combo, int index);

// Puts the focus on a field and selects its text, as a refused entry does.
void FocusEntry(QWidget* field);

}  // namespace pontiq::wireless_ui
