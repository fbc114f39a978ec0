#include "LogProcessor.h"

#include "ErrorLog.h"
#include "LogCategories.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SiteFolder.h"
#include "Sjis.h"
#include "SqlDialect.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlRecord>
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace harvester {

using namespace orvel;

namespace {

// log_dt as stored: ISO text, or the forms that rows written otherwise carry (with fractions of
// a second, unpadded, with slashes, 'T'). Invalid when it is not a time.
QDateTime ToDateTime(const QString &text)
{
    const QString s = text.trimmed();
    for (const char *f : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-M-d H:m:s", "yyyy/MM/dd HH:mm:ss",
                          "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-ddTHH:mm:ss.zzz"}) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return QDateTime();
}


// Appends bytes to the log file: created when missing, never truncated, held with an exclusive
// lock while it is written (an opener holding it makes this attempt fail). Once write() has
// returned, a crash of this program cannot lose the line; it is not synced per line, as the
// database commits it goes with are not (synchronous=NORMAL).
bool AppendExclusive(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return false;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lseek(fd, 0, SEEK_END) >= 0;
    qsizetype done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += n;
    }
    ::close(fd); // also releases the lock
    return ok;
}

// Error-log code of the collector's own faults (as the collector writes them), here raw records
// the processing had to mend or set aside.
constexpr int kProcessorFault = 9003;

QString Iso(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// True for a valid time stored as 'YYYY-MM-DD HH:MM:SS', as the collector stores it. Checked by
// hand: parsing with a format costs more than everything else the processing does with a row.
bool IsCanonicalTime(const QString &t)
{
    if (t.size() != 19)
        return false;
    int v[6] = {};
    static const int start[6] = {0, 5, 8, 11, 14, 17}, width[6] = {4, 2, 2, 2, 2, 2};
    static const char sep[6] = {'-', '-', ' ', ':', ':', 0};
    for (int f = 0; f < 6; ++f) {
        for (int i = start[f]; i < start[f] + width[f]; ++i) {
            const char16_t c = t[i].unicode();
            if (c < u'0' || c > u'9')
                return false;
            v[f] = v[f] * 10 + (c - u'0');
        }
        if (sep[f] && t[start[f] + width[f]] != QLatin1Char(sep[f]))
            return false;
    }
    return QDate::isValid(v[0], v[1], v[2]) && v[3] < 24 && v[4] < 60 && v[5] < 60;
}

QString Quoted(const QString &text)
{
    return u'\'' + text + u'\'';
}

QString IdList(const QList<int> &ids)
{
    QString list;
    for (int id : ids)
        list += (list.isEmpty() ? QString() : QStringLiteral(",")) + QString::number(id);
    return u'(' + list + u')';
}

// The resolved row, as the database computes it from the source view, in the columns of
// log_telmar_plus up to its two time stamps. One rule for the stored row and the file line: an
// admission is "entered"/"left" by the gate's direction, a direction word from gate_mode, an
// authentication type outside 1-3 is 0, and an absent text is an empty one.
QStringList ResolvedColumns(const QString &logDt)
{
    const QString exitGate = QStringLiteral("gate_mode = %1").arg(gate_mode::Exit);
    const auto text = [](const char *column) { return QStringLiteral("COALESCE(%1, '')").arg(QLatin1String(column)); };
    return {QStringLiteral("log_id"),
            logDt,
            QStringLiteral("COALESCE(log_type, 0)"),
            QStringLiteral("CASE WHEN log_type = %1 THEN CASE WHEN %2 THEN '退室しました。' ELSE '入室しました。' END "
                           "ELSE COALESCE(log_message, '') END")
                .arg(kLogTypeAdmitted)
                .arg(exitGate),
            text("guser_id"),
            text("user_id"),
            text("user_name"),
            text("emp_id"),
            text("emp_name"),
            text("gate_id"),
            text("gate_name"),
            QStringLiteral("CASE WHEN %1 THEN '%2' ELSE '%3' END")
                .arg(exitGate, QString::fromUtf8(gate_mode::ExitWord), QString::fromUtf8(gate_mode::EntryWord)),
            text("ip_addr"),
            text("zone_name"),
            text("gauth_type_name"),
            QStringLiteral("CASE WHEN gauth_type BETWEEN 1 AND 3 THEN gauth_type ELSE 0 END")};
}

// What the processing reads of a row: log_id, write_ok_flag, log_dt as stored, guser_id, then the
// twelve items of a file line in their order (log_type, message, user_id, user_name, emp_id,
// emp_name, gate_id, gate_name, direction, ip_addr, zone_name, gauth_type_name).
QStringList ReadColumns()
{
    const QStringList r = ResolvedColumns(QString());
    return {r[0], QStringLiteral("write_ok_flag"), QStringLiteral("log_dt"), r[4], r[2],  r[3],  r[5], r[6],
            r[7], r[8], r[9], r[10], r[11], r[12], r[13], r[14]};
}
constexpr int kReadFields = 16;
constexpr int kFirstItem = 4;

// A batch is read as one text column per row: every value fetched through the driver costs more
// than the database's work on the whole row, and a row has sixteen. The values are separated by
// the unit separator; a text that holds one is found out by the count and read on its own.
constexpr char16_t kSeparator = 0x1F;

QString PackedColumns()
{
    const QString sep = CurrentBackend() == DbBackend::PostgreSQL ? QStringLiteral("chr(31)") : QStringLiteral("char(31)");
    QStringList parts;
    for (const QString &c : ReadColumns())
        parts << QStringLiteral("COALESCE(CAST(%1 AS VARCHAR), '')").arg(c);
    return parts.join(QStringLiteral(" || ") + sep + QStringLiteral(" || "));
}

} // namespace

