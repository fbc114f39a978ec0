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
#include <QStringList>
#include <QVariant>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace harvester {

using namespace orvel;

struct LogProcessor::Row
{
    int logId = 0;
    QDateTime logDt;
    QString logDtText; // as stored
    int logType = 0;
    QString logMessage, guserId, userId, userName, empId, empName, gateId, gateName;
    int gateMode = 0;
    QString ipAddr, zoneName, gauthTypeName;
    int gauthType = 0;
    int flag = 0;
};

namespace {

// Error-log code of the collector's own faults (as the collector writes them), here a raw record
// the processing had to mend.
constexpr int kProcessorFault = 9003;

// log_dt as the driver gives it: a date-time, or text (ISO, or the unpadded form that rows
// written by older collectors carry).
QDateTime ToDateTime(const QVariant &v)
{
    if (v.metaType().id() == QMetaType::QDateTime)
        return v.toDateTime();
    const QString s = v.toString().trimmed();
    for (const char *f : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz", "yyyy-M-d H:m:s", "yyyy/MM/dd HH:mm:ss"}) {
        const QDateTime dt = QDateTime::fromString(s, QLatin1String(f));
        if (dt.isValid())
            return dt;
    }
    return v.toDateTime();
}

// "INSERT INTO t VALUES(a, b, ...)" built by joining: a value is never read as a placeholder
// of a later substitution (a name such as "50%2" stays as typed).
QString Values(const QString &head, const QStringList &values)
{
    return head + QStringLiteral(" VALUES(") + values.join(QStringLiteral(", ")) + u')';
}

QString DateLiteral(const QString &stamp)
{
    return u'#' + stamp + u'#';
}

QString Stamp(const QDateTime &dt)
{
    return dt.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
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

bool LogProcessor::ReadFirst(Row *r)
{
    // LIMIT 1: only the first row is used, so the database need not resolve the others.
    QSqlQuery q = m_db.Query(
        QStringLiteral("SELECT * from %1 WHERE write_ok_flag <> 7 order by write_ok_flag asc, log_id asc LIMIT 1")
            .arg(m_view));
    if (!q.isActive()) {
        m_lastError = m_db.LastError();
        return false;
    }
    if (!q.next())
        return false;
    auto text = [&](const char *name) { return q.value(QLatin1String(name)).toString(); };
    auto number = [&](const char *name) { return q.value(QLatin1String(name)).toInt(); };
    r->logId = number("log_id");
    r->logDtText = q.value(QStringLiteral("log_dt")).toString();
    r->logDt = ToDateTime(q.value(QStringLiteral("log_dt")));
    r->logType = number("log_type");
    r->logMessage = text("log_message");
    r->guserId = text("guser_id");
    r->userId = text("user_id");
    r->userName = text("user_name");
    r->empId = text("emp_id");
    r->empName = text("emp_name");
    r->gateId = text("gate_id");
    r->gateName = text("gate_name");
    r->gateMode = number("gate_mode");
    r->ipAddr = text("ip_addr");
    r->zoneName = text("zone_name");
    r->gauthTypeName = text("gauth_type_name");
    r->gauthType = number("gauth_type");
    r->flag = number("write_ok_flag");
    q.finish(); // no read lock may outlive the reading: the writes below need the database
    return true;
}

// The output and its bit commit together, so a failure in between cannot leave an output
// written without its bit (which would write it a second time on the next step).
bool LogProcessor::WriteWithFlag(const QString &insert, int logId, int flag)
{
    if (!m_db.Begin())
        return Fail(m_db.LastError());
    const bool ok =
        (insert.isEmpty() || m_db.Exec(insert)) &&
        m_db.Exec(QStringLiteral("UPDATE log_telmar SET write_ok_flag = %1 WHERE log_id = %2").arg(flag).arg(logId)) &&
        (flag != write_ok::Done || m_db.Exec(QStringLiteral("DELETE FROM log_telmar WHERE write_ok_flag = 7")));
    if (!ok) {
        const QString error = m_db.LastError();
        m_db.Rollback();
        return Fail(error);
    }
    if (!m_db.Commit())
        return Fail(m_db.LastError());
    return true;
}

bool LogProcessor::Step()
{
    Row r;
    if (!ReadFirst(&r))
        return false;
    const QDateTime nowDt = QDateTime::currentDateTime();
    const QString now = Stamp(nowDt);
    if (!r.logDt.isValid()) {
        // Written by an older collector from a gate whose clock sent an impossible date: such a
        // row could never be written and held back every later one. It is resolved with the
        // time it is processed; what it held goes to the error log.
        WriteErrorLog(kProcessorFault, QStringLiteral("log_id %1 (gate %2, user %3, type %4): unreadable time %5; "
                                                      "resolved with the processing time %6")
                                           .arg(r.logId)
                                           .arg(r.gateId, r.guserId)
                                           .arg(r.logType)
                                           .arg(r.logDtText.isEmpty() ? QStringLiteral("-") : r.logDtText, now));
        r.logDt = nowDt;
    }
    const QString logDt = Stamp(r.logDt);
    int flag = r.flag;

    if (!(flag & write_ok::RawCopied)) {
        flag |= write_ok::RawCopied;
        const QString sql = Values(QStringLiteral("INSERT INTO log_telmar_raw"),
                                   {QString::number(r.logId), SqlText(r.gateId), SqlText(r.guserId),
                                    QString::number(r.logType), DateLiteral(logDt), DateLiteral(now),
                                    DateLiteral(now)});
        if (!WriteWithFlag(sql, r.logId, flag))
            return false;
    }

    if (r.gauthType < 1 || r.gauthType > 3)
        r.gauthType = 0;
    const bool exitGate = r.gateMode == gate_mode::Exit;
    const QString direction = QString::fromUtf8(exitGate ? gate_mode::ExitWord : gate_mode::EntryWord);
    if (r.logType == kLogTypeAdmitted)
        r.logMessage = QString::fromUtf8(exitGate ? "退室しました。" : "入室しました。");

    if (!(flag & write_ok::PlusWritten)) {
        flag |= write_ok::PlusWritten;
        const QString sql = Values(
            QStringLiteral("INSERT INTO log_telmar_plus"),
            {QString::number(r.logId), DateLiteral(logDt), QString::number(r.logType), SqlText(r.logMessage),
             SqlText(r.guserId), SqlText(r.userId), SqlText(r.userName), SqlText(r.empId), SqlText(r.empName),
             SqlText(r.gateId), SqlText(r.gateName), SqlText(direction), SqlText(r.ipAddr), SqlText(r.zoneName),
             SqlText(r.gauthTypeName), QString::number(r.gauthType), DateLiteral(now), DateLiteral(now)});
        if (!WriteWithFlag(sql, r.logId, flag))
            return false;
    }

    if (!(flag & write_ok::FileWritten)) {
        if (!WriteFile(r, direction))
            return false;
        flag |= write_ok::FileWritten;
        if (!WriteWithFlag(QString(), r.logId, flag))
            return false;
    }
    m_lastError.clear();
    return true;
}

bool LogProcessor::WriteFile(const Row &r, const QString &direction)
{
    QSqlQuery q = m_db.Query(QStringLiteral("SELECT * FROM t_autolog_info WHERE id = 1"));
    if (!q.isActive())
        return Fail(m_db.LastError());
    if (!q.next())
        return true; // no settings row: nothing is configured to be written
    const QString path = q.value(QStringLiteral("file_path")).toString().trimmed();
    const int mode = q.value(QStringLiteral("log_mode")).toInt();
    bool item[14] = {};
    for (int i = 1; i <= 13; ++i)
        item[i] = q.value(QStringLiteral("item_%1").arg(i)).toInt() == 1;
    q.finish();
    if (!LogModeIncludes(mode, r.logType))
        return true;

    QString line = r.logDt.toString(QStringLiteral("yyyy/MM/dd,HH:mm:ss"));
    const QString values[] = {QString::number(r.logType), r.logMessage, r.userId,   r.userName,
                              r.empId,                    r.empName,    r.gateId,   r.gateName,
                              direction,                  r.ipAddr,     r.zoneName, r.gauthTypeName};
    for (int i = 1; i <= 12; ++i)
        if (item[i])
            line += u',' + values[i - 1];
    line += QStringLiteral("\r\n");
    if (!AppendExclusive(SitePath(path), ToSjis(line))) {
        if (m_display)
            m_display(QStringLiteral("Log File Write error"));
        return Fail(QString::fromUtf8(kLogFileErrorText));
    }
    return true;
}

} // namespace harvester
