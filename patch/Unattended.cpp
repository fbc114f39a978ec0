#include "Unattended.h"

#include "PatchUpdate.h"

#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace patch {

namespace {

class ConsoleObserver : public UpdateObserver
{
public:
    void Guide(const QString &text) override { Out() << text << Qt::endl; }
    void FileShown(int, int, const QString &text) override { Out() << text << Qt::endl; }
    void CopyFailed(const QString &reason) override
    {
        Err() << QString(kMsgCopyFailed).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << "\n"
              << reason << Qt::endl;
    }
    static QTextStream &Out()
    {
        static QTextStream s(stdout);
        return s;
    }
    static QTextStream &Err()
    {
        static QTextStream s(stderr);
        return s;
    }
};

} // namespace

int RunUnattended(const PatchEnv &env, const QString &installDir)
{
    QTextStream &err = ConsoleObserver::Err();
    const std::optional<PatchData> data = ReadVersDat(env.patchDir);
    if (!data) {
        err << kMsgBadPatchData << Qt::endl;
        return kExitInvalid;
    }
    InstallDirChoice choice;
    if (installDir.isEmpty())
        choice = FindInstallDir(data->edition, env.defaultDir);
    else
        choice = {QDir::cleanPath(QFileInfo(installDir).absoluteFilePath()), IsInstallDir(installDir, data->edition)};
    if (!choice.accepted) {
        err << kGuidePickFolder << " (" << EditionProgram(data->edition) << ": " << choice.dir << ")" << Qt::endl;
        return kExitInvalid;
    }
    ConsoleObserver::Out() << QStringLiteral("version %1 (%2) -> %3").arg(data->version, data->edition, choice.dir)
                           << Qt::endl;

    InstallLock lock;
    QStringList running;
    if (!lock.Acquire(choice.dir, &running)) {
        err << QString(RunningMessage(running)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) << Qt::endl;
        return kExitFailed;
    }
    ConsoleObserver observer;
    const UpdateOutcome outcome = RunUpdate(*data, env.patchDir, choice.dir, observer);
    if (!outcome.logComplete)
        err << "Patch_Log.txt: not every line could be written" << Qt::endl;
    if (!outcome.completed)
        err << kDoneFailed << Qt::endl;
    return outcome.completed ? kExitCompleted : kExitFailed;
}

} // namespace patch
