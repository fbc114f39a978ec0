// cardsim: the simulated IC card reader behind libgfi2.so and libmifaredrv.so, serving a
// Unix-domain socket. "cardsim ctl COMMAND" sends one command to a running simulator.
// See devices/cardreader/README.md.

#include "CardSim.h"
#include "IniFile.h"
#include "LineClient.h"
#include "OrvelDefs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: cardsim [--socket PATH] [--port N] [--unplugged]\n"
                 "       cardsim ctl [--socket PATH] COMMAND ...   (cardsim ctl help lists the commands)\n"
                 "The socket is PATH, else $CARDSIM_SOCKET, else SIM_SOCKET of [CARD READER] in the Orvel.ini of\n"
                 "the site folder ($ORVEL_HOME, else the current folder), relative to that folder.\n");
    return 2;
}

QString DefaultSocket()
{
    const QString env = qEnvironmentVariable("CARDSIM_SOCKET");
    if (!env.isEmpty())
        return env;
    const QString home = qEnvironmentVariable("ORVEL_HOME");
    const QDir site(home.isEmpty() ? QDir::currentPath() : home);
    const orvel::IniFile ini = orvel::IniFile::Load(site.filePath(QLatin1String(orvel::ini::FileName)));
    const QString name = ini.Value(QLatin1String(orvel::ini::SecCardReader), QLatin1String(orvel::ini::KeySimSocket));
    return site.absoluteFilePath(name.isEmpty() ? QLatin1String(orvel::ini::DefaultSimSocket) : name);
}

int RunCtl(QStringList words)
{
    QString socket;
    if (words.size() >= 2 && words[0] == QLatin1String("--socket")) {
        socket = words[1];
        words = words.mid(2);
    } else {
        socket = DefaultSocket();
    }
    if (words.isEmpty())
        return Usage();
    const devsim::LineReply r = devsim::LineCall(QFile::encodeName(socket).toStdString(),
                                                 words.join(u' ').toStdString(), 5000);
    for (const std::string &line : r.lines)
        std::printf("%s\n", line.c_str());
    switch (r.result) {
    case devsim::LineReply::Ok:
        std::printf("OK\n");
        return 0;
    case devsim::LineReply::Err:
        std::printf("ERR %s\n", r.error.c_str());
        return 1;
    case devsim::LineReply::Unreachable:
        break;
    }
    std::fprintf(stderr, "cardsim ctl: no simulated reader at %s: %s\n", qPrintable(socket), r.error.c_str());
    return 1;
}

// SIGTERM and SIGINT end the event loop through a pipe, so that the socket file is removed.
int g_signalPipe[2] = {-1, -1};
void OnSignal(int)
{
    const char c = 1;
    (void)!::write(g_signalPipe[1], &c, 1);
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String("ctl"))
        return RunCtl(args.mid(1));

    cardsim::CardSim sim;
    QString socketPath;
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--socket") && !next.isEmpty()) {
            socketPath = next;
            ++i;
        } else if (a == QLatin1String("--port") && !next.isEmpty()) {
            bool ok = false;
            const int port = next.toInt(&ok);
            if (!ok || port < 1 || port > 65535)
                return Usage();
            sim.SetPort(port);
            ++i;
        } else if (a == QLatin1String("--unplugged")) {
            sim.SetPlugged(false);
        } else {
            return Usage();
        }
    }
    if (socketPath.isEmpty())
        socketPath = DefaultSocket();
    socketPath = QFileInfo(socketPath).absoluteFilePath();

    // A socket file that nobody serves is left over from a simulator that was killed.
    {
        QLocalSocket probe;
        probe.connectToServer(socketPath);
        if (probe.waitForConnected(500)) {
            std::fprintf(stderr, "cardsim: another simulator serves %s\n", qPrintable(socketPath));
            return 1;
        }
    }
    QLocalServer::removeServer(socketPath);
    QLocalServer server;
    if (!server.listen(socketPath)) {
        std::fprintf(stderr, "cardsim: cannot listen on %s: %s\n", qPrintable(socketPath),
                     qPrintable(server.errorString()));
        return 1;
    }

    if (::pipe(g_signalPipe) == 0) {
        std::signal(SIGTERM, OnSignal);
        std::signal(SIGINT, OnSignal);
        auto *notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    }

    QObject::connect(&server, &QLocalServer::newConnection, &server, [&] {
        while (QLocalSocket *c = server.nextPendingConnection()) {
            QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
            QObject::connect(c, &QLocalSocket::readyRead, c, [&sim, c, &app] {
                while (c->canReadLine()) {
                    const QString line = QString::fromUtf8(c->readLine()).trimmed();
                    const cardsim::CardSim::Answer a = sim.Handle(line);
                    QByteArray out;
                    for (const QString &l : a.lines)
                        out += l.toUtf8() + '\n';
                    out += a.error.isEmpty() ? QByteArray("OK\n") : "ERR " + a.error.toUtf8() + '\n';
                    c->write(out);
                    c->flush();
                    if (a.quit)
                        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
                }
            });
        }
    });

    std::printf("cardsim ready socket=%s\n", qPrintable(socketPath));
    std::fflush(stdout);
    const int rc = app.exec();
    server.close();
    QFile::remove(socketPath);
    return rc;
}
