#include <gtest/gtest.h>

#include "app/controls/dialog_units.h"

namespace pontiq {
namespace {

TEST(DialogUnits, ConvertAtTheFixedFactors)
{
    EXPECT_EQ(DluX(100), 150);
    EXPECT_EQ(DluY(100), 163);  // 162.5 rounds up
    EXPECT_EQ(DluRect(2, 4, 10, 8), QRect(3, 7, 15, 13));
}

}  // namespace
}  // namespace pontiq
