// Renaming a device from the status page's Location cell: which name rule its type code takes,
// the check of the edited name, and the routine that sends the new name.
#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <string>

#include "ui/lists/name_rules.h"

namespace pontiq {

class CommEngine;

bool PassesNameRule(NameRule rule, const QString& name);

struct RenameCheck {
    enum class Outcome {
        Unchanged,  // the same text as before the edit: nothing happens
        Empty,      // the old name goes back, without a message
        Refused,    // the rule's message, then the old name goes back
        Accepted,   // name is what the cell shows and what is sent
    };
    Outcome outcome = Outcome::Unchanged;
    NameRule rule = NameRule::B;
    QString name;
};

RenameCheck CheckRename(const QString& oldName, const QString& newName, uint32_t typeCode);

// The device the edited row stands for and the name it is sent, local 8-bit texts.
struct RenameTarget {
    std::string ip;
    std::string mac;
    uint32_t typeCode = 0;
    std::string name;
};

// The rename routine, for the page's worker thread: one MSG_SET_NAME (the outgoing text rule
// and the 32-byte cut are the engine's), unless asked to stop before it goes out.
bool RunRename(CommEngine& engine, const RenameTarget& target, const std::atomic<bool>& stop);

}  // namespace pontiq
