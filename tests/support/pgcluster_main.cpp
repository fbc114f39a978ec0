// pgcluster: runs a command with a throwaway PostgreSQL cluster beside it.
//   pgcluster [--] COMMAND [ARGS...]
// Starts the cluster, runs COMMAND with ORVEL_TEST_BACKEND=postgresql and ORVEL_TEST_PG=HOST:PORT in
// its environment (every test site then gets its own database in this one cluster), stops the
// cluster when COMMAND ends and exits with COMMAND's exit code.

#include "PgCluster.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

extern char **environ;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int first = 1;
    if (first < argc && QByteArray(argv[first]) == "--")
        ++first;
    if (first >= argc) {
        std::fprintf(stderr, "usage: pgcluster [--] COMMAND [ARGS...]\n");
        return 2;
    }
    orvel::test::PgCluster cluster;
    QString error;
    QElapsedTimer t;
    t.start();
    if (!cluster.Start(&error)) {
        std::fprintf(stderr, "pgcluster: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    std::fprintf(stderr, "pgcluster: PostgreSQL ready at %s in %lld ms\n", cluster.Address().toLocal8Bit().constData(),
                 static_cast<long long>(t.elapsed()));
    ::setenv("ORVEL_TEST_BACKEND", "postgresql", 1);
    ::setenv("ORVEL_TEST_PG", cluster.Address().toLocal8Bit().constData(), 1);

    // The cluster is stopped however the command ends; an interrupt reaches the command itself.
    ::signal(SIGINT, SIG_IGN);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[first], nullptr, nullptr, argv + first, environ) != 0) {
        std::fprintf(stderr, "pgcluster: cannot run %s\n", argv[first]);
        return 127;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    cluster.Stop();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
