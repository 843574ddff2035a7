#include "ui/grid/grid_paint.h"

#include <QPainterPath>
#include <QPolygonF>
#include <algorithm>
#include <cmath>

namespace pontiq {

QColor BlendColor(const QColor& a, const QColor& b, qreal t)
{
    const auto mix = [t](int x, int y) { return static_cast<int>(x + (y - x) * t + 0.5); };
    return QColor(mix(a.red(), b.red()), mix(a.green(), b.green()), mix(a.blue(), b.blue()));
}

QColor GridStyle::SelectedBack() const
{
    return BlendColor(back, headerBack, 0.45);
}

QColor GridStyle::EditSelectionBack() const
{
    constexpr double kReadable = 4.5;
    QColor back = headerText;
    for (int i = 0; i < 40 && ContrastRatio(back, EditSelectionText()) < kReadable; ++i)
        back = back.darker(110);
    return back;
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor GridStyle::HoverBack() const
{
    return BlendColor(back, headerBack, 0.2);
}

void PaintTickBox(QPainter& painter, const QRect& cell, bool ticked, bool enabled, bool hovered,
                  const GridStyle& style)
{
    const QRectF box(cell.x() + (cell.width() - kTickBoxSize) / 2.0,
                     cell.y() + (cell.height() - kTickBoxSize) / 2.0, kTickBoxSize, kTickBoxSize);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    const QColor fill = enabled ? style.TickFill() : BlendColor(style.TickFill(), style.back, 0.55);
    const QRectF frame = box.adjusted(0.5, 0.5, -0.5, -0.5);
    if (ticked) {
        painter.setPen(QPen(fill.darker(110), 1));
        painter.setBrush(fill);
        painter.drawRoundedRect(frame, 2.5, 2.5);
        QPen mark(Qt::white, 2.0);
        mark.setCapStyle(Qt::RoundCap);
        mark.setJoinStyle(Qt::RoundJoin);
        painter.setPen(mark);
        painter.setBrush(Qt::NoBrush);
        const QPointF o = box.topLeft();
        const QPointF points[] = {o + QPointF(3.2, 7.2), o + QPointF(5.9, 9.9), o + QPointF(10.8, 4.3)};
        painter.drawPolyline(points, 3);
    } else {
        QColor border = hovered && enabled ? style.TickFill() : QColor(150, 150, 150);
        if (!enabled) border = QColor(200, 200, 200);
        painter.setPen(QPen(border, 1));
        painter.setBrush(enabled ? QColor(Qt::white) : QColor(245, 245, 245));
        painter.drawRoundedRect(frame, 2.5, 2.5);
    }
    painter.restore();
}

void PaintSortMark(QPainter& painter, const QPointF& at, bool ascending, const QColor& color)
{
    constexpr qreal kHalfWidth = 4.0;
    constexpr qreal kHalfHeight = 2.5;
    QPolygonF mark;
    if (ascending) {
        mark << QPointF(at.x() - kHalfWidth, at.y() + kHalfHeight)
             << QPointF(at.x() + kHalfWidth, at.y() + kHalfHeight) << QPointF(at.x(), at.y() - kHalfHeight);
    } else {
        mark << QPointF(at.x() - kHalfWidth, at.y() - kHalfHeight)
             << QPointF(at.x() + kHalfWidth, at.y() - kHalfHeight) << QPointF(at.x(), at.y() + kHalfHeight);
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawPolygon(mark);
    painter.restore();
}

}  // namespace pontiq
