// Supervision of the two services on a loaded main window over a real site database, ticks driven
// by the test. The "services" are scripts that never answer, started and killed for real.
#include "ConsoleTiming.h"
#include "GateLock.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "ShellCtrl_Orvel.h"
#include "Sjis.h"
#include "SrvSupervision.h"
#include "SrvSupervisor.h"
#include "TestSite.h"
#include "clSettingInfo.h"
#include "mdifVantr.h"

#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>

using orvel::test::TestSite;

namespace {

// Running, not merely a zombie waiting to be reaped.
bool Alive(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    return close > 0 && stat.size() > close + 2 && stat[close + 2] != 'Z' && stat[close + 2] != 'X';
}

class SupervisionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        MsgBox::SetScripted(true);
        MsgBox::TakeShown();
        ResetProgramEnding();
        SetEndProgramHandler([] {});
        SetSrvSupervisionFactory({}); // the test drives its own supervisor
        Timing().srvRestartWaitMs = 1;
        for (const char *name : {"Harvester1", "Courier1"}) {
            const QString path = programs.filePath(name);
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("#!/bin/sh\nwhile :; do sleep 1; done\n");
            f.close();
            f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        }
        ShellCtrl_Orvel::SetProgramFolder(programs.path());
        main = std::make_unique<mdifVantr>(1);
        main->Load();
        main->timStart()->stop(); // start-up continues no further: the test is the timer
        sup = std::make_unique<SrvSupervisor>(*main);
    }
    void TearDown() override
    {
        ShellCtrl_Orvel::KillHarvester();
        ShellCtrl_Orvel::KillCourier();
        ShellCtrl_Orvel::SetProgramFolder({});
        sup.reset();
        main.reset();
        SetEndProgramHandler({});
        Timing() = ConsoleTiming{};
    }
    void Row(int server, int reqCmd, int result, const QString &detail, const QString &arg1 = QString())
    {
        site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = %1, result = %2, res_detail = '%3', req_arg1 = '%4' "
                                 "WHERE server_id = %5")
                      .arg(reqCmd)
                      .arg(result)
                      .arg(detail, arg1)
                      .arg(server));
    }
    QString Col(int server, const char *column)
    {
        return site.value(QStringLiteral("SELECT %1 FROM t_srv_ctrl WHERE server_id = %2").arg(column).arg(server));
    }
    int LogLines(const QString &code)
    {
        QFile f(site.path("errorlog.txt"));
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        return orvel::FromSjis(f.readAll()).count(u',' + code + u',');
    }

    TestSite site;
    QTemporaryDir programs;
    std::unique_ptr<mdifVantr> main;
    std::unique_ptr<SrvSupervisor> sup;
};

TEST_F(SupervisionTest, SilentCollectorIsRestartedAfterTheTwelfthTick)
{
    Row(1, 198, 0, "");
    Row(2, 298, 1, "稼動中");
    for (int tick = 1; tick <= 11; ++tick) {
        sup->SendSrvCheck();
        Row(2, 298, 1, "稼動中"); // the provisioning service keeps answering
        ASSERT_EQ(ShellCtrl_Orvel::ProcessId(1), 0) << "restarted at tick " << tick;
        EXPECT_EQ(main->StatusPanel(2), "ビジー");
    }
    sup->SendSrvCheck();
    const qint64 pid = ShellCtrl_Orvel::ProcessId(1);
    ASSERT_NE(pid, 0);
    EXPECT_TRUE(Alive(pid));
    EXPECT_EQ(main->StatusPanel(2), "起動中");
    EXPECT_EQ(Col(1, "req_cmd"), "198");
    EXPECT_EQ(Col(1, "result"), "0");
    EXPECT_EQ(Col(1, "res_detail"), "復旧の為、強制的に再起動します。");
    EXPECT_TRUE(main->LastRestart(1).isValid());
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(2), 0);
    EXPECT_EQ(main->StatusPanel(4), "稼動中");

    // A restart kills the process it started before; a kill reaches only that process.
    ShellCtrl_Orvel::StartHarvester();
    const qint64 second = ShellCtrl_Orvel::ProcessId(1);
    EXPECT_NE(second, pid);
    for (int i = 0; i < 100 && Alive(pid); ++i)
        QThread::msleep(10);
    EXPECT_FALSE(Alive(pid));
    ShellCtrl_Orvel::KillHarvester();
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(1), 0);
}

