// Dialog-unit geometry. Window layouts are given in dialog units; this is the one place that
// turns them into pixels: 1.5 px across and 1.625 px down per unit at 96 dpi. Qt scales logical
// pixels with the screen, so the factors hold at every scaling.
#pragma once

#include <QRect>

namespace pontiq {

constexpr double kDluX = 1.5;
constexpr double kDluY = 1.625;

constexpr int DluX(int units)
{
    return static_cast<int>(units * kDluX + 0.5);
}
constexpr int DluY(int units)
{
    return static_cast<int>(units * kDluY + 0.5);
}

// A rectangle given as x, y, width, height in dialog units.
QRect DluRect(int x, int y, int width, int height);

}  // namespace pontiq
