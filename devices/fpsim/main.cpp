// fpsim: the simulated fingerprint scanner behind libafpusb.so, on a Unix-domain socket.
//   fpsim [--socket PATH] [--seed N]            serve (socket default: the site's Orvel.ini)
//   fpsim ctl [--socket PATH] COMMAND ...       send one command (place, touch, lift, unplug, ...)
//   fpsim write-template FILE N FINGER          put a fresh touch's template into record N of FILE
// See devices/README.md.

#include "ScannerSim.h"

#include "Extract.h"
#include "FpSettings.h"
#include "LineClient.h"
#include "Template.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <unistd.h>

namespace {

char g_socketPath[4096];

void OnTerminate(int)
{
    if (g_socketPath[0])
        ::unlink(g_socketPath);
    ::_exit(0);
}

int Usage()
{
    std::fprintf(stderr, "usage: fpsim [--socket PATH] [--seed N]\n"
                         "       fpsim ctl [--socket PATH] COMMAND ...   (fpsim ctl help)\n"
                         "       fpsim write-template FILE N FINGER\n"
                         "The socket defaults to SIM_SOCKET of [FINGERPRINT] in the site's Orvel.ini.\n");
    return 2;
}

QString DefaultSocket()
{
    return orvel::ReadFpScannerSettings().socketPath;
}

int RunCtl(QStringList args)
{
    QString socket;
    if (args.size() >= 2 && args[0] == QLatin1String("--socket")) {
        socket = args[1];
        args = args.mid(2);
    }
    if (args.isEmpty())
        return Usage();
    if (socket.isEmpty())
        socket = DefaultSocket();
    const devsim::LineReply a = devsim::LineCall(QFile::encodeName(socket).toStdString(), args.join(u' ').toStdString(), 15000);
    for (const std::string &l : a.lines)
        std::printf("%s\n", l.c_str());
    if (a.result == devsim::LineReply::Ok) {
        std::printf("OK\n");
        return 0;
    }
    if (a.result == devsim::LineReply::Unreachable)
        std::fprintf(stderr, "fpsim ctl: no scanner simulator: %s\n", a.error.c_str());
    else
        std::printf("ERR %s\n", a.error.c_str());
    return 1;
}

int WriteTemplate(const QStringList &args, uint64_t seed)
{
    bool ok = false;
    const int record = args.value(1).toInt(&ok);
    if (args.size() != 3 || !ok || record < 1 || args[2].isEmpty())
        return Usage();
    fpsim::ScannerSim sim(seed);
    const QByteArray image = sim.Touch(args[2]);
    const fp::Extraction ex = fp::ExtractMinutiae(reinterpret_cast<const uint8_t *>(image.constData()));
    QByteArray tpl(fp::kTemplateBytes, '\0');
    fp::EncodeTemplate(ex.minutiae, ex.quality, reinterpret_cast<uint8_t *>(tpl.data()));
    QFile f(args[0]);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(qint64(record - 1) * fp::kTemplateBytes) || f.write(tpl) != tpl.size()) {
        std::fprintf(stderr, "fpsim: cannot write record %d of %s: %s\n", record, qPrintable(args[0]),
                     qPrintable(f.errorString()));
        return 1;
    }
    std::printf("record %d of %s: template of %s with %zu minutiae\n", record, qPrintable(args[0]), qPrintable(args[2]),
                ex.minutiae.size());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    if (!args.isEmpty() && args[0] == QLatin1String("ctl"))
        return RunCtl(args.mid(1));

    uint64_t seed = uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^ std::random_device{}();
    QString socket;
    for (int i = 0; i < args.size();) {
        if (args[i] == QLatin1String("--socket") && i + 1 < args.size()) {
            socket = args[i + 1];
            args.remove(i, 2);
        } else if (args[i] == QLatin1String("--seed") && i + 1 < args.size()) {
            bool ok = false;
            seed = args[i + 1].toULongLong(&ok);
            if (!ok)
                return Usage();
            args.remove(i, 2);
        } else {
            ++i;
        }
    }
    if (!args.isEmpty() && args[0] == QLatin1String("write-template"))
        return WriteTemplate(args.mid(1), seed);
    if (!args.isEmpty())
        return Usage();

    if (socket.isEmpty())
        socket = DefaultSocket();
    socket = QFileInfo(socket).absoluteFilePath();
    fpsim::ScannerSim sim(seed);
    QString error;
    if (!sim.Listen(socket, &error)) {
        std::fprintf(stderr, "fpsim: %s\n", qPrintable(error));
        return 1;
    }
    const QByteArray path = QFile::encodeName(socket);
    std::strncpy(g_socketPath, path.constData(), sizeof g_socketPath - 1);
    std::signal(SIGTERM, OnTerminate);
    std::signal(SIGINT, OnTerminate);
    QObject::connect(&sim, &fpsim::ScannerSim::QuitRequested, &app, &QCoreApplication::quit);
    std::printf("fpsim ready socket=%s\n", path.constData());
    std::fflush(stdout);
    const int rc = app.exec();
    ::unlink(g_socketPath);
    return rc;
}
