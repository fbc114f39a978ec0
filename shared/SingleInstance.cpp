#include "SingleInstance.h"

#include "SiteFolder.h"

#include <QLockFile>

namespace orvel {

SingleInstance::SingleInstance(const QString &eventName)
    : m_lock(std::make_unique<QLockFile>(SitePath(eventName + QStringLiteral(".lock"))))
{
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::TryAcquire()
{
    return m_lock->tryLock(0);
}

} // namespace orvel
