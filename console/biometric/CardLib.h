#pragma once

// The card reader library of the console's edition, loaded by name once per run: libgfi2.so
// (FeliCa) or libmifaredrv.so (Mifare). On loading it is handed the reader options of Orvel.ini
// ([CARD READER]: READER_BACKEND and SIM_SOCKET, the socket relative to the site folder).
// Widget-free.

#include "cardlib.h"

#include <QString>

namespace CardLib {

struct FelicaFunctions
{
    CARDLIB_InitFelicaDll_FN InitFelicaDll = nullptr;
    CARDLIB_UsbPortOpen_FN UsbPortOpen = nullptr;
    CARDLIB_GetIDmPmm_FN GetIDmPmm = nullptr;
    CARDLIB_UsbPortClose_FN UsbPortClose = nullptr;
    CARDLIB_TermFelicaDll_FN TermFelicaDll = nullptr;
};

struct MifareFunctions
{
    CARDLIB_GetMifareCardID_FN GetMifareCardID = nullptr;
    CARDLIB_CloseCommPort_FN CloseCommPort = nullptr;
};

inline constexpr const char *FelicaLibrary = "libgfi2.so";
inline constexpr const char *MifareLibrary = "libmifaredrv.so";

// Loads the library on first use (the FeliCa one for edition 1, otherwise the Mifare one).
// False when it cannot be used; *message then says why, in the operator's words: which library
// or entry point is missing, or which Orvel.ini key is invalid. A failed load is tried again on
// the next call.
bool Load(int edition, QString *message);

// The library file of an edition (tests put another in its place); the next Load opens it.
void SetLibraryFile(int edition, const QString &fileName);
QString LibraryFile(int edition);

// The entry points once Load has succeeded. Tests may replace them (to count calls) and put
// them back.
FelicaFunctions &Felica();
MifareFunctions &Mifare();

} // namespace CardLib