LogProcessor::LogProcessor(ServiceDb &db, int edition)
    : m_db(db),
      m_view(edition == EditionMifare ? QStringLiteral("v_make_log_telmar_plusX_M")
                                      : QStringLiteral("v_make_log_telmar_plusX"))
{
}

bool LogProcessor::Fail(const QString &text)
{
    m_lastError = text;
    return false;
}

namespace {
bool FillRow(const QStringList &f, int *logId, int *flag, QString *logDtText, QString *guserId, int *logType,
             QString *values)
{
    if (f.size() != kReadFields)
        return false;
    bool ok = false;
    *logId = f[0].toInt(&ok);
    *flag = f[1].toInt();
    *logDtText = f[2];
    *guserId = f[3];
    *logType = f[kFirstItem].toInt();
    for (int i = 0; i < 12; ++i)
        values[i] = f[kFirstItem + i];
    return ok;
}
} // namespace

// Up to limit unfinished rows, oldest first. A row whose text could not be parsed goes to
// unreadable (its log_id), to be read on its own.
bool LogProcessor::ReadBatch(int limit, QList<Row> *rows, QList<int> *unreadable)
{
    QSqlQuery &q = m_db.QueryBound(QStringLiteral("SELECT %1 from %2 WHERE write_ok_flag <> 7 "
                                                  "order by write_ok_flag asc, log_id asc LIMIT ?")
                                       .arg(PackedColumns(), m_view),
                                   {limit});
    if (!q.isActive())
        return Fail(m_db.LastError());
    rows->reserve(limit);
    while (q.next()) {
        const QString packed = q.value(0).toString();
        Row r;
        if (!FillRow(packed.split(QChar(kSeparator)), &r.logId, &r.flag, &r.logDtText, &r.guserId, &r.logType,
                     r.values)) {
            unreadable->append(packed.section(QChar(kSeparator), 0, 0).toInt());
            continue;
        }
        r.canonical = IsCanonicalTime(r.logDtText);
        rows->append(r);
    }
    q.finish(); // no read lock may outlive the reading: the writes need the database
    return true;
}

