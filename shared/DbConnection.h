#pragma once

// The one database connection layer of every program: the console's access component and both
// services open, probe, run statements, hold transactions and reopen through it. A connection is
// one named ODBC connection of Qt SQL; statements are written in the system's dialect and
// translated for the back end the connection found when it opened.

#include "SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

class QSqlError;

namespace orvel {

// The texts of database failures, the same in every program.
namespace dbtext {
inline constexpr char NotConnected[] = "データベースに接続されていません。";
inline constexpr char NoTransaction[] = "トランザクションが開始されていません。";
inline constexpr char Unknown[] = "database error";
inline constexpr char Unstorable[] = "データベースに保存できない文字が含まれています。";
} // namespace dbtext

// The driver's diagnostic text of an error: the driver's text and the database's, once each.
QString DbErrorText(const QSqlError &error);

class DbConnection
{
public:
    explicit DbConnection(const QString &connectionName);
    ~DbConnection();
    DbConnection(const DbConnection &) = delete;
    DbConnection &operator=(const DbConnection &) = delete;

    // Opens (or reopens) the data source with this login, remembered for Reopen; false with
    // LastError() set on failure.
    bool Open(const QString &dsn, const QString &user, const QString &password);
    // Opens again with the remembered login.
    bool Reopen();
    void Close();
    bool IsOpen() const;

    QString ConnectionName() const { return m_name; }
    QString Dsn() const { return m_dsn; }
    QString User() const { return m_user; }
    QString Password() const { return m_password; }
    // The back end found by the last successful open.
    DbBackend Backend() const { return m_backend; }
    QSqlDatabase Database() const;
    QString LastError() const { return m_lastError; }
    // Keeps the text of a failure met outside this class's own operations (a bound statement).
    void NoteError(const QSqlError &error);
    // Counts successful opens: a statement prepared on an older connection is gone with it.
    quint64 Generation() const { return m_generation; }

    // Runs a statement of the system's dialect; false with LastError() set on failure.
    bool Exec(const QString &sql);
    // Runs a query, forward only, positioned before its first row; not active on failure, with
    // LastError() set.
    QSqlQuery Query(const QString &sql);
    // Prepares a statement of the system's dialect for repeated execution with bound values
    // (placeholders "?"); false with LastError() set on failure.
    bool Prepare(QSqlQuery &query, const QString &sql);

    // Explicit transactions, the same statements on every driver. On SQLite the write lock is
    // taken at BEGIN, so a unit of work never fails half-way on another process's commit. A failed
    // COMMIT or ROLLBACK can leave the driver unsure of its own state: the connection is reopened,
    // and the result is false with the error kept. Ending a transaction that was not begun here
    // fails without a statement.
    bool Begin();
    bool Commit();
    bool Rollback();
    bool InTransaction() const { return m_inTransaction; }

    // Where the data lives: the SQLite file, or the server database's name; empty when not open.
    QString DatabasePath();
    // Compacts the database (VACUUM) on a connection of its own while this one is closed, then
    // reopens this one. SQLite rewrites the file in one transaction, so a failure leaves it as it was.
    bool Compact();

private:
    bool EndTransaction(const char *statement);
    // True, with LastError() set, for a statement that must not reach the database: none is open,
    // or its text cannot be carried to the back end intact.
    bool Refused(const QString &sql);

    QString m_name;
    QString m_dsn, m_user, m_password;
    QString m_lastError;
    DbBackend m_backend = DbBackend::SQLite;
    bool m_inTransaction = false;
    quint64 m_generation = 0;
};

// A unit of work: begun on construction, rolled back on destruction unless committed.
class DbTransaction
{
public:
    explicit DbTransaction(DbConnection &connection);
    ~DbTransaction();
    DbTransaction(const DbTransaction &) = delete;
    DbTransaction &operator=(const DbTransaction &) = delete;

    // Whether BEGIN succeeded and the unit is still open.
    bool IsActive() const { return m_active; }
    bool Commit();
    bool Rollback();

private:
    DbConnection &m_db;
    bool m_active = false;
};

} // namespace orvel
