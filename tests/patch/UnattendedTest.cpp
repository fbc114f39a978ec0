// Orvel_Patch --unattended, the real program run from a real patch folder.
#include "PatchTestUtil.h"
#include "Public.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

using namespace patchtest;

namespace {

struct Result
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the patch program from the patch folder, as a site would.
Result Unattended(const Folders &f, const QStringList &args, qint64 fileSizeLimit = 0)
{
    const QString program = f.patchDir() + "/Orvel_Patch";
    if (!QFile::exists(program))
        QFile::copy(ORVEL_PATCH_PATH, program);
    QProcess p;
    if (fileSizeLimit > 0)
        p.setChildProcessModifier([fileSizeLimit] {
            struct rlimit r;
            ::getrlimit(RLIMIT_FSIZE, &r);
            r.rlim_cur = rlim_t(fileSizeLimit);
            ::setrlimit(RLIMIT_FSIZE, &r);
        });
    p.start(program, QStringList{"--unattended"} + args);
    Result r;
    if (!p.waitForFinished(60000))
        p.kill();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromLocal8Bit(p.readAllStandardOutput());
    r.err = QString::fromLocal8Bit(p.readAllStandardError());
    return r;
}

// The log lines with each date-time replaced by "T", so that runs can be compared exactly.
QByteArray MaskTimes(QByteArray log)
{
    static const QRegularExpression time("\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2}");
    QString latin = QString::fromLatin1(log);
    latin.replace(time, "T");
    return latin.toLatin1();
}

TEST(Unattended, InvalidPatchDataExitsTwoAndChangesNothing)
{
    Folders f;
    f.MakeInstallation();
    MakeFile(f.patchFile("Orvel"), {"9.0.0.0", {}, 0755});
    const auto before = Snapshot(f.installDir());
    for (const QByteArray &bad : {QByteArray("MIFARE,2.0"), QByteArray("felica\r\n2.0"), QByteArray()}) {
        if (bad.isNull())
            QFile::remove(f.patchFile("Vers.dat"));
        else
            f.WriteVersDat(bad);
        const Result r = Unattended(f, {"--install-dir", f.installDir()});
        EXPECT_EQ(r.exitCode, 2) << bad.constData();
        EXPECT_TRUE(r.err.contains("パッチデータが正しく有りません。終了します。")) << r.err.toStdString();
    }
    EXPECT_EQ(Snapshot(f.installDir()), before);
}

TEST(Unattended, AFolderWithoutTheEditionsProgramIsNotUpdated)
{
    Folders f;
    f.MakeInstallation("Orvel");
    MakeFile(f.patchFile("Orvel_Mifare"), {"9.0.0.0", {}, 0755});
    f.WriteVersDat("Mifare,2.0.1.0");
    const auto before = Snapshot(f.installDir());
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains("インストール済みフォルダを指定して下さい。"));
    EXPECT_EQ(Snapshot(f.installDir()), before);
}

TEST(Unattended, ACompletedUpdateKeepsRunBitsAndHandlesEveryFile)
{
    Folders f;
    f.MakeInstallation();
    // The installed program is executable; its replacement lost the bit on the way.
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0644});
    // A new program is copied with its own mode.
    MakeFile(f.patchFile("Courier1"), {"2.1.0.0", {}, 0750});
    for (int i = 0; i < 120; ++i)
        MakeFile(f.patchFile(QString("x%1.wav").arg(i, 3, 10, QChar('0'))), {});
    f.WriteVersDat("\"Felica\",\"2.1.0.0\"\r\n");
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("ファイル更新完了"));

    EXPECT_EQ(Mode(f.installed("Orvel")), 0755);
    EXPECT_EQ(ReadAll(f.installed("Orvel")), ReadAll(f.patchFile("Orvel")));
    EXPECT_EQ(Mode(f.installed("Courier1")), 0750);
    EXPECT_EQ(orvel::GetFileVers(f.installed("Orvel")), "2.1.0.0");
    const QString p = f.patchFile();
    QStringList lines{"", "===> 更新開始 T", "version 2.1.0.0 (Felica)", "対象フォルダ " + f.installDir(),
                      p + "/Courier1 -> 成功", p + "/Orvel -> 成功", p + "/Vers.dat -> 成功"};
    for (int i = 0; i < 120; ++i) {
        const QString name = QString("x%1.wav").arg(i, 3, 10, QChar('0'));
        lines << p + "/" + name + " -> 成功";
        EXPECT_TRUE(QFile::exists(f.installed(name))) << name.toStdString();
    }
    lines << "<=== 更新完了 T";
    EXPECT_EQ(MaskTimes(ReadAll(f.log())), SjisLines(lines));
    // The installed programs still run: the copy left nothing half-written behind.
    EXPECT_EQ(QDir(f.installDir()).entryList(QDir::Files | QDir::Hidden).filter(".patch-"), QStringList());
}