bool LogProcessor::ReadOne(int logId, Row *r)
{
    QSqlQuery &q = m_db.QueryBound(
        QStringLiteral("SELECT %1 from %2 WHERE log_id = ?").arg(ReadColumns().join(QStringLiteral(", ")), m_view),
        {logId});
    if (!q.isActive())
        return Fail(m_db.LastError());
    QStringList f;
    if (q.next())
        for (int i = 0; i < kReadFields; ++i)
            f << q.value(i).toString();
    q.finish();
    if (!FillRow(f, &r->logId, &r->flag, &r->logDtText, &r->guserId, &r->logType, r->values))
        return false;
    r->canonical = IsCanonicalTime(r->logDtText);
    r->logDt = ToDateTime(r->logDtText);
    if (!r->logDt.isValid()) {
        // Written by an older collector from a gate whose clock sent an impossible date: such a
        // row could never be written and held back every later one. It is resolved with the
        // time it is processed; what it held goes to the error log.
        r->logDt = QDateTime::currentDateTime();
        WriteErrorLog(kProcessorFault, QStringLiteral("log_id %1 (gate %2, user %3, type %4): unreadable time %5; "
                                                      "resolved with the processing time %6")
                                           .arg(logId)
                                           .arg(r->values[6], r->guserId)
                                           .arg(r->logType)
                                           .arg(r->logDtText.isEmpty() ? QStringLiteral("-") : r->logDtText,
                                                Iso(r->logDt)));
    }
    return true;
}

bool LogProcessor::ReadFileSettings(FileSettings *f)
{
    QSqlQuery &q = m_db.QueryBound(QStringLiteral("SELECT * FROM t_autolog_info WHERE id = ?"), {1});
    if (!q.isActive())
        return Fail(m_db.LastError());
    if (q.next()) {
        f->present = true;
        f->path = q.value(QStringLiteral("file_path")).toString().trimmed();
        f->mode = q.value(QStringLiteral("log_mode")).toInt();
        for (int i = 1; i <= 13; ++i)
            f->item[i] = q.value(QStringLiteral("item_%1").arg(i)).toInt() == 1;
    }
    q.finish();
    return true;
}

// The file line of a row, or an empty text when the settings write none for it.
QString LogProcessor::FileLine(const Row &r, const FileSettings &f) const
{
    if (!f.present || !LogModeIncludes(f.mode, r.logType))
        return QString();
    QString line = r.canonical ? r.logDtText.left(10).replace(u'-', u'/') + u',' + r.logDtText.mid(11)
                               : r.logDt.toString(QStringLiteral("yyyy/MM/dd,HH:mm:ss"));
    for (int i = 1; i <= 12; ++i)
        if (f.item[i])
            line += u',' + r.values[i - 1];
    return line + QStringLiteral("\r\n");
}

namespace {
// The raw copy and the resolved row of the rows in `where`, with log_dt as given (the column, or
// a literal for a row whose stored time had to be mended).
QString RawCopy(const QString &logDt, const QString &now, const QString &where)
{
    return QStringLiteral("INSERT INTO log_telmar_raw SELECT log_id, COALESCE(gate_id, ''), COALESCE(guser_id, ''), "
                          "COALESCE(log_type, 0), %1, %2, %2 FROM log_telmar WHERE %3")
        .arg(logDt, now, where);
}

QString ResolvedRow(const QString &view, const QString &logDt, const QString &now, const QString &where)
{
    return QStringLiteral("INSERT INTO log_telmar_plus SELECT %1, %2, %2 FROM %3 WHERE %4")
        .arg(ResolvedColumns(logDt).join(QStringLiteral(", ")), now, view, where);
}
} // namespace

