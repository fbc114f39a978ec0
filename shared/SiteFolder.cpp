#include "SiteFolder.h"

#include "IniFile.h"
#include "OrvelDefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdlib>

namespace orvel {

QString SiteFolder()
{
    const QByteArray home = qgetenv("ORVEL_HOME");
    if (!home.isEmpty())
        return QDir(QString::fromLocal8Bit(home)).absolutePath();
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return QDir::currentPath();
}

QString SitePath(const QString &fileName)
{
    if (QFileInfo(fileName).isAbsolute())
        return fileName;
    return QDir(SiteFolder()).filePath(fileName);
}

void UseSiteOdbcIni()
{
    const QDir site(SiteFolder());
    if (qEnvironmentVariableIsEmpty("ODBCINI") && QFileInfo::exists(site.filePath("odbc.ini")))
        ::setenv("ODBCINI", QFile::encodeName(site.filePath("odbc.ini")).constData(), 1);
    if (qEnvironmentVariableIsEmpty("ODBCSYSINI") && QFileInfo::exists(site.filePath("odbcinst.ini")))
        ::setenv("ODBCSYSINI", QFile::encodeName(site.absolutePath()).constData(), 1);
}

bool SiteRunsServices()
{
    return IniFile::Load(SitePath(QString::fromLatin1(ini::FileName)))
               .IntValue(QString::fromLatin1(ini::SecSite), QString::fromLatin1(ini::KeyServices), 1) != 0;
}

} // namespace orvel
