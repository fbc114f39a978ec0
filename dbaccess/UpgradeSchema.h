#pragma once

class rdo_cntl;

namespace orvel {

// Brings an older database to the current layout. Run once at every console start after the
// database has been opened; every statement's failure is ignored and the next one runs, so the
// upgrade never stops the start-up. A current database is left untouched.
void UpgradeSchema(rdo_cntl &db, int edition);

} // namespace orvel
