#include "FpSettings.h"

#include "IniFile.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"

namespace orvel {

FpScannerSettings ReadFpScannerSettings(const IniFile &ini)
{
    const QString sec = QString::fromLatin1(ini::SecFingerprint);
    FpScannerSettings s;
    s.backend = ini.Value(sec, QString::fromLatin1(ini::KeyFpScanner)).trimmed().toUpper();
    if (s.backend.isEmpty())
        s.backend = QString::fromLatin1(ini::DefaultFpScanner);
    QString socket = ini.Value(sec, QString::fromLatin1(ini::KeyFpSimSocket)).trimmed();
    if (socket.isEmpty())
        socket = QString::fromLatin1(ini::DefaultFpSimSocket);
    s.socketPath = SitePath(socket);
    return s;
}

FpScannerSettings ReadFpScannerSettings()
{
    return ReadFpScannerSettings(IniFile::Load(OrvelIniPath()));
}

} // namespace orvel
