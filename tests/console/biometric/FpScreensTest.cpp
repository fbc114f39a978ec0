// The four fingerprint windows with the real scanner and image libraries, the scanner simulator,
// the real database and the real template file.

#include "BiometricTestUtil.h"

#include "biometric/TplData.h"
#include "biometric/ui/frmFpDelete.h"
#include "biometric/ui/frmFpEnroll.h"
#include "biometric/ui/frmFpLogin.h"
#include "biometric/ui/frmFpVerify.h"

#include "FpSettings.h"
#include "IniFile.h"
#include "Template.h"
#include "rdo_cntl.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

using namespace fptest;

namespace {

using Result = QPair<bool, qint16>;
const QString kUser1 = QStringLiteral("0000000001");
const QString kUser2 = QStringLiteral("0000000002");

QString T(const char *text)
{
    return QString::fromUtf8(text);
}

bool IsTemplate(const QByteArray &record)
{
    return record.size() == fp::kTemplateBytes && fp::DecodeTemplate(reinterpret_cast<const uint8_t *>(record.constData()), nullptr);
}

class FpScreensTest : public FpTest
{
protected:
    // Opens a window the way the user screen does: busy flag, SetFpInfo, show, start.
    template <class W>
    QPointer<W> Open(const QString &userId, int fpNo)
    {
        SetBusyOn();
        auto *w = new W;
        w->SetFpInfo(userId, fpNo, QStringLiteral("山田 太郎"), GetFingerName(fpNo));
        w->show();
        return w;
    }
    // Enrols a finger through the screen with two touches; the window's result.
    void Enrol(const QString &userId, int fpNo, const QString &finger)
    {
        ASSERT_TRUE(sim->controlOk(QStringLiteral("touch ") + finger));
        ASSERT_TRUE(sim->controlOk(QStringLiteral("touch ") + finger));
        QPointer<frmFpEnroll> w = Open<frmFpEnroll>(userId, fpNo);
        w->StartEnroll();
        // The caller's wait: it returns once the window has gone (or after a deadline).
        QElapsedTimer t;
        t.start();
        SetBusyEventPump([&] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            if (t.elapsed() > 20000)
                SetBusyOff();
        });
        WaitBusyOff();
        SetBusyEventPump(nullptr);
        EXPECT_TRUE(WaitClosed(w));
    }
};

} // namespace

TEST_F(FpScreensTest, TheFirstTemplateEverGetsNumberOne)
{
    Enrol(kUser1, 1, QStringLiteral("u1-left-index"));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 1}}));
    EXPECT_EQ(Row(kUser1, 1), QStringLiteral("1,0"));
    const QByteArray file = Templates();
    EXPECT_EQ(file.size(), 800);
    EXPECT_TRUE(IsTemplate(file));
    // Place, remove, place, remove (confirmation), stored; from the site's wav folder.
    EXPECT_EQ(SoundNames(), (QStringList{"1.wav", "2.wav", "1.wav", "2.wav", "11.wav"}));
    EXPECT_EQ(sounds.first(), site.path(QStringLiteral("wav/1.wav")));
    EXPECT_FALSE(IsBusy());
}

TEST_F(FpScreensTest, AReEnrolledFingerKeepsItsNumberAndOverwritesOnlyItsRecord)
{
    AddRow(kUser1, 0, 1);
    AddRow(kUser2, 0, 2);
    AddRow(kUser2, 3, 3);
    WriteTemplates(QByteArray(800, 'A') + QByteArray(800, 'B') + QByteArray(800, 'C'));
    Enrol(kUser2, 0, QStringLiteral("u2-left-middle"));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 2}}));
    EXPECT_EQ(Row(kUser2, 0), QStringLiteral("2,0"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM l_fptpl")), QStringLiteral("3"));
    const QByteArray file = Templates();
    ASSERT_EQ(file.size(), 2400);
    EXPECT_EQ(file.left(800), QByteArray(800, 'A'));
    EXPECT_TRUE(IsTemplate(file.mid(800, 800)));
    EXPECT_EQ(file.mid(1600), QByteArray(800, 'C'));
}

TEST_F(FpScreensTest, ANewFingerTakesTheLowestFreeNumberAndExtendsTheFile)
{
    AddRow(kUser1, 0, 1);
    AddRow(kUser1, 1, 3);
    Enrol(kUser2, 5, QStringLiteral("u2-right-middle"));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 2}}));
    // Record 2 lies beyond the end of the empty file: the file grows to it.
    const QByteArray file = Templates();
    ASSERT_EQ(file.size(), 1600);
    EXPECT_EQ(file.left(800), QByteArray(800, '\0'));
    EXPECT_TRUE(IsTemplate(file.mid(800)));
}

