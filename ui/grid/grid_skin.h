// The grid style every list grid takes from the skin settings.
#pragma once

#include "ui/grid/grid_types.h"

namespace pontiq {

// Header and data fonts and colours, line colour, background and row height of the running
// program's skin.
GridStyle SkinGridStyle();

}  // namespace pontiq
