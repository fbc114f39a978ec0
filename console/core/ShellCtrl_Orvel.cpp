#include "ShellCtrl_Orvel.h"

#include "ConsoleTiming.h"
#include "ConsoleWait.h"
#include "OrvelDefs.h"
#include "ConsoleState.h"
#include "SiteFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <csignal>
#include <sys/types.h>

namespace ShellCtrl_Orvel {

namespace {

struct ProcessRecord
{
    qint64 pid = 0;
    QString program;     // absolute path it was started from
    QByteArray startTime; // field 22 of /proc/<pid>/stat: tells a reused pid apart
};

ProcessRecord &Record(int serverId)
{
    static ProcessRecord records[2];
    return records[serverId == orvel::srv::Courier ? 1 : 0];
}

QString &Folder()
{
    static QString folder;
    return folder;
}

QByteArray StartTimeOf(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = f.readAll();
    // The command name in parentheses may hold spaces; fields are counted after its end.
    const int close = stat.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19] : QByteArray(); // field 22 overall
}

// The process is still the one started from program: same start time, and it runs that file
// (directly, or as the script an interpreter runs).
bool StillOurs(const ProcessRecord &r)
{
    if (r.startTime.isEmpty() || StartTimeOf(r.pid) != r.startTime)
        return false;
    const QString canonical = QFileInfo(r.program).canonicalFilePath();
    if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(r.pid)).canonicalFilePath() == canonical)
        return true;
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(r.pid));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QList<QByteArray> args = f.readAll().split('\0');
    for (const QByteArray &a : args)
        if (!a.isEmpty() && QFileInfo(QFile::decodeName(a)).canonicalFilePath() == canonical)
            return true;
    return false;
}

// True when a process of ours was there to be stopped.
bool Kill(int serverId)
{
    ProcessRecord &r = Record(serverId);
    if (r.pid == 0)
        return false;
    const bool ours = StillOurs(r);
    if (ours)
        ::kill(static_cast<pid_t>(r.pid), SIGKILL); // failures ignored: the process may be gone
    r = ProcessRecord{};
    return ours;
}

void Start(int serverId)
{
    // The pause lets a stopped service release what it held; a first start has nothing to wait for.
    if (Kill(serverId))
        WaitWithEvents(Timing().srvRestartWaitMs);
    const QString folder = Folder().isEmpty() ? QCoreApplication::applicationDirPath() : Folder();
    const QString program = QDir(folder).absoluteFilePath(ProgramName(serverId));
    const QString site = orvel::SiteFolder();
    QDir::setCurrent(site);
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, site, &pid) || pid <= 0)
        return; // failures of the process functions are ignored; the supervision retries later
    ProcessRecord &r = Record(serverId);
    r.pid = pid;
    r.program = program;
    r.startTime = StartTimeOf(pid);
}

} // namespace

QString ProgramName(int serverId)
{
    const bool felica = GetEdition() != orvel::EditionMifare;
    if (serverId == orvel::srv::Harvester)
        return felica ? QStringLiteral("Harvester1") : QStringLiteral("HarvesterMF1");
    return felica ? QStringLiteral("Courier1") : QStringLiteral("CourierMF1");
}

void StartHarvester() { Start(orvel::srv::Harvester); }
void KillHarvester() { Kill(orvel::srv::Harvester); }
void StartCourier() { Start(orvel::srv::Courier); }
void KillCourier() { Kill(orvel::srv::Courier); }

qint64 ProcessId(int serverId)
{
    return Record(serverId).pid;
}

void SetProgramFolder(const QString &folder)
{
    Folder() = folder;
}

} // namespace ShellCtrl_Orvel
