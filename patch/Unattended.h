#pragma once

// Orvel_Patch --unattended [--install-dir DIR]: the update without windows, for sites with many
// PCs. Progress goes to standard output, failures to standard error, the log as always.

#include "Public.h"

namespace patch {

enum UnattendedExit { kExitCompleted = 0, kExitFailed = 1, kExitInvalid = 2 };

// installDir empty: the folder the start window would find (desktop entry, then the default).
// Returns 0 on a completed update, 1 on a failed one (running programs included), 2 when the
// patch data is not valid or no installation folder is accepted.
int RunUnattended(const PatchEnv &env, const QString &installDir);

} // namespace patch
