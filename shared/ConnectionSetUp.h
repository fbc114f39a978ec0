#pragma once

// What every freshly opened connection to the shared database needs before its first statement,
// for the console's connection and the services' alike.

class QSqlDatabase;

namespace orvel {

// Records which back end the connection reaches (statements are translated for it) and, on
// SQLite, makes a locked database refuse a statement after the data source's Timeout, not after
// twice that.
void SetUpConnection(QSqlDatabase &db);

} // namespace orvel
