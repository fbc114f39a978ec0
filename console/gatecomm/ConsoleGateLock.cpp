#include "ConsoleGateLock.h"

#include "ConsoleTiming.h"
#include "GateLock.h"
#include "PcGateLock.h"
#include "OrvelDefs.h"
#include "ConsoleState.h"
#include "SiteFolder.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QThread>

#include <chrono>
#include <memory>

orvel::GateLock &ConsoleGateLock()
{
    orvel::GateLock &lock = orvel::GateLock::Instance();
    // Orvel.ini may have been read again since the last call; the file name is cheap to renew.
    QString name = GateLockFileName();
    if (name.isEmpty())
        name = QString::fromLatin1(orvel::ini::DefaultGateLock);
    lock.SetLockFilePath(orvel::SitePath(name));

    orvel::GateLockHooks hooks;
    hooks.now = [] {
        using namespace std::chrono;
        const double ms = duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
        return ms / std::max(1, Timing().gateLockSecondMs);
    };
    hooks.wait = [] {
        // Keeps the window responsive while another program holds the gate.
        QCoreApplication::processEvents();
        QThread::msleep(20);
    };
    hooks.busyPointer = [](bool on) {
        if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
            return;
        if (on && !QGuiApplication::overrideCursor())
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        else if (!on && QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
    };
    // The lock across PCs lives on a connection of its own, opened for the current site; a site
    // changed since (another test site, a site set up again) gets a new one.
    static std::unique_ptr<orvel::PcGateLock> acrossPcs;
    static QString acrossPcsSite;
    const QString site = orvel::SitePath(QString());
    if (!acrossPcs || acrossPcsSite != site) {
        acrossPcs = std::make_unique<orvel::PcGateLock>();
        acrossPcsSite = site;
    }
    hooks.acrossPcs = acrossPcs.get();
    lock.SetHooks(std::move(hooks));
    return lock;
}
