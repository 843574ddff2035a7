#include "app/ui/grid_cell_style.h"

#include "app/controls/skin_style.h"

namespace pontiq {

namespace {

QFont GridFont(const FontSpec& font)
{
    return SkinFont(QString::fromStdString(font.face), font.weight, font.height);
}

}  // namespace

GridCellStyle HeaderCellStyle(const SkinSettings& skin)
{
    return {GridFont(skin.gridTitleFont), ToQColor(skin.gridTitleTextColor), ToQColor(skin.gridTitleBkColor),
            0};
}

GridCellStyle DataCellStyle(const SkinSettings& skin, int rowHeight)
{
    return {GridFont(skin.gridFont), ToQColor(skin.gridTextColor), std::nullopt, rowHeight};
}

GridCellStyle OfflineCellStyle(const SkinSettings& skin, int rowHeight)
{
    return {GridFont(skin.gridFont), ToQColor(skin.textUnlineColor), std::nullopt, rowHeight};
}

GridCellStyle OnlineCellStyle(const SkinSettings& skin, int rowHeight)
{
    return {GridFont(skin.gridFont), ToQColor(skin.textOnlineColor), std::nullopt, rowHeight};
}

}  // namespace pontiq
