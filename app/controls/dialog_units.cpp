#include "app/controls/dialog_units.h"

namespace pontiq {

QRect DluRect(int x, int y, int width, int height)
{
    return QRect(DluX(x), DluY(y), DluX(width), DluY(height));
}

}  // namespace pontiq
