#pragma once

// The log collector's work, one tick at a time, with no widgets: it answers the console's
// service control requests (server 1), runs the log processing, and visits the gates one after
// another under the gate access lock to pull their new log records into log_telmar. The program
// drives Tick() from a timer; tests call it directly.

#include "GateLibLoader.h"
#include "LogProcessor.h"
#include "LogSpool.h"
#include "PcGateLock.h"
#include "SrvCtrl.h"

#include <QHash>
#include <QString>

#include <functional>

namespace orvel {
class ServiceDb;
}

namespace harvester {

struct CollectorSettings
{
    int edition = 1;
    QString lockFile;          // the gate access lock file (F_GATELOCK, resolved)
    QString spoolFile;         // records the database did not take
    int logWaitInterval = 5;   // ticks between gate passes
    int startYear = 0;         // upload start date, year counted from 2000; used when all three are set
    int startMonth = 0;
    int startDay = 0;
    int unlockRetryMs = 50;
    int unlockGiveUpMs = 60000;
};

class Collector
{
public:
    enum State { Stopped = 0, Running = 1, GateError = 2 };
    static constexpr int kNormalCap = 3;      // records taken from one gate per visit
    static constexpr int kCollectNowCap = 5000;
    // Records stored in one transaction and then acknowledged together while a collect-now request
    // runs (when the gate library lets the caller acknowledge); otherwise one at a time.
    static constexpr int kKeepGroup = 250;

    Collector(orvel::ServiceDb &db, const orvel::GateLibFunctions &gate, CollectorSettings settings);

    // One tick. False once the program should close (the tick after a stop request).
    bool Tick();

    // Lines for the window: each record taken ("UserId[...] ...") and log-file errors.
    void SetDisplay(std::function<void(const QString &)> display);

    // The settings boxes change these for the running program only.
    void SetLogWaitInterval(int ticks) { m_settings.logWaitInterval = ticks; }
    int LogWaitInterval() const { return m_settings.logWaitInterval; }
    void SetStartDate(int year, int month, int day);
    bool HasStartDate() const;

    int StateCode() const { return m_state; }
    QString StateText() const { return m_stateText; }
    QString GateCursor() const { return m_cursor; }
    QString CurrentGateId() const { return m_gateId; }
    QString CurrentGateName() const { return m_gateName; }
    int PassCounter() const { return m_counter; }
    bool Stopping() const { return m_stopping; }
    LogProcessor &Processor() { return m_processor; }
    LogSpool &Spool() { return m_spool; }

private:
    enum class Take { Visited, Passed, NoRow, DbError };
    struct Gate
    {
        QString id, name, ip;
        int port = 0;
    };

    void ServiceControl();
    void CollectNow();
    bool SelectNextGate(Gate *gate, Take *outcome);
    Take TakeNextGate(const QString &upTo = QString());
    void Visit(const Gate &gate);
    int Upload(const Gate &gate, bool *failed, QString *error, bool *leftOnGate);
    SpoolRecord FromGate(const Gate &gate, const GateLogRecord &rec) const;

    // Where records taken from a gate end up. Only records that are stored or spooled may be
    // acknowledged to the gate.
    enum class Kept { Stored, Spooled, NotKept };
    Kept Keep(const QList<SpoolRecord> &records);
    // Stores the records whose identity is not stored yet, and their identities, in the caller's
    // transaction.
    bool InsertNew(const QList<SpoolRecord> &records);
    bool LastStored(const SpoolRecord &record, qint64 *last);
    // After the transaction of InsertNew: the highest stored numbers it wrote, or forgets them.
    void Committed(const QList<SpoolRecord> &records, bool ok);
    bool FlushSpool();
    void Unlock(const QString &gateId);
    void SetState(int state, const QString &text);

    orvel::ServiceDb &m_db;
    const orvel::GateLibFunctions &m_gate;
    CollectorSettings m_settings;
    orvel::SrvCtrl m_ctrl;
    LogProcessor m_processor;
    LogSpool m_spool;
    std::function<void(const QString &)> m_display;

    int m_state = Running;
    QString m_stateText;
    QString m_cursor;          // gate_id of the last gate taken; empty = start of the list
    QString m_gateId, m_gateName;
    int m_counter = 0;         // ticks of the current wait between passes
    int m_cap = kNormalCap;
    bool m_retryMark = false;  // the previous visit could not connect
    bool m_stopping = false;
    // Highest stored sequence number per "gate_id/epoch", as read from or written to
    // log_gate_seq by this process (the only writer: one collector per site).
    QHash<QString, qint64> m_lastSeq;
    // The gate lock across PCs, beside the lock file (a server database shared by several PCs).
    orvel::PcGateLock m_pcLock;
};

} // namespace harvester