TEST_F(FpScreensTest, TenEmptyWaitsTimeOutAndAFingerOnTheTenthAttemptIsAccepted)
{
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 2);
    EXPECT_TRUE(w->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    w->StartEnroll();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::TimedOut); }));
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));
    EXPECT_TRUE(Enabled(w, "cmdRetry"));
    EXPECT_TRUE(sim->control(QStringLiteral("status")).join(u' ').contains(QStringLiteral("images=0 empty=10")));
    EXPECT_TRUE(screen.results.isEmpty());
    EXPECT_TRUE(w->isVisible());

    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u1-left-thumb after=9")));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u1-left-thumb")));
    Click(w, "cmdRetry");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 1}}));
    EXPECT_TRUE(sim->control(QStringLiteral("status")).join(u' ').contains(QStringLiteral("images=2 empty=19")));
}

TEST_F(FpScreensTest, StopThenCloseOnTheEnrolScreenReportsFalseAndZero)
{
    Timing().fpWaitValue = 20; // 200 ms per attempt: the stop comes during the capture
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 1);
    w->StartEnroll();
    ClickLater(w, "cmdStopExit", 150);
    ASSERT_TRUE(WaitFor([&] { return w->session().IsStopped() && !w->session().IsCapturing(); }));
    EXPECT_EQ(Info(w), T(fpinfo::Stopped));
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));
    EXPECT_TRUE(Enabled(w, "cmdRetry"));
    auto *info = w->findChild<QLabel *>(QStringLiteral("lblInfo"));
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    Click(w, "cmdStopExit");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{false, 0}}));
    EXPECT_FALSE(IsBusy());
    EXPECT_EQ(Row(kUser1, 1), QString());
}

TEST_F(FpScreensTest, ClosingTheWindowDuringACaptureWaitsForTheCaptureToEnd)
{
    Timing().fpWaitValue = 20;
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 1);
    w->StartEnroll();
    QTimer::singleShot(150, w, [w] { w->close(); });
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{false, 0}}));
}

TEST_F(FpScreensTest, NoScannerAsksToConnectItAndARetryFindsIt)
{
    sim->stop();
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 4);
    w->StartEnroll();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NoScanner); }));
    // Still running: the operator stops, connects the scanner and retries.
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("中止"));
    EXPECT_FALSE(Enabled(w, "cmdRetry"));
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    Click(w, "cmdStopExit");
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));
    ASSERT_TRUE(Enabled(w, "cmdRetry"));

    sim = std::make_unique<testsupport::FpSimProcess>(site.path(QStringLiteral("fpsim.sock")));
    ASSERT_TRUE(sim->ok());
    ASSERT_TRUE(sim->controlOk(QStringLiteral("place u1-right-index")));
    Click(w, "cmdRetry");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 1}}));
}

TEST_F(FpScreensTest, AMissingLibraryOrEntryPointIsNamed)
{
    FpLibrary::Instance().SetLibraryNames(QStringLiteral("libnosuch-scanner.so"), QString());
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 1);
    w->StartEnroll();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NoScanner); }));
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("ライブラリを読み込めません：libnosuch-scanner.so"));

    // A library that is there but is no scanner library.
    FpLibrary::Instance().SetLibraryNames(QStringLiteral("libtcpcom.so"), QString());
    Click(w, "cmdStopExit");
    ASSERT_EQ(Info(w), T(fpinfo::Stopped));
    Click(w, "cmdRetry");
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NoScanner); }));
    shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("エントリポイントがありません：AFP_ScannforDevice"));
}

TEST_F(FpScreensTest, AnUnmatchedConfirmationStopsWithoutStoring)
{
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u1-right-thumb")));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u9-right-thumb")));
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 3);
    w->StartEnroll();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NotMatched); }));
    EXPECT_EQ(SoundNames(), (QStringList{"1.wav", "2.wav", "1.wav", "2.wav", "6.wav"}));
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));
    // Both captures are on the screen.
    EXPECT_FALSE(w->findChild<QLabel *>(QStringLiteral("picFp_0"))->pixmap().isNull());
    EXPECT_FALSE(w->findChild<QLabel *>(QStringLiteral("picFp_1"))->pixmap().isNull());
    EXPECT_EQ(Row(kUser1, 3), QString());
    EXPECT_TRUE(screen.results.isEmpty());
}

