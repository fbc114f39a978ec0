#pragma once

// The services' own database connection: the same data source, user and password as the
// console, SQL text in the system's dialect run directly (the services do not use the access
// component). One instance per service process, over the shared connection layer.

#include "DbConnection.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace orvel {

class ServiceDb
{
public:
    explicit ServiceDb(const QString &connectionName);
    ~ServiceDb();
    ServiceDb(const ServiceDb &) = delete;
    ServiceDb &operator=(const ServiceDb &) = delete;

    // Opens (or reopens) the connection; false with LastError() set on failure.
    bool Open(const QString &dsn, const QString &user, const QString &password);
    // Opens telmar_mdb with the system's login.
    bool Open();
    bool IsOpen() const { return m_db.IsOpen(); }
    void Close();

    // Runs a statement; false with LastError() set on failure. A connection that is not open
    // (closed after a failed commit, or never opened) is opened again first.
    bool Exec(const QString &sql);
    // Runs a query and returns it positioned before the first row; IsActive() is false on
    // failure, with LastError() set.
    QSqlQuery Query(const QString &sql);
    // Prepares a statement for repeated execution with bound values ("?" placeholders).
    bool Prepare(QSqlQuery &query, const QString &sql);
    // Runs a statement with values bound to its '?' placeholders. The statement is prepared once
    // per connection and kept by its text, so work repeated for every record is parsed once.
    // rowsAffected, when given, receives the number of rows the statement wrote.
    bool ExecBound(const QString &sql, const QVariantList &values, int *rowsAffected = nullptr);
    // The same for a query, positioned before its first row (isActive() false on failure). The
    // query stays valid until the next call with the same text; finish() it once read.
    QSqlQuery &QueryBound(const QString &sql, const QVariantList &values);
    // The database's message of the last failure.
    QString LastError() const { return m_db.LastError(); }

    // Explicit transactions (BEGIN IMMEDIATE on SQLite) so a unit of work is atomic across
    // processes; a failed COMMIT or ROLLBACK reopens the connection. DbTransaction over
    // Connection() rolls back a unit that is not committed.
    bool Begin();
    bool Commit() { return m_db.Commit(); }
    bool Rollback() { return m_db.Rollback(); }

    QString ConnectionName() const { return m_db.ConnectionName(); }
    DbBackend Backend() const { return m_db.Backend(); }
    DbConnection &Connection() { return m_db; }

private:
    bool EnsureOpen();
    QSqlQuery *Prepared(const QString &sql, const QVariantList &values);
    DbConnection m_db;
    QHash<QString, QSqlQuery> m_prepared; // by statement text, for connection m_preparedFor
    quint64 m_preparedFor = 0;
    QSqlQuery m_inactive{QSqlDatabase()};  // what QueryBound gives when nothing could run
};

} // namespace orvel
