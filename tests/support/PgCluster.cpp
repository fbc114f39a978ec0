#include "PgCluster.h"

#include "OrvelDefs.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <QVersionNumber>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char **environ;

namespace orvel::test {
namespace {

bool AsRoot()
{
    return ::geteuid() == 0;
}

// Starts program with args (as the postgres account when root), output to logPath; 0 on failure.
pid_t Spawn(const QString &program, const QStringList &args, const QString &logPath)
{
    QStringList argv;
    if (AsRoot())
        argv << QStringLiteral("setpriv") << QStringLiteral("--reuid=postgres") << QStringLiteral("--regid=postgres")
             << QStringLiteral("--init-groups") << QStringLiteral("--reset-env");
    argv << program << args;
    std::vector<QByteArray> bytes;
    for (const QString &a : argv)
        bytes.push_back(QFile::encodeName(a));
    std::vector<char *> cargv;
    for (QByteArray &b : bytes)
        cargv.push_back(b.data());
    cargv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const QByteArray log = QFile::encodeName(logPath);
    posix_spawn_file_actions_addopen(&actions, 1, log.constData(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, cargv[0], &actions, nullptr, cargv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

// Waits for pid to end; its exit code, or -1 when it did not end in time (then it is killed).
int WaitFor(pid_t pid, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    int status = 0;
    while (true) {
        const pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid)
            return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        if (r < 0)
            return -1;
        if (t.elapsed() > timeoutMs) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        QThread::msleep(5);
    }
}

int FreePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (s >= 0 && ::bind(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr *>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    if (s >= 0)
        ::close(s);
    return port > 0 ? port : 54320;
}

QString Tail(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray all = f.readAll();
    return QString::fromUtf8(all.right(2000)).trimmed();
}

} // namespace

QString PgBinDir()
{
    const QString env = qEnvironmentVariable("ORVEL_PG_BINDIR");
    if (!env.isEmpty())
        return env;
    QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString &v : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QVersionNumber n = QVersionNumber::fromString(v);
        if (QFileInfo::exists(root.filePath(v + QStringLiteral("/bin/postgres"))) && n > bestVersion) {
            bestVersion = n;
            best = root.filePath(v + QStringLiteral("/bin"));
        }
    }
    return best;
}

PgCluster::PgCluster()
    : m_dir(QStringLiteral("/tmp/orvel-pg-XXXXXX")) // short: a socket path has at most 107 bytes
{
}

PgCluster::~PgCluster()
{
    Stop();
}

QString PgCluster::Address() const
{
    return m_socketDir + u':' + QString::number(m_port);
}

bool PgCluster::Start(QString *error)
{
    auto fail = [&](const QString &text) {
        if (error)
            *error = text;
        return false;
    };
    const QString bin = PgBinDir();
    if (bin.isEmpty())
        return fail(QStringLiteral("no PostgreSQL server programs under /usr/lib/postgresql (scripts/deps installs them)"));
    if (!m_dir.isValid())
        return fail(QStringLiteral("no temporary folder for the cluster"));
    const QString base = m_dir.path();
    m_socketDir = base + QStringLiteral("/sock");
    const QString data = base + QStringLiteral("/data");
    const QString pwFile = base + QStringLiteral("/pw");
    const QString log = base + QStringLiteral("/server.log");
    QDir().mkpath(m_socketDir);
    {
        QFile pw(pwFile);
        if (!pw.open(QIODevice::WriteOnly) || pw.write(kDbPassword) < 0)
            return fail(QStringLiteral("cannot write %1").arg(pwFile));
    }
    if (AsRoot()) {
        const passwd *pg = ::getpwnam("postgres");
        if (!pg)
            return fail(QStringLiteral("no postgres account (the server package creates it)"));
        for (const QString &p : {base, m_socketDir, pwFile})
            if (::chown(QFile::encodeName(p).constData(), pg->pw_uid, pg->pw_gid) != 0)
                return fail(QStringLiteral("cannot hand %1 to the postgres account").arg(p));
    }

    const pid_t init = Spawn(bin + QStringLiteral("/initdb"),
                             {QStringLiteral("-D"), data, QStringLiteral("-U"), QString::fromLatin1(kDbUser),
                              QStringLiteral("--pwfile=") + pwFile, QStringLiteral("--auth=scram-sha-256"),
                              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                              QStringLiteral("--no-sync")},
                             base + QStringLiteral("/initdb.log"));
    if (init <= 0 || WaitFor(init, 120000) != 0)
        return fail(QStringLiteral("initdb failed: %1").arg(Tail(base + QStringLiteral("/initdb.log"))));

    m_port = FreePort();
    // Durability is of no use to a throwaway cluster; the socket folder is its only way in.
    m_pid = Spawn(bin + QStringLiteral("/postgres"),
                  {QStringLiteral("-D"), data, QStringLiteral("-k"), m_socketDir, QStringLiteral("-p"),
                   QString::number(m_port), QStringLiteral("-c"), QStringLiteral("listen_addresses="),
                   QStringLiteral("-c"), QStringLiteral("fsync=off"), QStringLiteral("-c"),
                   QStringLiteral("synchronous_commit=off"), QStringLiteral("-c"),
                   QStringLiteral("full_page_writes=off"), QStringLiteral("-c"), QStringLiteral("max_connections=200")},
                  log);
    if (m_pid <= 0)
        return fail(QStringLiteral("cannot start postgres"));

    // The server writes "ready" into its pid file once it accepts connections.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 60000) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = 0;
            return fail(QStringLiteral("postgres ended at start: %1").arg(Tail(log)));
        }
        QFile pidFile(data + QStringLiteral("/postmaster.pid"));
        if (pidFile.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> lines = pidFile.readAll().split('\n');
            if (lines.size() > 7 && lines[7].trimmed() == "ready")
                return true;
        }
        QThread::msleep(10);
    }
    Stop();
    return fail(QStringLiteral("postgres did not become ready: %1").arg(Tail(log)));
}

void PgCluster::Stop()
{
    if (m_pid <= 0)
        return;
    // SIGINT is the fast shutdown: clients are disconnected, the server ends at once.
    ::kill(m_pid, SIGINT);
    if (WaitFor(m_pid, 60000) < 0)
        ::kill(m_pid, SIGKILL);
    m_pid = 0;
}

} // namespace orvel::test
