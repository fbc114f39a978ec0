#include "UpfList.h"

#include "Public.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace patch {

qint64 StampNumber(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("yyyyMMddHHmmss")).toLongLong();
}

bool DecideUpdate(const UpfEntry &e)
{
    if (!e.installed)
        return true;
    if (e.srcParts != orvel::FileVers{0, 0, 0, 0}) {
        for (int i = 0; i < 4; ++i) {
            if (e.srcParts[i] > e.dstParts[i])
                return true;
            if (e.srcParts[i] < e.dstParts[i])
                return false;
        }
    }
    const qint64 src = StampNumber(e.srcTime);
    const qint64 dst = StampNumber(e.dstTime);
    if (src - dst > 10)
        return true;
    if (dst - src > 10)
        return false;
    return true;
}

QList<UpfEntry> MakeUpfList(const QString &patchFileDir, const QString &installDir)
{
    QList<UpfEntry> list;
    // Name order, independent of the locale: letters compare without case, ties with it.
    QFileInfoList files = QDir(patchFileDir).entryInfoList(QDir::Files, QDir::Unsorted);
    std::sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const int c = QString::compare(a.fileName(), b.fileName(), Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.fileName() < b.fileName();
    });
    list.reserve(files.size());
    for (const QFileInfo &src : files) {
        UpfEntry e;
        e.srcPath = src.absoluteFilePath();
        orvel::ReadFileVers(e.srcPath, &e.srcParts);
        e.srcVer = orvel::FileVersText(e.srcParts);
        e.srcTime = src.lastModified();
        e.dstPath = QDir(installDir).filePath(src.fileName());
        const QFileInfo dst(e.dstPath);
        e.installed = dst.exists();
        if (e.installed) {
            orvel::ReadFileVers(e.dstPath, &e.dstParts);
            e.dstTime = dst.lastModified();
        }
        // The installation's own log (a patch folder copied from an installation may carry one)
        // is never replaced: that would lose its history and the lines of this very run.
        e.copy = src.fileName() != QLatin1String(kLogFileName) && DecideUpdate(e);
        list.append(e);
    }
    return list;
}

} // namespace patch