TEST_F(SupervisionTest, ShortTimeOutStillWaitsTenTicks)
{
    Settings()->SaveData("SrvRespTimoutInit", "1000");
    Row(1, 198, 1, "稼動中");
    Row(2, 298, 0, "");
    for (int tick = 1; tick <= 9; ++tick) {
        sup->SendSrvCheck();
        Row(1, 198, 1, "稼動中");
        ASSERT_EQ(ShellCtrl_Orvel::ProcessId(2), 0) << "restarted at tick " << tick;
    }
    sup->SendSrvCheck();
    EXPECT_NE(ShellCtrl_Orvel::ProcessId(2), 0);
    EXPECT_EQ(main->StatusPanel(4), "起動中");
    EXPECT_EQ(Col(2, "req_cmd"), "298");
}

TEST_F(SupervisionTest, CollectorTextOtherThanRunningIsLoggedOncePerAnswer)
{
    Row(1, 198, 1, "稼動中");
    sup->SendSrvCheck();
    EXPECT_EQ(LogLines("9002"), 0);
    EXPECT_EQ(Col(1, "result"), "0"); // a new check was posted

    Row(1, 198, 1, "ゲート接続リトライ[00003]");
    sup->SendSrvCheck();
    EXPECT_EQ(LogLines("9002"), 1);
    EXPECT_EQ(main->StatusPanel(2), "ゲート接続リトライ[00003]");
    sup->SendSrvCheck(); // still pending: nothing new to log
    EXPECT_EQ(LogLines("9002"), 1);
    Row(1, 198, 1, "ゲート接続リトライ[00003]");
    sup->SendSrvCheck();
    EXPECT_EQ(LogLines("9002"), 2);
}

TEST_F(SupervisionTest, GateErrorOpensTheGateErrorWindowUnlessTheGateIsLocked)
{
    QString shownFor;
    int shown = 0;
    ScreenRegistry::Register("frmGateError", [&](QWidget *parent) -> QWidget * {
        ++shown;
        auto *d = new QDialog(parent);
        QTimer::singleShot(0, d, [d, &shownFor] {
            shownFor = d->property("GateId").toString();
            d->accept();
        });
        return d;
    });
    // Gate 9 was locked and released before: its record shows it free.
    ASSERT_TRUE(orvel::CollectorLockGate(site.path("GateLock.dat"), "00009"));
    ASSERT_TRUE(orvel::CollectorUnlockGate(site.path("GateLock.dat"), "00009"));
    Row(1, 198, 2, "<<< Device ERROR-[127.0.0.9] >>>", "00009");
    Row(2, 298, 3, "database is locked");
    EXPECT_FALSE(sup->RefreshSrvStatus());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(shownFor, "00009");
    EXPECT_EQ(LogLines("9001"), 1);
    EXPECT_EQ(LogLines("9110"), 0); // the provisioning service was not looked at

    ASSERT_TRUE(orvel::CollectorLockGate(site.path("GateLock.dat"), "00009"));
    EXPECT_TRUE(sup->RefreshSrvStatus());
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(LogLines("9001"), 2);
    // Provisioning error 3 long after the last start: logged and stopped, no message.
    EXPECT_EQ(LogLines("9110"), 1);
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    EXPECT_EQ(Col(2, "req_cmd"), "299");
    EXPECT_EQ(Col(2, "res_detail"), "復旧の為、強制的に再起動します。");
    EXPECT_EQ(sup->Elapsed(2), 40000);
    EXPECT_EQ(sup->Polls(2), 10);
    ScreenRegistry::Unregister("frmGateError");

    // The same error within two minutes of a start shows the message; gate error 2 logs 9101.
    main->SetLastRestart(2, QDateTime::currentDateTime());
    Row(2, 298, 3, "database is locked");
    sup->RefreshSrvStatus();
    const auto msgs = MsgBox::TakeShown();
    ASSERT_EQ(msgs.size(), 1);
    EXPECT_EQ(msgs[0].text, "Courierエラー : database is locked");
    Row(2, 298, 2, "<<< Device ERROR-[127.0.0.2] >>>");
    sup->RefreshSrvStatus();
    EXPECT_EQ(LogLines("9101"), 1);
    EXPECT_EQ(main->StatusPanel(4), "<<< Device ERROR-[127.0.0.2] >>>");
}

