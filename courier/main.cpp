// Courier1 / CourierMF1: the user provisioning service (edition from ORVEL_EDITION).
#include "Courier.h"

#include "SingleInstance.h"
#include "SiteFolder.h"

#include <QCoreApplication>
#include <QDir>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    orvel::SingleInstance instance(QStringLiteral("Courier_Started"));
    if (!instance.TryAcquire())
        return 1;
    QDir::setCurrent(orvel::SiteFolder());
    orvel::UseSiteOdbcIni();

    Courier courier(ORVEL_EDITION);
    QObject::connect(&courier, &Courier::Finished, &app, &QCoreApplication::quit, Qt::QueuedConnection);
    courier.Start(); // without its libraries the service stays idle until it is killed
    return app.exec();
}
