#pragma once

// Module TcpCom: the console's own blocking gate operations over libtcpcom. Each opens its own
// connection and always closes it; none keeps state between calls.

#include <QDateTime>
#include <QString>

#include <functional>

struct GateProperties;

// True when the gate answered a poll.
bool TcpCheckDevice(const QString &ipAddr, const QString &portNo);
// True when the gate took the EEPROM settings and the clock was sent (no gate lock is taken).
bool TcpSetDeviceTime(const QString &ipAddr, const QString &portNo);
// Under the gate's access lock: read / write the properties record. False without contacting
// the gate when the lock cannot be taken.
bool TcpReadDeviceProperties(const QString &gateId, const QString &ipAddr, const QString &portNo,
                             GateProperties *props);
bool TcpSetDeviceProperties(const QString &gateId, const QString &ipAddr, const QString &portNo,
                            const GateProperties &props);

// Local time that TcpSetDeviceTime sends; tests fix it (empty = the system clock).
void SetTcpComClock(std::function<QDateTime()> clock);
