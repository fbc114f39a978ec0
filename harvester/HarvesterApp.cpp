#include "HarvesterApp.h"

#include "Collector.h"
#include "GateLibLoader.h"
#include "HarvesterMessages.h"
#include "HarvesterTiming.h"
#include "HarvesterWindow.h"
#include "IniFile.h"
#include "ServiceDb.h"
#include "SingleInstance.h"
#include "SiteFolder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <cstring>
#include <memory>

namespace harvester {

using namespace orvel;

bool WantsHeadless(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--headless") == 0)
            return true;
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen"))
        return true;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

namespace {

QString LibraryErrorText(const GateLibLoader &lib)
{
    if (!lib.MissingLibrary().isEmpty())
        return QStringLiteral("<<< tcpcom.dll LoadLibrary ERROR >>>");
    return QStringLiteral("<<< %1 GetProcAddress ERROR >>>").arg(lib.MissingEntry());
}

int Run(int edition, bool headless)
{
    Messages::SetHeadless(headless);
    // The site folder is the working folder: Orvel.ini, the lock file and the spool live there.
    QDir::setCurrent(SiteFolder());
    SingleInstance instance(QStringLiteral("Harvester_Started"));
    if (!instance.TryAcquire())
        return 1;

    const ServiceIniSettings ini = ReadServiceIni(IniFile::Load(OrvelIniPath()));
    const HarvesterTiming timing = HarvesterTiming::FromEnvironment();
    UseSiteOdbcIni();
    ServiceDb db(QStringLiteral("harvester"));
    db.Open(); // a database that is not there yet is reopened by the first statement

    GateLibLoader lib;
    const QString libName = qEnvironmentVariable("ORVEL_HARVESTER_GATELIB", QStringLiteral("libtcpcom.so"));
    CollectorSettings settings;
    settings.edition = edition;
    settings.lockFile = SitePath(ini.gateLockFile);
    settings.spoolFile = SitePath(QStringLiteral("harvester_spool.dat"));
    settings.logWaitInterval = ini.logWaitInterval;
    if (ini.HasStartDate()) {
        settings.startYear = ini.startYear;
        settings.startMonth = ini.startMonth;
        settings.startDay = ini.startDay;
    }
    settings.unlockRetryMs = timing.unlockRetryMs;
    settings.unlockGiveUpMs = timing.unlockGiveUpMs;
    Collector collector(db, lib.Fn(), settings);

    std::unique_ptr<HarvesterWindow> window;
    int waitSec = ini.waitSec;
    if (!headless) {
        window = std::make_unique<HarvesterWindow>(collector, waitSec, ini.ShowTrayIcon());
        window->show();
        collector.SetDisplay([w = window.get()](const QString &text) { w->ShowLine(text); });
    } else {
        collector.SetDisplay([](const QString &text) { std::fprintf(stdout, "%s\n", text.toUtf8().constData()); std::fflush(stdout); });
    }

    // The entry points the collector calls, checked in this order; a library that lacks only
    // others still serves.
    const QStringList entries = {QStringLiteral("ConnectDevice"),
                                 QStringLiteral("DisConnectDevice"),
                                 QStringLiteral("UploadUserProfileLogRecord"),
                                 QStringLiteral("SetUploadLogRecordStartDate"),
                                 QStringLiteral("SetIdStringFormat"),
                                 QStringLiteral("ConfigureEEPROMSetting")};
    if (!lib.Load(libName, QStringLiteral("tcp_"), entries)) {
        Messages::Error(LibraryErrorText(lib));
        return 2;
    }
    lib.Fn().SetIdStringFormat(1);

    QTimer tick;
    tick.setSingleShot(true); // re-armed after each tick's work, so ticks never pile up
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (!collector.Tick()) {
            if (window)
                window->CloseForStop();
            QCoreApplication::quit();
            return;
        }
        tick.start(window ? window->WaitSec() : waitSec);
    });
    QTimer::singleShot(timing.startDelayMs, [&] {
        if (window)
            window->hide();
        tick.start(timing.firstTickMs);
    });
    const int rc = QCoreApplication::exec();
    tick.stop();
    return rc;
}

} // namespace

int RunHarvester(int argc, char **argv, int edition)
{
    const bool headless = WantsHeadless(argc, argv);
    std::unique_ptr<QCoreApplication> app;
    if (headless)
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(edition == 2 ? QStringLiteral("HarvesterMF1") : QStringLiteral("Harvester1"));
    return Run(edition, headless);
}

} // namespace harvester
