#include "TplData.h"

#include "ConsoleState.h"

#include "SiteFolder.h"

#include <QFile>

#include <unistd.h>

namespace TplData {

QString TemplatePath()
{
    return orvel::SitePath(TemplateFileName());
}

bool ReadTpl(const QString &path, int tplId, QByteArray *tpl)
{
    if (tplId < 1)
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(qint64(tplId - 1) * kRecordBytes))
        return false;
    *tpl = f.read(kRecordBytes);
    return tpl->size() == kRecordBytes;
}

bool WriteTpl(const QString &path, int tplId, const QByteArray &tpl, QString *error)
{
    QFile f(path);
    auto fail = [&](const QString &what) {
        if (error)
            *error = what;
        return false;
    };
    if (tplId < 1 || tpl.size() != kRecordBytes)
        return fail(QStringLiteral("not a template record"));
    if (!f.open(QIODevice::ReadWrite))
        return fail(f.errorString());
    if (!f.seek(qint64(tplId - 1) * kRecordBytes) || f.write(tpl) != kRecordBytes || !f.flush())
        return fail(f.errorString());
    if (::fsync(f.handle()) != 0)
        return fail(QStringLiteral("fsync failed"));
    f.close();
    return f.error() == QFileDevice::NoError || fail(f.errorString());
}

} // namespace TplData
