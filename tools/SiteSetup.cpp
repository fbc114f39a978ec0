#include "SiteSetup.h"

#include "DbConnection.h"
#include "OrvelDefs.h"
#include "SiteMedia.h"
#include "Schema.h"
#include "UpgradeSchema.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QUuid>

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

// The ODBC driver library of that file name in Debian's driver folder, else the bare name.
QString OdbcDriverPath(const QString &file)
{
    for (const char *dir : {"/usr/lib/x86_64-linux-gnu/odbc", "/usr/lib/aarch64-linux-gnu/odbc", "/usr/lib/odbc",
                            "/usr/local/lib"}) {
        const QString path = QString::fromLatin1(dir) + u'/' + file;
        if (QFileInfo::exists(path))
            return path;
    }
    return file;
}

QString SqliteDriverPath()
{
    return OdbcDriverPath(QStringLiteral("libsqlite3odbc.so"));
}

QString PgDriverPath()
{
    return OdbcDriverPath(QStringLiteral("psqlodbcw.so"));
}

constexpr char kPgDriverName[] = "PostgreSQL Unicode";

// psqlODBC options that matter with Qt's ODBC driver: booleans as numbers (not the text "1"), every
// row fetched at once, text columns as ordinary strings long enough for every column of the schema,
// a failed statement inside a transaction rolled back alone (as SQLite does) rather than
// aborting the transaction, and a statement that waits for another connection's lock gives up
// after the same 5 seconds as SQLite's busy time-out instead of waiting for ever.
QString PgOptions(const QString &separator)
{
    return QStringList{QStringLiteral("BoolsAsChar=0"), QStringLiteral("UseDeclareFetch=0"),
                       QStringLiteral("TextAsLongVarchar=0"), QStringLiteral("MaxVarcharSize=4000"),
                       QStringLiteral("Protocol=7.4-2"), QStringLiteral("ConnSettings=SET lock_timeout = 5000")}
        .join(separator);
}

bool Fail(QString *error, const QString &text)
{
    if (error)
        *error = text;
    return false;
}

// What the server database holds of the schema.
struct PgContents
{
    int ourTables = 0;
    int otherTables = 0;
    QString version;
};

bool InspectPg(const PgAddress &a, PgContents *contents, QString *error)
{
    DbConnection db(QStringLiteral("site_setup_") + QUuid::createUuid().toString(QUuid::Id128));
    const QString where = a.host + u':' + QString::number(a.port) + u'/' + a.database;
    if (!db.Open(PgConnectText(a, QStringLiteral("postgres")), QLatin1String(kDbUser), QLatin1String(kDbPassword)))
        return Fail(error, QStringLiteral("cannot reach the PostgreSQL server %1:%2 as %3: %4")
                               .arg(a.host)
                               .arg(a.port)
                               .arg(QLatin1String(kDbUser), db.LastError()));
    QSqlQuery exists = db.Query(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = ") + SqlText(a.database));
    if (!exists.next()) {
        exists = QSqlQuery();
        // A byte-order collation sorts as SQLite does; the text is UTF-8 whatever the server's default.
        if (!db.Exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C' "
                                    "LC_CTYPE 'C'")
                         .arg(a.database)))
            return Fail(error, QStringLiteral("cannot create the database %1: %2").arg(where, db.LastError()));
    }
    exists = QSqlQuery();
    db.Close();

    if (!db.Open(PgConnectText(a, a.database), QLatin1String(kDbUser), QLatin1String(kDbPassword)))
        return Fail(error, QStringLiteral("cannot open the database %1: %2").arg(where, db.LastError()));
    QStringList names;
    for (const QString &t : schema::TableNames())
        names << SqlText(t);
    QSqlQuery q = db.Query(QStringLiteral("SELECT SUM(CASE WHEN table_name IN (%1) THEN 1 ELSE 0 END), "
                                          "SUM(CASE WHEN table_name IN (%1) THEN 0 ELSE 1 END) "
                                          "FROM information_schema.tables WHERE table_schema = current_schema() "
                                          "AND table_type = 'BASE TABLE'")
                               .arg(names.join(u',')));
    if (!q.next())
        return Fail(error, QStringLiteral("cannot read the tables of %1: %2").arg(where, db.LastError()));
    contents->ourTables = q.value(0).toInt();
    contents->otherTables = q.value(1).toInt();
    q = QSqlQuery();
    if (contents->ourTables > 0) {
        QSqlQuery v = db.Query(QStringLiteral("SELECT db_vers FROM set_mainte WHERE mainte_id = 1"));
        if (v.next())
            contents->version = v.value(0).toString().trimmed();
    }
    return true;
}

} // namespace

