// gatesim: serves many simulated gates over the gate protocol (devices/PROTOCOL.md), with a
// line-based control port. "gatesim ctl ..." sends one control command. See devices/README.md.

#include "Simulator.h"

#include <QCoreApplication>
#include <QFile>
#include <QTcpSocket>
#include <QTextStream>

#include <csignal>
#include <cstdio>

using namespace gatesim;

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: gatesim [--gate NUMBER=ADDRESS:PORT[,users=N,masters=N,unit=N]]... [--serial NUMBER[,...]]...\n"
                 "               [--config FILE] [--control [ADDRESS:]PORT]\n"
                 "       gatesim ctl [--control [ADDRESS:]PORT] COMMAND ...   (port default $GATESIM_CONTROL or 17000)\n");
    return 2;
}

bool ParseControl(const QString &text, QHostAddress *address, quint16 *port)
{
    QString p = text;
    const int colon = text.lastIndexOf(':');
    if (colon >= 0) {
        if (!address->setAddress(text.left(colon)))
            return false;
        p = text.mid(colon + 1);
    }
    bool ok = false;
    const int v = p.toInt(&ok);
    if (!ok || v < 0 || v > 65535)
        return false;
    *port = quint16(v);
    return true;
}

int RunCtl(const QStringList &args)
{
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = quint16(qEnvironmentVariableIntValue("GATESIM_CONTROL"));
    if (port == 0)
        port = 17000;
    QStringList words = args;
    if (words.size() >= 2 && words[0] == QLatin1String("--control")) {
        if (!ParseControl(words[1], &address, &port))
            return Usage();
        words = words.mid(2);
    }
    if (words.isEmpty())
        return Usage();
    QTcpSocket s;
    s.connectToHost(address, port);
    if (!s.waitForConnected(3000)) {
        std::fprintf(stderr, "gatesim ctl: cannot reach %s:%u: %s\n", qPrintable(address.toString()), port,
                     qPrintable(s.errorString()));
        return 1;
    }
    s.write((words.join(' ') + '\n').toUtf8());
    QByteArray pending;
    for (;;) {
        while (!s.canReadLine()) {
            if (!s.waitForReadyRead(10000)) {
                std::fprintf(stderr, "gatesim ctl: no answer\n");
                return 1;
            }
        }
        const QByteArray line = s.readLine();
        std::fputs(line.constData(), stdout);
        if (line.startsWith("OK"))
            return 0;
        if (line.startsWith("ERR"))
            return 1;
    }
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String("ctl"))
        return RunCtl(args.mid(1));

    std::vector<GateConfig> configs;
    QHostAddress controlAddress = QHostAddress::LocalHost;
    quint16 controlPort = 17000;
    QString error;
    auto addGate = [&](const QString &text) {
        GateConfig s;
        if (!ParseGateConfig(text, &s, &error))
            return false;
        configs.push_back(s);
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString a = args[i];
        const QString next = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--gate") && !next.isEmpty()) {
            if (!addGate(next)) {
                std::fprintf(stderr, "gatesim: %s\n", qPrintable(error));
                return 2;
            }
            ++i;
        } else if (a == QLatin1String("--serial") && !next.isEmpty()) {
            const QString number = next.section(',', 0, 0), rest = next.section(',', 1);
            if (!addGate(number + "=pty" + (rest.isEmpty() ? QString() : "," + rest))) {
                std::fprintf(stderr, "gatesim: %s\n", qPrintable(error));
                return 2;
            }
            ++i;
        } else if (a == QLatin1String("--control") && !next.isEmpty()) {
            if (!ParseControl(next, &controlAddress, &controlPort))
                return Usage();
            ++i;
        } else if (a == QLatin1String("--config") && !next.isEmpty()) {
            // Lines: "gate NUMBER=ADDRESS:PORT[,opts]", "serial NUMBER[,opts]", "control [ADDR:]PORT";
            // "#" starts a comment.
            QFile f(next);
            if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
                std::fprintf(stderr, "gatesim: cannot read %s\n", qPrintable(next));
                return 2;
            }
            QTextStream in(&f);
            while (!in.atEnd()) {
                const QString line = in.readLine().section('#', 0, 0).trimmed();
                if (line.isEmpty())
                    continue;
                const QString key = line.section(' ', 0, 0), value = line.section(' ', 1).trimmed();
                bool good = true;
                if (key == QLatin1String("gate"))
                    good = addGate(value);
                else if (key == QLatin1String("serial"))
                    good = addGate(value.section(',', 0, 0) + "=pty" +
                                   (value.contains(',') ? "," + value.section(',', 1) : QString()));
                else if (key == QLatin1String("control"))
                    good = ParseControl(value, &controlAddress, &controlPort);
                else {
                    error = "unknown line: " + line;
                    good = false;
                }
                if (!good) {
                    std::fprintf(stderr, "gatesim: %s: %s\n", qPrintable(next), qPrintable(error));
                    return 2;
                }
            }
            ++i;
        } else {
            return Usage();
        }
    }

    Simulator sim;
    if (!sim.Start(configs, controlAddress, controlPort, &error)) {
        std::fprintf(stderr, "gatesim: %s\n", qPrintable(error));
        return 1;
    }
    for (const QString &line : sim.ReadyLines())
        std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
    return app.exec();
}
