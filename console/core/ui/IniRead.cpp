#include "IniRead.h"

#include "MsgBox.h"
#include "Public.h"

#include "IniFile.h"
#include "OrvelDefs.h"

bool ReadIni()
{
    using namespace orvel;
    const IniFile ini = IniFile::Load(OrvelIniPath());
    const QString section = QString::fromLatin1(ini::SecFile);

    const QString gateLock = ini.Value(section, QString::fromLatin1(ini::KeyGateLock));
    if (gateLock.isEmpty()) {
        MsgBox::Show(QStringLiteral("Orvel.INIファイルの記述が不正です。(F_GATELOCK)"), QMessageBox::Ok,
                     QMessageBox::Critical);
        return false;
    }
    SetGateLockFileName(gateLock);

    const QString templ = ini.Value(section, QString::fromLatin1(ini::KeyTemplate));
    if (templ.isEmpty()) {
        MsgBox::Show(QStringLiteral("Orvel.INIファイルの記述が不正です。(F_TEMPLATE)"), QMessageBox::Ok,
                     QMessageBox::Critical);
        return false;
    }
    SetTemplateFileName(templ);
    return true;
}
