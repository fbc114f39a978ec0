#pragma once

// A gate's row in lock_gate: the gate access lock and the log collector work through it, so every
// way a gate comes into the master (the gate screen's register, the gate import) writes it.

#include <QString>

namespace orvel {

// Creates the gate's lock_gate row dated today ("yyyy/mm/dd"); a row left from an earlier gate
// with this ID is kept and serves as well.
void AddGateLockRow(const QString &gateId, const QString &today);

} // namespace orvel
