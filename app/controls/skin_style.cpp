#include "app/controls/skin_style.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace pontiq {

QFont SkinFont(const QString& face, int weight, int height)
{
    QFont font(face);
    if (weight > 0) font.setWeight(static_cast<QFont::Weight>(std::clamp(weight, 1, 1000)));
    if (height == 0) return font;
    // A negative height is the character height, which is Qt's pixel size. A positive height is
    // the whole character cell, larger than the em by the face's leading: scale the em down so
    // that the cell fits, as the layouts' widths expect.
    font.setPixelSize(std::max(1, std::abs(height)));
    if (height > 0) {
        const qreal cell = QFontMetricsF(font).height();
        if (cell > height)
            font.setPixelSize(std::max(1, static_cast<int>(std::lround(height * height / cell))));
    }
    return font;
}

}  // namespace pontiq
