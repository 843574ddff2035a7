#include "ui/config/config_sheet_rules.h"

#include <gtest/gtest.h>

namespace pontiq {
namespace {

TEST(ConfigSheetRules, TabsDisabledByTypeCode)
{
    struct Case {
        uint32_t type;
        bool vlanDisabled;
        bool rebootDisabled;
    };
    const Case cases[] = {
        {1, false, false},  {12, true, false},  {13, true, false},   {22, true, false},   {33, true, true},
        {271, true, false}, {281, true, false}, {257, false, false}, {272, false, false}, {0, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsVlanTabDisabled(c.type), c.vlanDisabled) << c.type;
        EXPECT_EQ(IsTimedRebootTabDisabled(c.type), c.rebootDisabled) << c.type;
    }
}

}  // namespace
}  // namespace pontiq
