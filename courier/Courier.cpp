#include "Courier.h"

#include "ErrorLog.h"
#include "IniFile.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "SqlDialect.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <cstring>

using namespace orvel;

namespace {

constexpr int kPaddedPrefixLen = 22;

inline int Low16(int status)
{
    return status & 0xFFFF;
}

// Gate user IDs travel as NUL-terminated text of at most 47 characters.
void CopyId(char *dst, const QString &id)
{
    const QByteArray b = id.toLatin1().left(GATE_ID_LEN - 1);
    std::memset(dst, 0, GATE_ID_LEN);
    std::memcpy(dst, b.constData(), static_cast<size_t>(b.size()));
}

} // namespace

int CourierTickMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ORVEL_COURIER_TICK_MS", &ok);
    return ok && ms > 0 ? ms : 1000;
}

int CourierRequestPollMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("ORVEL_COURIER_REQUEST_POLL_MS", &ok);
    return ok && ms > 0 ? ms : 200;
}

Courier::Courier(int edition, QObject *parent)
    : QObject(parent), m_edition(edition), m_db(QStringLiteral("courier")), m_ctrl(m_db, srv::Courier),
      m_stateText(QString::fromUtf8(srv::TextRunning))
{
    m_templateFile = SitePath(ReadServiceIni(IniFile::Load(OrvelIniPath())).templateFile);
    m_tickMs = CourierTickMs();
    m_timer.setSingleShot(true);
    m_timer.setInterval(m_tickMs);
    connect(&m_timer, &QTimer::timeout, this, &Courier::Tick);
    // Waiting for the tick (not idle for want of libraries, not in a tick): look at once.
    connect(&m_wake, &orvel::WakeListener::Woken, this, [this] {
        if (m_timer.isActive())
            m_timer.start(0);
    });
    m_requestPoll.setInterval(CourierRequestPollMs());
    connect(&m_requestPoll, &QTimer::timeout, this, &Courier::PollRequest);
}

void Courier::PollRequest()
{
    // Only while waiting for the tick; the tick itself reports what a failed read means.
    if (!m_timer.isActive() || m_timer.remainingTime() == 0 || !m_db.IsOpen())
        return;
    QSqlQuery q = m_db.Query(QStringLiteral("SELECT req_id FROM t_userreq WHERE result = 0"));
    if (q.isActive() && q.next())
        m_timer.start(0);
}

void Courier::ReportMissing(const GateLibLoader &lib)
{
    const QString what = !lib.MissingLibrary().isEmpty()
                             ? QStringLiteral("ライブラリを読み込めません：") + lib.MissingLibrary()
                             : QStringLiteral("エントリポイントがありません：") + lib.MissingEntry();
    const QString line = QCoreApplication::applicationName() + QStringLiteral(": ") + what;
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    WriteErrorLog(kCourierLibraryMissing, line);
}

bool Courier::Start()
{
    if (!m_serial.Load(QStringLiteral("libhostcom.so"), QStringLiteral("serial_"))) {
        ReportMissing(m_serial);
        return false;
    }
    if (!m_tcp.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("tcp_"))) {
        ReportMissing(m_tcp);
        return false;
    }
    m_tcp.Fn().SetIdStringFormat(1);
    // A database that cannot be opened now is reported through the state of the first ticks.
    if (!m_db.Open())
        m_lastError = m_db.LastError();
    // Several PCs share only a server database; on SQLite the wake-up reaches every console.
    if (m_db.Backend() == DbBackend::PostgreSQL && CourierRequestPollMs() < m_tickMs)
        m_requestPoll.start();
    m_timer.start(m_tickMs);
    return true;
}

void Courier::Tick()
{
    m_timer.stop();

    SrvRequest ctrl;
    if (m_ctrl.Pending(&ctrl)) {
        if (ctrl.reqCmd == srv::CourierStatus) {
            if (m_ctrl.Answer(m_state, m_stateText))
                m_stateReported = true;
        } else if (ctrl.reqCmd == srv::CourierStop) {
            m_state = 0;
            m_stateText = QString::fromUtf8(srv::TextEnded);
            m_ctrl.Answer(0, m_stateText);
            emit Finished();
            return;
        }
    } else {
        // Pending() does not tell "nothing pending" from "row unreadable"; a plain read does.
        QSqlQuery probe = m_db.Query(QStringLiteral("SELECT server_id from t_srv_ctrl WHERE server_id = %1")
                                         .arg(srv::Courier));
        if (!probe.isActive())
            m_lastError = m_db.LastError();
    }

    Request req;
    if (!ReadRequest(&req)) {
        if (!m_lastError.isEmpty()) {
            m_state = srv::ResultDbError;
            m_stateText = m_lastError;
        } else if ((m_state == srv::ResultGateError || m_state == srv::ResultUpdateError) && !m_stateReported) {
            // A failed request's state stands until a status check has reported it: the console
            // asks every few seconds, and an idle tick would otherwise wipe it within one tick.
        } else {
            m_state = srv::ResultRunning;
            m_stateText = QString::fromUtf8(srv::TextRunning);
        }
        m_timer.start(m_tickMs);
        return;
    }
    RecordOutcome(req, CarryOut(req));
    // The console waiting for this result is woken, and the next request, if one is already
    // written, is looked for at once.
    Wake(QLatin1String(kWakeUserRequestDone));
    m_timer.start(0);
}

