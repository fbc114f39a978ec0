// The start window, the progress window and the folder picker, offscreen, on real folders.
#include "PatchTestUtil.h"
#include "PatchMsg.h"
#include "Public.h"
#include "frmOrvPatch.h"
#include "frmSelFolder.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace patchtest;
using patch::PatchMsg;

namespace {

const QDateTime kNow(QDate(2024, 5, 1), QTime(9, 30, 0));

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PatchMsg::TakeShown();
        patch::SetClock([] { return kNow; });
        env.patchDir = f.patchDir();
        env.defaultDir = f.installDir();
        env.timing.startMs = 0;
        env.timing.exitMs = 0;
    }
    void TearDown() override { patch::SetClock({}); }

    template <class T> T *Find(QWidget &w, const char *name)
    {
        T *c = w.findChild<T *>(name);
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    // A desktop entry of the edition in $XDG_DATA_HOME.
    void WriteEntry(const QString &edition, const QString &exec)
    {
        const QString dir = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
        QDir().mkpath(dir);
        QFile e(dir + "/" + patch::EditionDesktopEntry(edition));
        ASSERT_TRUE(e.open(QIODevice::WriteOnly));
        e.write("[Desktop Entry]\nType=Application\nName=K\nExec=" + exec.toUtf8() + "\n");
    }
    void RemoveEntries() { QDir(qEnvironmentVariable("XDG_DATA_HOME") + "/applications").removeRecursively(); }

    Folders f;
    patch::PatchEnv env;
};

TEST_F(WindowTest, InvalidPatchDataEndsWithTheMessageAndChangesNothing)
{
    f.MakeInstallation();
    MakeFile(f.patchFile("Orvel"), {"9.0.0.0"});
    const auto before = Snapshot(f.installDir());
    for (const QByteArray &bad : {QByteArray("Felica2,1.0"), QByteArray()}) {
        if (bad.isNull())
            QFile::remove(f.patchFile("Vers.dat"));
        else
            f.WriteVersDat(bad);
        patch::frmOrvPatch w(env);
        EXPECT_FALSE(w.Load());
        const auto shown = PatchMsg::TakeShown();
        ASSERT_EQ(shown.size(), 1);
        EXPECT_EQ(shown[0].text, "パッチデータが正しく有りません。終了します。");
        EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
    }
    EXPECT_EQ(Snapshot(f.installDir()), before);
}

TEST_F(WindowTest, TheDesktopEntryNamesTheInstallationFolder)
{
    // A folder with a blank in its name, quoted in the entry as desktop entries quote such paths.
    const QString inst = f.root() + "/Kavrin Manager";
    MakeFile(inst + "/Orvel", {"2.0.0.1", {}, 0755});
    WriteEntry("Felica", "\"" + inst + "/Orvel\" %U");
    f.WriteVersDat("Felica\r\n2.0.1.0\r\n");
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    RemoveEntries();
    EXPECT_EQ(Find<QLabel>(w, "lblTitle")->text(),
              "Kavrin Manager 2 更新モジュールのインストールを行います。\nversion 2.0.1.0 (Felica)\n"
              "インストールフォルダーを確認して下さい。");
    EXPECT_EQ(Find<QLineEdit>(w, "txtInstallDir")->text(), inst);
    EXPECT_FALSE(Find<QCheckBox>(w, "chbChangeDir")->isEnabled());
    EXPECT_FALSE(Find<QGroupBox>(w, "fraChangeDir")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(w, "cmdOK")->isEnabled());
    EXPECT_EQ(Find<QPushButton>(w, "cmdOK")->text(), "開始");
    EXPECT_EQ(Find<QPushButton>(w, "cmdCancel")->text(), "取消");
    QLabel *guide = Find<QLabel>(w, "lblGuide");
    EXPECT_EQ(guide->text(), "宜しければ、【開始】ボタンを押して下さい。");
    EXPECT_EQ(guide->palette().color(QPalette::WindowText), QColor(0, 0, 255));
}

