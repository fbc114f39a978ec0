#include "GUserCtrl.h"

#include "ConsoleTiming.h"
#include "ConsoleWait.h"
#include "ErrorLog.h"
#include "Notices.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "TcpCom.h"
#include "Wakeup.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSysInfo>

#include <algorithm>
#include <optional>

namespace {

constexpr int kPasses = 3;
constexpr int kSendsPerPass = 10;

struct Outcome
{
    int result = 0;
    QString detail;
};

rdo_cntl &RequestRow(rdo_cntl &db)
{
    db.setDataSource(QStringLiteral("telmar_v1.t_userreq"));
    db.setWhere(QStringLiteral("req_id = ") + QString::number(orvel::userreq::RowId));
    return db;
}

// The request row is shared by every console of the site, on one PC or several. A console claims
// it with one conditional UPDATE: the row is free once the request in it has been answered and
// its console has read the answer (req_cmd 0), or when an answer has stood unread for
// Timing().userReqClaimStaleMs (its console is gone). The claim writes a token into detail, which
// the service overwrites with its outcome; the service reads and answers the row as it always has.
struct Request
{
    int reqCmd = 0;
    QString ipAddr, portNo, userId, guserId;
    int gauthority = 1;
    int gauthType = 0;

    QString Matches() const
    {
        return QStringLiteral("req_cmd = %1 AND ip_addr = %2 AND port_no = %3 AND user_id = %4 AND guser_id = %5")
            .arg(reqCmd)
            .arg(orvel::SqlText(ipAddr), orvel::SqlText(portNo), orvel::SqlText(userId), orvel::SqlText(guserId));
    }
};

struct RowState
{
    bool ok = false;
    QString reqCmd, ipAddr, portNo, userId, guserId, result, detail;
    bool operator==(const RowState &) const = default;
};

RowState ReadRow(rdo_cntl &db)
{
    RowState r;
    try {
        // One row of text columns, joined so that one round trip reads them all.
        const QString joined = db.ExecFunction(QStringLiteral("SELECT req_cmd || '|' || coalesce(ip_addr, '') || '|' || "
                                                              "coalesce(port_no, '') || '|' || coalesce(user_id, '') || '|' || "
                                                              "coalesce(guser_id, '') || '|' || result || '|' || "
                                                              "coalesce(detail, '') FROM t_userreq WHERE req_id = %1")
                                                   .arg(orvel::userreq::RowId))
                                   .toString();
        const QStringList f = joined.split(u'|');
        if (f.size() != 7)
            return r;
        r = RowState{true, f[0], f[1], f[2], f[3], f[4], f[5], f[6]};
    } catch (...) {
    }
    return r;
}

QString NewToken()
{
    static int serial = 0;
    // Unique among the consoles of a site: host, process and a serial, at most 20 characters.
    const QByteArray host = QSysInfo::machineUniqueId().isEmpty() ? QSysInfo::machineHostName().toUtf8()
                                                                  : QSysInfo::machineUniqueId();
    const quint32 h = qHash(host);
    return QStringLiteral("c%1.%2.%3")
        .arg(h % 100000u)
        .arg(QCoreApplication::applicationPid() % 10000000)
        .arg(++serial % 1000)
        .left(20);
}

// Claims the row for req and writes it; false when the row stayed taken for as long as a request
// may wait for its answer.
bool ClaimRow(rdo_cntl &db, const Request &req, orvel::WakeListener &answered)
{
    const QString token = NewToken();
    const QString set = QStringLiteral("UPDATE t_userreq SET req_cmd = %1, ip_addr = %2, port_no = %3, user_id = %4, "
                                       "guser_id = %5, gauthority = %6, gauth_type = %7, result = %8, detail = %9 "
                                       "WHERE req_id = %10 AND ")
                            .arg(req.reqCmd)
                            .arg(orvel::SqlText(req.ipAddr), orvel::SqlText(req.portNo), orvel::SqlText(req.userId),
                                 orvel::SqlText(req.guserId))
                            .arg(req.gauthority)
                            .arg(req.gauthType)
                            .arg(orvel::userreq::ResultPending)
                            .arg(orvel::SqlText(token))
                            .arg(orvel::userreq::RowId);
    QString condition = QStringLiteral("req_cmd = 0");
    RowState seen;
    QElapsedTimer unchanged;
    unchanged.start();
    for (;;) {
        try {
            db.Execute(set + u'(' + condition + u')');
        } catch (...) {
        }
        const RowState now = ReadRow(db);
        if (now.ok && now.reqCmd == QString::number(req.reqCmd) && now.ipAddr == req.ipAddr &&
            now.portNo == req.portNo && now.userId == req.userId && now.guserId == req.guserId &&
            (now.detail == token || now.result != QLatin1String("0")))
            return true; // ours (answered already, or an identical request that is as good)
        if (!(now == seen)) {
            seen = now;
            unchanged.restart();
        }
        const bool answeredRow = seen.ok && seen.result != QLatin1String("0");
        if (answeredRow && unchanged.elapsed() >= Timing().userReqClaimStaleMs) {
            // Its console is gone: the row is taken over exactly as it was seen.
            condition = QStringLiteral("req_cmd = %1 AND result = %2 AND coalesce(detail, '') = %3 AND "
                                       "coalesce(ip_addr, '') = %4 AND coalesce(user_id, '') = %5")
                            .arg(seen.reqCmd, seen.result, orvel::SqlText(seen.detail), orvel::SqlText(seen.ipAddr),
                                 orvel::SqlText(seen.userId));
            continue;
        }
        condition = QStringLiteral("req_cmd = 0");
        if (!answeredRow && unchanged.elapsed() >= Timing().userReqTimeoutMs)
            return false; // a request nobody answers holds the row
        answered.Wait(Timing().userReqPollMs);
    }
}

// The answer has been read: the row is free for the next request of any console.
void ReleaseRow(rdo_cntl &db, const Request &req)
{
    try {
        db.Execute(QStringLiteral("UPDATE t_userreq SET req_cmd = 0 WHERE req_id = %1 AND result <> 0 AND ")
                       .arg(orvel::userreq::RowId) +
                   req.Matches());
    } catch (...) {
    }
}

// Reads result (and detail) until the service has answered. Between reads window events run
// until the service wakes the console (it does once it has written the result) or the poll
// interval has passed. Nothing when no answer came within the time-out.
std::optional<Outcome> WaitForResult(rdo_cntl &db, orvel::WakeListener &answered)
{
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        Outcome o;
        o.result = db.GetData(QStringLiteral("result")).toInt();
        if (o.result != orvel::userreq::ResultPending) {
            o.detail = db.GetData(QStringLiteral("detail")).toString();
            return o;
        }
        const qint64 left = Timing().userReqTimeoutMs - waited.elapsed();
        if (left <= 0)
            return std::nullopt;
        answered.Wait(int(std::min<qint64>(left, Timing().userReqPollMs)));
    }
}

