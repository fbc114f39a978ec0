#include "PermitRules.h"

#include "GateRules.h"
#include "ModeRules.h"

#include "MsgBox.h"
#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "gatecomm/ConsoleGateLock.h"
#include "gatecomm/TcpCom.h"
#include "GateLock.h"
#include "rdo_cntl.h"

#include <QCoreApplication>

#include <algorithm>

namespace {
QString Msg(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

bool WritePermit(const QString &userId, const QString &gateId, int syncFlag, bool insertFirst)
{
    try {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.t_gate_permit"));
        if (insertFirst) {
            db.SetData(QStringLiteral("user_id"), userId, true, true);
            db.SetData(QStringLiteral("gate_id"), gateId, true);
            db.SetData(QStringLiteral("sync_flag"), syncFlag);
            db.SetData(QStringLiteral("use_flag"), orvel::use_flag::InUse);
            if (db.InsertData())
                return true;
        }
        db.SetData(QStringLiteral("sync_flag"), syncFlag, false, true);
        if (insertFirst)
            db.SetData(QStringLiteral("use_flag"), orvel::use_flag::InUse);
        db.SetData(QStringLiteral("user_id"), userId, true);
        db.SetData(QStringLiteral("gate_id"), gateId, true);
        return db.UpdateData();
    } catch (const RdoError &) {
        return false;
    }
}

void ReportRegistFailed()
{
    MsgBox::Show(Msg("登録に失敗しました。"), QMessageBox::Ok, QMessageBox::Warning);
}

} // namespace

// A successful send: a withdrawn permit is gone, any other is now in step.
bool PermitRules::CompleteRow(const SendRow &row)
{
    if (row.syncFlag == orvel::sync_flag::ToDelete) {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("telmar_v1.t_gate_permit"));
        db.setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(row.gateId));
        db.setWhereS(QStringLiteral("user_id = ") + orvel::SqlText(row.user.user_id));
        // A row that could not be deleted stays marked and is withdrawn again by the next send.
        db.DeleteData();
        return false;
    }
    if (!WritePermit(row.user.user_id, row.gateId, orvel::sync_flag::InStep, false)) {
        ReportRegistFailed();
        return false;
    }
    return true;
}

void PermitRules::ReleaseReported(const QString &gateId)
{
    if (!ConsoleGateLock().UnlockGate(gateId, GateRules::kUnlockSec))
        MsgBox::Show(Msg("ゲートアクセスへのロックを解除出来ません。"), QMessageBox::Ok, QMessageBox::Warning);
}
bool PermitRules::SetPermitState(const QString &userId, const QString &gateId, int syncFlag)
{
    return WritePermit(userId, gateId, syncFlag, false);
}

bool PermitRules::AddPermit(const QString &userId, const QString &gateId)
{
    return WritePermit(userId, gateId, orvel::sync_flag::ToWrite, true);
}

bool PermitRules::WithdrawPermit(const QString &userId, const QString &gateId)
{
    return WritePermit(userId, gateId, orvel::sync_flag::ToDelete, false);
}

bool PermitRules::SendEnabled(int mode, bool screenCondition, const QStringList &syncDisps)
{
    if (mode != ModeDetails || !screenCondition)
        return false;
    const QString done = Msg("済");
    return std::any_of(syncDisps.cbegin(), syncDisps.cend(), [&](const QString &d) { return d != done; });
}

PermitRules::SendEnd PermitRules::SendRows(const QList<SendRow> &rows, bool lockEachGate,
                                           const std::function<void(const SendRow &, bool)> &rowDone)
{
    for (const SendRow &row : rows) {
        if (row.syncFlag == orvel::sync_flag::InStep)
            continue;
        if (lockEachGate) {
            if (!ConsoleGateLock().LockGate(row.gateId, GateRules::kLockSec))
                continue; // another program is at the gate: the row stays marked for the next send
            if (!TcpCheckDevice(row.ipAddr, row.portNo)) {
                MsgBox::Show(Msg("ゲートへの接続に失敗しました。ゲートの接続を確認してください。"), QMessageBox::Ok,
                             QMessageBox::Warning);
                ReleaseReported(row.gateId);
                continue;
            }
        }
        if (!SendUserRequest(static_cast<qint16>(row.syncFlag), row.ipAddr, row.portNo, row.gateId, row.user, true)) {
            if (lockEachGate)
                ReleaseReported(row.gateId);
            return SendEnd::RequestFailed;
        }
        const bool inStep = CompleteRow(row);
        if (rowDone)
            rowDone(row, inStep);
        QCoreApplication::processEvents();
        if (lockEachGate)
            ReleaseReported(row.gateId);
    }
    return SendEnd::Completed;
}
