#pragma once

// A throwaway PostgreSQL cluster for tests: initdb into a temporary folder and the server as a
// child process of this one, reached only through a socket in that folder. As root, both run as the
// postgres account (the server refuses to run as root). Stop() asks for a fast shutdown and waits
// for the server's own process to end.

#include <QString>
#include <QTemporaryDir>

#include <sys/types.h>

namespace orvel::test {

class PgCluster
{
public:
    PgCluster();
    ~PgCluster();
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    // Creates the cluster (the system's login as its superuser, password authentication) and starts
    // the server; false with error set on failure.
    bool Start(QString *error);
    void Stop();
    bool IsRunning() const { return m_pid > 0; }

    // HOST:PORT as orvelctl init-site --postgresql takes it (HOST is the socket folder).
    QString Address() const;
    pid_t Pid() const { return m_pid; }

private:
    QTemporaryDir m_dir;
    QString m_socketDir;
    int m_port = 0;
    pid_t m_pid = 0;
};

// The folder of PostgreSQL's server programs (ORVEL_PG_BINDIR, else the newest installed).
QString PgBinDir();

} // namespace orvel::test
