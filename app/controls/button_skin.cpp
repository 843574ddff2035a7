#include "app/controls/button_skin.h"

#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/skin_style.h"

namespace pontiq {
namespace {

constexpr int kNavigationTextOffset = 50;

}  // namespace

void ApplyNavigationButtonSkin(CTButtonPicture& button, const QString& caption, const SkinSettings& skin)
{
    button.SetCaption(caption);
    button.SetSkin(ToQString(skin.fontName), skin.buttonMenuFontWeight, skin.buttonMenuFontHeight,
                   ToQColor(skin.buttonMenuFontColor), ToQColor(skin.textDownColor));
    button.SetTextPlacement(CTButtonPicture::kTextLeft, kNavigationTextOffset);
}

void ApplyStandardButtonSkin(CTButtonPicture& button, const QString& caption, const SkinSettings& skin)
{
    button.SetCaption(caption);
    button.SetSkin(ToQString(skin.fontName), skin.buttonFontWeight, skin.buttonFontHeight,
                   ToQColor(skin.buttonFontColor), ToQColor(skin.textDownColor));
}

CTButtonPicture* MakeDialogButton(int controlId, const QString& caption, const QString& image,
                                  const SkinSettings& skin, QWidget* parent)
{
    auto* button = new CTButtonPicture(controlId, parent);
    button->SetImages(image, image, image, image);
    ApplyStandardButtonSkin(*button, caption, skin);
    return button;
}

CTButtonPicture* MakeCloseButton(int controlId, const QString& image, const QString& toolTip,
                                 const SkinSettings& skin, QWidget* parent)
{
    auto* button = new CTButtonPicture(controlId, parent);
    button->SetImages(image, image, image, image);
    if (button->Image(CTButtonPicture::State::Normal).isNull()) {
        button->SetCaption(QString::fromUtf8("\xc3\x97"));
        button->SetSkin(ToQString(skin.fontName), 700, 18, QColor(110, 110, 110),
                        ToQColor(skin.textDownColor));
    }
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(toolTip);
    return button;
}

void ApplyLabelSkin(CTStatic& label, const SkinSettings& skin)
{
    label.SetSkin(ToQString(skin.fontName), ToQColor(skin.staticFontTextColor),
                  ToQColor(skin.staticFontBkColor), skin.staticFontWeight, skin.staticFontHeight);
}

}  // namespace pontiq
