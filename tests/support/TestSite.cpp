#include "TestSite.h"

#include "DbConnection.h"
#include "OrvelDefs.h"
#include "PgCluster.h"
#include "SiteSetup.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>

#include <atomic>
#include <functional>
#include <cstdlib>
#include <memory>

#include <unistd.h>

namespace orvel::test {
namespace {

// The cluster of a process that was not given one; it ends with the process.
QString OwnCluster(QString *error)
{
    static std::unique_ptr<PgCluster> cluster;
    if (!cluster) {
        cluster = std::make_unique<PgCluster>();
        if (!cluster->Start(error)) {
            cluster.reset();
            return QString();
        }
    }
    return cluster->Address();
}

bool DropPgDatabase(const QString &address, const QString &database, QString *error)
{
    PgAddress a;
    if (!ParsePgAddress(address, &a, error))
        return false;
    DbConnection db(QStringLiteral("test_site_drop"));
    if (!db.Open(PgConnectText(a, QStringLiteral("postgres")), QLatin1String(kDbUser), QLatin1String(kDbPassword)) ||
        !db.Exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database))) {
        if (error)
            *error = db.LastError();
        return false;
    }
    return true;
}

// Rewrites name(args) calls, with the arguments split at top-level commas.
QString RewriteCalls(const QString &sql, const QString &name,
                     const std::function<QString(const QStringList &)> &rewrite)
{
    QString out;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c == u'\'') {
            const qsizetype end = sql.indexOf(u'\'', i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += sql.mid(i, stop - i);
            i = stop;
            continue;
        }
        const bool boundary = i == 0 || !(sql.at(i - 1).isLetterOrNumber() || sql.at(i - 1) == u'_');
        if (boundary && sql.mid(i, name.size() + 1).compare(name + u'(', Qt::CaseInsensitive) == 0) {
            qsizetype j = i + name.size() + 1, depth = 1, argStart = j;
            QStringList args;
            bool quoted = false;
            for (; j < n && depth > 0; ++j) {
                const QChar d = sql.at(j);
                if (d == u'\'')
                    quoted = !quoted;
                else if (quoted)
                    continue;
                else if (d == u'(')
                    ++depth;
                else if (d == u')' && --depth == 0)
                    args << sql.mid(argStart, j - argStart).trimmed();
                else if (d == u',' && depth == 1) {
                    args << sql.mid(argStart, j - argStart).trimmed();
                    argStart = j + 1;
                }
            }
            out += rewrite(args);
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

} // namespace

QString TestPgCluster(QString *error)
{
    const QString given = qEnvironmentVariable("ORVEL_TEST_PG");
    return given.isEmpty() ? OwnCluster(error) : given;
}

DbBackend TestBackend()
{
    return qEnvironmentVariable("ORVEL_TEST_BACKEND").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0
               ? DbBackend::PostgreSQL
               : DbBackend::SQLite;
}

QString TestSite::TestSql(const QString &sql)
{
    if (TestBackend() != DbBackend::PostgreSQL)
        return sql;
    QString out = RewriteCalls(sql, QStringLiteral("group_concat"), [](const QStringList &a) {
        return QStringLiteral("string_agg((%1)::text, %2)").arg(a.value(0), a.size() > 1 ? a[1] : QStringLiteral("','"));
    });
    return RewriteCalls(out, QStringLiteral("ifnull"), [](const QStringList &a) {
        return QStringLiteral("coalesce(") + a.join(QStringLiteral(", ")) + u')';
    });
}

TestSite::TestSite(int edition)
{
    if (!m_tmp.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString site = dir();
    ::setenv("ORVEL_HOME", QFile::encodeName(site).constData(), 1);
    // Each site names its own data source files; nothing of an earlier site may linger.
    ::unsetenv("ODBCINI");
    ::unsetenv("ODBCSYSINI");
    SiteOptions options;
    options.edition = edition;
    if (TestBackend() == DbBackend::PostgreSQL) {
        m_pgAddress = TestPgCluster(&m_error);
        if (m_pgAddress.isEmpty())
            return;
        static std::atomic<int> serial{0};
        m_pgDatabase = QStringLiteral("t%1_%2").arg(::getpid()).arg(++serial);
        options.postgresql = m_pgAddress + u'/' + m_pgDatabase;
    }
    m_ok = CreateSite(site, options, &m_error);
    if (!m_ok)
        return;
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))) {
        m_ok = false;
        m_error = QStringLiteral("cannot open telmar_mdb");
    }
}

TestSite::~TestSite()
{
    rdo_cntl db;
    db.Term();
    if (!m_pgDatabase.isEmpty())
        DropPgDatabase(m_pgAddress, m_pgDatabase, nullptr);
}

QString TestSite::dir() const
{
    return m_tmp.path() + QStringLiteral("/site");
}

QString TestSite::path(const QString &name) const
{
    return dir() + u'/' + name;
}

void TestSite::exec(const QString &sql)
{
    rdo_cntl db;
    db.Execute(TestSql(sql));
}

QString TestSite::value(const QString &sql)
{
    rdo_cntl db;
    return db.ExecFunction(TestSql(sql)).toString();
}

int TestSite::viewCount(const QStringList &names)
{
    QStringList quoted;
    for (const QString &n : names)
        quoted << SqlText(TestBackend() == DbBackend::PostgreSQL ? n.toLower() : n);
    const QString among = names.isEmpty() ? QString() : QStringLiteral(" AND %2 IN (%1)").arg(quoted.join(u','));
    if (TestBackend() == DbBackend::PostgreSQL)
        return value(QStringLiteral("SELECT COUNT(*) FROM information_schema.views WHERE table_schema = "
                                    "current_schema()") +
                     among.arg(QStringLiteral("table_name")))
            .toInt();
    return value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'view'") + among.arg(QStringLiteral("name")))
        .toInt();
}

} // namespace orvel::test