// Every output of every row in one transaction: the raw copies and the resolved rows (one
// statement each for the batch), the file lines (one write, inside the transaction) and the bits;
// the finished rows deleted. Returns the rows completed; *failed when a statement failed (rolled
// back: nothing of the batch is done).
int LogProcessor::ProcessTogether(QList<Row> &rows, const FileSettings &settings, bool *failed)
{
    *failed = false;
    const QString now = Quoted(Iso(QDateTime::currentDateTime()));
    QList<int> toCopy, toResolve, done, waiting;
    QByteArray lines;
    for (Row &r : rows) {
        if (!(r.flag & write_ok::RawCopied))
            toCopy << r.logId;
        if (!(r.flag & write_ok::PlusWritten))
            toResolve << r.logId;
        if (!(r.flag & write_ok::FileWritten)) {
            const QString line = FileLine(r, settings);
            if (!line.isEmpty())
                lines += ToSjis(line);
        }
    }
    if (!m_db.Begin()) {
        Fail(m_db.LastError());
        return 0;
    }
    const auto inIds = [](const QList<int> &ids) { return QStringLiteral("log_id IN ") + IdList(ids); };
    bool ok = (toCopy.isEmpty() || m_db.Exec(RawCopy(QStringLiteral("log_dt"), now, inIds(toCopy)))) &&
              (toResolve.isEmpty() || m_db.Exec(ResolvedRow(m_view, QStringLiteral("log_dt"), now, inIds(toResolve))));
    const bool fileOk = ok && (lines.isEmpty() || AppendExclusive(SitePath(settings.path), lines));
    for (const Row &r : rows)
        (fileOk || (r.flag & write_ok::FileWritten) || FileLine(r, settings).isEmpty() ? done : waiting) << r.logId;
    ok = ok && (done.isEmpty() || m_db.Exec(QStringLiteral("DELETE FROM log_telmar WHERE ") + inIds(done))) &&
         (waiting.isEmpty() ||
          m_db.Exec(QStringLiteral("UPDATE log_telmar SET write_ok_flag = %1 WHERE ")
                        .arg(write_ok::RawCopied | write_ok::PlusWritten) +
                    inIds(waiting))) &&
         m_db.Exec(QStringLiteral("DELETE FROM log_telmar WHERE write_ok_flag = 7"));
    if (!ok) {
        const QString error = m_db.LastError();
        m_db.Rollback();
        *failed = true;
        Fail(error);
        return 0;
    }
    if (!m_db.Commit()) {
        *failed = true;
        Fail(m_db.LastError());
        return 0;
    }
    if (!fileOk) {
        if (m_display)
            m_display(QStringLiteral("Log File Write error"));
        Fail(QString::fromUtf8(kLogFileErrorText));
        return int(done.size());
    }
    if (!done.isEmpty())
        m_lastError.clear();
    return int(done.size());
}

