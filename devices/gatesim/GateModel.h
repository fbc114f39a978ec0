#pragma once
// One simulated gate: profiles, templates, log memory, clock, EEPROM settings, properties
// record, capacities and injected faults. Transport-free: the simulator feeds it request frames.

#include "FpTypes.h"
#include "GateFrame.h"
#include "gatelib.h"

#include <QDateTime>
#include <QHostAddress>
#include <QString>
#include <QStringList>

#include <array>
#include <map>
#include <string>
#include <vector>

namespace gatesim {

// Log types the simulated terminal writes (see PROTOCOL.md).
inline constexpr int kLogAdmitted = 1;       // authentication succeeded, door opened
inline constexpr int kLogUnknownCard = 28;   // card not registered at this gate (an error-log type)
inline constexpr int kLogUnknownFinger = 29; // fingerprint matched no template (an error-log type)

struct Profile {
    std::string id;
    bool admin = false;
    bool card = false;     // card-only profile, or fingerprint profile that also admits by card
    int enrollMode = 0;    // 191 / 127 for fingerprint profiles, 0 for card-only
    std::vector<std::array<uint8_t, GATE_TEMPLATE_LEN>> templates;
};

struct LogEntry {
    int32_t seq = 0;
    int32_t type = 0;
    int32_t auth = 0;
    std::string id;
    QDateTime time; // gate local time
    // A time record sent as it stands instead of `time` (a gate with a broken clock can send an
    // impossible date); `time` still orders the record for the upload start date.
    bool hasRawTime = false;
    GateTime rawTime{};
};

enum class FaultAction { Silent, Status, Drop, Garbage, Slow };

struct FaultRule {
    int command = 0; // 0 = any
    FaultAction action = FaultAction::Silent;
    int value = 0;     // status or delay
    int remaining = 1; // < 0 = for ever
};

// What the transport does with one request.
struct Reply {
    bool send = true;        // false: leave unanswered
    bool dropMidFrame = false;
    bool corrupt = false;
    int delayMs = 0;
    gateproto::Frame frame;
};

class Gate {
public:
    QString number;          // "00001"
    QString transport = "tcp"; // "tcp" or "serial"
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 0;
    QString ttyPath;         // serial gates
    int unitCode = 1;
    int userCapacity = 1000;
    int masterCapacity = 50;
    int logCapacity = 10000;
    qint64 clockOffsetSecs = 0;
    bool refuse = false;
    int delayMs = 0;
    std::vector<FaultRule> faults;
    std::map<int, int> eeprom;
    std::array<uint8_t, GATE_PROPERTIES_LEN> props{};
    std::vector<Profile> profiles; // in enrolment order
    std::vector<LogEntry> logs;    // oldest first
    size_t uploadPos = 0;          // first record the PC has not acknowledged
    QDate uploadFrom;              // filter of the current connection (invalid = none)
    int32_t nextSeq = 1;
    uint32_t logEpoch = 0;         // drawn anew whenever the log memory is cleared
    std::map<int, int> requestCounts;

    Gate();
    QDateTime Now() const;
    void SetNow(const QDateTime &t);
    void NewConnection() { uploadFrom = QDate(); }

    Reply Handle(const gateproto::Frame &request);

    // Control actions.
    LogEntry PresentCard(const std::string &cardId);
    // A finger given as an 800-byte template: admitted by a byte-identical stored template, or by
    // one the matcher pairs with it.
    LogEntry PresentFinger(const std::array<uint8_t, GATE_TEMPLATE_LEN> &tpl);
    // A finger given as the minutiae of a fresh touch, matched against every stored template.
    LogEntry PresentFinger(const fp::Minutiae &touch);
    LogEntry AddLog(int type, const std::string &id, int auth, const QDateTime &when);
    // Empties the log memory: numbering starts again at 1 under a new epoch.
    void ClearLogs();
    int CountProfiles(bool admin) const;
    Profile *Find(const std::string &id);
    QStringList DescribeUsers() const;
    QStringList DescribeLogs(bool onlyNew) const;

private:
    int Execute(uint16_t cmd, const std::vector<uint8_t> &in, std::vector<uint8_t> &out);
    void Acknowledge(const uint8_t *payload);
    int StoreProfile(const std::string &id, bool admin, int enrollMode, const uint8_t *tpl);
    // The first profile with a template that the matcher pairs with the touch.
    const Profile *MatchFinger(const fp::Minutiae &touch) const;
};

QString FormatTime(const QDateTime &t);
// A record's time as the control port shows it ("@..." for a time record sent as it stands).
QString DescribeTime(const LogEntry &e);
GateTime ToTimeRecord(const QDateTime &t);

} // namespace gatesim
