// The real Harvester1 program, headless on a short tick, against a real database and gatesim:
// start-up, the console's requests (collect now, status, stop), single instance, and a missing
// gate library.

#include "HarvesterTestUtil.h"
#include "OrvelDefs.h"
#include "SimProcess.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using namespace orvel;
using namespace harvester::test;
using orvel::test::TestSite;

namespace {

void WriteIni(TestSite &site, int waitSec, int logWaitInterval)
{
    QFile f(site.path(QStringLiteral("Orvel.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QStringLiteral("[FILE]\r\nF_GATELOCK=GateLock.dat\r\n[INTERVAL]\r\nWAIT_SEC=%1\r\nLOG_WAIT_INTERVAL=%2\r\n")
                .arg(waitSec)
                .arg(logWaitInterval)
                .toLatin1());
}

// Harvester1 as the console starts it, killed at the end of the test if still running.
class Harvester
{
public:
    explicit Harvester(const QStringList &extraEnv = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVEL_HARVESTER_START_DELAY_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("ORVEL_HARVESTER_FIRST_TICK_MS"), QStringLiteral("10"));
        env.insert(QStringLiteral("ORVEL_GATE_TIMEOUT_MS"), QStringLiteral("2000"));
        for (const QString &kv : extraEnv)
            env.insert(kv.section(u'=', 0, 0), kv.section(u'=', 1));
        m_process.setProcessEnvironment(env);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(HARVESTER_PATH), {QStringLiteral("--headless")});
        m_process.waitForStarted();
    }
    ~Harvester()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }
    QProcess &process() { return m_process; }
    // Exit code once it has ended by itself; -1 if it is still running after the deadline.
    int Finished(int deadlineMs = 20000)
    {
        if (!m_process.waitForFinished(deadlineMs))
            return -1;
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -2;
    }

private:
    QProcess m_process;
};

QString Answer(TestSite &site)
{
    return site.value(QStringLiteral("SELECT result || '|' || res_detail FROM t_srv_ctrl WHERE server_id = 1"));
}

// Posts status checks until the answer is the one expected (or the deadline passes).
bool StatusBecomes(TestSite &site, const QString &expected, int deadlineMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < deadlineMs) {
        Post(site, srv::HarvesterStatus);
        if (WaitAnswer(site, 5000) && Answer(site) == expected)
            return true;
        QThread::msleep(20);
    }
    return false;
}

// A stop is answered with result 0 (the stopped state) and "終了": the console waits for the text.
bool StopAnswered(TestSite &site, int deadlineMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < deadlineMs) {
        if (Answer(site) == QStringLiteral("0|終了"))
            return true;
        QThread::msleep(20);
    }
    return false;
}

bool CountBecomes(TestSite &site, const QString &sql, int n, int deadlineMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < deadlineMs) {
        if (Count(site, sql) == n)
            return true;
        QThread::msleep(20);
    }
    return false;
}

TEST(HarvesterProcess, CollectsOnItsTickAnswersTheConsoleAndStops)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    testsupport::SimProcess sim({"--gate", "00001=127.0.0.2:0", "--gate", "00002=127.0.0.3:0"});
    ASSERT_TRUE(sim.ok());
    AddSimGates(site, sim, 2);
    site.exec(QStringLiteral("UPDATE m_gate SET gate_mode = 2 WHERE gate_id = '00002'"));
    AddUser(site, QStringLiteral("0000000001"), QStringLiteral("O'Brien"), QStringLiteral("CARD100"));
    const QString logFile = site.path(QStringLiteral("access.log"));
    site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 1, file_path = %1").arg(SqlText(logFile)));
    for (int i = 0; i < 5; ++i)
        Sim(sim, "addlog 00001 1 CARD100 2009-04-01T08:00:0" + std::to_string(i));
    Sim(sim, "addlog 00002 1 CARD100 2009-04-01T09:00:00");
    WriteIni(site, 20, 2);

    Harvester h;
    const QString plus = QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus");
    ASSERT_TRUE(CountBecomes(site, plus, 6));
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_message FROM log_telmar_plus WHERE gate_id = '00002'")),
              QStringLiteral("退室しました。"));
    EXPECT_TRUE(ReadFileText(logFile).contains(
        QStringLiteral("2009/04/01,09:00:00,1,退室しました。,0000000001,O'Brien,00000,無所属,00002,Gate 00002,退室,")))
        << ReadFileText(logFile).toStdString();

    // Collect now: every new record stored and processed before the answer.
    for (int i = 0; i < 9; ++i)
        Sim(sim, "addlog 00002 28 NOBODY 2009-04-02T10:00:0" + std::to_string(i));
    Post(site, srv::HarvesterCollectNow);
    ASSERT_TRUE(WaitAnswer(site));
    EXPECT_EQ(Answer(site), QStringLiteral("1|稼動中"));
    EXPECT_EQ(Count(site, plus), 15);
    EXPECT_EQ(Count(site, QStringLiteral("SELECT COUNT(*) FROM log_telmar")), 0);

    // The log file cannot be written: the status check says so, the row waits at 3.
    site.exec(QStringLiteral("UPDATE t_autolog_info SET file_path = %1")
                  .arg(SqlText(site.path(QStringLiteral("missing folder/access.log")))));
    Sim(sim, "addlog 00001 1 CARD100 2009-04-03T07:00:00");
    EXPECT_TRUE(StatusBecomes(site, QStringLiteral("1|ログ出力ファイルエラー"))) << Answer(site).toStdString();
    EXPECT_EQ(site.value(QStringLiteral("SELECT write_ok_flag FROM log_telmar")), QStringLiteral("3"));
    site.exec(QStringLiteral("UPDATE t_autolog_info SET file_path = %1").arg(SqlText(logFile)));
    ASSERT_TRUE(CountBecomes(site, QStringLiteral("SELECT COUNT(*) FROM log_telmar"), 0));
    EXPECT_TRUE(StatusBecomes(site, QStringLiteral("1|稼動中")));

    Post(site, srv::HarvesterStop);
    EXPECT_TRUE(StopAnswered(site));
    EXPECT_EQ(h.Finished(), 0);
}

