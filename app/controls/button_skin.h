// The skin operations that give picture buttons and labels the fonts and colours of the skin
// settings. Captions are translated by the caller.
#pragma once

#include <QString>

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

// Skinned labels: FontName, StaticFontWeight, StaticFontHeight, StaticFontTextColor on
// StaticFontBkColor.
void ApplyLabelSkin(CTStatic& label, const SkinSettings& skin);

}  // namespace pontiq
