// Orvel_Patch: updates an installation from the PatchFile folder beside this program.
//   Orvel_Patch                                     the start window
//   Orvel_Patch --unattended [--install-dir DIR]    the same update without windows
#include "Unattended.h"
#include "frmOrvPatch.h"

#include <QApplication>
#include <QTextStream>

#include <csignal>

int main(int argc, char **argv)
{
    // A file size limit must fail the copy (and be reported), not kill the installer halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    // Nor may a reader of the output that goes away (a pager quit, `| head`, a dropped session).
    std::signal(SIGPIPE, SIG_IGN);

    bool unattended = false;
    QString installDir;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--unattended") {
            unattended = true;
        } else if (arg == "--install-dir" && i + 1 < argc) {
            installDir = QString::fromLocal8Bit(argv[++i]);
        } else {
            QTextStream(stderr) << "usage: Orvel_Patch [--unattended [--install-dir DIR]]\n";
            return patch::kExitInvalid;
        }
    }
    if (!installDir.isEmpty() && !unattended) {
        QTextStream(stderr) << "Orvel_Patch: --install-dir goes with --unattended\n";
        return patch::kExitInvalid;
    }

    patch::PatchEnv env;
    env.defaultDir = patch::DefaultInstallDir();
    env.timing = patch::PatchTiming::FromEnvironment();
    if (unattended) {
        QCoreApplication app(argc, argv);
        env.patchDir = QCoreApplication::applicationDirPath();
        return patch::RunUnattended(env, installDir);
    }
    QApplication app(argc, argv);
    env.patchDir = QCoreApplication::applicationDirPath();
    patch::frmOrvPatch window(env);
    if (!window.Load())
        return patch::kExitInvalid;
    window.show();
    return app.exec();
}