void ReportNoAnswer(const QString &what, bool showMessages)
{
    const QString text = QStringLiteral("ゲートへの反映要求に応答がありません。");
    orvel::WriteErrorLog(kUserReqNoAnswer, text + what);
    if (showMessages)
        notices::Tell(QStringLiteral("【%1】").arg(kUserReqNoAnswer) + text + QStringLiteral("反映を中止します。") +
                          (what.isEmpty() ? QString() : QStringLiteral("\r\n\tユーザID = ") + what),
                      notices::Tone::Critical);
}

enum class Next { Resend, Failed };

// The send-and-retry budget shared by both requests. decide() is asked after a failed result
// once the gate still answers: Resend, or Failed after it has reported the failure.
template <typename Decide>
bool SendWithRetries(const Request &req, bool showMessages, Decide decide)
{
    const QString &ipAddr = req.ipAddr;
    const QString &portNo = req.portNo;
    const QString &userId = req.userId;
    rdo_cntl db;
    orvel::WakeListener answered(QLatin1String(orvel::kWakeUserRequestDone));
    for (int pass = 0; pass < kPasses; ++pass) {
        if (pass > 0)
            WaitWithEvents(Timing().userReqPassWaitMs);
        for (int send = 1; send <= kSendsPerPass; ++send) {
            answered.TakeWoken(); // a wake-up from an earlier request means nothing now
            if (!ClaimRow(db, req, answered)) {
                ReportNoAnswer(userId, showMessages);
                return false;
            }
            orvel::Wake(QLatin1String(orvel::kWakeUserRequest)); // the service need not wait for its tick
            const std::optional<Outcome> o = WaitForResult(RequestRow(db), answered);
            if (o)
                ReleaseRow(db, req);
            if (!o) {
                ReportNoAnswer(userId, showMessages);
                return false;
            }
            if (o->result == orvel::userreq::ResultDone)
                return true;
            if (send == kSendsPerPass)
                break;
            if (!TcpCheckDevice(ipAddr, portNo))
                return false;
            if (decide(*o) == Next::Failed)
                return false;
        }
    }
    return false;
}

} // namespace

bool SendUserRequest(qint16 kind, const QString &ipAddr, const QString &portNo, const QString &gateId,
                     const GUserRecord &user, bool showMessages)
{
    Q_UNUSED(gateId);
    if (kind < 1 || kind > 3)
        return true;
    const int reqCmd = kind == kRequestDelete ? orvel::userreq::DeleteUser : orvel::userreq::WriteUser;
    Request req;
    req.reqCmd = reqCmd;
    req.ipAddr = ipAddr;
    req.portNo = portNo;
    req.userId = user.user_id;
    req.guserId = user.guser_id;
    req.gauthority = user.gauthority;
    req.gauthType = user.gauth_type;
    auto decide = [&](const Outcome &o) {
        const QString &d = o.detail;
        if (d == QLatin1String("3269") || d == QLatin1String("3278") || d == QLatin1String("3294"))
            return Next::Resend;
        const bool card = user.gauth_type == orvel::gauth_type::Card;
        QString a;
        if (d == QLatin1String("3293"))
            a = card ? QStringLiteral("ユーザ権限のカードの最大登録数を超えています。")
                     : QStringLiteral("ユーザ権限の指紋の最大登録数を超えています。");
        else if (d == QLatin1String("3295"))
            a = card ? QStringLiteral("管理者権限のカードの最大登録数を超えています。")
                     : QStringLiteral("管理者権限の指紋の最大登録数を超えています。");
        else
            a = QStringLiteral("ゲートへの反映中にエラーが発生しました。");
        orvel::WriteErrorLog(d.toInt(), a + user.user_id);
        if (showMessages)
            notices::Tell(QStringLiteral("【") + d + QStringLiteral("】") + a + QStringLiteral("反映を中止します。") +
                              QStringLiteral("\r\n\tユーザID = ") + user.user_id,
                          notices::Tone::Critical);
        return Next::Failed;
    };
    return SendWithRetries(req, showMessages, decide);
}

bool SendGateCleanRequest(const QString &ipAddr, const QString &portNo)
{
    Request req;
    req.reqCmd = orvel::userreq::CleanGate;
    req.ipAddr = ipAddr;
    req.portNo = portNo;
    return SendWithRetries(req, false, [](const Outcome &) { return Next::Resend; });
}
