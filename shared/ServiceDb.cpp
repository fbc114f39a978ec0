#include "ServiceDb.h"

#include "ConnectionSetUp.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace orvel {
namespace {
QString ErrorText(const QSqlError &e)
{
    QString text = e.databaseText();
    if (text.isEmpty())
        text = e.driverText();
    return text.isEmpty() ? QStringLiteral("database error") : text;
}
} // namespace

ServiceDb::ServiceDb(const QString &connectionName)
    : m_name(connectionName)
{
}

ServiceDb::~ServiceDb()
{
    Close();
}

bool ServiceDb::Open(const QString &dsn, const QString &user, const QString &password)
{
    m_dsn = dsn;
    m_user = user;
    m_password = password;
    return Reopen();
}

bool ServiceDb::Open()
{
    return Open(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword));
}

bool ServiceDb::Reopen()
{
    Close();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), m_name);
    db.setDatabaseName(m_dsn);
    db.setUserName(m_user);
    db.setPassword(m_password);
    if (!db.open()) {
        m_lastError = ErrorText(db.lastError());
        return false;
    }
    SetUpConnection(db);
    return true;
}

bool ServiceDb::IsOpen() const
{
    return QSqlDatabase::contains(m_name) && QSqlDatabase::database(m_name, false).isOpen();
}

void ServiceDb::Close()
{
    m_prepared.clear(); // prepared statements belong to the connection that goes
    if (!QSqlDatabase::contains(m_name))
        return;
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

bool ServiceDb::Exec(const QString &sql)
{
    if (!IsOpen() && !Reopen())
        return false;
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (q.exec(TranslateSql(sql)))
        return true;
    m_lastError = ErrorText(q.lastError());
    return false;
}

QSqlQuery ServiceDb::Query(const QString &sql)
{
    if (!IsOpen() && !Reopen())
        return QSqlQuery();
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    q.setForwardOnly(true);
    if (!q.exec(TranslateSql(sql)))
        m_lastError = ErrorText(q.lastError());
    return q;
}

QSqlQuery *ServiceDb::Prepared(const QString &sql, const QVariantList &values)
{
    if (!IsOpen() && !Reopen())
        return nullptr;
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.setForwardOnly(true);
        if (!q.prepare(TranslateSql(sql))) {
            m_lastError = ErrorText(q.lastError());
            return nullptr;
        }
        it = m_prepared.insert(sql, q);
    }
    for (int i = 0; i < values.size(); ++i)
        it->bindValue(i, values[i]);
    return &*it;
}

bool ServiceDb::ExecBound(const QString &sql, const QVariantList &values, int *rowsAffected)
{
    QSqlQuery *q = Prepared(sql, values);
    if (!q)
        return false;
    if (!q->exec()) {
        m_lastError = ErrorText(q->lastError());
        return false;
    }
    if (rowsAffected)
        *rowsAffected = q->numRowsAffected();
    q->finish();
    return true;
}

QSqlQuery &ServiceDb::QueryBound(const QString &sql, const QVariantList &values)
{
    QSqlQuery *q = Prepared(sql, values);
    if (!q) {
        m_inactive = QSqlQuery(QSqlDatabase());
        return m_inactive;
    }
    if (!q->exec())
        m_lastError = ErrorText(q->lastError());
    return *q;
}

bool ServiceDb::Begin()
{
    return Exec(CurrentBackend() == DbBackend::SQLite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
}

bool ServiceDb::Commit()
{
    if (Exec(QStringLiteral("COMMIT")))
        return true;
    const QString err = m_lastError;
    Reopen();
    m_lastError = err;
    return false;
}

bool ServiceDb::Rollback()
{
    if (Exec(QStringLiteral("ROLLBACK")))
        return true;
    const QString err = m_lastError;
    Reopen();
    m_lastError = err;
    return false;
}

} // namespace orvel
