#pragma once

// What every part of the patch installer shares: the patch data of Vers.dat, the editions, the
// installation folder (finding and accepting it), the running-program test, the log file and
// the texts and colours. No widgets here.

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace orvel {
class SingleInstance;
}

namespace patch {

// ---- texts -------------------------------------------------------------------------------
inline const QString kMsgBadPatchData = QStringLiteral("パッチデータが正しく有りません。終了します。");
inline const QString kGuideStart = QStringLiteral("宜しければ、【開始】ボタンを押して下さい。");
inline const QString kGuidePickFolder = QStringLiteral("インストール済みフォルダを指定して下さい。");
inline const QString kGuideListing = QStringLiteral("更新ファイルリストの作成中・・・");
inline const QString kGuideUpdating = QStringLiteral("ファイル更新中・・・");
inline const QString kGuideUpdated = QStringLiteral("ファイル更新完了");
inline const QString kGuideErrorEnd = QStringLiteral("エラー終了します。");
inline const QString kMsgCopyFailed = QStringLiteral("ファイルの更新に失敗しました。\r\n更新処理は中止します。\r\n\r\n"
                                                     "Kavrin Managerが起動している場合には終了し、再実行して下さい。");
inline const QString kMsgDriveError = QStringLiteral("ドライブエラーです｡");
inline const QString kDoneCompleted = QStringLiteral("更新処理は完了しました。【終了】ボタンを押して下さい。");
inline const QString kDoneFailed = QStringLiteral("更新処理に失敗しました。");
inline const QString kSuffixUpdate = QStringLiteral("（更新）");
inline const QString kSuffixNoUpdate = QStringLiteral("(更新しない)");
// Said before anything is copied when programs of the installation are running.
QString RunningMessage(const QStringList &programs);

// Guide colours: &H00FF0000 (blue) for guidance, &H000000FF (red) for the failure.
inline const QColor kGuideColor = QColor(0, 0, 255);
inline const QColor kFailColor = QColor(255, 0, 0);

// ---- patch data --------------------------------------------------------------------------
struct PatchData
{
    QString edition; // "Felica" or "Mifare"
    QString version; // the patch version text
};

// "<patch folder>/PatchFile" and its Vers.dat.
QString PatchFileDir(const QString &patchDir);
// Reads Vers.dat: two values one after the other (separated by a comma or a line end, each
// optionally in double quotes). Nothing when the file is missing or the edition is neither
// "Felica" nor "Mifare".
std::optional<PatchData> ReadVersDat(const QString &patchDir);

// ---- the installation --------------------------------------------------------------------
// The program file that marks an installation folder of the edition ("Orvel", "Orvel_Mifare").
QString EditionProgram(const QString &edition);
// The edition's desktop entry file ("belmoor-kavrin-manager-2.desktop", ...).
QString EditionDesktopEntry(const QString &edition);
// The installation folder when no desktop entry names one.
QString DefaultInstallDir();

// A folder is accepted when the edition's program file is in it.
bool IsInstallDir(const QString &dir, const QString &edition);

// The folder of the program that the edition's desktop entry starts (its Exec line), the entry
// looked up in $XDG_DATA_HOME/applications, then in each of $XDG_DATA_DIRS. Empty when there is
// no entry.
QString DesktopEntryFolder(const QString &edition);
// The program of a desktop entry's Exec value (quotes and escapes undone, field codes dropped).
QString ExecProgram(const QString &execValue);

struct InstallDirChoice
{
    QString dir;           // what the window shows
    bool accepted = false; // the edition's program is in it
};
// The desktop entry's folder when it is accepted, else defaultDir when that is, else not
// accepted (dir is then defaultDir).
InstallDirChoice FindInstallDir(const QString &edition, const QString &defaultDir);

// ---- programs of the installation that are running -------------------------------------
// Holds the single-instance locks of the consoles and services in an installation folder for
// as long as it lives, so that none of them starts while files are replaced.
class InstallLock
{
public:
    InstallLock();
    ~InstallLock();
    InstallLock(const InstallLock &) = delete;
    InstallLock &operator=(const InstallLock &) = delete;

    // Takes every lock of the folder. On false, running names the programs found running
    // (through their locks, or by a process started from a file of the folder) and no lock
    // is held.
    bool Acquire(const QString &installDir, QStringList *running);
    void Release();

private:
    struct HeldLock
    {
        std::unique_ptr<orvel::SingleInstance> lock;
        QString createdFile; // the lock file, when taking the lock created it
    };
    std::vector<HeldLock> m_locks;
};

// The lock files of the console (each edition) and of the services, in the site folder of an
// installation, with the program each belongs to.
QList<QPair<QString, QString>> InstanceLocks();

// Processes whose program or one of whose mapped libraries is a file of dir.
QStringList ProgramsRunningFrom(const QString &dir);

// ---- the log file ------------------------------------------------------------------------
// Patch_Log.txt in the installation folder: Shift_JIS, CR LF, appended line by line.
inline constexpr char kLogFileName[] = "Patch_Log.txt";
class PatchLog
{
public:
    explicit PatchLog(const QString &installDir);
    QString path() const { return m_path; }
    bool Write(const QString &line);

private:
    QString m_path;
};

// "yyyy/MM/dd HH:mm:ss", the date-time of the log lines.
QString LogTime(const QDateTime &t);

// The clock of the log lines; tests fix it.
using Clock = std::function<QDateTime()>;
void SetClock(Clock clock); // an empty clock is the system clock
QDateTime Now();

// ---- timing ------------------------------------------------------------------------------
// The two timers of the progress window. The environment may shorten or lengthen them (tests,
// screenshots): ORVEL_PATCH_START_MS, ORVEL_PATCH_EXIT_MS.
struct PatchTiming
{
    int startMs = 300;  // timStart: once, after the progress window is shown
    int exitMs = 1000;  // timExit: closes the progress window after the run

    static PatchTiming FromEnvironment();
};

// Where a run takes its patch from and what it falls back to.
struct PatchEnv
{
    QString patchDir;   // the folder holding PatchFile/ (the program's own folder)
    QString defaultDir; // DefaultInstallDir() unless a test says otherwise
    PatchTiming timing;
};

} // namespace patch
