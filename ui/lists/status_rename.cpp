#include "ui/lists/status_rename.h"

#include "comm/comm_engine.h"
#include "store/value_format.h"

namespace pontiq {

bool PassesNameRule(NameRule rule, const QString& name)
{
    return PassesNameRule(rule, std::u16string_view(name.toStdU16String()));
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
