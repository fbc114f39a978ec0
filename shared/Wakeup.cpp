#include "Wakeup.h"

#include "SiteFolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orvel {
namespace {

// "\0orvel-<hash of the site folder>-<channel>": one name per site and channel, whatever the
// length of the folder's path.
socklen_t Address(const QString &channel, sockaddr_un *a)
{
    std::memset(a, 0, sizeof *a);
    a->sun_family = AF_UNIX;
    const QByteArray site = QCryptographicHash::hash(QDir(SiteFolder()).absolutePath().toUtf8(),
                                                     QCryptographicHash::Sha1)
                                .toHex()
                                .left(20);
    const QByteArray name = "orvel-" + site + '-' + channel.toUtf8().left(40);
    std::memcpy(a->sun_path + 1, name.constData(), size_t(name.size()));
    return socklen_t(offsetof(sockaddr_un, sun_path) + 1 + size_t(name.size()));
}

} // namespace

WakeListener::WakeListener(const QString &channel, QObject *parent)
    : QObject(parent)
{
    sockaddr_un a;
    const socklen_t len = Address(channel, &a);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), len) != 0) {
        ::close(fd);
        return;
    }
    m_fd = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] {
        Drain();
        emit Woken();
    });
}

WakeListener::~WakeListener()
{
    delete m_notifier;
    if (m_fd >= 0)
        ::close(m_fd);
}

void WakeListener::Drain()
{
    char buf[16];
    while (m_fd >= 0 && ::recv(m_fd, buf, sizeof buf, 0) >= 0)
        m_woken = true;
}

bool WakeListener::TakeWoken()
{
    Drain();
    const bool woken = m_woken;
    m_woken = false;
    return woken;
}

bool WakeListener::Wait(int ms)
{
    if (TakeWoken())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &WakeListener::Woken, &loop, &QEventLoop::quit);
    timer.start(ms);
    loop.exec();
    return TakeWoken();
}

void Wake(const QString &channel)
{
    sockaddr_un a;
    const socklen_t len = Address(channel, &a);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    const char byte = 1;
    ::sendto(fd, &byte, 1, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr *>(&a), len);
    ::close(fd);
}

bool HasWakeListener(const QString &channel)
{
    sockaddr_un a;
    const socklen_t len = Address(channel, &a);
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // A datagram socket connects only to a bound name.
    const bool bound = ::connect(fd, reinterpret_cast<sockaddr *>(&a), len) == 0;
    ::close(fd);
    return bound;
}

} // namespace orvel
