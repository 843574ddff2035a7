#include "ui/lists/status_rename.h"

#include "comm/comm_engine.h"
#include "store/value_format.h"

namespace pontiq {

NameRule NameRuleFor(uint32_t typeCode)
{
    return UsesNameRuleA(typeCode) ? NameRule::A : NameRule::B;
}

bool PassesNameRule(NameRule rule, const QString& name)
{
    const std::u16string text = name.toStdU16String();
    return rule == NameRule::A ? IsNameTextA(text) : IsNameTextB(text);
}

const char* NameRuleMessage(NameRule rule)
{
    return rule == NameRule::A ? "Device name maximum allowed 32 bytes, only support combination of Chinese, "
                                 "lowercase letters, 0-9 numbers"
                               : "Device name maximum allowed 32 bytes, only support combination of Chinese, "
                                 "ASCII characters";
}

RenameCheck CheckRename(const QString& oldName, const QString& newName, uint32_t typeCode)
{
    RenameCheck check;
    check.rule = NameRuleFor(typeCode);
    if (newName == oldName) {
        check.outcome = RenameCheck::Outcome::Unchanged;
        return check;
    }
    if (newName.isEmpty()) {
        check.outcome = RenameCheck::Outcome::Empty;
        return check;
    }
    if (!PassesNameRule(check.rule, newName)) {
        check.outcome = RenameCheck::Outcome::Refused;
        return check;
    }
    check.outcome = RenameCheck::Outcome::Accepted;
    check.name = QString::fromStdU16String(TruncateUtf8(newName.toStdU16String(), kDeviceNameBytes));
    return check;
}

bool RunRename(CommEngine& engine, const RenameTarget& target, const std::atomic<bool>& stop)
{
    if (stop.load()) return false;
    return engine.SetName(target.ip, target.mac, target.name);
}

}  // namespace pontiq
