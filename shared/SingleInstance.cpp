#include "SingleInstance.h"

#include "SiteFolder.h"

#include <QFile>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace orvel {

SingleInstance::SingleInstance(const QString &eventName)
    : m_path(SitePath(eventName + QStringLiteral(".lock")))
{
}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock; the file stays for the next holder
}

// The file is never removed and its contents mean nothing: a lock file whose contents had to be
// written after it was created could be left empty by a process killed in between, and such a
// file kept every later start out.
bool SingleInstance::TryAcquire()
{
    if (m_fd >= 0)
        return true;
    const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

} // namespace orvel