// One row, each output with its bit in its own transaction, as the processing went before rows
// were batched: a row that fails keeps what it got done. Its stored time is mended if it must be.
LogProcessor::Outcome LogProcessor::ProcessAlone(int logId, const FileSettings &settings)
{
    Row r;
    if (!ReadOne(logId, &r))
        return m_lastError.isEmpty() ? Outcome::Done : Outcome::Locked; // gone, or the database fails
    m_rowText = QStringLiteral("log_id %1 (gate %2, user %3, type %4)")
                    .arg(logId)
                    .arg(r.values[6], r.guserId)
                    .arg(r.logType);
    const QString now = Quoted(Iso(QDateTime::currentDateTime()));
    if (!r.canonical)
        r.logDtText = Iso(r.logDt); // the file line too takes the mended time
    const QString logDt = r.canonical ? QStringLiteral("log_dt") : Quoted(r.logDtText);
    r.canonical = true;
    const QString where = QStringLiteral("log_id = %1").arg(logId);
    auto step = [&](const QString &write, int bit) {
        if (!m_db.Begin()) {
            Fail(m_db.LastError());
            return Outcome::Locked;
        }
        const int flag = r.flag | bit;
        const bool ok = (write.isEmpty() || m_db.Exec(write)) &&
                        m_db.Exec(flag == write_ok::Done ? QStringLiteral("DELETE FROM log_telmar WHERE ") + where
                                                         : QStringLiteral("UPDATE log_telmar SET write_ok_flag = %1 "
                                                                          "WHERE ")
                                                                   .arg(flag) +
                                                               where);
        if (!ok) {
            const QString error = m_db.LastError();
            m_db.Rollback();
            Fail(error);
            return Outcome::RowFailed;
        }
        if (!m_db.Commit()) {
            Fail(m_db.LastError());
            return Outcome::RowFailed;
        }
        r.flag = flag;
        return Outcome::Done;
    };
    Outcome o = Outcome::Done;
    if (!(r.flag & write_ok::RawCopied) &&
        (o = step(RawCopy(logDt, now, where), write_ok::RawCopied)) != Outcome::Done)
        return o;
    if (!(r.flag & write_ok::PlusWritten) &&
        (o = step(ResolvedRow(m_view, logDt, now, where), write_ok::PlusWritten)) != Outcome::Done)
        return o;
    if (!(r.flag & write_ok::FileWritten)) {
        const QString line = FileLine(r, settings);
        if (!line.isEmpty() && !AppendExclusive(SitePath(settings.path), ToSjis(line))) {
            if (m_display)
                m_display(QStringLiteral("Log File Write error"));
            Fail(QString::fromUtf8(kLogFileErrorText));
            return Outcome::FileFailed;
        }
        if ((o = step(QString(), write_ok::FileWritten)) != Outcome::Done)
            return o;
    }
    m_lastError.clear();
    return Outcome::Done;
}

void LogProcessor::SetAside(int logId)
{
    m_setAside.insert(logId);
    if (m_reported.contains(logId))
        return;
    m_reported.insert(logId);
    WriteErrorLog(kProcessorFault, QStringLiteral("%1 cannot be written (%2); the rows after it go on, it is "
                                                  "tried again when nothing else waits")
                                       .arg(m_rowText, m_lastError));
}

int LogProcessor::Process(int maxRows)
{
    // Rows set aside are read too, and left out here, so that they hold nothing back.
    QList<Row> read;
    QList<int> unreadable;
    if (!ReadBatch(maxRows + int(m_setAside.size()), &read, &unreadable))
        return 0;
    QList<Row> together;
    QList<int> alone, retry;
    int taken = 0;
    for (const Row &r : read) {
        if (m_setAside.contains(r.logId))
            retry << r.logId;
        else if (taken++ < maxRows && r.canonical)
            together << r;
        else if (taken <= maxRows)
            alone << r.logId; // its stored time is mended on its own
    }
    for (int id : unreadable) {
        if (m_setAside.contains(id))
            retry << id;
        else if (taken++ < maxRows)
            alone << id;
    }
    if (together.isEmpty() && alone.isEmpty() && retry.isEmpty())
        return 0;
    FileSettings settings;
    if (!ReadFileSettings(&settings))
        return 0;

    int done = 0;
    if (!together.isEmpty()) {
        bool failed = false;
        done = ProcessTogether(together, settings, &failed);
        if (failed) // some row cannot be written: one by one, so that only that row waits
            for (const Row &r : together)
                alone << r.logId;
        else if (!m_lastError.isEmpty() && done == 0)
            return 0; // the database is locked, or the file cannot be written
    }
    const bool retrying = together.isEmpty() && alone.isEmpty();
    for (int id : retrying ? retry : alone) {
        const Outcome o = ProcessAlone(id, settings);
        if (o == Outcome::Done) {
            ++done;
            m_setAside.remove(id);
        } else if (o == Outcome::RowFailed) {
            if (!retrying)
                SetAside(id);
        } else {
            break; // the database is locked, or the file cannot be written for any row
        }
    }
    return done;
}

} // namespace harvester
