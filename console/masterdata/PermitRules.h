#pragma once

// Gate permits (t_gate_permit) as the screens, the bulk window and the daily run edit and send
// them, without widgets: adding, withdrawing, when the send button may be used, and the one send
// loop that carries marked rows to their gates through the provisioning service under the gate
// access lock.
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
// Sets a permit's state.
bool SetPermitState(const QString &userId, const QString &gateId, int syncFlag);

// Whether the send button may be used: mode 3, the screen's own condition (user screen: only
// gates in use listed; gate screen: the gate in use) and a listed row not yet in step.
bool SendEnabled(int mode, bool screenCondition, const QStringList &syncDisps);

// One permit to carry to its gate.
struct SendRow
{
    QString gateId;
    QString ipAddr;
    QString portNo;
    int syncFlag = 0;
    GUserRecord user;
};

// How a caller's run differs where the screens' rules differ; everything else is the same loop.
struct SendPolicy
{
    enum class Lock
    {
        EachRow,   // each row takes its gate's lock; a gate held elsewhere is passed over
        WholeGate, // every row is of one gate, whose lock is taken once for the run (gate screen,
                   // daily run); a lock that cannot be taken ends the run before any row
    };
    Lock lock = Lock::EachRow;
    // WholeGate: the gate of the run (its rows may be none).
    QString gateId;
    QString ipAddr;
    QString portNo;
    // The gate's connection check: per row (EachRow) or once under the whole-gate lock.
    bool checkGate = true;
    // A gate that fails its check is not sent to (user screen): the row is passed over, said so.
    // Otherwise the check only wakes the gate and the requests decide (gate screen, bulk window).
    bool honourGateCheck = true;
    // The release of a whole-gate lock is repeated until it succeeds (gate screen); otherwise one
    // release, reported when it fails.
    bool releaseUntilDone = false;
    // The daily run's unattended rewrite: each user is first deleted from the gate, then a
    // permit to keep is set to 1 and written again; nothing is shown to the operator.
    bool unattended = false;
    // Lock time-out in seconds; 0: the timing place's.
    int lockSec = 0;
};

// How each row ended.
enum class RowEnd
{
    InStep,         // nothing to send
    LockBusy,       // the gate is held by another program (EachRow): passed over silently
    GateUnreachable,// the gate failed its check and the policy honours it: passed over
    Sent,           // written; the permit is now in step ("済")
    Withdrawn,      // deleted from the gate; the permit row is gone
    StateNotSaved,  // sent, but the permit's new state could not be written (stays marked)
    RequestFailed,  // the provisioning service reported a failure: the row stays marked
};

// What the caller hears during a run. All may be empty.
struct SendHooks
{
    // Before each row that is not in step; false ends the run (the bulk window's stop question).
    std::function<bool()> beforeRow;
    // After each row with how it ended (the screens write "済").
    std::function<void(int index, RowEnd end)> rowDone;
    // After a failed request: true goes on with the next row (the bulk window asks first at
    // the next row), false ends the run (the screens: later rows keep their marks).
    std::function<bool(int index)> afterFailure;
    // Under the whole-gate lock, before the rows: false ends the run as failed (the daily run's
    // clean request).
    std::function<bool()> underLock;
    // A message for the operator (never called in an unattended run).
    std::function<void(const QString &text)> tell;
};

enum class SendEnd
{
    Completed,     // every row was looked at
    LockFailed,    // WholeGate: the gate's lock could not be taken; nothing was sent
    RequestFailed, // a request failed and the run ended there
    Stopped,       // beforeRow ended the run, or underLock failed
};

// Sends each row not in step, top to bottom, by the one set of rules; see SendPolicy for where
// callers differ.
SendEnd SendRows(const QList<SendRow> &rows, const SendPolicy &policy, const SendHooks &hooks = {});

} // namespace PermitRules
