#include "SiteSetup.h"

#include "OrvelDefs.h"
#include "SiteMedia.h"
#include "Schema.h"
#include "UpgradeSchema.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <cstdlib>

namespace orvel {
namespace {

bool WriteText(const QString &path, const QString &text, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

QString SqliteDriverPath()
{
    const QStringList candidates = {
        QStringLiteral("/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so"),
        QStringLiteral("/usr/lib/aarch64-linux-gnu/odbc/libsqlite3odbc.so"),
        QStringLiteral("/usr/lib/odbc/libsqlite3odbc.so"),
        QStringLiteral("/usr/local/lib/libsqlite3odbc.so"),
    };
    for (const QString &c : candidates)
        if (QFileInfo::exists(c))
            return c;
    return QStringLiteral("libsqlite3odbc.so");
}

} // namespace

QString DefaultOrvelIni()
{
    return QStringLiteral("[FILE]\r\n"
                          "F_GATELOCK=%1\r\n"
                          "F_TEMPLATE=%2\r\n"
                          "\r\n"
                          "[INTERVAL]\r\n"
                          "WAIT_SEC=%3\r\n"
                          "LOG_WAIT_INTERVAL=%4\r\n"
                          "\r\n"
                          "[ICON SECTION]\r\n"
                          "DISP_ICON_IN_SYSTEM_TRAY=%5\r\n"
                          "\r\n"
                          "[LOG SECTION]\r\n"
                          "START_YEAR=0\r\n"
                          "START_MONTH=0\r\n"
                          "START_DAY=0\r\n"
                          "\r\n"
                          "[%6]\r\n"
                          "%7=%8\r\n"
                          "%9=%10\r\n")
        .arg(QLatin1String(ini::DefaultGateLock), QLatin1String(ini::DefaultTemplate))
        .arg(ini::DefaultWaitSec)
        .arg(ini::DefaultLogWaitInterval)
        .arg(QLatin1String(ini::DefaultTrayIcon), QLatin1String(ini::SecFingerprint), QLatin1String(ini::KeyFpScanner),
             QLatin1String(ini::DefaultFpScanner), QLatin1String(ini::KeyFpSimSocket),
             QLatin1String(ini::DefaultFpSimSocket));
}

void UseSiteOdbc(const QString &dir)
{
    const QDir d(dir);
    ::setenv("ODBCINI", QFile::encodeName(d.absoluteFilePath(QStringLiteral("odbc.ini"))).constData(), 1);
    ::setenv("ODBCSYSINI", QFile::encodeName(d.absolutePath()).constData(), 1);
}

bool BuildDatabase(rdo_cntl &db, int edition, QString *error)
{
    const DbBackend b = CurrentBackend();
    try {
        QStringList views = schema::ViewNames();
        std::reverse(views.begin(), views.end());
        for (const QString &v : views) {
            try {
                db.Execute(QStringLiteral("DROP VIEW IF EXISTS ") + v);
            } catch (const RdoError &) {
            }
        }
        for (const QString &t : schema::TableNames()) {
            try {
                db.Execute(QStringLiteral("DROP TABLE IF EXISTS ") + t);
            } catch (const RdoError &) {
            }
        }
        db.BeginTrans();
        try {
            for (const QString &s : schema::CreateTables(b) + schema::CreateViews(b) + schema::InitialRows())
                db.Execute(s);
            db.CommitTrans();
        } catch (...) {
            try {
                db.RollbackTrans();
            } catch (const RdoError &) {
            }
            throw;
        }
    } catch (const RdoError &e) {
        if (error)
            *error = e.message();
        return false;
    }
    UpgradeSchema(db, edition);
    return true;
}

bool CreateSite(const QString &dir, const SiteOptions &options, QString *error)
{
    const QDir d(dir);
    for (const char *name : {ini::FileName, "odbc.ini", kDbFileName}) {
        if (QFileInfo::exists(d.filePath(QString::fromLatin1(name)))) {
            if (error)
                *error = QStringLiteral("%1 already holds a site (%2 exists); nothing was changed")
                             .arg(d.absolutePath(), QString::fromLatin1(name));
            return false;
        }
    }
    if (!QDir().mkpath(d.absolutePath())) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(d.absolutePath());
        return false;
    }
    const QString dbPath = d.absoluteFilePath(QString::fromLatin1(kDbFileName));
    const QString odbcinst = QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\nSetup=%1\n"
                                            "UsageCount=1\n")
                                 .arg(SqliteDriverPath());
    // Timeout is the busy time-out in milliseconds: three processes share the file.
    const QString odbc = QStringLiteral("[%1]\nDescription=Kavrin Manager site database\nDriver=SQLite3\n"
                                        "Database=%2\nJournalMode=WAL\nSyncPragma=NORMAL\nTimeout=5000\n"
                                        "BigInt=1\nStepAPI=1\nLongNames=0\n")
                             .arg(QLatin1String(kDsn), dbPath);
    if (!WriteText(d.filePath(QString::fromLatin1(ini::FileName)), DefaultOrvelIni(), error) ||
        !WriteText(d.filePath(QStringLiteral("odbcinst.ini")), odbcinst, error) ||
        !WriteText(d.filePath(QStringLiteral("odbc.ini")), odbc, error) || !WriteSiteMedia(d.absolutePath(), error))
        return false;

    UseSiteOdbc(d.absolutePath());
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))) {
        if (error)
            *error = QStringLiteral("cannot open the new database %1 through ODBC").arg(dbPath);
        return false;
    }
    const bool ok = BuildDatabase(db, options.edition, error);
    db.Term();
    return ok;
}

} // namespace orvel
