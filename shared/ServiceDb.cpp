#include "ServiceDb.h"

#include "OrvelDefs.h"

#include <QSqlError>

namespace orvel {

ServiceDb::ServiceDb(const QString &connectionName)
    : m_db(connectionName)
{
}

ServiceDb::~ServiceDb()
{
    Close();
}

bool ServiceDb::Open(const QString &dsn, const QString &user, const QString &password)
{
    m_prepared.clear(); // prepared statements belong to the connection that goes
    return m_db.Open(dsn, user, password);
}

bool ServiceDb::Open()
{
    return Open(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword));
}

void ServiceDb::Close()
{
    m_prepared.clear();
    m_inactive = QSqlQuery(QSqlDatabase());
    m_db.Close();
}

bool ServiceDb::EnsureOpen()
{
    if (m_db.IsOpen())
        return true;
    m_prepared.clear();
    return !m_db.Dsn().isEmpty() && m_db.Reopen();
}

bool ServiceDb::Exec(const QString &sql)
{
    return EnsureOpen() && m_db.Exec(sql);
}

QSqlQuery ServiceDb::Query(const QString &sql)
{
    if (!EnsureOpen())
        return QSqlQuery();
    return m_db.Query(sql);
}

bool ServiceDb::Prepare(QSqlQuery &query, const QString &sql)
{
    return EnsureOpen() && m_db.Prepare(query, sql);
}

QSqlQuery *ServiceDb::Prepared(const QString &sql, const QVariantList &values)
{
    if (!EnsureOpen())
        return nullptr;
    // A connection reopened behind our back (after a failed commit) has none of the old statements.
    if (m_preparedFor != m_db.Generation()) {
        m_prepared.clear();
        m_preparedFor = m_db.Generation();
    }
    auto it = m_prepared.find(sql);
    if (it == m_prepared.end()) {
        QSqlQuery q(m_db.Database());
        if (!m_db.Prepare(q, sql))
            return nullptr;
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
        m_db.NoteError(q->lastError());
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
        m_db.NoteError(q->lastError());
    return *q;
}

bool ServiceDb::Begin()
{
    return EnsureOpen() && m_db.Begin();
}

} // namespace orvel
