#include "app/controls/ct_static.h"

#include <QPalette>

#include "app/controls/control_id.h"
#include "app/controls/skin_style.h"

namespace pontiq {

CTStatic::CTStatic(QWidget* parent) : QLabel(parent)
{
    // A plain label: left and top, long texts wrapped at word ends.
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setWordWrap(true);
    setFont(SkinFont(faceName_, fontWeight_, fontHeight_));
    ApplyLook();
}

CTStatic::CTStatic(int controlId, QWidget* parent) : CTStatic(parent)
{
    SetControlId(this, controlId);
}

void CTStatic::SetSkin(const QString& face, const QColor& textColor, const QColor& backgroundColor,
                       int weight, int height)
{
    faceName_ = face;
    textColor_ = textColor;
    backgroundColor_ = backgroundColor;
    fontWeight_ = weight;
    fontHeight_ = height;
    setFont(SkinFont(faceName_, fontWeight_, fontHeight_));
    ApplyLook();
}

void CTStatic::SetTextColor(const QColor& color)
{
    textColor_ = color;
    ApplyLook();
}

void CTStatic::SetBackgroundColor(const QColor& color)
{
    backgroundColor_ = color;
    ApplyLook();
}

void CTStatic::SetTransparent(bool on)
{
    transparent_ = on;
    ApplyLook();
}

void CTStatic::ApplyLook()
{
    QPalette look = palette();
    // The text colour in every state but disabled, which keeps the system's greyed text.
    look.setColor(QPalette::Active, QPalette::WindowText, textColor_);
    look.setColor(QPalette::Inactive, QPalette::WindowText, textColor_);
    look.setColor(QPalette::Window, backgroundColor_);
    setPalette(look);
    setAutoFillBackground(!transparent_);
    update();
}

}  // namespace pontiq
