// Control ids of the window layouts stay visible on the widgets as the property "controlId", so
// windows, tests and the language pass can find a control by the id the layout gives it.
#pragma once

#include <QObject>
#include <QVariant>
#include <QWidget>

namespace pontiq {

inline constexpr char kControlIdProperty[] = "controlId";

inline void SetControlId(QObject* control, int id)
{
    control->setProperty(kControlIdProperty, id);
}

// The id of control, or -1 when it has none.
inline int ControlId(const QObject* control)
{
    const QVariant id = control ? control->property(kControlIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

// The first descendant of parent with the id, or nullptr.
inline QWidget* FindControl(const QWidget* parent, int id)
{
    if (!parent) return nullptr;
    for (QWidget* child : parent->findChildren<QWidget*>()) {
        if (ControlId(child) == id) return child;
    }
    return nullptr;
}

}  // namespace pontiq
