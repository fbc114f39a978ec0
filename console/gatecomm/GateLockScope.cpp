#include "GateLockScope.h"

#include "ConsoleGateLock.h"
#include "ConsoleTiming.h"
#include "GateLock.h"

GateLockScope::GateLockScope(const QString &gateId, Release release, Report onReleaseFailed, int lockSec)
    : m_gateId(gateId), m_release(release), m_report(std::move(onReleaseFailed))
{
    const int sec = lockSec > 0 ? lockSec : Timing().gateLockSec;
    m_locked = ConsoleGateLock().LockGate(m_gateId, static_cast<qint16>(sec));
}

GateLockScope::~GateLockScope()
{
    Unlock();
}

void GateLockScope::Unlock()
{
    if (!m_locked)
        return;
    const orvel::GateLock &lock = ConsoleGateLock();
    const auto sec = static_cast<qint16>(Timing().gateUnlockSec);
    while (!lock.UnlockGate(m_gateId, sec)) {
        if (m_report)
            m_report();
        if (m_release == Release::Once)
            break;
    }
    m_locked = false;
}

QString GateUnlockFailedText()
{
    return QStringLiteral("ゲートアクセスへのロックを解除出来ません。");
}
