#pragma once

// The services' own database connection: the same data source, user and password as the
// console, SQL text in the system's dialect run directly (the services do not use the access
// component). One instance per service process.

#include <QSqlQuery>
#include <QString>

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
    QString m_name;
    QString m_dsn, m_user, m_password;
    QString m_lastError;
};

} // namespace orvel