TEST_F(SupervisionTest, ExitWithBothServicesGoneKillsAfterThePasses)
{
    Timing().srvExitWaitMs = 1;
    Timing().srvChkSendMs = 1;
    ShellCtrl_Orvel::StartHarvester();
    ShellCtrl_Orvel::StartCourier();
    const qint64 h = ShellCtrl_Orvel::ProcessId(1), c = ShellCtrl_Orvel::ProcessId(2);
    ASSERT_TRUE(Alive(h) && Alive(c));
    Row(1, 198, 1, "稼動中");
    Row(2, 298, 1, "稼動中");
    sup->SendSrvExit();
    EXPECT_EQ(Col(1, "req_cmd"), "199");
    EXPECT_EQ(Col(2, "req_cmd"), "299");
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(1), 0); // killed, and nothing restarted while stopping
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(2), 0);
    for (int i = 0; i < 100 && (Alive(h) || Alive(c)); ++i)
        QThread::msleep(10);
    EXPECT_FALSE(Alive(h));
    EXPECT_FALSE(Alive(c));
    EXPECT_EQ(main->StatusPanel(2), "ビジー");
}

TEST_F(SupervisionTest, ExitEndsEvenWhenARequestWasLeftPending)
{
    Timing().srvExitWaitMs = 1;
    Timing().srvChkSendMs = 1;
    Row(1, 198, 0, ""); // a collector that died before answering
    Row(2, 298, 1, "稼動中");
    sup->SendSrvExit();
    EXPECT_EQ(Col(1, "req_cmd"), "199");
    EXPECT_EQ(Col(2, "req_cmd"), "299");
}

TEST_F(SupervisionTest, ExitAfterBothStopAnswersShowsThem)
{
    Timing().srvExitWaitMs = 1;
    Timing().srvChkSendMs = 1;
    Row(1, 198, 1, "稼動中");
    Row(2, 298, 1, "稼動中");
    // The services answer the stop as soon as it is posted.
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (Col(1, "req_cmd") == "199" && Col(2, "req_cmd") == "299") {
            Row(1, 199, 0, "終了");
            Row(2, 299, 0, "終了");
            answer.stop();
        }
    });
    answer.start(1);
    sup->SendSrvExit();
    EXPECT_EQ(main->StatusPanel(2), "終了");
    EXPECT_EQ(main->StatusPanel(4), "終了");
}

} // namespace

// A console of a PC that does not run the services shows what they answer to the services' PC,
// and never asks them anything, starts, restarts or stops them.
TEST_F(SupervisionTest, ConsoleOfAnotherPcOnlyShowsTheServicesState)
{
    SrvSupervisor other(*main, false);
    Row(1, 198, 0, "");           // a check of the services' PC, unanswered for ever
    Row(2, 298, 3, "DB error"); // a database error, which the services' PC answers with a stop
    for (int tick = 1; tick <= 20; ++tick)
        other.SendSrvCheck();
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(1), 0);
    EXPECT_EQ(ShellCtrl_Orvel::ProcessId(2), 0);
    EXPECT_EQ(main->StatusPanel(2), "ビジー");
    EXPECT_EQ(Col(1, "req_cmd"), "198");
    EXPECT_EQ(Col(1, "result"), "0");
    EXPECT_EQ(Col(2, "req_cmd"), "298"); // no stop posted over the answer
    EXPECT_EQ(Col(2, "result"), "3");
    EXPECT_FALSE(main->LastRestart(1).isValid());

    Row(1, 198, 1, "稼動中");
    other.SendSrvCheck();
    EXPECT_EQ(main->StatusPanel(2), "稼動中");
    EXPECT_EQ(Col(1, "result"), "1"); // the answer stays for the services' PC to read

    other.SendSrvExit();
    EXPECT_EQ(Col(1, "req_cmd"), "198");
    EXPECT_EQ(Col(2, "req_cmd"), "298");
}
