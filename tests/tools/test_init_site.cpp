// orvelctl init-site on a PostgreSQL server: the data source it writes, a new schema, a second site
// joining the same database, and the databases it must refuse without writing anything.

#include "DbConnection.h"
#include "OrvelDefs.h"
#include "Schema.h"
#include "SiteSetup.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace orvel;

namespace {

QString ReadText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class InitSitePg : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        cluster = test::TestPgCluster(&error);
        ASSERT_FALSE(cluster.isEmpty()) << error.toStdString();
        ASSERT_TRUE(tmp.isValid());
        static int serial = 0;
        database = QStringLiteral("it%1_%2").arg(::getpid()).arg(++serial);
    }
    void TearDown() override
    {
        rdo_cntl().Term();
        server("DROP DATABASE IF EXISTS " + database + " WITH (FORCE)");
    }
    // Runs a statement on the server's maintenance database (db empty) or on the test's database.
    bool server(const QString &sql, bool inTestDb = false)
    {
        PgAddress a;
        ParsePgAddress(cluster, &a, nullptr);
        DbConnection db(QStringLiteral("init_site_test"));
        return db.Open(PgConnectText(a, inTestDb ? database : QStringLiteral("postgres")), QLatin1String(kDbUser),
                       QLatin1String(kDbPassword)) &&
               db.Exec(sql);
    }
    QString site(const char *name) const { return tmp.path() + u'/' + QLatin1String(name); }
    bool create(const char *name, int edition, QString *error, QString *summary = nullptr)
    {
        rdo_cntl().Term();
        SiteOptions o;
        o.edition = edition;
        o.postgresql = cluster + u'/' + database;
        return CreateSite(site(name), o, error, summary);
    }
    QString value(const QString &sql) { return rdo_cntl().ExecFunction(sql).toString(); }

    QString cluster;
    QString database;
    QTemporaryDir tmp;
};

} // namespace

TEST(PgAddress, HostPortAndDatabaseWithTheirDefaults)
{
    PgAddress a;
    ASSERT_TRUE(ParsePgAddress(QStringLiteral("db.example:5433/Site_A"), &a, nullptr));
    EXPECT_EQ(a.host, QStringLiteral("db.example"));
    EXPECT_EQ(a.port, 5433);
    EXPECT_EQ(a.database, QStringLiteral("site_a")); // as the server folds an unquoted name
    ASSERT_TRUE(ParsePgAddress(QStringLiteral("127.0.0.1"), &a, nullptr));
    EXPECT_EQ(a.port, 5432);
    EXPECT_EQ(a.database, QStringLiteral("telmar"));
    ASSERT_TRUE(ParsePgAddress(QStringLiteral("/tmp/pg sock:6000"), &a, nullptr));
    EXPECT_EQ(a.host, QStringLiteral("/tmp/pg sock"));
    EXPECT_EQ(a.port, 6000);

    QString error;
    for (const char *bad : {"", ":5432", "host:0", "host:99999", "host:port", "host/bad-name", "a;Driver=x"}) {
        EXPECT_FALSE(ParsePgAddress(QString::fromLatin1(bad), &a, &error)) << bad;
        EXPECT_TRUE(error.contains(QLatin1String("HOST[:PORT][/DATABASE]"))) << bad;
    }
}

TEST_F(InitSitePg, NewDatabaseGetsTheSchemaThroughPsqlOdbc)
{
    QString error, summary;
    ASSERT_TRUE(create("a", EditionMifare, &error, &summary)) << error.toStdString();
    EXPECT_TRUE(summary.startsWith(QLatin1String("new database"))) << summary.toStdString();

    const QString odbc = ReadText(site("a") + QStringLiteral("/odbc.ini"));
    for (const char *option : {"Driver=PostgreSQL Unicode", "BoolsAsChar=0", "UseDeclareFetch=0", "TextAsLongVarchar=0",
                               "MaxVarcharSize=", "Username=vrn_operator"})
        EXPECT_TRUE(odbc.contains(QLatin1String(option))) << option;
    EXPECT_TRUE(odbc.contains(QStringLiteral("Database=") + database));
    // The Debian driver entry's set-up library does not exist: the site's entry names none.
    const QString odbcinst = ReadText(site("a") + QStringLiteral("/odbcinst.ini"));
    EXPECT_TRUE(odbcinst.contains(QLatin1String("psqlodbcw.so")));
    EXPECT_FALSE(odbcinst.contains(QLatin1String("Setup=")));
    EXPECT_TRUE(ReadText(site("a") + QStringLiteral("/Orvel.ini")).contains(QLatin1String("F_GATELOCK=")));

    // The programs open the site's data source as they always do.
    rdo_cntl db;
    ASSERT_TRUE(db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword)));
    // A lock held elsewhere fails a statement after SQLite's busy time-out, not never.
    EXPECT_EQ(value(QStringLiteral("SHOW lock_timeout")), QStringLiteral("5s"));
    EXPECT_EQ(value(QStringLiteral("SELECT db_vers FROM set_mainte WHERE mainte_id = 1")), QStringLiteral("1.1"));
    EXPECT_EQ(value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00000'")), QStringLiteral("無所属"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM v_make_log_telmar_plusX_M")), QStringLiteral("0"));
}

