#include "ConsoleInstance.h"

#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace {
constexpr int kConnectMs = 2000;
const char kRaise[] = "raise\n";
} // namespace

ConsoleInstance::ConsoleInstance(const QString &siteFolder, QObject *parent)
    : QObject(parent), m_site(QDir(siteFolder).canonicalPath().isEmpty() ? QDir(siteFolder).absolutePath()
                                                                        : QDir(siteFolder).canonicalPath())
{
}

ConsoleInstance::~ConsoleInstance() = default;

QString ConsoleInstance::LockFileName()
{
    return QStringLiteral("Orvel.lock");
}

QString ConsoleInstance::ServerName() const
{
    // Socket paths are short; the site is named by a digest of its folder.
    const QByteArray digest = QCryptographicHash::hash(m_site.toUtf8(), QCryptographicHash::Sha1).toHex().left(20);
    return QStringLiteral("orvel-console-") + QString::fromLatin1(digest);
}

bool ConsoleInstance::TryAcquire()
{
    if (m_lock)
        return true;
    // The lock's name without its ".lock", as a path, so that it lies in this site's folder.
    m_lock = std::make_unique<orvel::SingleInstance>(QDir(m_site).filePath(QStringLiteral("Orvel")));
    if (!m_lock->TryAcquire()) {
        m_lock.reset();
        return false;
    }
    // A socket left by a console that died is ours to replace now that we hold the lock.
    QLocalServer::removeServer(ServerName());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(ServerName())) {
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *s = m_server->nextPendingConnection()) {
                connect(s, &QLocalSocket::readyRead, this, [this, s] {
                    if (s->readAll().contains("raise"))
                        emit secondStartSeen();
                    s->disconnectFromServer();
                });
                connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    return true;
}

bool ConsoleInstance::NotifyRunning()
{
    QLocalSocket s;
    s.connectToServer(ServerName());
    if (!s.waitForConnected(kConnectMs))
        return false;
    s.write(kRaise);
    const bool sent = s.waitForBytesWritten(kConnectMs);
    s.disconnectFromServer();
    return sent;
}