TEST_F(WindowTest, WithoutAcceptedEntryTheDefaultFolderIsTriedThenTheUserPicks)
{
    // The Felica entry names a folder without the program; the default folder has it.
    WriteEntry("Felica", f.root() + "/empty/Orvel");
    f.MakeInstallation();
    f.WriteVersDat("Felica,2.0.1.0");
    {
        patch::frmOrvPatch w(env);
        ASSERT_TRUE(w.Load());
        EXPECT_EQ(Find<QLineEdit>(w, "txtInstallDir")->text(), f.installDir());
        EXPECT_TRUE(Find<QPushButton>(w, "cmdOK")->isEnabled());
    }
    RemoveEntries();

    // A Mifare patch does not take a folder of the FeliCa program: nothing is accepted.
    f.WriteVersDat("Mifare,2.0.1.0");
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    auto *ok = Find<QPushButton>(w, "cmdOK");
    auto *check = Find<QCheckBox>(w, "chbChangeDir");
    auto *dir = Find<QLineEdit>(w, "txtInstallDir");
    auto *guide = Find<QLabel>(w, "lblGuide");
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(guide->text(), "インストール済みフォルダを指定して下さい。");
    EXPECT_TRUE(check->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
    check->setChecked(true);
    EXPECT_TRUE(Find<QGroupBox>(w, "fraChangeDir")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>(w, "cmdSearch")->isEnabled());

    // A hand-picked folder without the edition's program keeps Start disabled.
    dir->setText(f.installDir());
    EXPECT_FALSE(ok->isEnabled());
    EXPECT_EQ(guide->text(), "インストール済みフォルダを指定して下さい。");
    // Picked through the folder picker: a folder with Orvel_Mifare is accepted.
    const QString mifare = f.root() + "/mifare";
    MakeFile(mifare + "/Orvel_Mifare", {"2.0.0.1", {}, 0755});
    QTimer::singleShot(0, [&] {
        auto *picker = qobject_cast<patch::frmSelFolder *>(QApplication::activeModalWidget());
        ASSERT_NE(picker, nullptr);
        picker->SetFolder(mifare);
        picker->accept();
    });
    Find<QPushButton>(w, "cmdSearch")->click();
    EXPECT_EQ(dir->text(), mifare);
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_EQ(guide->text(), "宜しければ、【開始】ボタンを押して下さい。");
}

TEST_F(WindowTest, ACompletedRunWritesTheLogAndSaysSo)
{
    f.MakeInstallation();
    MakeFile(f.installed("Patch_Log.txt"), FileMade("", {}, 0644, "earlier run\r\n"));
    const QByteArray earlier = ReadAll(f.log());
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", kNow.addDays(-1), 0755});
    MakeFile(f.patchFile("help.txt"), {"", kNow});
    MakeFile(f.installed("old.dat"), FileMade("", kNow, 0644, "installed"));
    MakeFile(f.patchFile("old.dat"), {"", kNow.addSecs(-60)});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    Find<QPushButton>(w, "cmdOK")->click();

    EXPECT_EQ(w.RunState(), 1);
    EXPECT_TRUE(PatchMsg::TakeShown().isEmpty());
    QLabel *guide = Find<QLabel>(w, "lblGuide");
    EXPECT_EQ(guide->text(), "更新処理は完了しました。【終了】ボタンを押して下さい。");
    EXPECT_EQ(guide->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_EQ(Find<QPushButton>(w, "cmdCancel")->text(), "終了");
    EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "cmdOK")->isEnabled());

    const QString p = f.patchFile();
    EXPECT_EQ(ReadAll(f.log()), earlier + SjisLines({"", "===> 更新開始 2024/05/01 09:30:00", "version 2.1.0.0 (Felica)",
                                                     "対象フォルダ " + f.installDir(),
                                                     p + "/help.txt -> 成功", p + "/old.dat -> 成功(更新なし）",
                                                     p + "/Orvel -> 成功", p + "/Vers.dat -> 成功",
                                                     "<=== 更新完了 2024/05/01 09:30:00"}));
    EXPECT_EQ(ReadAll(f.installed("Orvel")), ReadAll(f.patchFile("Orvel")));
    EXPECT_EQ(ReadAll(f.installed("help.txt")), ReadAll(f.patchFile("help.txt")));
    EXPECT_NE(ReadAll(f.installed("old.dat")), ReadAll(f.patchFile("old.dat")));
    // The copy keeps the replacement's time, as an installed file would.
    EXPECT_EQ(QFileInfo(f.installed("Orvel")).lastModified(), kNow.addDays(-1));
}

