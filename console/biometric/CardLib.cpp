#include "CardLib.h"

#include "DeviceLib.h"
#include "IniFile.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"

#include <QFile>

#include <dlfcn.h>

namespace CardLib {

namespace {
struct Loaded
{
    void *handle[2] = {nullptr, nullptr}; // FeliCa, Mifare
    FelicaFunctions felica;
    MifareFunctions mifare;
};
Loaded &L()
{
    static Loaded l;
    return l;
}

QString InvalidIni(const char *key)
{
    return QStringLiteral("Orvel.INIファイルの記述が不正です。(%1)").arg(QLatin1String(key));
}

// Hands the reader options of Orvel.ini to the library; false (and *message) for a value that the
// library refuses.
bool ApplyOptions(CARDLIB_SetOption_FN setOption, QString *message)
{
    const orvel::IniFile ini = orvel::IniFile::Load(orvel::OrvelIniPath());
    const QString section = QLatin1String(orvel::ini::SecCardReader);
    const QString backend = ini.Value(section, QLatin1String(orvel::ini::KeyReaderBackend),
                                      QLatin1String(orvel::ini::DefaultReaderBackend));
    QString socket = ini.Value(section, QLatin1String(orvel::ini::KeySimSocket));
    if (socket.isEmpty())
        socket = QLatin1String(orvel::ini::DefaultSimSocket);
    if (setOption("READER_BACKEND", backend.toUtf8().constData()) != CARD_OK) {
        *message = InvalidIni(orvel::ini::KeyReaderBackend);
        return false;
    }
    if (setOption("SIM_SOCKET", QFile::encodeName(orvel::SitePath(socket)).constData()) != CARD_OK) {
        *message = InvalidIni(orvel::ini::KeySimSocket);
        return false;
    }
    return true;
}

template <class Fn>
bool Resolve(void *handle, const char *library, const char *name, Fn *slot, QString *message)
{
    *slot = reinterpret_cast<Fn>(dlsym(handle, name));
    if (*slot)
        return true;
    *message = QStringLiteral("%1 に %2 がありません。").arg(QLatin1String(library), QLatin1String(name));
    return false;
}
} // namespace

bool Load(int edition, QString *message)
{
    QString dummy;
    if (!message)
        message = &dummy;
    const bool felica = edition == 1;
    const char *library = felica ? FelicaLibrary : MifareLibrary;
    void *&handle = L().handle[felica ? 0 : 1];
    if (!handle) {
        QString loadError;
        handle = orvel::OpenDeviceLibrary(QLatin1String(library), &loadError);
        if (!handle) {
            *message = QStringLiteral("カードリーダのライブラリ %1 を読み込めません。").arg(QLatin1String(library));
            return false;
        }
    }
    bool ok = true;
    CARDLIB_SetOption_FN setOption = nullptr;
    if (felica) {
        FelicaFunctions f;
        ok = Resolve(handle, library, "InitFelicaDll", &f.InitFelicaDll, message) &&
             Resolve(handle, library, "UsbPortOpen", &f.UsbPortOpen, message) &&
             Resolve(handle, library, "GetIDmPmm", &f.GetIDmPmm, message) &&
             Resolve(handle, library, "UsbPortClose", &f.UsbPortClose, message) &&
             Resolve(handle, library, "TermFelicaDll", &f.TermFelicaDll, message) &&
             Resolve(handle, library, "FelicaSetOption", &setOption, message);
        // Functions a test has put in place stay until it puts the library's back.
        if (ok && !L().felica.InitFelicaDll)
            L().felica = f;
    } else {
        MifareFunctions f;
        ok = Resolve(handle, library, "GetMifareCardID", &f.GetMifareCardID, message) &&
             Resolve(handle, library, "CloseCommPort", &f.CloseCommPort, message) &&
             Resolve(handle, library, "MifareSetOption", &setOption, message);
        if (ok && !L().mifare.GetMifareCardID)
            L().mifare = f;
    }
    return ok && ApplyOptions(setOption, message);
}

FelicaFunctions &Felica()
{
    return L().felica;
}

MifareFunctions &Mifare()
{
    return L().mifare;
}

} // namespace CardLib
