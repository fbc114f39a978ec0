#pragma once

// A gate's access lock for the length of a scope. It is taken with the lock time-out of the one
// timing place (or the caller's, where a run waits longer) and released when the scope ends,
// with the release time-out of the timing place. The caller chooses only what a failed release
// means: one attempt and a report, or attempts until it is released, each failure reported.

#include <QString>

#include <functional>

class GateLockScope
{
public:
    enum class Release
    {
        Once,      // one release (of up to the release time-out); a failure is reported
        UntilDone, // released again and again until it succeeds; each failure is reported
    };
    // Told of each failed release; empty: nobody is told.
    using Report = std::function<void()>;

    // lockSec 0: the lock time-out of the timing place.
    explicit GateLockScope(const QString &gateId, Release release = Release::Once, Report onReleaseFailed = {},
                           int lockSec = 0);
    ~GateLockScope();
    GateLockScope(const GateLockScope &) = delete;
    GateLockScope &operator=(const GateLockScope &) = delete;

    // Whether the lock was taken.
    bool Locked() const { return m_locked; }
    explicit operator bool() const { return m_locked; }
    // Releases before the scope ends (nothing when not locked or already released).
    void Unlock();

private:
    QString m_gateId;
    Release m_release;
    Report m_report;
    bool m_locked = false;
};

// The text a screen shows for a failed release.
QString GateUnlockFailedText();