TEST_F(WindowTest, AThirdCopyFailingHalfwayLeavesTheInstalledFileIntact)
{
    f.MakeInstallation();
    MakeFile(f.patchFile("a.so"), {"2.1.0.0"});
    MakeFile(f.patchFile("b.so"), {"2.1.0.0"});
    MakeFile(f.patchFile("c.so"), {"2.1.0.0", {}, 0644, QByteArray(256 * 1024, 'c')});
    MakeFile(f.patchFile("d.so"), {"2.1.0.0"});
    MakeFile(f.installed("c.so"), {"2.0.0.0", {}, 0644, QByteArray(20 * 1024, 'o')});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    const QByteArray oldC = ReadAll(f.installed("c.so"));
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    {
        FileSizeLimit limit(64 * 1024); // the third file does not fit: its write fails halfway
        Find<QPushButton>(w, "cmdOK")->click();
    }
    EXPECT_EQ(w.RunState(), -1);
    const auto shown = PatchMsg::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "ファイルの更新に失敗しました。\r\n更新処理は中止します。\r\n\r\n"
                             "Kavrin Managerが起動している場合には終了し、再実行して下さい。");
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
    QLabel *guide = Find<QLabel>(w, "lblGuide");
    EXPECT_EQ(guide->text(), "更新処理に失敗しました。");
    EXPECT_EQ(guide->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(Find<QPushButton>(w, "cmdCancel")->text(), "終了");
    EXPECT_TRUE(Find<QPushButton>(w, "cmdCancel")->isEnabled());

    EXPECT_EQ(ReadAll(f.installed("a.so")), ReadAll(f.patchFile("a.so")));
    EXPECT_EQ(ReadAll(f.installed("b.so")), ReadAll(f.patchFile("b.so")));
    EXPECT_EQ(ReadAll(f.installed("c.so")), oldC);
    EXPECT_FALSE(QFile::exists(f.installed("d.so")));
    EXPECT_EQ(QDir(f.installDir()).entryList(QDir::Files | QDir::Hidden).filter(".patch-"), QStringList());
    const QString p = f.patchFile();
    EXPECT_EQ(ReadAll(f.log()), SjisLines({"", "===> 更新開始 2024/05/01 09:30:00", "version 2.1.0.0 (Felica)",
                                           "対象フォルダ " + f.installDir(), p + "/a.so -> 成功", p + "/b.so -> 成功",
                                           p + "/c.so -> 失敗", "<=== 更新失敗 2024/05/01 09:30:00"}));
}

TEST_F(WindowTest, EscapeOrACloseBeforeTheRunStartsDoesNotLoseTheRun)
{
    f.MakeInstallation();
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0755});
    f.WriteVersDat("Felica\r\n2.1.0.0\r\n");
    env.timing.startMs = 300;
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    int tries = 0;
    // While the progress window waits for its start, the operator presses Escape and closes it.
    QTimer poke;
    poke.setInterval(20);
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (auto *progress = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            progress && progress->objectName() == "frmUpdateFile" && tries < 3) {
            ++tries;
            QTest::keyClick(progress, Qt::Key_Escape);
            progress->close();
        }
    });
    poke.start();
    Find<QPushButton>(w, "cmdOK")->click();
    poke.stop();
    EXPECT_GT(tries, 0);
    EXPECT_EQ(w.RunState(), 1);
    EXPECT_EQ(ReadAll(f.installed("Orvel")), ReadAll(f.patchFile("Orvel")));
    EXPECT_TRUE(ReadAll(f.log()).contains("<=== "));
}

TEST_F(WindowTest, ARunningProgramOfTheInstallationIsSaidBeforeAnyCopy)
{
    f.MakeInstallation();
    // A service started from the installation folder (a real process, named as the service).
    QFile::copy("/bin/sleep", f.installed("Courier1"));
    QProcess service;
    service.start(f.installed("Courier1"), {"60"});
    ASSERT_TRUE(service.waitForStarted());
    MakeFile(f.patchFile("Orvel"), {"2.1.0.0", {}, 0755});
    f.WriteVersDat("Felica,2.1.0.0");
    const auto before = Snapshot(f.installDir());
    patch::frmOrvPatch w(env);
    ASSERT_TRUE(w.Load());
    Find<QPushButton>(w, "cmdOK")->click();
    service.kill();
    service.waitForFinished();

    const auto shown = PatchMsg::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Kavrin Managerが起動しています。（Courier1）\r\n終了してから、再実行して下さい。");
    EXPECT_EQ(w.RunState(), 0);
    EXPECT_EQ(Snapshot(f.installDir()), before);
    // Once it has ended, the update can start.
    EXPECT_TRUE(Find<QPushButton>(w, "cmdOK")->isEnabled());
    Find<QPushButton>(w, "cmdOK")->click();
    EXPECT_EQ(w.RunState(), 1);
    EXPECT_EQ(ReadAll(f.installed("Orvel")), ReadAll(f.patchFile("Orvel")));
}

TEST(SelFolder, ADriveThatCannotBeReadSaysDriveError)
{
    PatchMsg::TakeShown();
    QTemporaryDir dir;
    patch::frmSelFolder picker(dir.path());
    EXPECT_EQ(picker.Folder(), dir.path());
    EXPECT_FALSE(picker.SetDrive(dir.path() + "/gone"));
    const auto shown = PatchMsg::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "ドライブエラーです｡");
    EXPECT_EQ(picker.Folder(), dir.path());
}

} // namespace
