#include "CardLib.h"

#include "DeviceLib.h"
#include "IniFile.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"

#include <QFile>

#include <memory>

namespace CardLib {

namespace {
struct Loaded
{
    // FeliCa, Mifare; a library once opened stays open (functions taken from it may be held).
    orvel::DeviceLib *lib[2] = {nullptr, nullptr};
    QString file[2] = {QLatin1String(FelicaLibrary), QLatin1String(MifareLibrary)};
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
bool Resolve(const orvel::DeviceLib &lib, const char *library, const char *name, Fn *slot, QString *message)
{
    *slot = reinterpret_cast<Fn>(lib.Symbol(name));
    if (*slot)
        return true;
    *message = QStringLiteral("%1 に %2 がありません。").arg(QString::fromUtf8(library), QLatin1String(name));
    return false;
}
} // namespace

bool Load(int edition, QString *message)
{
    QString dummy;
    if (!message)
        message = &dummy;
    const bool felica = edition == 1;
    const QByteArray file = L().file[felica ? 0 : 1].toUtf8();
    const char *library = file.constData();
    orvel::DeviceLib *&lib = L().lib[felica ? 0 : 1];
    if (!lib) {
        auto opened = std::make_unique<orvel::DeviceLib>();
        if (!opened->Open(QString::fromUtf8(file))) {
            *message = QStringLiteral("カードリーダのライブラリ %1 を読み込めません。").arg(QString::fromUtf8(file));
            return false;
        }
        lib = opened.release();
    }
    const orvel::DeviceLib &handle = *lib;
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

void SetLibraryFile(int edition, const QString &fileName)
{
    const int i = edition == 1 ? 0 : 1;
    // The old library stays open: functions taken from it may still be held.
    L().lib[i] = nullptr;
    L().file[i] = fileName;
    if (i == 0)
        L().felica = FelicaFunctions();
    else
        L().mifare = MifareFunctions();
}

QString LibraryFile(int edition)
{
    return L().file[edition == 1 ? 0 : 1];
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
