#pragma once

// One console per site, whatever the edition: both console programs take the same lock on the file
// "Orvel.lock" in the site folder, the kernel's lock that the services take too (SingleInstance):
// it is held as long as the process lives, so a console that is killed, even while it takes the
// lock, keeps no later start out. A second start does not open a second window; it tells the
// console already running, which comes to the front and says so, and then ends.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
namespace orvel {
class SingleInstance;
}

class ConsoleInstance : public QObject
{
    Q_OBJECT
public:
    explicit ConsoleInstance(const QString &siteFolder, QObject *parent = nullptr);
    ~ConsoleInstance() override;

    // True when this process is now the site's console (and listens for later starts).
    bool TryAcquire();
    // A start that found the site taken: asks the running console to come forward. False when
    // it could not be reached.
    bool NotifyRunning();

    static QString LockFileName(); // "Orvel.lock"

signals:
    // Another console was started on this site and ended at once.
    void secondStartSeen();

private:
    QString ServerName() const;

    QString m_site;
    std::unique_ptr<orvel::SingleInstance> m_lock;
    QLocalServer *m_server = nullptr;
};
