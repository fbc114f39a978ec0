#include "GateLock.h"

#include "ErrorLog.h"
#include "OrvelDefs.h"

#include <chrono>
#include <thread>

namespace orvel {

namespace {

const QString kLockDataInvalid = QStringLiteral("ロックデータが不正");

double SteadySeconds()
{
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

GateLock::GateLock(QString lockFilePath, GateLockHooks hooks) : file_(std::move(lockFilePath))
{
    SetHooks(std::move(hooks));
}

void GateLock::SetHooks(GateLockHooks hooks)
{
    hooks_ = std::move(hooks);
    if (!hooks_.now)
        hooks_.now = SteadySeconds;
    if (!hooks_.wait)
        hooks_.wait = [] { std::this_thread::sleep_for(std::chrono::milliseconds(20)); };
    if (!hooks_.busyPointer)
        hooks_.busyPointer = [](bool) {};
}

GateLock &GateLock::Instance()
{
    static GateLock instance;
    return instance;
}

bool GateLock::TryLockGate(const QString &gateId) const
{
    const int g = GateNumberOf(gateId);
    if (g < 0)
        return false;
    bool newlyTaken = false;
    if (hooks_.acrossPcs && !hooks_.acrossPcs->TryLock(g, &newlyTaken))
        return false; // another PC talks to the gate
    bool taken = false;
    const bool ok = file_.Update(g, [&](GateLockRecord &r) {
        if (r.gateNumber == g && r.lockFlag == 1 && r.holder != lockholder::Console)
            return false; // another program holds it
        taken = true;
        const GateLockRecord mine{g, 1, lockholder::Console};
        if (r == mine)
            return false; // already ours: leave the record as it is
        r = mine;
        return true;
    });
    if (!(ok && taken) && newlyTaken)
        hooks_.acrossPcs->Unlock(g);
    return ok && taken;
}

bool GateLock::TryUnlockGate(const QString &gateId) const
{
    const int g = GateNumberOf(gateId);
    if (g < 0)
        return false;
    bool released = false, invalid = false;
    const bool ok = file_.Update(g, [&](GateLockRecord &r) {
        if (r.gateNumber != g) {
            invalid = true;
            return false;
        }
        if (r.lockFlag == 1 && r.holder != lockholder::Console)
            return false;
        released = true;
        const GateLockRecord freeRec{g, 0, lockholder::Nobody};
        if (r == freeRec)
            return false;
        r = freeRec;
        return true;
    });
    if (invalid)
        WriteErrorLog(errcode::LockDataInvalid, kLockDataInvalid);
    if (ok && released && hooks_.acrossPcs)
        hooks_.acrossPcs->Unlock(g);
    return ok && released;
}

bool GateLock::IsGateLocked(const QString &gateId) const
{
    const int g = GateNumberOf(gateId);
    if (g < 0)
        return false;
    GateLockRecord r;
    if (!file_.Read(g, &r))
        return false;
    if (r.gateNumber != g) {
        WriteErrorLog(errcode::LockDataInvalid, kLockDataInvalid);
        return true;
    }
    return r.lockFlag == 1;
}

bool GateLock::Retry(const QString &gateId, qint16 timeoutSec, bool lock) const
{
    hooks_.busyPointer(true);
    const double start = hooks_.now();
    for (;;) {
        hooks_.wait();
        if (lock ? TryLockGate(gateId) : TryUnlockGate(gateId)) {
            if (!lock)
                hooks_.busyPointer(false);
            return true;
        }
        if (start + timeoutSec <= hooks_.now()) {
            hooks_.busyPointer(false);
            return false;
        }
    }
}

bool GateLock::LockGate(const QString &gateId, qint16 timeoutSec) const
{
    return Retry(gateId, timeoutSec, true);
}

bool GateLock::UnlockGate(const QString &gateId, qint16 timeoutSec) const
{
    return Retry(gateId, timeoutSec, false);
}

static bool CollectorSet(const QString &lockFilePath, const QString &gateId, int16_t flag)
{
    const int g = GateNumberOf(gateId);
    if (g < 0)
        return false;
    bool done = false;
    const bool ok = GateLockFile(lockFilePath).Update(g, [&](GateLockRecord &r) {
        if (r.lockFlag == 1 && r.holder != lockholder::Collector)
            return false;
        done = true;
        r = GateLockRecord{g, flag, flag ? lockholder::Collector : lockholder::Nobody};
        return true;
    });
    return ok && done;
}

bool CollectorLockGate(const QString &lockFilePath, const QString &gateId, PcGateLock *acrossPcs)
{
    const int g = GateNumberOf(gateId);
    bool newlyTaken = false;
    if (acrossPcs && g >= 0 && !acrossPcs->TryLock(g, &newlyTaken))
        return false;
    const bool ok = CollectorSet(lockFilePath, gateId, 1);
    if (!ok && newlyTaken)
        acrossPcs->Unlock(g);
    return ok;
}

bool CollectorUnlockGate(const QString &lockFilePath, const QString &gateId, PcGateLock *acrossPcs)
{
    const bool ok = CollectorSet(lockFilePath, gateId, 0);
    if (ok && acrossPcs)
        acrossPcs->Unlock(GateNumberOf(gateId));
    return ok;
}

} // namespace orvel
