#include "Collector.h"

#include "ErrorLog.h"
#include "GateLock.h"
#include "OrvelDefs.h"
#include "Schema.h"
#include "ServiceDb.h"
#include "SqlDialect.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <cstring>
#include <string>

namespace harvester {

using namespace orvel;

namespace {

// Error-log code of the collector's own faults that the console does not report (a record that
// could be neither stored nor kept, a gate lock that could not be released).
constexpr int kCollectorFault = 9003;

QString RunningText()
{
    return QString::fromUtf8(srv::TextRunning);
}

const QString kInsert = QStringLiteral(
    "Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) Values(?, ?, ?, ?);");
const QString kLastSeq = QStringLiteral("SELECT last_seq FROM log_gate_seq WHERE gate_id = ? AND log_epoch = ?");
const QString kSetLastSeq = QStringLiteral(
    "INSERT INTO log_gate_seq (gate_id, log_epoch, last_seq) VALUES (?, ?, ?) "
    "ON CONFLICT (gate_id, log_epoch) DO UPDATE SET last_seq = excluded.last_seq");

QString SeqKey(const SpoolRecord &r)
{
    return r.gateId + u'/' + QString::number(r.epoch);
}

QString Identity(const SpoolRecord &r)
{
    return QStringLiteral("gate %1 seq %2").arg(r.gateId).arg(r.seq);
}

} // namespace

Collector::Collector(ServiceDb &db, const GateLibFunctions &gate, CollectorSettings settings)
    : m_db(db),
      m_gate(gate),
      m_settings(std::move(settings)),
      m_ctrl(db, srv::Harvester),
      m_processor(db, m_settings.edition),
      m_spool(m_settings.spoolFile),
      m_stateText(RunningText())
{
    // The identity table normally comes with the console's schema upgrade; a collector started on
    // a database that lacks it would otherwise spool every record.
    for (const QString &sql : schema::Additions(CurrentBackend()))
        if (sql.contains(QLatin1String(tbl::log_gate_seq)))
            m_db.Exec(sql);
}

void Collector::SetDisplay(std::function<void(const QString &)> display)
{
    m_display = display;
    m_processor.SetDisplay(std::move(display));
}

void Collector::SetStartDate(int year, int month, int day)
{
    m_settings.startYear = year;
    m_settings.startMonth = month;
    m_settings.startDay = day;
}

bool Collector::HasStartDate() const
{
    return m_settings.startYear != 0 && m_settings.startMonth != 0 && m_settings.startDay != 0;
}

void Collector::SetState(int state, const QString &text)
{
    m_state = state;
    m_stateText = text;
}

bool Collector::Tick()
{
    if (m_stopping)
        return false;
    ServiceControl();
    if (m_stopping)
        return true;
    for (int i = 0; i < 5 && m_processor.ProcessBatch() > 0; ++i) {
    }
    if (m_counter < m_settings.logWaitInterval) {
        ++m_counter;
        return true;
    }
    TakeNextGate();
    return true;
}

void Collector::ServiceControl()
{
    SrvRequest req;
    if (!m_ctrl.Pending(&req)) {
        // A gate error stands until a later visit succeeds, so that the console's next status
        // check still sees it.
        if (m_state != GateError)
            SetState(Running, RunningText());
        return;
    }
    switch (req.reqCmd) {
    case srv::HarvesterCollectNow:
        CollectNow();
        SetState(Running, RunningText());
        m_ctrl.AnswerWithGate(m_state, m_stateText, QString(), QString());
        break;
    case srv::HarvesterStatus:
        if (m_state == Running && !m_processor.LastError().isEmpty())
            m_stateText = m_processor.LastError();
        m_cap = kNormalCap;
        m_ctrl.AnswerWithGate(m_state, m_stateText, m_gateId, m_gateName);
        break;
    case srv::HarvesterStop:
        SetState(Stopped, QString::fromUtf8(srv::TextEnded));
        m_ctrl.AnswerWithGate(m_state, m_stateText, QString(), QString());
        m_stopping = true;
        break;
    default:
        break; // not a request of this service
    }
}

// Every gate once, from the cursor to the end of the list and round again to where it started;
// then the log processing until nothing is left.
void Collector::CollectNow()
{
    m_cap = kCollectNowCap;
    const QString start = m_cursor;
    Take t;
    do {
        t = TakeNextGate();
    } while (t == Take::Visited || t == Take::Passed);
    if (t == Take::NoRow && !start.isEmpty()) {
        do {
            t = TakeNextGate(start);
        } while (t == Take::Visited || t == Take::Passed);
    }
    while (m_processor.ProcessBatch() > 0) {
    }
    m_cap = kNormalCap;
}

bool Collector::SelectNextGate(Gate *gate, Take *outcome)
{
    QSqlQuery q = m_db.Query(
        QStringLiteral("SELECT * FROM v_unlock_gate2 WHERE gate_id > %1 ORDER BY gate_id ASC;").arg(SqlText(m_cursor)));
    if (!q.isActive()) {
        *outcome = Take::DbError;
        return false;
    }
    if (!q.next()) {
        *outcome = Take::NoRow;
        return false;
    }
    gate->id = q.value(QStringLiteral("gate_id")).toString();
    gate->name = q.value(QStringLiteral("gate_name")).toString();
    gate->ip = q.value(QStringLiteral("ip_addr")).toString().trimmed();
    gate->port = q.value(QStringLiteral("port_no")).toString().trimmed().toInt();
    q.finish();
    return true;
}

Collector::Take Collector::TakeNextGate(const QString &upTo)
{
    Gate gate;
    Take outcome;
    if (!SelectNextGate(&gate, &outcome)) {
        if (outcome == Take::NoRow)
            m_cursor.clear(); // a new pass begins after the quiet ticks
        m_counter = 1;
        return outcome;
    }
    if (!upTo.isEmpty() && gate.id > upTo)
        return Take::NoRow; // a collect-now round is complete
    m_gateId = gate.id;
    m_gateName = gate.name;
    m_cursor = gate.id;
    m_counter = m_settings.logWaitInterval;
    if (!CollectorLockGate(m_settings.lockFile, gate.id, &m_pcLock))
        return Take::Passed; // the console is talking to it: passed over in this pass
    Visit(gate);
    return Take::Visited;
}

void Collector::Visit(const Gate &gate)
{
    const int rc = m_gate.ConnectDevice(gate.ip.toLatin1().constData(), gate.port) & 0xFFFF;
    if (rc != 0) {
        if (!m_retryMark) {
            m_retryMark = true;
            SetState(Running, QStringLiteral("ゲート接続リトライ[%1]").arg(gate.id));
            // One step back, so that the next visit tries the same gate again.
            m_cursor = PadId(QString::number(gate.id.toInt() - 1), kGateIdWidth);
        } else {
            m_retryMark = false;
            SetState(GateError, QStringLiteral("<<< Device ERROR-[%1] >>>").arg(gate.ip));
        }
        Unlock(gate.id);
        return;
    }
    m_retryMark = false;
    // Records the database refused earlier go in before anything newer.
    FlushSpool();
    bool failed = false, leftOnGate = false;
    QString error;
    Upload(gate, &failed, &error, &leftOnGate);
    // A disconnect acknowledges the last record taken; one that could not be kept stays on the
    // gate, which sends it again on the next visit.
    if (leftOnGate && m_gate.DropConnection)
        m_gate.DropConnection();
    else
        m_gate.DisConnectDevice();
    if (failed)
        SetState(GateError, error);
    else
        SetState(Running, RunningText());
    Unlock(gate.id);
}

SpoolRecord Collector::FromGate(const Gate &gate, const GateLogRecord &rec) const
{
    const GateTime &t = rec.time;
    SpoolRecord r;
    r.gateId = gate.id;
    r.guserId = QString::fromLatin1(rec.user_id, qsizetype(::strnlen(rec.user_id, sizeof rec.user_id)));
    r.logType = rec.log_type;
    r.seq = rec.seq;
    r.epoch = rec.log_epoch;
    const QDate date(t.year + 2000, t.month, t.day);
    const QTime time(t.hour, t.minute, t.second);
    if (date.isValid() && time.isValid()) {
        r.logDt = IsoDateTimeText(t.year + 2000, t.month, t.day, t.hour, t.minute, t.second);
        return r;
    }
    // A gate whose clock went wrong: the passage still happened, so it is kept with the time it
    // was collected (near when it happened), and the gate's own values go to the error log.
    const QDateTime now = QDateTime::currentDateTime();
    r.logDt = now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    WriteErrorLog(kCollectorFault,
                  QStringLiteral("%1: impossible time %2/%3/%4 %5:%6:%7 from the gate (user %8, type %9); "
                                 "stored with the collection time %10")
                      .arg(Identity(r))
                      .arg(t.year + 2000)
                      .arg(t.month)
                      .arg(t.day)
                      .arg(t.hour)
                      .arg(t.minute)
                      .arg(t.second)
                      .arg(r.guserId)
                      .arg(r.logType)
                      .arg(r.logDt));
    return r;
}

int Collector::Upload(const Gate &gate, bool *failed, QString *error, bool *leftOnGate)
{
    GateUnit unit;
    std::memset(&unit, 0, sizeof unit);
    auto fail = [&](int status) {
        *failed = true;
        *error = QString::asprintf("<<< ERROR-[%d] UnitCode-[%02x] >>>", status, unsigned(unit.unit_code & 0xFF));
    };
    if (HasStartDate()) {
        const int st = m_gate.SetUploadLogRecordStartDate(&unit, m_settings.startDay, m_settings.startMonth,
                                                          m_settings.startYear) &
                       0xFFFF;
        if (st == gatestatus::UploadNothing1 || st == gatestatus::UploadNothing2)
            return 0;
        if (st != 0) {
            fail(st);
            return 0;
        }
    }
    // Records taken and not yet kept. A collect-now request keeps them in groups, each group
    // acknowledged once it is kept; otherwise each is kept before the next is asked for, and
    // asking acknowledges it.
    const bool grouped = m_cap == kCollectNowCap && m_gate.SetUploadAcknowledgement && m_gate.SetUploadAcknowledgement(1) == 0;
    if (!grouped && m_gate.SetUploadAcknowledgement)
        m_gate.SetUploadAcknowledgement(0);
    QList<SpoolRecord> held;
    QStringList shown; // each record's line, shown once it is kept
    auto keepHeld = [&] {
        if (held.isEmpty())
            return true;
        const bool kept = Keep(held) != Kept::NotKept;
        held.clear();
        if (!kept) {
            *leftOnGate = true;
            return false;
        }
        if (grouped)
            m_gate.AcknowledgeLogRecords(&unit); // a failure: the gate sends them again, and they are known
        if (m_display)
            for (const QString &line : std::as_const(shown))
                m_display(line);
        shown.clear();
        return true;
    };
    int taken = 0;
    while (taken < m_cap) {
        GateLogRecord rec;
        std::memset(&rec, 0, sizeof rec);
        const int st = m_gate.UploadUserProfileLogRecord(&unit, &rec) & 0xFFFF;
        if (st == gatestatus::UploadNoMore)
            break;
        if (st != 0) {
            fail(st);
            break;
        }
        held << FromGate(gate, rec);
        if (m_display) {
            const GateTime &t = rec.time;
            shown << QString::asprintf("UserId[%s] ｼｰｹﾝｽNo[%ld] ﾛｸﾞﾀｲﾌﾟ[%ld]  %04d/%02d/%02d-%02d:%02d:%02d",
                                       held.last().guserId.toLatin1().constData(), long(rec.seq), long(rec.log_type),
                                       t.year + 2000, t.month, t.day, t.hour, t.minute, t.second);
        }
        ++taken;
        if ((!grouped || held.size() >= kKeepGroup) && !keepHeld())
            return taken;
    }
    keepHeld(); // also after a gate error: what arrived is kept
    return taken;
}

bool Collector::LastStored(const SpoolRecord &r, qint64 *last)
{
    const auto it = m_lastSeq.constFind(SeqKey(r));
    if (it != m_lastSeq.constEnd()) {
        *last = *it;
        return true;
    }
    QSqlQuery &q = m_db.QueryBound(kLastSeq, {r.gateId, qint64(r.epoch)});
    if (!q.isActive())
        return false;
    *last = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    m_lastSeq.insert(SeqKey(r), *last);
    return true;
}

bool Collector::InsertNew(const QList<SpoolRecord> &records)
{
    QHash<QString, qint64> highest; // per gate and epoch, as this transaction leaves it
    QHash<QString, const SpoolRecord *> identity;
    for (const SpoolRecord &r : records) {
        if (r.seq > 0) {
            const QString key = SeqKey(r);
            qint64 last = 0;
            if (highest.contains(key))
                last = highest.value(key);
            else if (!LastStored(r, &last))
                return false;
            if (r.seq <= last)
                continue; // stored before: a crash came between storing it and the acknowledgement
            // Numbers skipped without an upload start date: the gate's full memory dropped records
            // before they were collected. They cannot be had any more, but are not lost silently.
            if (last > 0 && r.seq > last + 1 && !HasStartDate())
                WriteErrorLog(kCollectorFault, QStringLiteral("gate %1: records %2 to %3 never reached the collector "
                                                              "(dropped by the gate)")
                                                   .arg(r.gateId)
                                                   .arg(last + 1)
                                                   .arg(r.seq - 1));
            highest.insert(key, r.seq);
            identity.insert(key, &r);
        }
        if (!m_db.ExecBound(kInsert, {r.gateId, r.guserId, r.logType, r.logDt}))
            return false;
    }
    for (auto it = identity.cbegin(); it != identity.cend(); ++it)
        if (!m_db.ExecBound(kSetLastSeq, {it.value()->gateId, qint64(it.value()->epoch), highest.value(it.key())}))
            return false;
    return true;
}

void Collector::Committed(const QList<SpoolRecord> &records, bool ok)
{
    for (const SpoolRecord &r : records) {
        if (r.seq <= 0)
            continue;
        if (!ok)
            m_lastSeq.remove(SeqKey(r)); // read again from the database next time
        else if (r.seq > m_lastSeq.value(SeqKey(r)))
            m_lastSeq.insert(SeqKey(r), r.seq);
    }
}

// The records go to the database, or, while the database refuses or older records wait in the
// spool, to the spool (synced). Either way they may then be acknowledged. Only when neither takes
// them do they stay on the gate.
Collector::Kept Collector::Keep(const QList<SpoolRecord> &records)
{
    QString dbError;
    if (m_spool.IsEmpty()) {
        if (m_db.Begin()) {
            if (InsertNew(records)) {
                const bool ok = m_db.Commit();
                Committed(records, ok);
                if (ok)
                    return Kept::Stored;
            } else {
                m_db.Rollback();
                Committed(records, false);
            }
        }
        dbError = m_db.LastError();
    }
    if (m_spool.Append(records))
        return Kept::Spooled;
    for (const SpoolRecord &r : records)
        WriteErrorLog(kCollectorFault, QStringLiteral("%1: neither stored (%2) nor spooled to %3; left on the gate")
                                           .arg(Identity(r),
                                                dbError.isEmpty() ? QStringLiteral("older records spooled") : dbError,
                                                m_spool.Path()));
    return Kept::NotKept;
}

// All spooled records in one transaction, so that they are stored together or not at all. A
// crash after the commit and before the spool is emptied stores nothing twice: records stored
// already are known by their identity.
bool Collector::FlushSpool()
{
    if (m_spool.IsEmpty())
        return true;
    const QList<SpoolRecord> records = m_spool.Load();
    if (records.isEmpty())
        return m_spool.Clear();
    if (!m_db.Begin())
        return false;
    if (!InsertNew(records)) {
        m_db.Rollback();
        Committed(records, false);
        return false;
    }
    const bool ok = m_db.Commit();
    Committed(records, ok);
    if (!ok)
        return false;
    if (m_spool.Clear())
        return true;
    WriteErrorLog(kCollectorFault, QStringLiteral("spool %1 stored but not emptied").arg(m_spool.Path()));
    return false;
}

void Collector::Unlock(const QString &gateId)
{
    QElapsedTimer since;
    since.start();
    while (!CollectorUnlockGate(m_settings.lockFile, gateId, &m_pcLock)) {
        if (since.elapsed() >= m_settings.unlockGiveUpMs) {
            WriteErrorLog(kCollectorFault, QStringLiteral("gate %1: access lock not released").arg(gateId));
            return;
        }
        QThread::msleep(ulong(m_settings.unlockRetryMs));
    }
}

} // namespace harvester