TEST_F(FpScreensTest, VerificationOfAnotherFingerFailsAndOfTheEnrolledOneSucceeds)
{
    AddRow(kUser1, 1, 1);
    WriteTemplates(TouchTemplate("u1-left-index"));
    QPointer<frmFpVerify> w = Open<frmFpVerify>(kUser1, 1);
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u2-left-index")));
    w->StartVerify();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NotMatched); }));
    EXPECT_EQ(SoundNames().constLast(), QStringLiteral("6.wav"));
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));

    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u1-left-index")));
    Click(w, "cmdRetry");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(SoundNames().constLast(), QStringLiteral("5.wav"));
    EXPECT_TRUE(screen.results.isEmpty()); // verification reports nothing
}

TEST_F(FpScreensTest, VerificationWithoutACompleteTemplateSaysSoAndCannotMatch)
{
    // A row still marked as being written, whose record holds the finger's template: not used.
    AddRow(kUser1, 2, 1, 1);
    WriteTemplates(TouchTemplate("u1-left-thumb"));
    QPointer<frmFpVerify> w = Open<frmFpVerify>(kUser1, 2);
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, T(fpinfo::NoTemplate));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u1-left-thumb")));
    w->StartVerify();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::NotMatched); }));
    delete w.data();

    Open<frmFpVerify>(kUser1, 5); // no row at all
    shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, T(fpinfo::NoTemplate));
}

TEST_F(FpScreensTest, DeletingRemovesOnlyTheRowAndLeavesTheFileAlone)
{
    AddRow(kUser1, 0, 1);
    AddRow(kUser1, 1, 2);
    const QByteArray bytes = TouchTemplate("u1-left-middle") + TouchTemplate("u1-left-index");
    WriteTemplates(bytes);

    QPointer<frmFpDelete> w = Open<frmFpDelete>(kUser1, 0);
    EXPECT_EQ(Info(w), T(fpinfo::DeleteQuestion));
    EXPECT_EQ(w->findChild<QLineEdit *>(QStringLiteral("txtFinger"))->text(), QStringLiteral("左手 中指"));
    EXPECT_TRUE(w->findChild<QLineEdit *>(QStringLiteral("txtName"))->isReadOnly());
    Click(w, "cmdStopExit"); // 中止: nothing is deleted
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{false, 0}}));
    EXPECT_EQ(Row(kUser1, 0), QStringLiteral("1,0"));

    w = Open<frmFpDelete>(kUser1, 1);
    Click(w, "cmdDelete");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{false, 0}, {true, 0}}));
    EXPECT_EQ(Row(kUser1, 1), QString());
    EXPECT_EQ(Row(kUser1, 0), QStringLiteral("1,0"));
    EXPECT_EQ(Templates(), bytes);
    EXPECT_FALSE(IsBusy());
}

TEST_F(FpScreensTest, LoginIdentifiesAnAdministratorAmong1500LoginTemplates)
{
    // 250 administrators with six fingers each; the one who touches has template 1400, beyond the
    // first thousand. Her finger also sits in a half-written row (7) and with a user who is no
    // administrator (3): neither may log in.
    QByteArray file;
    for (int n = 1; n <= 1500; ++n)
        file += RandomTemplate(quint64(n));
    const QByteArray admin = TouchTemplate("admin-right-index");
    file.replace(1399 * 800, 800, admin);
    file.replace(6 * 800, 800, admin);
    file.replace(2 * 800, 800, admin);
    WriteTemplates(file);
    rdo_cntl db;
    db.BeginTrans();
    for (int u = 1; u <= 250; ++u) {
        const QString id = QStringLiteral("%1").arg(u, 10, 10, QLatin1Char('0'));
        AddUser(id, u == 1 ? 1 : 2, 1);
        for (int f = 0; f < 6; ++f) {
            const int tpl = (u - 1) * 6 + f + 1;
            AddRow(id, f, tpl, tpl == 7 ? 1 : 0);
        }
    }
    db.CommitTrans();
    ASSERT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_login_fptpl")), QStringLiteral("1493"));

    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch admin-right-index")));
    SetBusyOn();
    QPointer<frmFpLogin> w = new frmFpLogin;
    w->show(); // scanning starts from the window's load
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 1400}}));
    EXPECT_EQ(SoundNames(), (QStringList{"1.wav", "2.wav", "5.wav"}));
    EXPECT_FALSE(IsBusy());
}

TEST_F(FpScreensTest, LoginClosedAfterAStopReportsFalse)
{
    Timing().fpWaitValue = 20;
    QPointer<frmFpLogin> w = new frmFpLogin;
    w->show();
    ClickLater(w, "cmdStopExit", 150);
    ASSERT_TRUE(WaitFor([&] { return w->session().IsStopped() && !w->session().IsCapturing(); }));
    Click(w, "cmdStopExit");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{false, 0}}));
}

