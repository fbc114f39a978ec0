#include "PcGateLock.h"

#include "DbConnection.h"
#include "ErrorLog.h"
#include "OrvelDefs.h"

#include <QAtomicInt>
#include <QSqlQuery>
#include <QVariant>

namespace orvel {

PcGateLock::PcGateLock()
    : PcGateLock(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))
{
}

PcGateLock::PcGateLock(QString dsn, QString user, QString password)
    : m_dsn(std::move(dsn)), m_user(std::move(user)), m_password(std::move(password))
{
}

PcGateLock::~PcGateLock() = default; // closing the connection frees every lock it holds

bool PcGateLock::Ensure()
{
    if (m_known && !m_applies)
        return true;
    if (!m_db) {
        static QAtomicInt serial;
        m_db = std::make_unique<DbConnection>(QStringLiteral("pc_gate_lock_%1").arg(serial.fetchAndAddRelaxed(1) + 1));
    }
    if (!m_db->IsOpen() && !m_db->Open(m_dsn, m_user, m_password))
        return false;
    if (!m_known) {
        m_known = true;
        m_applies = m_db->Backend() == DbBackend::PostgreSQL;
        if (!m_applies) {
            m_db->Close();
            return true;
        }
    }
    // A connection opened again holds none of the locks the old one held.
    if (m_db->Generation() != m_generation) {
        m_generation = m_db->Generation();
        m_held.clear();
    }
    return true;
}

bool PcGateLock::Applies()
{
    Ensure();
    return m_applies;
}

bool PcGateLock::TryLock(int gateNumber, bool *newlyTaken)
{
    if (newlyTaken)
        *newlyTaken = false;
    if (!Ensure())
        return false;
    if (!m_applies)
        return true;
    if (m_held.contains(gateNumber))
        return true;
    const QString sql = QStringLiteral("SELECT pg_try_advisory_lock(%1, %2)").arg(kLockSpace).arg(gateNumber);
    QSqlQuery q = m_db->Query(sql);
    if (!q.isActive() || !q.next()) {
        // The connection may be gone (server restarted): the next attempt opens it again.
        m_db->Close();
        m_held.clear();
        return false;
    }
    if (!q.value(0).toBool())
        return false;
    m_held.insert(gateNumber);
    if (newlyTaken)
        *newlyTaken = true;
    return true;
}

void PcGateLock::Unlock(int gateNumber)
{
    if (!m_held.remove(gateNumber) || !m_db || !m_db->IsOpen())
        return;
    QSqlQuery q = m_db->Query(QStringLiteral("SELECT pg_advisory_unlock(%1, %2)").arg(kLockSpace).arg(gateNumber));
    if (!q.isActive())
    {
        m_db->Close(); // closing frees every lock of the connection
        m_held.clear();
    }
}

} // namespace orvel
