#pragma once

// Gate access lock operations over the lock file of GateLockFile.h:
// the console's module GateLock (holder 3) and the log collector's lock and unlock (holder 1).
// Widget-free: the console passes hooks for processing window events while waiting and for the
// hourglass pointer; tests pass a fake clock.

#include "GateLockFile.h"
#include "PcGateLock.h"

#include <QString>

#include <functional>

namespace orvel {

struct GateLockHooks {
    // Current time in seconds (any epoch, monotonic). Default: steady clock.
    std::function<double()> now;
    // Called before every attempt of LockGate/UnlockGate: the console processes pending window
    // events here. Default: sleep 20 ms (a pause between attempts is kinder to the CPU).
    std::function<void()> wait;
    // Hourglass pointer on (true) / off (false). Default: nothing.
    std::function<void(bool)> busyPointer;
    // The lock across PCs taken beside the lock file (a server database shared by several PCs);
    // none: the lock file alone.
    PcGateLock *acrossPcs = nullptr;
};

// Module GateLock of the console.
class GateLock {
public:
    explicit GateLock(QString lockFilePath = QString(), GateLockHooks hooks = {});

    void SetLockFilePath(const QString &path) { file_ = GateLockFile(path); }
    const QString &LockFilePath() const { return file_.path(); }
    void SetHooks(GateLockHooks hooks);

    // One attempt to take the lock: fails only when the record shows this gate held by another
    // holder, or another PC holds the gate (it is then not taken on this PC either). Takes it also when the console already holds it, or when the record carries
    // another gate number.
    bool TryLockGate(const QString &gateId) const;
    // One attempt to release: a record carrying another gate number logs 9999 "ロックデータが
    // 不正" and fails; a lock held by another holder fails.
    bool TryUnlockGate(const QString &gateId) const;
    // Repeat until taken or timeoutSec has passed. The hourglass stays on after success.
    bool LockGate(const QString &gateId, qint16 timeoutSec) const;
    // Repeat until released or timeoutSec has passed; the hourglass goes off in both cases.
    bool UnlockGate(const QString &gateId, qint16 timeoutSec) const;
    // Whether the record shows the gate held (by anyone); another gate number logs 9999 and
    // answers true.
    bool IsGateLocked(const QString &gateId) const;

    // The console's process-wide instance (configure once at start-up with F_GATELOCK).
    static GateLock &Instance();

private:
    bool Retry(const QString &gateId, qint16 timeoutSec, bool lock) const;
    GateLockFile file_;
    GateLockHooks hooks_;
};

// The log collector's lock and unlock (holder 1). Lock succeeds when the
// record is not held or is held by the collector itself; unlock likewise. The stored gate
// number is not compared. One attempt each. With acrossPcs, the lock across PCs is taken first
// and given back when the file refuses; unlock releases it once the record is free.
bool CollectorLockGate(const QString &lockFilePath, const QString &gateId, PcGateLock *acrossPcs = nullptr);
bool CollectorUnlockGate(const QString &lockFilePath, const QString &gateId, PcGateLock *acrossPcs = nullptr);

} // namespace orvel
