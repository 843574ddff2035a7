// Small conversions between the skin settings and Qt's colour, font and text types.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <string>

#include "app/settings.h"

namespace pontiq {

inline QColor ToQColor(const Rgb& rgb)
{
    return QColor(rgb.r, rgb.g, rgb.b);
}

inline QString ToQString(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

// A font as the skin gives it. height is in device units, the pixel height of the character
// cell (a negative value: of the character without its internal leading); 0 keeps the default
// size. weight is 0..1000 with 0 the default weight and 700 bold.
QFont SkinFont(const QString& face, int weight, int height);

}  // namespace pontiq