TEST(Unattended, AFailedCopyExitsOneAndKeepsWhatWasCopied)
{
    Folders f;
    f.MakeInstallation();
    MakeFile(f.patchFile("a.so"), {"2.1.0.0"});
    MakeFile(f.patchFile("b.so"), {"2.1.0.0"});
    MakeFile(f.patchFile("c.so"), {"2.1.0.0", {}, 0644, QByteArray(512 * 1024, 'c')});
    MakeFile(f.installed("c.so"), {"2.0.0.0", {}, 0755, QByteArray(1000, 'o')});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    const QByteArray oldC = ReadAll(f.installed("c.so"));
    const Result r = Unattended(f, {"--install-dir", f.installDir()}, 128 * 1024);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("ファイルの更新に失敗しました。")) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("c.so"));
    EXPECT_EQ(ReadAll(f.installed("a.so")), ReadAll(f.patchFile("a.so")));
    EXPECT_EQ(ReadAll(f.installed("c.so")), oldC);
    EXPECT_EQ(Mode(f.installed("c.so")), 0755);
    const QString p = f.patchFile();
    EXPECT_EQ(MaskTimes(ReadAll(f.log())),
              SjisLines({"", "===> 更新開始 T", "version 2.1.0.0 (Felica)", "対象フォルダ " + f.installDir(),
                         p + "/a.so -> 成功", p + "/b.so -> 成功", p + "/c.so -> 失敗", "<=== 更新失敗 T"}));
}

TEST(Unattended, ARunAfterAKilledOneRemovesTheHalfWrittenCopiesItLeft)
{
    Folders f;
    f.MakeInstallation();
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0755});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    // What two runs killed during the copy of the console left: partial copies beside it.
    MakeFile(f.installed(".Orvel.patch-Ab12Cd"), {{}, {}, 0600, QByteArray(4096, 'x')});
    MakeFile(f.installed(".Orvel.patch-zZ9yY8"), {{}, {}, 0600, QByteArray(4096, 'x')});
    // Files of the site that only look alike stay.
    MakeFile(f.installed(".Orvel.patch-toolong"), {});
    MakeFile(f.installed("notes.patch-Ab12Cd"), {});
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(f.installDir()).entryList(QDir::Files | QDir::Hidden).filter(".patch-"),
              QStringList({".Orvel.patch-toolong", "notes.patch-Ab12Cd"}));
    EXPECT_EQ(ReadAll(f.installed("Orvel")), ReadAll(f.patchFile("Orvel")));
}

TEST(Unattended, ALogFileInThePatchFolderNeverReplacesTheInstallationsLog)
{
    Folders f;
    f.MakeInstallation();
    MakeFile(f.installed("Patch_Log.txt"), FileMade("", QDateTime::currentDateTime().addYears(-3), 0644,
                                                    "earlier runs\r\n"));
    const QByteArray earlier = ReadAll(f.log());
    // A patch folder copied from an installation that had been patched before.
    MakeFile(f.patchFile("Patch_Log.txt"), {"", {}, 0644, "the patch maker's runs\r\n"});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QString p = f.patchFile();
    EXPECT_EQ(MaskTimes(ReadAll(f.log())),
              earlier + SjisLines({"", "===> 更新開始 T", "version 2.1.0.0 (Felica)", "対象フォルダ " + f.installDir(),
                                   p + "/Patch_Log.txt -> 成功(更新なし）", p + "/Vers.dat -> 成功",
                                   "<=== 更新完了 T"}));
}

