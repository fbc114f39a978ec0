#include "GUserCtrl.h"

#include "ConsoleTiming.h"
#include "ConsoleWait.h"
#include "ErrorLog.h"
#include "Notices.h"
#include "OrvelDefs.h"
#include "TcpCom.h"
#include "Wakeup.h"
#include "rdo_cntl.h"

#include <QElapsedTimer>

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
template <typename Write, typename Decide>
bool SendWithRetries(const QString &ipAddr, const QString &portNo, const QString &userId, bool showMessages,
                     Write write, Decide decide)
{
    rdo_cntl db;
    orvel::WakeListener answered(QLatin1String(orvel::kWakeUserRequestDone));
    for (int pass = 0; pass < kPasses; ++pass) {
        if (pass > 0)
            WaitWithEvents(Timing().userReqPassWaitMs);
        for (int send = 1; send <= kSendsPerPass; ++send) {
            answered.TakeWoken(); // a wake-up from an earlier request means nothing now
            write(RequestRow(db));
            orvel::Wake(QLatin1String(orvel::kWakeUserRequest)); // the service need not wait for its tick
            const std::optional<Outcome> o = WaitForResult(RequestRow(db), answered);
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
    auto write = [&](rdo_cntl &db) {
        db.SetData(QStringLiteral("req_id"), orvel::userreq::RowId, false, true);
        db.SetData(QStringLiteral("ip_addr"), ipAddr);
        db.SetData(QStringLiteral("user_id"), user.user_id);
        db.SetData(QStringLiteral("guser_id"), user.guser_id);
        db.SetData(QStringLiteral("gauthority"), user.gauthority);
        db.SetData(QStringLiteral("gauth_type"), user.gauth_type);
        db.SetData(QStringLiteral("result"), orvel::userreq::ResultPending);
        db.SetData(QStringLiteral("port_no"), portNo);
        db.SetData(QStringLiteral("req_cmd"), reqCmd);
        db.UpdateDataEx();
    };
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
    return SendWithRetries(ipAddr, portNo, user.user_id, showMessages, write, decide);
}

bool SendGateCleanRequest(const QString &ipAddr, const QString &portNo)
{
    auto write = [&](rdo_cntl &db) {
        db.SetData(QStringLiteral("req_id"), orvel::userreq::RowId, false, true);
        db.SetData(QStringLiteral("req_cmd"), orvel::userreq::CleanGate);
        db.SetData(QStringLiteral("ip_addr"), ipAddr);
        db.SetData(QStringLiteral("result"), orvel::userreq::ResultPending);
        db.SetData(QStringLiteral("port_no"), portNo);
        db.UpdateDataEx();
    };
    return SendWithRetries(ipAddr, portNo, QString(), false, write,
                           [](const Outcome &) { return Next::Resend; });
}
