#include "OrvStart.h"

#include "ConsoleInstance.h"
#include "MsgBox.h"
#include "Public.h"
#include "QtTranslation.h"
#include "mdifVantr.h"

#include "SiteFolder.h"

#include <QApplication>

int OrvStartMain(int argc, char **argv, int edition)
{
    QApplication app(argc, argv);
    // One console per site, whichever edition: a second start brings the running console to the
    // front, where it says so, and ends at once.
    ConsoleInstance instance(orvel::SiteFolder());
    if (!instance.TryAcquire()) {
        instance.NotifyRunning();
        return 0;
    }

    InstallQtTranslation();
    InstallRdoHooks();
    mdifVantr main(edition);
    QObject::connect(&instance, &ConsoleInstance::secondStartSeen, &main, [&main] {
        if (IsProgramEnding())
            return;
        // The window the operator can use now: a start-up or modal window, else the main window.
        QWidget *front = QApplication::activeModalWidget();
        if (!front && main.isVisible())
            front = &main;
        if (front) {
            front->setWindowState(front->windowState() & ~Qt::WindowMinimized);
            front->raise();
            front->activateWindow();
        }
        MsgBox::Notice(QStringLiteral("Kavrin Manager は既に起動しています。"), front);
    });
    main.Load();
    if (!IsProgramEnding())
        main.show();
    return app.exec();
}