TEST(Unattended, AReaderOfTheOutputThatGoesAwayDoesNotStopTheUpdate)
{
    Folders f;
    f.MakeInstallation();
    for (int i = 0; i < 20; ++i)
        MakeFile(f.patchFile(QString("f%1.dat").arg(i, 2, 10, QChar('0'))), {});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    QFile::copy(ORVEL_PATCH_PATH, f.patchDir() + "/Orvel_Patch");
    // As `Orvel_Patch --unattended | head -1` would: the output's reader is gone before the run.
    QProcess p;
    p.setChildProcessModifier([] {
        ::signal(SIGPIPE, SIG_DFL); // as a shell starts it, not as this test process would
        int fds[2];
        if (::pipe(fds) == 0) {
            ::close(fds[0]);
            ::dup2(fds[1], STDOUT_FILENO);
            ::close(fds[1]);
        }
    });
    p.start(f.patchDir() + "/Orvel_Patch", {"--unattended", "--install-dir", f.installDir()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(QFile::exists(f.installed(QString("f%1.dat").arg(i, 2, 10, QChar('0')))));
    EXPECT_TRUE(MaskTimes(ReadAll(f.log())).endsWith(SjisLines({"<=== 更新完了 T"})));
}

TEST(Unattended, ALogThatCannotBeWrittenStopsTheUpdateBeforeAnyCopy)
{
    Folders f;
    f.MakeInstallation();
    QDir().mkpath(f.log()); // a folder where the log file should be
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0755});
    f.WriteVersDat("Felica,2.1.0.0");
    const auto before = Snapshot(f.installDir());
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Patch_Log.txt")) << r.err.toStdString();
    EXPECT_EQ(Snapshot(f.installDir()), before);
}

// Kills what a console started on its site (the services run with the site as their folder).
void StopSiteProcesses(const QString &site)
{
    const QString dir = QFileInfo(site).canonicalFilePath();
    for (int pass = 0; pass < 2; ++pass) { // a service may have been on its way when the console died
        for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (pid[0].isDigit() && QFile::symLinkTarget("/proc/" + pid + "/cwd") == dir)
                ::kill(pid.toInt(), SIGKILL);
        QTest::qWait(500);
    }
}

TEST(Unattended, ARunningConsoleIsDetectedThroughItsLock)
{
    // A real site in the installation folder, as an installation without $ORVEL_HOME has it.
    Folders f;
    QDir(f.installDir()).removeRecursively();
    QProcess init;
    init.start(ORVELCTL_PATH, {"init-site", f.installDir()});
    ASSERT_TRUE(init.waitForFinished(60000) && init.exitCode() == 0) << init.readAllStandardError().toStdString();
    MakeFile(f.installed("Orvel"), {"2.0.0.1", {}, 0755});
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0755});
    f.WriteVersDat("Felica,2.1.0.0");

    QProcess console;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVEL_HOME", f.installDir());
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", f.root() + "/config");
    console.setProcessEnvironment(env);
    console.start(ORVEL_FELICA_PATH, {});
    ASSERT_TRUE(console.waitForStarted());
    const bool locked = QTest::qWaitFor([&] { return QFile::exists(f.installed("Orvel.lock")); }, 20000);
    const Result r = Unattended(f, {"--install-dir", f.installDir()});
    console.kill();
    console.waitForFinished();
    StopSiteProcesses(f.installDir());
    ASSERT_TRUE(locked);

    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("Kavrin Managerが起動しています。（Orvel")) << r.err.toStdString();
    EXPECT_EQ(orvel::GetFileVers(f.installed("Orvel")), "2.0.0.1");
    EXPECT_FALSE(QFile::exists(f.log()));

    // The console is gone: its lock is stale and the update goes ahead.
    const Result again = Unattended(f, {"--install-dir", f.installDir()});
    EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
    EXPECT_EQ(orvel::GetFileVers(f.installed("Orvel")), "2.1.0.0");
}

} // namespace
