#include "TestSite.h"

#include "OrvelDefs.h"
#include "SiteSetup.h"
#include "rdo_cntl.h"

#include <QDir>
#include <QFile>

#include <cstdlib>

namespace orvel::test {

TestSite::TestSite(int edition)
{
    if (!m_tmp.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const QString site = m_tmp.path() + QStringLiteral("/site");
    ::setenv("ORVEL_HOME", QFile::encodeName(site).constData(), 1);
    const QByteArray otherIni = qgetenv("ORVEL_TEST_ODBCINI");
    if (otherIni.isEmpty()) {
        SiteOptions options;
        options.edition = edition;
        m_ok = CreateSite(site, options, &m_error);
        if (!m_ok)
            return;
    } else {
        QDir().mkpath(site);
        QFile ini(site + QStringLiteral("/Orvel.ini"));
        if (ini.open(QIODevice::WriteOnly))
            ini.write(DefaultOrvelIni().toUtf8());
        ::setenv("ODBCINI", otherIni.constData(), 1);
        const QByteArray sysIni = qgetenv("ORVEL_TEST_ODBCSYSINI");
        if (!sysIni.isEmpty())
            ::setenv("ODBCSYSINI", sysIni.constData(), 1);
    }
    if (otherIni.isEmpty())
        UseSiteOdbc(site);
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))) {
        m_ok = false;
        m_error = QStringLiteral("cannot open telmar_mdb");
        return;
    }
    if (!otherIni.isEmpty())
        m_ok = BuildDatabase(db, edition, &m_error);
}

TestSite::~TestSite()
{
    rdo_cntl db;
    db.Term();
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
    db.Execute(sql);
}

QString TestSite::value(const QString &sql)
{
    rdo_cntl db;
    return db.ExecFunction(sql).toString();
}

} // namespace orvel::test
