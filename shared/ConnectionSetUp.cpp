#include "ConnectionSetUp.h"

#include "SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>

namespace orvel {

void SetUpConnection(QSqlDatabase &db)
{
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT sqlite_version()"))) {
        SetCurrentBackend(DbBackend::PostgreSQL);
        return;
    }
    SetCurrentBackend(DbBackend::SQLite);
    // The SQLite ODBC driver waits for a locked database twice over: its busy handler waits the
    // data source's Timeout inside the statement, and when the statement still finds the lock
    // the driver retries it by itself for another Timeout. Without the busy handler its retry
    // alone remains, which gives up after Timeout exactly and goes on as soon as the lock is
    // released.
    probe.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
}

} // namespace orvel
