// The skin operations that give picture buttons and labels the fonts and colours of the skin
// settings. Captions are translated by the caller.
#pragma once

#include <QString>

class QWidget;

#include "app/settings.h"

namespace pontiq {

class CTButtonPicture;
class CTStatic;

// Navigation-panel buttons: FontName, ButtonMenuFontWeight, ButtonMenuFontHeight,
// ButtonMenuFontColor, pressed text TextDownColor; caption placed left with offset 50.
void ApplyNavigationButtonSkin(CTButtonPicture& button, const QString& caption, const SkinSettings& skin);

// Every other picture button: FontName, ButtonFontWeight, ButtonFontHeight, ButtonFontColor,
// pressed text TextDownColor; the placement is left as it is (centred by default).
void ApplyStandardButtonSkin(CTButtonPicture& button, const QString& caption, const SkinSettings& skin);

// A standard-skinned picture button with one image for every state, as the dialogs' Save and
// Cancel buttons are.
CTButtonPicture* MakeDialogButton(int controlId, const QString& caption, const QString& image,
                                  const SkinSettings& skin, QWidget* parent);

// A title bar's close button: one image for every state; when the image is missing, a grey "×"
// in the skin's font stands in. It takes no focus; `toolTip` comes translated.
CTButtonPicture* MakeCloseButton(int controlId, const QString& image, const QString& toolTip,
                                 const SkinSettings& skin, QWidget* parent);

// Skinned labels: FontName, StaticFontWeight, StaticFontHeight, StaticFontTextColor on
// StaticFontBkColor.
void ApplyLabelSkin(CTStatic& label, const SkinSettings& skin);

}  // namespace pontiq
