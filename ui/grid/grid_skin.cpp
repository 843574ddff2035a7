#include "ui/grid/grid_skin.h"

#include "app/application_app.h"
#include "app/controls/skin_style.h"
#include "app/ui/grid_cell_style.h"

namespace pontiq {

GridStyle SkinGridStyle()
{
    const AppSettings& settings = CurrentSettings();
    const SkinSettings& skin = settings.skin;
    const int rowHeight = settings.gridRowHeight > 0 ? settings.gridRowHeight : kGridRowHeight;
    const GridCellStyle header = HeaderCellStyle(skin);
    const GridCellStyle data = DataCellStyle(skin, rowHeight);
    GridStyle style;
    style.headerFont = header.font;
    style.headerText = header.text;
    style.headerBack = header.background.value_or(ToQColor(skin.gridTitleBkColor));
    style.dataFont = data.font;
    style.text = data.text;
    style.back = ToQColor(skin.childBkColor);
    style.line = ToQColor(skin.lineColor);
    style.rowHeight = data.rowHeight;
    return style;
}

}  // namespace pontiq
