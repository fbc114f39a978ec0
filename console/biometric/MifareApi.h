#pragma once

// The Mifare reader calls of the card reading window, over libmifaredrv.so (CardLib). The port
// that last answered is kept for the whole run of the console, so a second reading normally
// needs one probe only; it is not stored across runs. Widget-free.

#include <QString>
#include <QtGlobal>

namespace MifareApi {

inline constexpr int kLineSpeed = 38400;
inline constexpr int kLastPort = 256;

// Opens the reader: the remembered port first when there is one, otherwise (or when it does not
// answer) ports 1 to 256 in ascending order, each one GetMifareCardID followed by CloseCommPort.
// The first port that answers is remembered; false when none did.
bool OpenReader();

// One read on the remembered port: true with the card ID when a card was read.
bool ReadCard(QString *cardId);

// A serial as the card ID: unsigned decimal without leading zeros; 0 gives "" (no card).
QString SerialText(qint32 serial);

// Module state: the remembered port (0 until found), the last result and status byte.
qint16 Port();
int LastResult();
quint8 LastStatus();
void Reset(); // a new run of the console (tests)

} // namespace MifareApi
