#pragma once

// The rules of the gate screen and the gate error window, without widgets: what a register or
// update refuses, what a delete removes, and the device work (connection check with the clock,
// the door-unlock mode and alarm bytes) done under the gate access lock.

#include <QString>
#include <QStringList>

#include <functional>

namespace GateRules {

inline constexpr int kZoneMax = 25;      // characters of zone_name
inline constexpr int kDoorModeByte = 15; // properties record: door-unlock mode 0-2
inline constexpr int kAlarmByte = 17;    // properties record: sensor alarm 0/1

// The gate as m_gate stores it: the record the gate screen shows and writes.
struct Record
{
    QString gateId;
    QString zoneName; // at most kZoneMax characters
    QString gateName;
    QString ipAddr;   // "a.b.c.d"
    QString portNo;
    QString bikou;    // gate_bikou
    int gateMode = 1; // 1 entry, 2 exit
    int useFlag = 0;  // 1: in use (only a passed connection check puts it there)
    QString registDt;
    QString refixDt;
};
// Reads the gate; false when no row has the ID.
bool LoadRecord(const QString &gateId, Record *out);
// Inserts the gate; false with the component's message when the ID is taken.
bool InsertRecord(const Record &r, QString *error);
// Writes every column of the stored gate. A database failure is raised.
void UpdateRecord(const Record &r);

struct Input
{
    QString gateId; // as typed; compared formatted "00000"
    QString zone;
    QString name;
    QStringList ip; // the four boxes
    QString port;
};
// First failing rule's message, or empty. The last rule reads m_gate for another gate with the
// same address (the port does not matter).
QString Validate(const Input &in);
// Gate ID of another gate than gateId using ipAddr, or empty.
QString AddressUsedBy(const QString &ipAddr, const QString &gateId);

// "a.b.c.d" from the four boxes, and back (missing parts are empty).
QString JoinIp(const QStringList &boxes);
QStringList SplitIp(const QString &ipAddr);
// The zone as stored: at most kZoneMax characters.
QString CutZone(const QString &zone);

// Message refusing a delete of a gate whose use_flag is useFlag, or empty.
QString CheckDelete(const QString &useFlag);
// Removes the gate's permits, then the gate; false at the first failure (later tables untouched).
// The gate's lock_gate row stays.
bool DeleteGate(const QString &gateId);
// use_flag 0 and refix_dt today for the gate (the error window's "take out of use").
bool TakeOutOfUse(const QString &gateId);

enum class Connect { LockFailed, Failed, Connected };
// Under the gate access lock: connect, poll and set the gate's clock. The lock is released
// however the check ended, repeating the release until it succeeds; onReleaseFailed hears of
// each failed release (the gate screen says so, the error window does not).
Connect ConnectAndSetClock(const QString &gateId, const QString &ipAddr, const QString &portNo,
                           const std::function<void()> &onReleaseFailed = {});

// Reads the door-unlock mode and alarm from the gate's properties record.
bool ReadDeviceSettings(const QString &gateId, const QString &ipAddr, const QString &portNo, int *doorMode,
                        int *alarm);
enum class DeviceWrite { ReadFailed, WriteFailed, Written };
// Sets one byte of the properties record, writing the rest back as read. A failed read leaves
// the gate untouched.
DeviceWrite WriteDeviceByte(const QString &gateId, const QString &ipAddr, const QString &portNo, int byte,
                            int value);

} // namespace GateRules
