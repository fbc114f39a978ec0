#include "OrvStart.h"

#include "Public.h"
#include "mdifVantr.h"

#include "SiteFolder.h"

#include <QApplication>
#include <QLockFile>

QString InstanceLockName()
{
    return QCoreApplication::applicationName() + QStringLiteral(".lock");
}

int OrvStartMain(int argc, char **argv, int edition)
{
    QApplication app(argc, argv);
    // Another console of this program on this site is running: end at once, without a word.
    QLockFile instance(orvel::SitePath(InstanceLockName()));
    instance.setStaleLockTime(0); // only a dead owner makes the lock stale, never its age
    if (!instance.tryLock(0))
        return 0;

    InstallRdoHooks();
    mdifVantr main(edition);
    main.Load();
    if (!IsProgramEnding())
        main.show();
    return app.exec();
}
