#include "PermitRules.h"

#include "ModeRules.h"

#include "OrvelDefs.h"
#include "SqlDialect.h"
#include "gatecomm/GateLockScope.h"
#include "gatecomm/TcpCom.h"
#include "rdo_cntl.h"

#include <QCoreApplication>

#include <algorithm>
#include <optional>

namespace {

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

// A withdrawn permit that went through is deleted; a row that could not be deleted stays marked
// and is withdrawn again by the next send.
void DeletePermit(const PermitRules::SendRow &row)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.t_gate_permit"));
    db.setWhere(QStringLiteral("gate_id = ") + orvel::SqlText(row.gateId));
    db.setWhereS(QStringLiteral("user_id = ") + orvel::SqlText(row.user.user_id));
    db.DeleteData();
}

using namespace PermitRules;

class Run
{
public:
    Run(const SendPolicy &policy, const SendHooks &hooks) : m_policy(policy), m_hooks(hooks) {}

    void Tell(const QString &text) const
    {
        if (m_hooks.tell)
            m_hooks.tell(text);
    }
    GateLockScope::Report ReleaseReport() const
    {
        return [this] { Tell(GateUnlockFailedText()); };
    }

    // One row under its gate's lock (taken by the caller of this function).
    RowEnd SendOne(const SendRow &row) const
    {
        const bool show = !m_policy.unattended;
        if (m_policy.unattended) {
            // The user is deleted from the gate first; a withdrawn permit ends there.
            if (!SendUserRequest(kRequestDelete, row.ipAddr, row.portNo, row.gateId, row.user, false))
                return RowEnd::RequestFailed;
            if (row.syncFlag == orvel::sync_flag::ToDelete) {
                DeletePermit(row);
                return RowEnd::Withdrawn;
            }
            SetPermitState(row.user.user_id, row.gateId, orvel::sync_flag::ToWrite);
            if (!SendUserRequest(kRequestWrite, row.ipAddr, row.portNo, row.gateId, row.user, false))
                return RowEnd::RequestFailed; // the permit stays 1 and is sent again
            // Unattended: a permit whose state cannot be written stays 1 and is sent again.
            return SetPermitState(row.user.user_id, row.gateId, orvel::sync_flag::InStep) ? RowEnd::Sent
                                                                                            : RowEnd::StateNotSaved;
        }
        if (!SendUserRequest(static_cast<qint16>(row.syncFlag), row.ipAddr, row.portNo, row.gateId, row.user, show))
            return RowEnd::RequestFailed;
        if (row.syncFlag == orvel::sync_flag::ToDelete) {
            DeletePermit(row);
            return RowEnd::Withdrawn;
        }
        if (!SetPermitState(row.user.user_id, row.gateId, orvel::sync_flag::InStep)) {
            Tell(QStringLiteral("登録に失敗しました。"));
            return RowEnd::StateNotSaved;
        }
        return RowEnd::Sent;
    }

    SendEnd Rows(const QList<SendRow> &rows) const
    {
        const bool eachRow = m_policy.lock == SendPolicy::Lock::EachRow;
        for (int i = 0; i < rows.size(); ++i) {
            const SendRow &row = rows[i];
            if (row.syncFlag == orvel::sync_flag::InStep && !m_policy.unattended) {
                Done(i, RowEnd::InStep);
                continue;
            }
            if (m_hooks.beforeRow && !m_hooks.beforeRow())
                return SendEnd::Stopped;
            RowEnd end;
            if (eachRow) {
                const GateLockScope lock(row.gateId, GateLockScope::Release::Once, ReleaseReport(), m_policy.lockSec);
                if (!lock) {
                    Done(i, RowEnd::LockBusy); // another program is at the gate: the row stays marked
                    continue;
                }
                if (m_policy.checkGate && !TcpCheckDevice(row.ipAddr, row.portNo) && m_policy.honourGateCheck) {
                    Tell(QStringLiteral("ゲートへの接続に失敗しました。ゲートの接続を確認してください。"));
                    Done(i, RowEnd::GateUnreachable);
                    continue;
                }
                end = SendOne(row);
            } else {
                end = SendOne(row);
            }
            Done(i, end);
            if (end == RowEnd::RequestFailed && !(m_hooks.afterFailure && m_hooks.afterFailure(i)))
                return SendEnd::RequestFailed;
        }
        return SendEnd::Completed;
    }

    SendEnd WholeGate(const QList<SendRow> &rows) const
    {
        GateLockScope lock(m_policy.gateId,
                           m_policy.releaseUntilDone ? GateLockScope::Release::UntilDone : GateLockScope::Release::Once,
                           ReleaseReport(), m_policy.lockSec);
        if (!lock)
            return SendEnd::LockFailed;
        if (m_hooks.underLock && !m_hooks.underLock())
            return SendEnd::Stopped;
        if (m_policy.checkGate) {
            // Wakes the gate; with the whole gate held, the requests themselves decide unless the
            // policy honours the check.
            if (!TcpCheckDevice(m_policy.ipAddr, m_policy.portNo) && m_policy.honourGateCheck) {
                Tell(QStringLiteral("ゲートへの接続に失敗しました。ゲートの接続を確認してください。"));
                return SendEnd::Stopped;
            }
        }
        return Rows(rows);
    }

private:
    void Done(int index, RowEnd end) const
    {
        if (m_hooks.rowDone)
            m_hooks.rowDone(index, end);
        QCoreApplication::processEvents(); // the screen repaints between rows
    }

    const SendPolicy &m_policy;
    const SendHooks &m_hooks;
};

} // namespace

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
    const QString done = QStringLiteral("済");
    return std::any_of(syncDisps.cbegin(), syncDisps.cend(), [&](const QString &d) { return d != done; });
}

PermitRules::SendEnd PermitRules::SendRows(const QList<SendRow> &rows, const SendPolicy &policy,
                                           const SendHooks &hooks)
{
    const Run run(policy, hooks);
    return policy.lock == SendPolicy::Lock::WholeGate ? run.WholeGate(rows) : run.Rows(rows);
}