bool ParsePgAddress(const QString &text, PgAddress *address, QString *error)
{
    static const QRegularExpression re(QStringLiteral(R"(^(.+?)(?::(\d{1,5}))?(?:/([A-Za-z_][A-Za-z0-9_]*))?$)"));
    const auto m = re.match(text.trimmed());
    PgAddress a;
    if (m.hasMatch()) {
        a.host = m.captured(1);
        if (m.hasCaptured(2))
            a.port = m.captured(2).toInt();
        if (m.hasCaptured(3))
            a.database = m.captured(3).toLower();
    }
    // A host name holds no "/"; a socket folder begins with one.
    if (a.host.isEmpty() || (!a.host.startsWith(u'/') && a.host.contains(u'/')) || a.host.contains(u':') ||
        a.host.contains(u';') || a.host.contains(u'=') || a.port < 1 || a.port > 65535)
        return Fail(error, QStringLiteral("%1 is not HOST[:PORT][/DATABASE] (a port from 1 to 65535, a database "
                                          "name of letters, digits and \"_\")")
                               .arg(text));
    *address = a;
    return true;
}

QString PgConnectText(const PgAddress &a, const QString &database)
{
    return QStringLiteral("Driver=%1;Servername=%2;Port=%3;Database=%4;")
               .arg(PgDriverPath(), a.host)
               .arg(a.port)
               .arg(database) +
           PgOptions(QStringLiteral(";"));
}

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
             QLatin1String(ini::DefaultFpSimSocket)) +
           QStringLiteral("\r\n"
                          "[CARD READER]\r\n"
                          "; AUTO: a PC/SC reader when one is attached, otherwise the simulated reader;\r\n"
                          "; PCSC or SIM: only that one. SIM_SOCKET: the simulated reader's socket.\r\n"
                          "READER_BACKEND=%1\r\n"
                          "SIM_SOCKET=%2\r\n")
        .arg(QLatin1String(ini::DefaultReaderBackend), QLatin1String(ini::DefaultSimSocket));
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

