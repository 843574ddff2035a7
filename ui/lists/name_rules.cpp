#include "ui/lists/name_rules.h"

#include "store/value_format.h"

namespace pontiq {

NameRule NameRuleFor(uint32_t typeCode)
{
    return UsesNameRuleA(typeCode) ? NameRule::A : NameRule::B;
}

bool PassesNameRule(NameRule rule, std::u16string_view name)
{
    return rule == NameRule::A ? IsNameTextA(name) : IsNameTextB(name);
}

const char* NameRuleMessage(NameRule rule)
{
    return rule == NameRule::A ? "Device name maximum allowed 32 bytes, only support combination of Chinese, "
                                 "lowercase letters, 0-9 numbers"
                               : "Device name maximum allowed 32 bytes, only support combination of Chinese, "
                                 "ASCII characters";
}

}  // namespace pontiq
