#pragma once

// Gate permits (t_gate_permit) as both management screens edit and send them, without widgets:
// adding, withdrawing, when the send button may be used, and the one send loop that carries
// marked rows to the gates through the provisioning service under the gate access lock.
//
// sync_flag: 0 in step, 1 to write, 2 to rewrite, 3 to withdraw (the row is deleted once sent).

#include "gatecomm/GUserCtrl.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace PermitRules {

// Adds the permit (sync_flag 1, use_flag 1); an existing row, for instance one waiting to be
// withdrawn, is turned back into a permit to write. False when neither went through.
bool AddPermit(const QString &userId, const QString &gateId);
// Marks the permit to be withdrawn from the gate (sync_flag 3); the row stays until sent.
bool WithdrawPermit(const QString &userId, const QString &gateId);

// Whether the send button may be used: mode 3, the screen's own condition (user screen: only
// gates in use listed; gate screen: the gate in use) and a listed row not yet in step.
bool SendEnabled(int mode, bool screenCondition, const QStringList &syncDisps);

struct SendRow
{
    int gridRow = 0;
    QString gateId;
    QString ipAddr;
    QString portNo;
    int syncFlag = 0;
    GUserRecord user;
};

// After a successful send: a withdrawn permit (state 3) is deleted, any other is set in step
// ("登録に失敗しました。" when that write fails). True when the row is now in step.
bool CompleteRow(const SendRow &row);
// Sets a permit's state (the daily rewrite marks a permit 1 before it writes the user).
bool SetPermitState(const QString &userId, const QString &gateId, int syncFlag);
// Releases a gate's access lock, saying so when it cannot be released.
void ReleaseReported(const QString &gateId);

enum class SendEnd { Completed, RequestFailed };

// Sends each row not in step, top to bottom. lockEachGate (user screen): every row takes its
// gate's lock (a busy gate is skipped silently) and its gate must answer a connection check
// first; otherwise the caller holds the one gate's lock. A request that fails ends the run and
// leaves that row and the later ones marked. After each completed row rowDone runs (the screen
// writes "済" into rows now in step) and the interface repaints.
SendEnd SendRows(const QList<SendRow> &rows, bool lockEachGate,
                 const std::function<void(const SendRow &row, bool inStep)> &rowDone);

} // namespace PermitRules