bool Courier::ReadRequest(Request *req)
{
    QSqlQuery q = m_db.Query(QStringLiteral("SELECT * from t_userreq WHERE result = 0"));
    if (!q.isActive()) {
        m_lastError = m_db.LastError();
        return false;
    }
    if (!q.next())
        return false;
    req->ipAddr = q.value(QStringLiteral("ip_addr")).toString();
    req->port = q.value(QStringLiteral("port_no")).toString().trimmed().toInt();
    req->reqCmd = q.value(QStringLiteral("req_cmd")).toInt();
    req->userId = q.value(QStringLiteral("user_id")).toString();
    req->guserId = q.value(QStringLiteral("guser_id")).toString().left(GATE_ID_LEN - 1);
    req->gauthority = q.value(QStringLiteral("gauthority")).toInt();
    req->gauthType = q.value(QStringLiteral("gauth_type")).toInt();
    q.finish();
    LoadTemplates(req);
    return true;
}

void Courier::LoadTemplates(Request *req)
{
    // A row still marked edit_flag 1 has no completely written template behind it: never send it.
    QSqlQuery q = m_db.Query(QStringLiteral("SELECT * from l_fptpl WHERE user_id=") + SqlText(req->userId) +
                             QStringLiteral(" AND edit_flag = %1").arg(edit_flag::Complete));
    if (!q.isActive()) {
        m_lastError = m_db.LastError();
        return;
    }
    QList<qint64> ids;
    while (q.next())
        ids << q.value(QStringLiteral("tpl_id")).toLongLong();
    q.finish();
    if (ids.isEmpty())
        return;
    QFile f(m_templateFile);
    const bool open = f.open(QIODevice::ReadOnly);
    for (qint64 id : ids) {
        QByteArray tpl;
        if (open && id >= 1 && f.seek((id - 1) * kTemplateBytes))
            tpl = f.read(kTemplateBytes);
        if (tpl.size() != kTemplateBytes) {
            m_lastError = QStringLiteral("TPL File Read error");
            continue;
        }
        req->templates << tpl;
    }
}

template <typename Op>
int Courier::OnGate(const Request &req, Op op)
{
    const GateLibFunctions &fn = m_tcp.Fn();
    const QByteArray addr = req.ipAddr.toLatin1();
    if (Low16(fn.ConnectDevice(addr.constData(), req.port)) != 0)
        return userreq::DetailConnectFailed;
    GateUnit unit{};
    int code = userreq::DetailPollFailed;
    if (Low16(fn.PollDevice(&unit)) == 0)
        code = op(unit);
    fn.DisConnectDevice();
    return code;
}

int Courier::CarryOut(const Request &req)
{
    switch (req.reqCmd) {
    case userreq::WriteUser:
        return WriteUser(req);
    case userreq::DeleteUser: {
        const int code = DeleteUser(req, req.guserId);
        if (code != userreq::DetailOk && code != userreq::DetailUserNotOnGate)
            return code;
        if (!req.guserId.startsWith(QLatin1String(kFelicaPlaceholderPrefix)))
            DeleteUser(req, QLatin1String(kFelicaPlaceholderPrefix) + req.userId);
        return userreq::DetailOk;
    }
    case userreq::CleanGate:
        return CleanGate(req);
    default:
        return req.reqCmd; // an unknown request is echoed back as its failure code
    }
}

int Courier::DeleteUser(const Request &req, const QString &guserId)
{
    const GateLibFunctions &fn = m_tcp.Fn();
    return OnGate(req, [&](GateUnit &unit) {
        char id[GATE_ID_LEN];
        CopyId(id, guserId);
        if (Low16(fn.QueryUserProfileExistence(&unit, id)) != 0)
            return userreq::DetailUserNotOnGate;
        if (Low16(fn.DeleteWholeUserProfileRecord(&unit, id)) != 0)
            return userreq::DetailGeneralFailure;
        return userreq::DetailOk;
    });
}

