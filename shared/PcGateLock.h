#pragma once

// The gate lock across PCs. Several PCs that share one server database each keep their own gate
// lock file, so the file alone cannot keep two PCs from talking to one gate at once. On a server
// database a program therefore also holds a session-level advisory lock per gate, on a connection
// of its own that does nothing else: the server frees it when that connection ends, so a program
// that dies or loses its network leaves nothing behind. On SQLite every program of the site runs
// on one PC and the lock file alone serves: every call succeeds without touching the database.

#include <QSet>
#include <QString>

#include <memory>

namespace orvel {

class DbConnection;

class PcGateLock
{
public:
    // The connection is opened at the first call, with this login (default: the system's
    // telmar_mdb login).
    PcGateLock();
    PcGateLock(QString dsn, QString user, QString password);
    ~PcGateLock();
    PcGateLock(const PcGateLock &) = delete;
    PcGateLock &operator=(const PcGateLock &) = delete;

    // One attempt. True when this process holds gate's lock now (also when it already did);
    // false when another process holds it or the database cannot be asked. newlyTaken, when
    // given, says whether this call took it (so that a caller whose next step fails can give it
    // back without releasing a hold of its own from before).
    bool TryLock(int gateNumber, bool *newlyTaken = nullptr);
    // Releases the lock when this process holds it; nothing otherwise.
    void Unlock(int gateNumber);
    bool HeldHere(int gateNumber) const { return m_held.contains(gateNumber); }
    // Whether the database is one that needs the lock (known after the first call).
    bool Applies();

    // The advisory lock space of the gate locks (the first key of the two-key form).
    static constexpr int kLockSpace = 70713;

private:
    bool Ensure();
    QString m_dsn, m_user, m_password;
    std::unique_ptr<DbConnection> m_db;
    bool m_known = false;   // the back end has been found
    bool m_applies = false; // a server database
    quint64 m_generation = 0;
    QSet<int> m_held;
};

} // namespace orvel