// Fault mended: the row said complete before the template's bytes were on the disk. Now a record
// that cannot be written leaves its row marked edit_flag 1, and the enrolment is not reported.
TEST_F(FpScreensTest, ATemplateThatCannotBeWrittenLeavesItsRowMarked)
{
    SetTemplateFileName(QStringLiteral("no-such-folder/template.dat"));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("place u1-right-middle")));
    QPointer<frmFpEnroll> w = Open<frmFpEnroll>(kUser1, 5);
    w->StartEnroll();
    ASSERT_TRUE(WaitFor([&] { return Info(w) == T(fpinfo::StoreFailed); }));
    const QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith(T(fpinfo::StoreFailed)));
    EXPECT_EQ(Row(kUser1, 5), QStringLiteral("1,1"));
    EXPECT_EQ(Caption(w, "cmdStopExit"), QStringLiteral("閉じる"));
    EXPECT_TRUE(screen.results.isEmpty());

    // Once the file can be written, a retry completes the same template number.
    SetTemplateFileName(QStringLiteral("template.dat"));
    Click(w, "cmdRetry");
    ASSERT_TRUE(WaitClosed(w));
    EXPECT_EQ(screen.results, (QList<Result>{{true, 1}}));
    EXPECT_EQ(Row(kUser1, 5), QStringLiteral("1,0"));
}

TEST(TplData, RecordsLieAtTheirNumberAndARecordBeyondTheEndExtendsTheFile)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("template.dat"));
    QByteArray tpl(800, 'x');
    EXPECT_FALSE(TplData::ReadTpl(path, 1, &tpl)); // no file
    ASSERT_TRUE(TplData::WriteTpl(path, 3, QByteArray(800, 'c')));
    EXPECT_EQ(QFileInfo(path).size(), 2400);
    ASSERT_TRUE(TplData::ReadTpl(path, 1, &tpl));
    EXPECT_EQ(tpl, QByteArray(800, '\0'));
    ASSERT_TRUE(TplData::WriteTpl(path, 1, QByteArray(800, 'a')));
    ASSERT_TRUE(TplData::ReadTpl(path, 3, &tpl));
    EXPECT_EQ(tpl, QByteArray(800, 'c'));
    EXPECT_FALSE(TplData::ReadTpl(path, 4, &tpl));
    EXPECT_FALSE(TplData::ReadTpl(path, 0, &tpl));
    QString error;
    EXPECT_FALSE(TplData::WriteTpl(path, 2, QByteArray(799, 'b'), &error));
    EXPECT_FALSE(TplData::WriteTpl(path, 0, QByteArray(800, 'b'), &error));
    EXPECT_EQ(QFileInfo(path).size(), 2400);
}

TEST(FpSite, ANewSiteHasTheScannerOptionsThePromptSoundsAndTheFingerBitmap)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    const orvel::FpScannerSettings s = orvel::ReadFpScannerSettings();
    EXPECT_EQ(s.backend, QStringLiteral("SIM"));
    EXPECT_EQ(s.socketPath, site.path(QStringLiteral("fpsim.sock")));
    const orvel::FpScannerSettings other = orvel::ReadFpScannerSettings(
        orvel::IniFile::FromText(QStringLiteral("[fingerprint]\nscanner = none\nsim_socket=/run/scan.sock\n")));
    EXPECT_EQ(other.backend, QStringLiteral("NONE"));
    EXPECT_EQ(other.socketPath, QStringLiteral("/run/scan.sock"));

    for (const char *name : {"1", "2", "5", "6", "11"}) {
        QFile f(site.path(QStringLiteral("wav/%1.wav").arg(QLatin1String(name))));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << name;
        const QByteArray wav = f.readAll();
        EXPECT_TRUE(wav.startsWith("RIFF") && wav.mid(8, 8) == "WAVEfmt ") << name;
        EXPECT_GT(wav.size(), 44 + 22050 / 5) << name; // at least a fifth of a second of sound
    }
    QFile bmp(site.path(QStringLiteral("FpImage.bmp")));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    EXPECT_TRUE(bmp.readAll().startsWith("BM"));
    // The real player: without a sound device (or without the player) it returns by itself.
    PlaySound(QStringLiteral(".\\wav\\1.wav"), 0);
    PlaySound(QStringLiteral(".\\wav\\missing.wav"), 0);
}
