#include "DbConnection.h"

#include <QSqlDriver>
#include <QSqlError>

#include <sql.h>
#include <sqlext.h>

namespace orvel {
namespace {

// The product name the ODBC driver reports for its database ("SQLite", "PostgreSQL").
QString DbmsName(const QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    // Qt's ODBC driver hands out its connection handle (SQLHDBC, a void pointer).
    if (!handle.isValid() || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return QString();
    SQLHANDLE hdbc = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!hdbc)
        return QString();
    char name[128] = {};
    SQLSMALLINT len = 0;
    if (!SQL_SUCCEEDED(SQLGetInfo(hdbc, SQL_DBMS_NAME, name, sizeof name, &len)))
        return QString();
    return QString::fromLatin1(name);
}

} // namespace

QString DbErrorText(const QSqlError &e)
{
    QString text = e.databaseText();
    if (!e.driverText().isEmpty() && !text.contains(e.driverText()))
        text = e.driverText() + (text.isEmpty() ? QString() : QStringLiteral(": ") + text);
    return text.isEmpty() ? QString::fromLatin1(dbtext::Unknown) : text;
}

DbConnection::DbConnection(const QString &connectionName)
    : m_name(connectionName)
{
}

DbConnection::~DbConnection()
{
    Close();
}

bool DbConnection::Open(const QString &dsn, const QString &user, const QString &password)
{
    m_dsn = dsn;
    m_user = user;
    m_password = password;
    return Reopen();
}

bool DbConnection::Reopen()
{
    Close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    db.setDatabaseName(m_dsn);
    db.setUserName(m_user);
    db.setPassword(m_password);
    if (!db.open()) {
        m_lastError = DbErrorText(db.lastError());
        return false;
    }
    // The back end decides how statements are translated (date literals, quoting of names).
    m_backend = BackendFromDriverName(DbmsName(db));
    SetCurrentBackend(m_backend);
    if (m_backend == DbBackend::SQLite) {
        // The SQLite ODBC driver waits for a locked database twice over: its busy handler waits
        // the data source's Timeout inside the statement, and when the statement still finds the
        // lock the driver retries it by itself for another Timeout. Without the busy handler its
        // retry alone remains, which gives up after Timeout exactly and goes on as soon as the
        // lock is released.
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA busy_timeout = 0"));
    }
    ++m_generation;
    return true;
}

void DbConnection::NoteError(const QSqlError &error)
{
    m_lastError = DbErrorText(error);
}

bool DbConnection::IsOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

void DbConnection::Close()
{
    m_inTransaction = false;
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase DbConnection::Database() const
{
    return QSqlDatabase::database(m_name, false);
}

bool DbConnection::Refused(const QString &sql)
{
    if (!IsOpen()) {
        m_lastError = QString::fromUtf8(dbtext::NotConnected);
        return true;
    }
    // A statement that cannot reach the back end intact went through with every non-ASCII
    // character of it garbled, reported as stored. It is refused instead.
    if (!StorableText(sql, m_backend)) {
        m_lastError = QString::fromUtf8(dbtext::Unstorable);
        return true;
    }
    return false;
}

bool DbConnection::Exec(const QString &sql)
{
    if (Refused(sql))
        return false;
    QSqlQuery q(Database());
    if (q.exec(TranslateSql(sql, m_backend)))
        return true;
    m_lastError = DbErrorText(q.lastError());
    return false;
}

QSqlQuery DbConnection::Query(const QString &sql)
{
    if (Refused(sql))
        return QSqlQuery();
    QSqlQuery q(Database());
    q.setForwardOnly(true);
    if (!q.exec(TranslateSql(sql, m_backend)))
        m_lastError = DbErrorText(q.lastError());
    return q;
}

bool DbConnection::Prepare(QSqlQuery &query, const QString &sql)
{
    if (Refused(sql))
        return false;
    query = QSqlQuery(Database());
    query.setForwardOnly(true);
    if (query.prepare(TranslateSql(sql, m_backend)))
        return true;
    m_lastError = DbErrorText(query.lastError());
    return false;
}

bool DbConnection::Begin()
{
    const bool ok = Exec(m_backend == DbBackend::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_inTransaction = ok;
    return ok;
}

bool DbConnection::EndTransaction(const char *statement)
{
    // Ending a transaction that was never begun is an error on every back end (PostgreSQL would
    // only warn).
    if (!m_inTransaction) {
        m_lastError = QString::fromUtf8(dbtext::NoTransaction);
        return false;
    }
    m_inTransaction = false;
    if (Exec(QString::fromLatin1(statement)))
        return true;
    const QString error = m_lastError;
    Reopen();
    m_lastError = error;
    return false;
}

bool DbConnection::Commit()
{
    return EndTransaction("COMMIT");
}

bool DbConnection::Rollback()
{
    return EndTransaction("ROLLBACK");
}

QString DbConnection::DatabasePath()
{
    if (!IsOpen())
        return QString();
    if (m_backend == DbBackend::PostgreSQL) {
        QSqlQuery q = Query(QStringLiteral("SELECT current_database()"));
        return q.next() ? q.value(0).toString() : QString();
    }
    QSqlQuery q = Query(QStringLiteral("PRAGMA database_list"));
    while (q.next())
        if (q.value(1).toString() == QLatin1String("main"))
            return q.value(2).toString();
    return QString();
}

bool DbConnection::Compact()
{
    Close();
    bool ok = false;
    const QString name = m_name + QStringLiteral("_compact");
    {
        DbConnection compact(name);
        ok = compact.Open(m_dsn, m_user, m_password) && compact.Exec(QStringLiteral("VACUUM"));
        if (!ok)
            m_lastError = compact.LastError();
    }
    Reopen();
    return ok;
}

DbTransaction::DbTransaction(DbConnection &connection)
    : m_db(connection)
    , m_active(connection.Begin())
{
}

DbTransaction::~DbTransaction()
{
    if (m_active)
        m_db.Rollback();
}

bool DbTransaction::Commit()
{
    if (!m_active)
        return false;
    m_active = false;
    return m_db.Commit();
}

bool DbTransaction::Rollback()
{
    if (!m_active)
        return false;
    m_active = false;
    return m_db.Rollback();
}

} // namespace orvel
