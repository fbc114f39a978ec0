#include "MifareApi.h"

#include "CardLib.h"

namespace MifareApi {

namespace {
struct State
{
    qint16 port = 0;
    int result = 0;
    quint8 status = 0;
    qint32 serial = 0;
};
State &S()
{
    static State s;
    return s;
}

// One call as the reader wants it: GetMifareCardID, then always CloseCommPort.
bool Answers(int port)
{
    const CardLib::MifareFunctions &f = CardLib::Mifare();
    if (!f.GetMifareCardID || !f.CloseCommPort)
        return false;
    S().result = f.GetMifareCardID(port, kLineSpeed, &S().status, &S().serial);
    f.CloseCommPort();
    return S().result == 0;
}
} // namespace

bool OpenReader()
{
    if (S().port >= 1 && Answers(S().port))
        return true;
    for (int port = 1; port <= kLastPort; ++port) {
        if (Answers(port)) {
            S().port = qint16(port);
            return true;
        }
    }
    return false;
}

bool ReadCard(QString *cardId)
{
    if (!Answers(S().port) || S().status != 0)
        return false;
    const QString text = SerialText(S().serial);
    if (text.isEmpty())
        return false; // a serial of 0 is no card
    *cardId = text;
    return true;
}

QString SerialText(qint32 serial)
{
    // Negative as a signed 32-bit value: 2^32 is added, which is the unsigned reading.
    const quint32 value = quint32(serial);
    return value == 0 ? QString() : QString::number(value);
}

qint16 Port()
{
    return S().port;
}
int LastResult()
{
    return S().result;
}
quint8 LastStatus()
{
    return S().status;
}
void Reset()
{
    S() = State();
}

} // namespace MifareApi

