#include "ErrorLog.h"

#include "SiteFolder.h"
#include "Sjis.h"

#include <QDateTime>
#include <QFile>

namespace orvel {
namespace {
QString g_path;
}

void SetErrorLogPath(const QString &path)
{
    g_path = path;
}

QString ErrorLogPath()
{
    return g_path.isEmpty() ? SitePath(QStringLiteral("errorlog.txt")) : g_path;
}

void WriteErrorLog(int code, const QString &message)
{
    QFile f(ErrorLogPath());
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("yyyy/MM/dd,hh:mm:ss")) +
                         u',' + QString::number(code) + u',' + message + QStringLiteral("\r\n");
    f.write(ToSjis(line));
}

} // namespace orvel
