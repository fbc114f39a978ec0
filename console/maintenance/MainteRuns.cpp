#include "MainteRuns.h"

#include "ErrorLog.h"
#include "ConsoleTiming.h"
#include "MainteSettings.h"
#include "Notices.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "gatecomm/GUserCtrl.h"
#include "gatecomm/GateLockScope.h"
#include "gatecomm/TcpCom.h"
#include "masterdata/PermitRules.h"
#include "rdo_cntl.h"

#include <QCoreApplication>

namespace orvel::mainte {
namespace {

const QString kDone = QStringLiteral("完了");
const QString kFailed = QStringLiteral("失敗");

// Loads the gates in use into grid with the given extra columns after gate_id.
void LoadGates(RdoGridControl &grid, const QStringList &columns)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    db.setWhere(QStringLiteral("use_flag = 1"));
    db.setOrder(QStringLiteral("gate_id asc"));
    db.SetField(QStringLiteral("gate_id"), QStringLiteral("00000"), false, true);
    for (const QString &c : columns)
        db.SetField(c);
    db.LoadGrid(&grid, -1);
}

} // namespace

void PurgeOldLogs(const QDate &today)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.set_mainte"));
        db.setWhere(QStringLiteral("mainte_id = 1"));
        const qint16 days = static_cast<qint16>(db.GetData(QStringLiteral("logtel_leave_days")).toString().toInt());
        const QString cutOff = today.addDays(-days).toString(QStringLiteral("yyyy/MM/dd")) + QStringLiteral(" 00:00:00");
        for (const char *table : {"telmar_v1.log_telmar_plus", "telmar_v1.log_telmar_raw"}) {
            rdo_cntl del;
            del.setDataSource(QLatin1String(table));
            del.setWhere(QStringLiteral("log_dt < #") + cutOff + u'#');
            del.DeleteData();
        }
    } catch (const RdoError &) {
        // Not reported: the next run purges again.
    }
}

bool AutoLogFileUnusable()
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_vb.t_autolog_info"));
        db.setWhere(QStringLiteral("id = 1"));
        if (db.GetData(QStringLiteral("log_mode")).toString().toInt() == 0)
            return false;
        return !CanAppendTo(db.GetData(QStringLiteral("file_path")).toString());
    } catch (const RdoError &) {
        return false;
    }
}

void TestGateConnections(RdoGridControl &grid)
{
    LoadGates(grid, {QStringLiteral("ip_addr"), QStringLiteral("port_no")});
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        QCoreApplication::processEvents();
        const QString gateId = grid.textMatrix(r, 0);
        const QString ip = grid.textMatrix(r, 1);
        const QString port = QString::number(grid.textMatrix(r, 2).toInt());
        const GateLockScope lock(gateId);
        if (!lock) {
            grid.setTextMatrix(r, 2, kFailed);
            continue;
        }
        if (TcpCheckDevice(ip, port)) {
            grid.setTextMatrix(r, 2, kDone);
        } else {
            grid.setTextMatrix(r, 2, kFailed);
            WriteErrorLog(errcode::StartupGateError, QStringLiteral("ゲート接続エラー[") + gateId + u']');
            notices::GateFailed(gateId);
        }
    }
}

void SetGateClocks(RdoGridControl &grid)
{
    LoadGates(grid, {QStringLiteral("ip_addr"), QStringLiteral("port_no")});
    for (int r = grid.fixedRows(); r < grid.rows(); ++r) {
        QCoreApplication::processEvents();
        const QString gateId = grid.textMatrix(r, 0);
        const GateLockScope lock(gateId);
        if (!lock) {
            grid.setTextMatrix(r, 2, kFailed);
            continue;
        }
        const bool ok = TcpSetDeviceTime(grid.textMatrix(r, 1), grid.textMatrix(r, 2));
        grid.setTextMatrix(r, 2, ok ? kDone : kFailed);
    }
}

QStringList RewriteGateUsers(RdoGridControl &gates, RdoGridControl &permits)
{
    QStringList failed;
    auto fail = [&failed](const QString &name) {
        if (!failed.contains(name))
            failed << name;
    };
    LoadGates(gates, {QStringLiteral("ip_addr"), QStringLiteral("port_no"), QStringLiteral("gate_name")});
    for (int g = gates.fixedRows(); g < gates.rows(); ++g) {
        QCoreApplication::processEvents();
        const QString gateId = gates.textMatrix(g, 0);
        const QString ip = gates.textMatrix(g, 1);
        const QString port = gates.textMatrix(g, 2);
        const QString name = gates.textMatrix(g, 3);
        rdo_cntl list;
        list.setDataSource(QStringLiteral("telmar_v1.v_gate_user_list"));
        list.setWhere(QStringLiteral("gate_id = ") + SqlText(gateId));
        list.setOrder(QStringLiteral("user_id ASC"));
        list.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), false, true);
        list.SetField(QStringLiteral("guser_id"));
        list.SetField(QStringLiteral("gauthority"));
        list.SetField(QStringLiteral("gauth_type"));
        list.SetField(QStringLiteral("sync_flag"));
        QList<PermitRules::SendRow> rows;
        PermitRules::SendPolicy policy;
        policy.lock = PermitRules::SendPolicy::Lock::WholeGate;
        policy.gateId = gateId;
        policy.ipAddr = ip;
        policy.portNo = port;
        policy.checkGate = false;
        policy.unattended = true;
        policy.lockSec = Timing().mainteGateLockSec;
        PermitRules::SendHooks hooks;
        // Under the gate's lock: the gate is cleaned of users it does not permit, then its
        // permits are read and every user written again.
        hooks.underLock = [&] {
            if (!SendGateCleanRequest(ip, port))
                return false;
            list.LoadGrid(&permits, -1);
            for (int p = permits.fixedRows(); p < permits.rows(); ++p) {
                PermitRules::SendRow row;
                row.gateId = gateId;
                row.ipAddr = ip;
                row.portNo = port;
                row.user.user_id = permits.textMatrix(p, 0);
                row.user.guser_id = permits.textMatrix(p, 1);
                row.user.gauthority = static_cast<qint16>(permits.textMatrix(p, 2).toInt());
                row.user.gauth_type = static_cast<qint16>(permits.textMatrix(p, 3).toInt());
                row.syncFlag = permits.textMatrix(p, 4).toInt();
                rows << row;
            }
            return true;
        };
        hooks.tell = [](const QString &text) { notices::Tell(text); };
        const PermitRules::SendEnd end = PermitRules::SendRows(rows, policy, hooks);
        // A gate whose lock is held elsewhere is passed over silently; any other end but a
        // completed one leaves the gate's remaining permits marked and names the gate.
        if (end == PermitRules::SendEnd::Stopped || end == PermitRules::SendEnd::RequestFailed)
            fail(name);
    }
    return failed;
}

QString FailedGatesMessage(const QStringList &gateNames)
{
    QString text = QStringLiteral("日次処理中にエラーが発生しました｡次のゲートの通行許可ユーザを確認してください。");
    for (const QString &name : gateNames)
        text += QStringLiteral("\r\n\tゲート名：") + name;
    return text;
}

} // namespace orvel::mainte
