// Plain values of the grid widget: its columns, its cells and its look.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QtGlobal>

#include "app/settings.h"

namespace pontiq {

enum class GridColumnKind {
    Text,   // centred single-line text
    Tick,   // a check box in every data row; the header cell holds the header tick
    Image,  // a picture of the image list, centred; text when the cell has no picture
};

struct GridColumn {
    QString title;
    int width = 80;  // pixels
    GridColumnKind kind = GridColumnKind::Text;
    bool headerTick = true;  // Tick columns: false shows the title instead of the header tick
};

struct GridCell {
    QString text;
    QColor color;     // invalid: the grid's text colour
    qint64 data = 0;  // item data, free for the page
    int image = -1;   // index into the image list; -1: none
    bool ticked = false;
    bool editable = false;
};

struct GridStyle {
    QFont headerFont;
    QFont dataFont;
    QColor headerText{237, 112, 32};
    QColor headerBack{221, 217, 196};
    QColor text{0, 0, 0};
    QColor back{255, 255, 255};
    QColor line{215, 215, 215};
    int rowHeight = kGridRowHeight;
    int headerHeight = 34;

    // Derived tints for the selected and the hovered row and the filled tick box.
    QColor SelectedBack() const;
    QColor HoverBack() const;
    QColor TickFill() const { return headerText; }
    // Selected text in the in-place editor: white on the accent colour, darkened as far as it
    // takes for the two to read clearly (a contrast of 4.5:1 or more).
    QColor EditSelectionBack() const;
    QColor EditSelectionText() const { return QColor(255, 255, 255); }
};

// Contrast ratio of two colours, 1..21, from their relative luminance (as WCAG 2 defines it).
double ContrastRatio(const QColor& a, const QColor& b);

// a + (b - a) * t, per channel.
QColor BlendColor(const QColor& a, const QColor& b, qreal t);

}  // namespace pontiq
