// Small builders shared by the configuration sheet's tabs: skinned labels, digit edits, and a
// row that collapses when it is hidden.
#pragma once

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QWidget>
#include <string_view>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/control_id.h"
#include "app/controls/ct_static.h"
#include "app/controls/skin_style.h"
#include "app/ui/translate_window.h"

namespace pontiq::config_tab {

inline constexpr int kEditHeight = 22;  // pixels

inline CTStatic* Label(int id, std::string_view key, QWidget* parent)
{
    auto* label = new CTStatic(id, parent);
    ApplyLabelSkin(*label, CurrentSettings().skin);
    label->setWordWrap(false);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->SetText(TranslateQ(key));
    return label;
}

inline QLineEdit* Edit(int id, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    SetControlId(edit, id);
    edit->setFixedHeight(kEditHeight);
    return edit;
}

// An edit that takes digits only, typed or pasted.
inline QLineEdit* DigitEdit(int id, QWidget* parent)
{
    QLineEdit* edit = Edit(id, parent);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    return edit;
}

inline QCheckBox* CheckBox(int id, QWidget* parent)
{
    auto* box = new QCheckBox(parent);
    SetControlId(box, id);
    return box;
}

// A row of controls; hiding the row hides its room as well.
inline QWidget* Row(QWidget* parent, QHBoxLayout** layout)
{
    auto* row = new QWidget(parent);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(6);
    *layout = h;
    return row;
}

}  // namespace pontiq::config_tab
