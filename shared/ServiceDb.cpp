#include "ServiceDb.h"

#include "OrvelDefs.h"

namespace orvel {

ServiceDb::ServiceDb(const QString &connectionName)
    : m_db(connectionName)
{
}

ServiceDb::~ServiceDb() = default;

bool ServiceDb::Open(const QString &dsn, const QString &user, const QString &password)
{
    return m_db.Open(dsn, user, password);
}

bool ServiceDb::Open()
{
    return Open(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword));
}

bool ServiceDb::EnsureOpen()
{
    return m_db.IsOpen() || (!m_db.Dsn().isEmpty() && m_db.Reopen());
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

bool ServiceDb::Begin()
{
    return EnsureOpen() && m_db.Begin();
}

} // namespace orvel
