#include "DeviceLib.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <dlfcn.h>

namespace orvel {

DeviceLib::~DeviceLib()
{
    if (m_handle)
        dlclose(m_handle);
}

bool DeviceLib::Open(const QString &fileName)
{
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
    m_loadError.clear();
    // Programs live in bin/ beside lib/; look there first, then let the loader search.
    QStringList candidates;
    if (QCoreApplication::instance())
        candidates << QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../lib/") + fileName)
                   << QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(fileName);
    candidates << fileName;
    for (const QString &c : candidates) {
        if (c != fileName && !QFileInfo::exists(c))
            continue;
        m_handle = dlopen(QFile::encodeName(c).constData(), RTLD_NOW | RTLD_LOCAL);
        if (m_handle)
            return true;
        m_loadError = QString::fromLocal8Bit(dlerror());
    }
    return false;
}

void *DeviceLib::Symbol(const char *name) const
{
    return m_handle ? dlsym(m_handle, name) : nullptr;
}

} // namespace orvel
