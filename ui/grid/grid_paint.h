// Drawing pieces shared by the grid's header and its cells.
#pragma once

#include <QPainter>
#include <QRect>

#include "ui/grid/grid_types.h"

namespace pontiq {

inline constexpr int kTickBoxSize = 14;
inline constexpr int kCellPadding = 3;  // left and right, around cell text

// A tick box centred in `cell`.
void PaintTickBox(QPainter& painter, const QRect& cell, bool ticked, bool enabled, bool hovered,
                  const GridStyle& style);

// The sort mark: a small triangle pointing up (ascending) or down, centred on `at`.
void PaintSortMark(QPainter& painter, const QPointF& at, bool ascending, const QColor& color);

}  // namespace pontiq