int Courier::WriteUser(const Request &req)
{
    const GateLibFunctions &fn = m_tcp.Fn();
    // The user is rewritten from scratch: old profiles under the card ID and the ID of a user
    // without a card both go first (a user may have changed between the two).
    DeleteUser(req, req.guserId);
    if (!req.guserId.startsWith(QLatin1String(kFelicaPlaceholderPrefix)))
        DeleteUser(req, QLatin1String(kFelicaPlaceholderPrefix) + req.userId);

    const int admin = req.gauthority == gauthority::Admin ? 1 : 0;
    switch (req.gauthType) {
    case gauth_type::Fingerprint:
    case gauth_type::Both: {
        GateFingerprintProfile p{};
        CopyId(p.user_id, req.guserId);
        p.admin_flag = admin;
        p.enroll_mode = req.gauthType == gauth_type::Fingerprint ? GATE_ENROLL_FINGERPRINT : GATE_ENROLL_FINGER_OR_CARD;
        p.constant2 = 2;
        for (const QByteArray &tpl : req.templates) {
            const auto *bytes = reinterpret_cast<const uint8_t *>(tpl.constData());
            const int code = OnGate(req, [&](GateUnit &unit) {
                return Low16(fn.DownloadUserProfileFingerprintTemplate(&unit, &p, bytes, bytes + GATE_TEMPLATE_HALF));
            });
            if (code != 0)
                return code;
        }
        return userreq::DetailOk;
    }
    case gauth_type::Card:
        return OnGate(req, [&](GateUnit &unit) {
            GateCardProfile p{};
            CopyId(p.user_id, req.guserId);
            p.admin_flag = admin;
            if (Low16(fn.QueryUserProfileExistence(&unit, p.user_id)) == 0)
                return userreq::DetailUserExists;
            return Low16(fn.DownloadUserProfileCardOnly(&unit, &p));
        });
    default:
        return userreq::WriteUser;
    }
}

int Courier::CleanGate(const Request &req)
{
    const GateLibFunctions &fn = m_tcp.Fn();
    GateSummary summary{};
    int code = OnGate(req, [&](GateUnit &unit) {
        return Low16(fn.QueryRecordsSummary(&unit, &summary)) == 0 ? 0 : userreq::DetailGeneralFailure;
    });
    if (code != 0)
        return code;

    // Whole lists are read first (their size is whatever the gate holds), then the IDs the
    // database does not permit at this gate are deleted one by one.
    auto cleanList = [&](GATELIB_GetProfileIdByIndex_FN byIndex, int count) {
        QStringList ids;
        int rc = OnGate(req, [&](GateUnit &unit) {
            for (int i = 1; i <= count; ++i) {
                char id[GATE_ID_LEN] = {};
                if (Low16(byIndex(&unit, i, id)) != 0)
                    return userreq::DetailUserListFailed;
                id[GATE_ID_LEN - 1] = '\0';
                ids << QString::fromLatin1(id);
            }
            return 0;
        });
        if (rc != 0)
            return rc;
        for (const QString &id : std::as_const(ids)) {
            QSqlQuery q = m_db.Query(QStringLiteral("SELECT * from v_gate_user_list WHERE ip_addr = %1 AND guser_id = %2")
                                         .arg(SqlText(req.ipAddr), SqlText(id)));
            // An ID whose permit cannot be looked up is left alone rather than deleted.
            if (!q.isActive() || q.next())
                continue;
            q.finish();
            rc = DeleteUser(req, id);
            if (rc != 0)
                return rc;
        }
        return 0;
    };
    code = cleanList(fn.GetMasterProfileIdByIndex, summary.master_count);
    if (code == 0)
        code = cleanList(fn.GetUserProfileIdByIndex, summary.user_count);
    if (code != 0)
        return code;
    return OnGate(req, [&](GateUnit &unit) {
        return Low16(fn.DeleteAllUnassignUserId(&unit)) == 0 ? 0 : userreq::DetailGeneralFailure;
    });
}

void Courier::RecordOutcome(const Request &req, int code)
{
    if (code == userreq::DetailOk) {
        m_state = srv::ResultRunning;
        m_stateText = QString::fromUtf8(srv::TextRunning);
    } else if (code == userreq::DetailConnectFailed || code == userreq::DetailPollFailed) {
        m_state = srv::ResultGateError;
        m_stateText = QStringLiteral("<<< Device ERROR-[%1] >>>").arg(req.ipAddr);
    } else {
        m_state = srv::ResultUpdateError;
        m_stateText = QStringLiteral("更新エラー[%1]").arg(code);
    }
    m_stateReported = false;
    // A failed update leaves the request pending; it is carried out again on the next tick.
    m_db.Exec(QStringLiteral("UPDATE t_userreq SET result = %1, detail = %2")
                  .arg(code == userreq::DetailOk ? userreq::ResultDone : userreq::ResultFailed)
                  .arg(code));
}