bool CreateSite(const QString &dir, const SiteOptions &options, QString *error, QString *summary)
{
    const QDir d(dir);
    for (const char *name : {ini::FileName, "odbc.ini", kDbFileName}) {
        if (QFileInfo::exists(d.filePath(QString::fromLatin1(name))))
            return Fail(error, QStringLiteral("%1 already holds a site (%2 exists); nothing was changed")
                                   .arg(d.absolutePath(), QString::fromLatin1(name)));
    }
    const bool pg = !options.postgresql.isEmpty();
    PgAddress address;
    PgContents contents;
    if (pg) {
        // Everything about the server is checked before the folder is written.
        if (!ParsePgAddress(options.postgresql, &address, error) || !InspectPg(address, &contents, error))
            return false;
        const QString where = address.host + u':' + QString::number(address.port) + u'/' + address.database;
        if (contents.ourTables == 0 && contents.otherTables > 0)
            return Fail(error, QStringLiteral("the database %1 holds %2 other tables and none of a site; nothing was "
                                              "changed")
                                   .arg(where)
                                   .arg(contents.otherTables));
        if (contents.ourTables > 0 && contents.ourTables < schema::TableNames().size())
            return Fail(error, QStringLiteral("the database %1 holds only %2 of the %3 tables of a site; nothing was "
                                              "changed")
                                   .arg(where)
                                   .arg(contents.ourTables)
                                   .arg(schema::TableNames().size()));
        if (contents.ourTables > 0 && schema::VersionNumber(contents.version) > schema::kNewestVersion)
            return Fail(error, QStringLiteral("the database %1 has schema version %2, newer than this program knows "
                                              "(%3); nothing was changed")
                                   .arg(where, contents.version)
                                   .arg(schema::kNewestVersion));
    }
    if (!QDir().mkpath(d.absolutePath()))
        return Fail(error, QStringLiteral("cannot create %1").arg(d.absolutePath()));

    QString odbcinst, odbc;
    const QString dbPath = d.absoluteFilePath(QString::fromLatin1(kDbFileName));
    if (pg) {
        // The Debian driver entry names a set-up library that does not exist: the site's own entry
        // has none.
        odbcinst = QStringLiteral("[%1]\nDescription=PostgreSQL ODBC driver (Unicode)\nDriver=%2\nUsageCount=1\n")
                       .arg(QLatin1String(kPgDriverName), PgDriverPath());
        odbc = QStringLiteral("[%1]\nDescription=Kavrin Manager site database\nDriver=%2\nServername=%3\nPort=%4\n"
                              "Database=%5\nUsername=%6\nPassword=%7\n")
                   .arg(QLatin1String(kDsn), QLatin1String(kPgDriverName), address.host)
                   .arg(address.port)
                   .arg(address.database, QLatin1String(kDbUser), QLatin1String(kDbPassword)) +
               PgOptions(QStringLiteral("\n")) + u'\n';
    } else {
        odbcinst = QStringLiteral("[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%1\nSetup=%1\n"
                                  "UsageCount=1\n")
                       .arg(SqliteDriverPath());
        // Timeout is the busy time-out in milliseconds: three processes share the file. NoCreat:
        // a program run on a site whose database file is gone fails to connect, rather than
        // leaving an empty database there that every later start would take for the site's.
        odbc = QStringLiteral("[%1]\nDescription=Kavrin Manager site database\nDriver=SQLite3\n"
                              "Database=%2\nJournalMode=WAL\nSyncPragma=NORMAL\nTimeout=5000\n"
                              "BigInt=1\nStepAPI=1\nLongNames=0\nNoCreat=1\n")
                   .arg(QLatin1String(kDsn), dbPath);
    }
    const bool joining = pg && contents.ourTables > 0;
    const int services = options.services >= 0 ? (options.services ? 1 : 0) : (joining ? 0 : 1);
    const QString siteSection = QStringLiteral("\r\n[%1]\r\n%2=%3\r\n%4=%5\r\n")
                                    .arg(QLatin1String(ini::SecSite), QLatin1String(ini::KeyEdition))
                                    .arg(options.edition)
                                    .arg(QLatin1String(ini::KeyServices))
                                    .arg(services);
    if (!WriteText(d.filePath(QString::fromLatin1(ini::FileName)), DefaultOrvelIni() + siteSection, error) ||
        !WriteText(d.filePath(QStringLiteral("odbcinst.ini")), odbcinst, error) ||
        !WriteText(d.filePath(QStringLiteral("odbc.ini")), odbc, error) || !WriteSiteMedia(d.absolutePath(), error))
        return false;

    // The data source never creates the file: the new site's starts empty, which SQLite takes
    // for a new database.
    if (!pg && !QFile(dbPath).open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return Fail(error, QStringLiteral("cannot create %1").arg(dbPath));
    UseSiteOdbc(d.absolutePath());
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword)))
        return Fail(error, QStringLiteral("cannot open the site's database through ODBC (%1)")
                               .arg(pg ? options.postgresql : dbPath));
    bool ok = true;
    if (joining) {
        // Joining a site's database: only the upgrade for this edition runs, as at a console start.
        UpgradeSchema(db, options.edition);
        if (summary)
            *summary = QStringLiteral("joined the database %1 (schema version %2)")
                           .arg(options.postgresql, contents.version);
    } else {
        ok = BuildDatabase(db, options.edition, error);
        if (summary)
            *summary = QStringLiteral("new database %1").arg(pg ? options.postgresql : dbPath);
    }
    db.Term();
    return ok;
}

} // namespace orvel
