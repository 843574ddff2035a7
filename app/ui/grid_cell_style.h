// How grid cells look: fonts and colours of header and data cells from the skin settings. Every
// list page styles its grid cells through these, so all lists look alike.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <optional>

#include "app/settings.h"

namespace pontiq {

struct GridCellStyle {
    QFont font;
    QColor text;
    std::optional<QColor> background;  // none: the grid's own background
    int rowHeight = 0;                 // 0: setting the cell leaves its row height alone
};

// Header row: grid header font, GridTitleTextColor on GridTitleBkColor.
GridCellStyle HeaderCellStyle(const SkinSettings& skin);
// Data rows: grid data font in GridTextColor, TextUnlineColor (device offline) or TextOnlineColor
// (device online); a data cell also sets its row to rowHeight.
GridCellStyle DataCellStyle(const SkinSettings& skin, int rowHeight);
GridCellStyle OfflineCellStyle(const SkinSettings& skin, int rowHeight);
GridCellStyle OnlineCellStyle(const SkinSettings& skin, int rowHeight);

}  // namespace pontiq
