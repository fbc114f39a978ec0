#pragma once

// The services' own database connection: the same data source, user and password as the
// console, SQL text in the system's dialect run directly (the services do not use the access
// component). One instance per service process.

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
    bool IsOpen() const;
    void Close();

    // Runs a statement; false with LastError() set on failure. A lost connection is reopened
    // once before the statement is given up.
    bool Exec(const QString &sql);
    // Runs a query and returns it positioned before the first row; IsActive() is false on
    // failure, with LastError() set.
    QSqlQuery Query(const QString &sql);
    // Runs a statement with values bound to its '?' placeholders. The statement is prepared once
    // per connection and kept by its text, so work repeated for every record is parsed once.
    // rowsAffected, when given, receives the number of rows the statement wrote.
    bool ExecBound(const QString &sql, const QVariantList &values, int *rowsAffected = nullptr);
    // The same for a query, positioned before its first row (isActive() false on failure). The
    // query stays valid until the next call with the same text; finish() it once read.
    QSqlQuery &QueryBound(const QString &sql, const QVariantList &values);
    // The database's message of the last failure.
    QString LastError() const { return m_lastError; }

    // Explicit transactions (BEGIN IMMEDIATE on SQLite) so a unit of work is atomic across
    // processes; a failed COMMIT or ROLLBACK reopens the connection.
    bool Begin();
    bool Commit();
    bool Rollback();

    QString ConnectionName() const { return m_name; }

private:
    bool Reopen();
    QSqlQuery *Prepared(const QString &sql, const QVariantList &values);
    QString m_name;
    QHash<QString, QSqlQuery> m_prepared; // by statement text, for the current connection
    QSqlQuery m_inactive{QSqlDatabase()};  // what QueryBound gives when nothing could run
    QString m_dsn, m_user, m_password;
    QString m_lastError;
};

} // namespace orvel