TEST_F(InitSitePg, SecondSiteJoinsTheDatabaseAndKeepsItsRows)
{
    QString error, summary;
    ASSERT_TRUE(create("pc1", EditionFelica, &error)) << error.toStdString();
    rdo_cntl db;
    ASSERT_TRUE(db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword)));
    ASSERT_TRUE(db.Execute(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', 'O''Brien')")));

    ASSERT_TRUE(create("pc2", EditionFelica, &error, &summary)) << error.toStdString();
    EXPECT_TRUE(summary.startsWith(QLatin1String("joined"))) << summary.toStdString();
    ASSERT_TRUE(db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword)));
    EXPECT_EQ(value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00001'")), QStringLiteral("O'Brien"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM t_srv_ctrl")), QStringLiteral("2"));

    // A Mifare site joining a FeliCa database brings it to the Mifare schema, as a console start would.
    ASSERT_TRUE(create("pc3", EditionMifare, &error, &summary)) << error.toStdString();
    ASSERT_TRUE(db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword)));
    EXPECT_EQ(value(QStringLiteral("SELECT db_vers FROM set_mainte")), QStringLiteral("1.1"));
    EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM m_emp")), QStringLiteral("2"));
}

TEST_F(InitSitePg, DatabasesThatAreNoSiteOfThisVersionAreRefusedUntouched)
{
    QString error;
    ASSERT_TRUE(create("first", EditionFelica, &error)) << error.toStdString();

    // A schema newer than this program knows.
    ASSERT_TRUE(server(QStringLiteral("UPDATE set_mainte SET db_vers = '2.0'"), true));
    EXPECT_FALSE(create("newer", EditionFelica, &error));
    EXPECT_TRUE(error.contains(QLatin1String("newer"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(site("newer")));

    // Part of a schema.
    ASSERT_TRUE(server(QStringLiteral("UPDATE set_mainte SET db_vers = '1.0'"), true));
    ASSERT_TRUE(server(QStringLiteral("DROP TABLE log_telmar_raw CASCADE"), true));
    EXPECT_FALSE(create("partial", EditionFelica, &error));
    EXPECT_TRUE(error.contains(QLatin1String("only"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(site("partial")));

    // Another application's database.
    for (const QString &v : schema::ViewNames())
        ASSERT_TRUE(server(QStringLiteral("DROP VIEW IF EXISTS ") + v + QStringLiteral(" CASCADE"), true));
    for (const QString &t : schema::TableNames())
        ASSERT_TRUE(server(QStringLiteral("DROP TABLE IF EXISTS ") + t + QStringLiteral(" CASCADE"), true));
    ASSERT_TRUE(server(QStringLiteral("CREATE TABLE invoices (id INTEGER)"), true));
    EXPECT_FALSE(create("foreign", EditionFelica, &error));
    EXPECT_TRUE(error.contains(QLatin1String("other tables"))) << error.toStdString();
    EXPECT_FALSE(QFile::exists(site("foreign")));
    EXPECT_TRUE(server(QStringLiteral("SELECT COUNT(*) FROM invoices"), true));
}

TEST_F(InitSitePg, OrvelctlTakesTheServerAndReportsWhatItDid)
{
    QProcess ctl;
    ctl.start(QStringLiteral(ORVELCTL_PATH), {QStringLiteral("init-site"), site("cli"), QStringLiteral("--postgresql"),
                                              cluster + u'/' + database});
    ASSERT_TRUE(ctl.waitForFinished(120000));
    EXPECT_EQ(ctl.exitCode(), 0) << ctl.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromUtf8(ctl.readAllStandardOutput()).contains(QLatin1String("new database")));

    ctl.start(QStringLiteral(ORVELCTL_PATH),
              {QStringLiteral("init-site"), site("bad"), QStringLiteral("--postgresql"), QStringLiteral("host:port")});
    ASSERT_TRUE(ctl.waitForFinished(60000));
    EXPECT_EQ(ctl.exitCode(), 2);
    EXPECT_TRUE(QString::fromUtf8(ctl.readAllStandardError()).contains(QLatin1String("HOST[:PORT][/DATABASE]")));
    EXPECT_FALSE(QFile::exists(site("bad")));
}
