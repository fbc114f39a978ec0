#include "Public.h"

#include "SingleInstance.h"
#include "Sjis.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace patch {

QString RunningMessage(const QStringList &programs)
{
    return QStringLiteral("Kavrin Managerが起動しています。（%1）\r\n終了してから、再実行して下さい。")
        .arg(programs.join(QStringLiteral("、")));
}

// ---- patch data --------------------------------------------------------------------------

QString PatchFileDir(const QString &patchDir)
{
    return QDir(patchDir).filePath(QStringLiteral("PatchFile"));
}

namespace {

// The values of a text file as a sequential read takes them: separated by commas or line ends,
// leading blanks skipped, a value in double quotes taken as it is written.
QStringList ReadValues(const QString &text)
{
    QStringList values;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto isEnd = [](QChar c) { return c == QLatin1Char(',') || c == QLatin1Char('\r') || c == QLatin1Char('\n'); };
    while (i < n) {
        while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
            ++i;
        QString value;
        if (i < n && text[i] == QLatin1Char('"')) {
            const qsizetype close = text.indexOf(QLatin1Char('"'), i + 1);
            value = text.mid(i + 1, close < 0 ? -1 : close - i - 1);
            i = close < 0 ? n : close + 1;
            while (i < n && !isEnd(text[i]))
                ++i;
        } else {
            const qsizetype start = i;
            while (i < n && !isEnd(text[i]))
                ++i;
            value = text.mid(start, i - start).trimmed();
        }
        // A CR LF pair (or blank lines between values) ends one value, not several.
        if (i < n && text[i] == QLatin1Char(','))
            ++i;
        else
            while (i < n && (text[i] == QLatin1Char('\r') || text[i] == QLatin1Char('\n')))
                ++i;
        values << value;
    }
    return values;
}

} // namespace

std::optional<PatchData> ReadVersDat(const QString &patchDir)
{
    QFile file(QDir(PatchFileDir(patchDir)).filePath(QStringLiteral("Vers.dat")));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(64 * 1024);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QStringList values = ReadValues(orvel::FromSjis(bytes));
    PatchData data;
    data.edition = values.value(0);
    data.version = values.value(1);
    if (data.edition != QLatin1String("Felica") && data.edition != QLatin1String("Mifare"))
        return std::nullopt;
    return data;
}

// ---- the installation --------------------------------------------------------------------

QString EditionProgram(const QString &edition)
{
    return edition == QLatin1String("Mifare") ? QStringLiteral("Orvel_Mifare") : QStringLiteral("Orvel");
}

QString EditionDesktopEntry(const QString &edition)
{
    return (edition == QLatin1String("Mifare") ? QStringLiteral(ORVEL_DESKTOP_ENTRY_MIFARE)
                                               : QStringLiteral(ORVEL_DESKTOP_ENTRY_FELICA))
           + QStringLiteral(".desktop");
}

QString DefaultInstallDir()
{
    return QStringLiteral(ORVEL_DEFAULT_INSTALL_DIR);
}

bool IsInstallDir(const QString &dir, const QString &edition)
{
    if (dir.trimmed().isEmpty())
        return false;
    return QFileInfo(QDir(dir).filePath(EditionProgram(edition))).isFile();
}

QString ExecProgram(const QString &execValue)
{
    // Undo the escapes of a desktop entry's string values first, then the Exec quoting.
    QString value;
    for (qsizetype i = 0; i < execValue.size(); ++i) {
        const QChar c = execValue[i];
        if (c != QLatin1Char('\\') || i + 1 == execValue.size()) {
            value += c;
            continue;
        }
        const char e = execValue[++i].toLatin1();
        switch (e) {
        case 's': value += QLatin1Char(' '); break;
        case 'n': value += QLatin1Char('\n'); break;
        case 't': value += QLatin1Char('\t'); break;
        case 'r': value += QLatin1Char('\r'); break;
        case '\\': value += QLatin1Char('\\'); break;
        default: value += QLatin1Char('\\'); value += execValue[i]; break;
        }
    }
    value = value.trimmed();
    QString program;
    if (value.startsWith(QLatin1Char('"'))) {
        for (qsizetype i = 1; i < value.size(); ++i) {
            if (value[i] == QLatin1Char('\\') && i + 1 < value.size()) {
                program += value[++i];
            } else if (value[i] == QLatin1Char('"')) {
                break;
            } else {
                program += value[i];
            }
        }
    } else {
        program = value.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
    }
    return program;
}

QString DesktopEntryFolder(const QString &edition)
{
    const QString entry = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, EditionDesktopEntry(edition));
    if (entry.isEmpty())
        return QString();
    QFile file(entry);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool inEntry = false;
    QString exec;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')))
            inEntry = line == QLatin1String("[Desktop Entry]");
        else if (inEntry && line.startsWith(QLatin1String("Exec")))
            if (const qsizetype eq = line.indexOf(QLatin1Char('=')); eq > 0 && line.left(eq).trimmed() == QLatin1String("Exec"))
                exec = line.mid(eq + 1);
    }
    QString program = ExecProgram(exec);
    if (program.isEmpty())
        return QString();
    if (!program.contains(QLatin1Char('/')))
        program = QStandardPaths::findExecutable(program);
    if (program.isEmpty())
        return QString();
    const QFileInfo info(program);
    // An entry may start the program through a link; the folder is where the program lives.
    if (info.isSymLink() && !info.canonicalFilePath().isEmpty())
        return QFileInfo(info.canonicalFilePath()).absolutePath();
    return info.absolutePath();
}

