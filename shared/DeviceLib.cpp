#include "DeviceLib.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dlfcn.h>

namespace orvel {

void *OpenDeviceLibrary(const QString &fileName, QString *loadError)
{
    // Programs live in bin/ beside lib/; look there first, then let the loader search.
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../lib/") + fileName)
                   << QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(fileName);
    candidates << fileName;
    for (const QString &c : candidates) {
        if (c != fileName && !QFileInfo::exists(c))
            continue;
        if (void *handle = dlopen(QFile::encodeName(c).constData(), RTLD_NOW | RTLD_LOCAL))
            return handle;
        if (loadError)
            *loadError = QString::fromLocal8Bit(dlerror());
    }
    return nullptr;
}

} // namespace orvel
