#pragma once

// The steps of the start-up check and the daily maintenance, without windows. Lists are filled
// into grids (the windows' grids, or any grid of the access component's contract) so that each
// row's outcome is shown where the operator sees it.

#include <QDate>
#include <QStringList>

class RdoGridControl;

namespace orvel::mainte {

// Deletes the resolved and raw log rows dated before today minus the retention days, 00:00:00.
// Database errors are not reported.
void PurgeOldLogs(const QDate &today = QDate::currentDate());

// Whether the automatic log output is on and its file cannot be appended to.
bool AutoLogFileUnusable();

// Start-up: tests every gate in use (gate ID, address, port in columns 0-2) under its lock and
// writes "完了" or "失敗" into column 2. A gate that does not answer is logged (9000) and shown
// in the gate error window.
void TestGateConnections(RdoGridControl &grid);

// Daily maintenance: sets the clock of every gate in use, "完了" or "失敗" in column 2.
void SetGateClocks(RdoGridControl &grid);

// Daily maintenance: cleans every gate in use of users it does not permit and writes its
// permitted users again; permits in state 3 are deleted. Returns the names of the gates that
// failed, each once.
QStringList RewriteGateUsers(RdoGridControl &gates, RdoGridControl &permits);

// The one message that reports the failed gates of a run.
QString FailedGatesMessage(const QStringList &gateNames);

} // namespace orvel::mainte
