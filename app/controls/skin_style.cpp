#include "app/controls/skin_style.h"

#include <algorithm>
#include <cstdlib>

namespace pontiq {

QFont SkinFont(const QString& face, int weight, int height)
{
    QFont font(face);
    // The skin's heights are cell heights in pixels; a negative height asks for the character
    // height, which pixel sizes approximate as well.
    if (height != 0) font.setPixelSize(std::max(1, std::abs(height)));
    if (weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    return font;
}

}  // namespace pontiq
