// rdo_cntl: the shared connection, its login and mode, transactions and compaction.

#include "DbConnection.h"
#include "RdoInternal.h"

namespace rdo_internal {

SharedState &State()
{
    static SharedState s;
    return s;
}

orvel::DbConnection &Connection()
{
    // Never destroyed: Qt SQL's own registry of connections is gone by the time static objects are
    // destroyed at exit, and closing through it then would crash.
    static auto *c = new orvel::DbConnection(QStringLiteral("Tamrin_rdo"));
    return *c;
}

bool OpenShared()
{
    const SharedState &s = State();
    if (!Connection().Open(s.dbName, s.userId, s.passWd))
        return false;
    if (Connection().Backend() == orvel::DbBackend::SQLite) {
        // The console reads long lists (the log list sorts and numbers up to 100,000 rows): 16 MB
        // of page cache, for the database and for sorting, keep such a read out of temporary
        // files. The default is 2 MB.
        Connection().Exec(QStringLiteral("PRAGMA cache_size = -16384"));
        Connection().Exec(QStringLiteral("PRAGMA temp.cache_size = -16384"));
    }
    return true;
}

} // namespace rdo_internal

using namespace rdo_internal;

QString rdo_cntl::DBName() { return State().dbName; }
void rdo_cntl::setDBName(const QString &v) { State().dbName = v; }
QString rdo_cntl::UserID() { return State().userId; }
void rdo_cntl::setUserID(const QString &v) { State().userId = v; }
QString rdo_cntl::PassWd() { return State().passWd; }
void rdo_cntl::setPassWd(const QString &v) { State().passWd = v; }
bool rdo_cntl::IsMdbMode() { return State().mdbMode; }
bool rdo_cntl::IsConnected() { return Connection().IsOpen(); }

namespace {
// Init and InitMDB differ only in the mode they leave the component in.
bool OpenWithMode(bool mdb, const QString &dataSource, const QString &userId, const QString &passWd)
{
    SharedState &s = State();
    s.dbName = dataSource;
    s.userId = userId;
    s.passWd = passWd;
    s.mdbMode = mdb;
    return OpenShared();
}

void RequireConnection()
{
    if (!Connection().IsOpen())
        throw RdoError(QString::fromUtf8(orvel::dbtext::NotConnected));
}
} // namespace

bool rdo_cntl::Init(const QString &dataSource, const QString &userId, const QString &passWd)
{
    return OpenWithMode(false, dataSource, userId, passWd);
}

bool rdo_cntl::InitMDB(const QString &dataSource, const QString &userId, const QString &passWd)
{
    return OpenWithMode(true, dataSource, userId, passWd);
}

bool rdo_cntl::Term()
{
    m_recSet.reset();
    Connection().Close();
    return true;
}

bool rdo_cntl::EnsureConnection()
{
    // The lazy reconnect goes through Init, so it always leaves MDB mode off.
    if (IsConnected())
        return true;
    return Init(State().dbName, State().userId, State().passWd);
}

void rdo_cntl::BeginTrans()
{
    RequireConnection();
    if (!Connection().Begin())
        throw RdoError(Connection().LastError());
}

void rdo_cntl::CommitTrans()
{
    RequireConnection();
    m_recSet.reset();
    if (!Connection().Commit())
        throw RdoError(Connection().LastError());
}

void rdo_cntl::RollbackTrans()
{
    RequireConnection();
    m_recSet.reset();
    if (!Connection().Rollback())
        throw RdoError(Connection().LastError());
}

QString rdo_cntl::GetDBPath()
{
    return Connection().DatabasePath();
}

QVariant rdo_cntl::CompactDB()
{
    const QString path = GetDBPath();
    m_recSet.reset();
    if (path.isEmpty()) {
        // Still reopen as the component always does, leaving the mode as it was.
        OpenShared();
        return false;
    }
    return Connection().Compact();
}