InstallDirChoice FindInstallDir(const QString &edition, const QString &defaultDir)
{
    const QString fromEntry = DesktopEntryFolder(edition);
    if (!fromEntry.isEmpty() && IsInstallDir(fromEntry, edition))
        return {fromEntry, true};
    return {defaultDir, IsInstallDir(defaultDir, edition)};
}

// ---- programs of the installation that are running -------------------------------------

QList<QPair<QString, QString>> InstanceLocks()
{
    // The console locks "<program>.lock"; the services lock their start event's name.
    return {{QStringLiteral("Orvel.lock"), QStringLiteral("Orvel")},
            {QStringLiteral("Orvel_Mifare.lock"), QStringLiteral("Orvel_Mifare")},
            {QStringLiteral("Harvester_Started.lock"), QStringLiteral("Harvester")},
            {QStringLiteral("Courier_Started.lock"), QStringLiteral("Courier")}};
}

QStringList ProgramsRunningFrom(const QString &dir)
{
    const QString folder = QFileInfo(dir).canonicalFilePath();
    QStringList found;
    if (folder.isEmpty())
        return found;
    const QString self = QString::number(QCoreApplication::applicationPid());
    auto inFolder = [&](QString path) {
        if (path.endsWith(QLatin1String(" (deleted)")))
            path.chop(10);
        return QFileInfo(path).absolutePath() == folder;
    };
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : pids) {
        if (pid == self || pid.isEmpty() || !pid[0].isDigit())
            continue;
        // Processes of other users cannot be read unless we are root; they are left out.
        const QString exe = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(pid));
        if (exe.isEmpty())
            continue;
        bool uses = inFolder(exe);
        if (!uses) {
            QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
            if (maps.open(QIODevice::ReadOnly)) {
                const QList<QByteArray> lines = maps.readAll().split('\n');
                for (const QByteArray &line : lines) {
                    const qsizetype slash = line.indexOf('/');
                    if (slash > 0 && inFolder(QString::fromLocal8Bit(line.mid(slash)))) {
                        uses = true;
                        break;
                    }
                }
            }
        }
        if (uses) {
            QString name = QFileInfo(exe).fileName();
            if (name.endsWith(QLatin1String(" (deleted)")))
                name.chop(10);
            if (!found.contains(name))
                found << name;
        }
    }
    return found;
}

InstallLock::InstallLock() = default;

InstallLock::~InstallLock()
{
    Release();
}

bool InstallLock::Acquire(const QString &installDir, QStringList *running)
{
    Release();
    running->clear();
    const QDir dir(installDir);
    for (const auto &[file, program] : InstanceLocks()) {
        // The programs hold the kernel's lock on these files for as long as they run; a file left
        // by a program that has ended (they are never removed) is free.
        const QString path = dir.filePath(file);
        const bool existed = QFileInfo::exists(path);
        auto lock = std::make_unique<orvel::SingleInstance>(path.chopped(int(qstrlen(".lock"))));
        if (lock->TryAcquire()) {
            m_locks.push_back({std::move(lock), existed ? QString() : path});
            continue;
        }
        const QFileInfo info(path);
        if (!info.exists() || !info.isWritable())
            continue; // a folder we cannot write: the copy will say so
        if (!running->contains(program))
            running->append(program);
    }
    for (const QString &name : ProgramsRunningFrom(installDir))
        if (!running->contains(name))
            running->append(name);
    if (!running->isEmpty()) {
        Release();
        return false;
    }
    return true;
}

void InstallLock::Release()
{
    // A file this lock created goes again (removed while still held, so that no program can
    // take the removed file); the programs' own files stay.
    for (HeldLock &held : m_locks) {
        if (!held.createdFile.isEmpty())
            QFile::remove(held.createdFile);
        held.lock.reset();
    }
    m_locks.clear();
}

// ---- the log file ------------------------------------------------------------------------

PatchLog::PatchLog(const QString &installDir)
    : m_path(QDir(installDir).filePath(QLatin1String(kLogFileName)))
{
}

bool PatchLog::Write(const QString &line)
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QByteArray bytes = orvel::ToSjis(line) + "\r\n";
    return file.write(bytes) == bytes.size() && file.flush();
}

QString LogTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
}

namespace {
Clock &TheClock()
{
    static Clock clock;
    return clock;
}
} // namespace

void SetClock(Clock clock)
{
    TheClock() = std::move(clock);
}

QDateTime Now()
{
    return TheClock() ? TheClock()() : QDateTime::currentDateTime();
}

// ---- timing ------------------------------------------------------------------------------

PatchTiming PatchTiming::FromEnvironment()
{
    PatchTiming t;
    bool ok = false;
    if (const int v = qEnvironmentVariableIntValue("ORVEL_PATCH_START_MS", &ok); ok && v >= 0)
        t.startMs = v;
    if (const int v = qEnvironmentVariableIntValue("ORVEL_PATCH_EXIT_MS", &ok); ok && v >= 0)
        t.exitMs = v;
    return t;
}

} // namespace patch