TEST(HarvesterProcess, ReportsAGateThatRefusesTwice)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    testsupport::SimProcess sim({"--gate", "00001=127.0.0.2:0"});
    ASSERT_TRUE(sim.ok());
    AddSimGates(site, sim, 1);
    Sim(sim, "fault 00001 refuse on");
    WriteIni(site, 20, 1);
    Harvester h;
    const QString ip = QString::fromStdString(sim.gate("00001").address);
    EXPECT_TRUE(StatusBecomes(site, QStringLiteral("2|<<< Device ERROR-[%1] >>>").arg(ip)));
    EXPECT_EQ(site.value(QStringLiteral("SELECT req_arg1 FROM t_srv_ctrl WHERE server_id = 1")), QStringLiteral("00001"));
    Post(site, srv::HarvesterStop);
    EXPECT_EQ(h.Finished(), 0);
}

TEST(HarvesterProcess, SecondInstanceEndsAtOnce)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    WriteIni(site, 20, 5);
    Harvester first;
    ASSERT_TRUE(StatusBecomes(site, QStringLiteral("1|稼動中")));
    Harvester second;
    EXPECT_EQ(second.Finished(), 1);
    Post(site, srv::HarvesterStop);
    EXPECT_EQ(first.Finished(), 0);
}

TEST(HarvesterProcess, MissingGateLibraryIsNamedAndEndsTheProgram)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    WriteIni(site, 20, 5);
    Harvester h({QStringLiteral("ORVEL_HARVESTER_GATELIB=libnosuchgate.so")});
    EXPECT_EQ(h.Finished(), 2);
    EXPECT_TRUE(ReadFileText(site.path(QStringLiteral("errorlog.txt")))
                    .contains(QStringLiteral("<<< tcpcom.dll LoadLibrary ERROR >>>")));
}

TEST(HarvesterProcess, LibraryWithoutConnectDeviceIsNamedInTheCollectorsOrder)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    WriteIni(site, 20, 5);
    Harvester h({QStringLiteral("ORVEL_HARVESTER_GATELIB=") + QString::fromUtf8(PARTIAL_GATELIB_NOCONNECT)});
    EXPECT_EQ(h.Finished(), 2);
    const QString log = ReadFileText(site.path(QStringLiteral("errorlog.txt")));
    EXPECT_TRUE(log.contains(QStringLiteral("<<< tcp_ConnectDevice GetProcAddress ERROR >>>"))) << log.toStdString();
}

TEST(HarvesterProcess, LibraryWithTheCollectorsSixEntryPointsServes)
{
    // It lacks every entry point the collector never calls (polling, properties, users ...).
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    WriteIni(site, 20, 5);
    Harvester h({QStringLiteral("ORVEL_HARVESTER_GATELIB=") + QString::fromUtf8(PARTIAL_GATELIB_COLLECTOR)});
    EXPECT_TRUE(StatusBecomes(site, QStringLiteral("1|稼動中")));
    Post(site, srv::HarvesterStop);
    EXPECT_EQ(h.Finished(), 0);
}

TEST(HarvesterProcess, IntervalTooLargeForItsTypeFallsBackToTheDefaultTick)
{
    TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    QFile f(site.path(QStringLiteral("Orvel.ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("[FILE]\r\nF_GATELOCK=GateLock.dat\r\n[INTERVAL]\r\nWAIT_SEC=99999999999\r\nLOG_WAIT_INTERVAL=5\r\n");
    f.close();
    Harvester h;
    // Answered within seconds (the default tick), not after weeks.
    EXPECT_TRUE(StatusBecomes(site, QStringLiteral("1|稼動中"), 15000));
    Post(site, srv::HarvesterStop);
    EXPECT_EQ(h.Finished(), 0);
}

} // namespace
