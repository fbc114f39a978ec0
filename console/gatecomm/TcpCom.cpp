#include "TcpCom.h"

#include "BusyCursor.h"
#include "GateLockScope.h"
#include "Notices.h"
#include "ConsoleTiming.h"
#include "gatelib.h"

#include <QGuiApplication>
#include <QThread>

namespace {

std::function<QDateTime()> &Clock()
{
    static std::function<QDateTime()> clock;
    return clock;
}

// Connects once; then up to four attempts, each a sequence of library calls that must all
// return 0, with a wait after every failed attempt (the fourth too). onSuccess runs on the
// still open connection. The connection is always closed; false at once when it cannot be made.
inline bool Ok(int status)
{
    return (status & 0xFFFF) == 0;
}

template <typename Attempt, typename Success = void (*)(GateUnit &)>
bool AttemptLoop(const QString &ipAddr, const QString &portNo, Attempt attempt,
                 Success onSuccess = [](GateUnit &) {})
{
    const QByteArray addr = ipAddr.toLatin1();
    if (!Ok(tcp_ConnectDevice(addr.constData(), portNo.toInt())))
        return false;
    bool ok = false;
    GateUnit unit{};
    for (int i = 0; i < 4 && !ok; ++i) {
        unit = GateUnit{};
        ok = attempt(unit);
        if (!ok)
            QThread::msleep(std::max(0, Timing().gateRetryWaitMs));
    }
    if (ok)
        onSuccess(unit);
    tcp_DisConnectDevice();
    return ok;
}

template <typename Call>
bool UnderGateLock(const QString &gateId, const QString &ipAddr, const QString &portNo, Call call)
{
    const BusyCursor busy;
    const GateLockScope lock(gateId, GateLockScope::Release::Once,
                             [] { notices::Tell(GateUnlockFailedText(), notices::Tone::Information); });
    if (!lock)
        return false;
    return AttemptLoop(ipAddr, portNo, call);
}

} // namespace

void SetTcpComClock(std::function<QDateTime()> clock)
{
    Clock() = std::move(clock);
}

bool TcpCheckDevice(const QString &ipAddr, const QString &portNo)
{
    return AttemptLoop(ipAddr, portNo, [](GateUnit &unit) { return Ok(tcp_PollDevice(&unit)); });
}

bool TcpSetDeviceTime(const QString &ipAddr, const QString &portNo)
{
    const BusyCursor busy;
    return AttemptLoop(
        ipAddr, portNo,
        [](GateUnit &unit) {
            return Ok(tcp_PollDevice(&unit)) && Ok(tcp_ConfigureEEPROMSetting(&unit, GATE_EEPROM_TIME_SYNC, 1)) &&
                   Ok(tcp_ConfigureEEPROMSetting(&unit, GATE_EEPROM_TIME_APPLY, 1));
        },
        [](GateUnit &unit) {
            // Taken after the attempts so that the gate gets the time of the moment it is sent.
            const QDateTime now = Clock() ? Clock()() : QDateTime::currentDateTime();
            const QDate d = now.date();
            const QTime t = now.time();
            const GateTime rec = gate_MakeTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
            tcp_SetDeviceTime(&unit, &rec); // the gate's answer is not needed
        });
}

bool TcpReadDeviceProperties(const QString &gateId, const QString &ipAddr, const QString &portNo,
                             GateProperties *props)
{
    return UnderGateLock(gateId, ipAddr, portNo, [props](GateUnit &unit) {
        return Ok(tcp_PollDevice(&unit)) && Ok(tcp_ReadDeviceProperties(&unit, props));
    });
}

bool TcpSetDeviceProperties(const QString &gateId, const QString &ipAddr, const QString &portNo,
                            const GateProperties &props)
{
    return UnderGateLock(gateId, ipAddr, portNo, [&props](GateUnit &unit) {
        return Ok(tcp_PollDevice(&unit)) && Ok(tcp_SetDeviceProperties(&unit, &props));
    });
}
