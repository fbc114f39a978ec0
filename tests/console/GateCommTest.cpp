// The console's gate operations against a gatesim process over TCP, and the user request queue
// answered by a stand-in of the provisioning service writing the t_userreq row.
#include "ConsoleTiming.h"
#include "ErrorLog.h"
#include "gatecomm/GUserCtrl.h"
#include "GateLock.h"
#include "MsgBox.h"
#include "ServiceDb.h"
#include "SimProcess.h"
#include "Sjis.h"
#include "gatecomm/TcpCom.h"
#include "TestSite.h"
#include "Wakeup.h"
#include "gatelib.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>

using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

int ErrorLogLines(const TestSite &site, const QString &code)
{
    QFile f(site.path("errorlog.txt"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return orvel::FromSjis(f.readAll()).count(u',' + code + u',');
}

class GateCommTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--gate", "00001=127.0.0.1:0"});
        ASSERT_TRUE(sim->ok());
        ip = QString::fromStdString(sim->gate("00001").address);
        port = QString::number(sim->gate("00001").port);
        tcp_SetTimeoutMs(300);
        Timing().gateRetryWaitMs = 1;
        Timing().gateLockSecondMs = 5;
        Timing().userReqPollMs = 5;
        Timing().userReqPassWaitMs = 1;
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        tcp_SetTimeoutMs(0);
        SetTcpComClock({});
        Timing() = ConsoleTiming{};
    }
    int Stat(const std::string &name)
    {
        for (const auto &l : sim->control("stats 00001"))
            if (l.rfind(name + "=", 0) == 0)
                return std::stoi(l.substr(name.size() + 1));
        return 0;
    }
    TestSite site;
    std::unique_ptr<SimProcess> sim;
    QString ip, port;
};

TEST_F(GateCommTest, CheckSucceedsWhenTheGateAnswersTheThirdPoll)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 silent poll 2"));
    EXPECT_TRUE(TcpCheckDevice(ip, port));
    EXPECT_EQ(Stat("poll"), 3);
}

TEST_F(GateCommTest, SilentGateFailsEveryOperationAfterFourAttempts)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 silent any 0"));
    GateProperties props{};
    EXPECT_FALSE(TcpCheckDevice(ip, port));
    EXPECT_FALSE(TcpSetDeviceTime(ip, port));
    EXPECT_FALSE(TcpReadDeviceProperties("00001", ip, port, &props));
    EXPECT_FALSE(TcpSetDeviceProperties("00001", ip, port, props));
    // Every operation released the lock it took and closed its connection: the gate answers again.
    EXPECT_FALSE(orvel::GateLock(site.path("GateLock.dat")).IsGateLocked("00001"));
    ASSERT_TRUE(sim->controlOk("fault 00001 clear"));
    EXPECT_TRUE(TcpCheckDevice(ip, port));
    EXPECT_FALSE(TcpCheckDevice("127.0.0.1", "1")); // nothing listens: no attempts at all
}

TEST_F(GateCommTest, ClockOnASundayOf2009)
{
    SetTcpComClock([] { return QDateTime(QDate(2009, 4, 5), QTime(8, 30, 15)); });
    EXPECT_TRUE(TcpSetDeviceTime(ip, port));
    const auto clock = sim->control("clock 00001");
    ASSERT_FALSE(clock.empty());
    EXPECT_NE(clock.front().find("2009-04-05"), std::string::npos) << clock.front();
    bool sync = false, apply = false;
    for (const auto &l : sim->control("eeprom 00001")) {
        sync |= l == "9=1";
        apply |= l == "10=1";
    }
    EXPECT_TRUE(sync && apply);
}

TEST_F(GateCommTest, PropertiesUnderTheGateLock)
{
    GateProperties props{};
    ASSERT_TRUE(TcpReadDeviceProperties("00001", ip, port, &props));
    props.bytes[GATE_PROP_DOOR_MODE] = 2;
    ASSERT_TRUE(TcpSetDeviceProperties("00001", ip, port, props));
    GateProperties back{};
    ASSERT_TRUE(TcpReadDeviceProperties("00001", ip, port, &back));
    EXPECT_EQ(back.bytes[GATE_PROP_DOOR_MODE], 2);
    EXPECT_FALSE(orvel::GateLock(site.path("GateLock.dat")).IsGateLocked("00001"));

    // The collector holds the gate: the console gives up without contacting it.
    ASSERT_TRUE(sim->controlOk("reset 00001"));
    ASSERT_TRUE(orvel::CollectorLockGate(site.path("GateLock.dat"), "00001"));
    EXPECT_FALSE(TcpReadDeviceProperties("00001", ip, port, &back));
    EXPECT_FALSE(TcpSetDeviceProperties("00001", ip, port, back));
    EXPECT_EQ(Stat("poll"), 0);
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    EXPECT_TRUE(orvel::GateLock(site.path("GateLock.dat")).IsGateLocked("00001"));
}

// Plays the provisioning service: answers each pending request with the next scripted outcome.
class ServiceDouble
{
public:
    explicit ServiceDouble(std::deque<std::pair<int, QString>> answers) : m_answers(std::move(answers))
    {
        m_db.Open();
        QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
        m_timer.start(2);
    }
    void Stop() { m_timer.stop(); }
    int requests = 0;
    int lastCmd = 0;
    QString lastGuserId;

private:
    void Tick()
    {
        QSqlQuery q = m_db.Query("SELECT req_cmd, guser_id FROM t_userreq WHERE result = 0");
        if (!q.next() || m_answers.empty())
            return;
        lastCmd = q.value(0).toInt();
        lastGuserId = q.value(1).toString();
        q.finish();
        ++requests;
        const auto [result, detail] = m_answers.front();
        m_answers.pop_front();
        m_db.Exec(QStringLiteral("UPDATE t_userreq SET result = %1, detail = '%2'").arg(result).arg(detail));
    }
    orvel::ServiceDb m_db{QStringLiteral("service-double")};
    QTimer m_timer;
    std::deque<std::pair<int, QString>> m_answers;
};

GUserRecord CardUser()
{
    return GUserRecord{"0000000001", "CARD01", 1, 2};
}

TEST_F(GateCommTest, UserStoreFullIsShownOnceAndNotResent)
{
    {
        ServiceDouble service({{2, "3293"}, {1, "0"}});
        EXPECT_FALSE(SendUserRequest(1, ip, port, "00001", CardUser(), true));
        EXPECT_EQ(service.requests, 1);
    }
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "【3293】ユーザ権限のカードの最大登録数を超えています。反映を中止します。\r\n\tユーザID = 0000000001");
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(ErrorLogLines(site, "3293"), 1);

    // Fingerprint users and administrators get their own texts; without the flag nothing is shown.
    ServiceDouble admin({{2, "3295"}});
    GUserRecord fp{"0000000002", "F2", 2, 1};
    EXPECT_FALSE(SendUserRequest(2, ip, port, "00001", fp, false));
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    QFile f(site.path("errorlog.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_TRUE(orvel::FromSjis(f.readAll()).contains("3295,管理者権限の指紋の最大登録数を超えています。0000000002"));
}

// The request row is shared by every console of the site, on one PC or several: another console's
// request is waited for and never overwritten; an answer its console never read (a console that
// is gone) is taken over after a while; reading an answer frees the row.
TEST_F(GateCommTest, RequestRowIsClaimedOnlyWhenFree)
{
    Timing().userReqClaimStaleMs = 100;
    Timing().userReqTimeoutMs = 300;
    site.exec("UPDATE t_userreq SET req_cmd = 202, user_id = 'OTHER', guser_id = 'X', result = 0, detail = 'c1.2.3'");
    EXPECT_FALSE(SendUserRequest(1, ip, port, "00001", CardUser(), false));
    EXPECT_EQ(site.value("SELECT user_id || ' ' || req_cmd || ' ' || result FROM t_userreq"), "OTHER 202 0");

    site.exec("UPDATE t_userreq SET result = 1, detail = '0'");
    ServiceDouble service({{1, "0"}});
    EXPECT_TRUE(SendUserRequest(1, ip, port, "00001", CardUser(), false));
    EXPECT_EQ(service.requests, 1);
    EXPECT_EQ(service.lastGuserId, "CARD01");
    EXPECT_EQ(site.value("SELECT req_cmd || ' ' || result || ' ' || user_id FROM t_userreq"), "0 1 0000000001");
    Timing() = ConsoleTiming{};
}

TEST_F(GateCommTest, BusyGateIsResentUntilDone)
{
    ServiceDouble service({{2, "3269"}, {2, "3269"}, {2, "3269"}, {1, "0"}});
    EXPECT_TRUE(SendUserRequest(1, ip, port, "00001", CardUser(), true));
    EXPECT_EQ(service.requests, 4);
    EXPECT_EQ(service.lastCmd, 201);
    EXPECT_EQ(service.lastGuserId, "CARD01");
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());

    // Thirty failures use up the whole budget; the service is asked no more.
    service.Stop();
    std::deque<std::pair<int, QString>> busy(40, {2, "3278"});
    ServiceDouble always(busy);
    EXPECT_FALSE(SendUserRequest(3, ip, port, "00001", CardUser(), true));
    EXPECT_EQ(always.requests, 30);
    EXPECT_EQ(always.lastCmd, 202);
}

TEST_F(GateCommTest, DeleteOfAnAbsentUserAndOtherKinds)
{
    ServiceDouble service({{1, "0"}, {2, "20102"}});
    EXPECT_TRUE(SendUserRequest(3, ip, port, "00001", CardUser(), true));
    EXPECT_EQ(service.lastCmd, 202);
    EXPECT_TRUE(SendUserRequest(4, ip, port, "00001", CardUser(), true)); // nothing sent
    EXPECT_TRUE(SendUserRequest(0, ip, port, "00001", CardUser(), true));
    EXPECT_EQ(service.requests, 1);

    // Any other failure: the general message with its code.
    EXPECT_FALSE(SendUserRequest(1, ip, port, "00001", CardUser(), true));
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.startsWith("【20102】ゲートへの反映中にエラーが発生しました。反映を中止します。"));
}

TEST_F(GateCommTest, UnreachableGateEndsTheRequestWithoutAMessage)
{
    {
        ServiceDouble service({{2, "3269"}, {1, "0"}});
        ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
        EXPECT_FALSE(SendUserRequest(1, ip, port, "00001", CardUser(), true));
        EXPECT_EQ(service.requests, 1);
        EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    }

    ServiceDouble cleaner({{2, "20104"}, {1, "0"}});
    ASSERT_TRUE(sim->controlOk("fault 00001 clear"));
    EXPECT_TRUE(SendGateCleanRequest(ip, port)); // a failed clean is simply sent again
    EXPECT_EQ(cleaner.requests, 2);
    EXPECT_EQ(cleaner.lastCmd, 217);
}

TEST_F(GateCommTest, UnansweredRequestGivesUpAfterTheTimeOut)
{
    Timing().userReqTimeoutMs = 200;
    EXPECT_FALSE(SendUserRequest(1, ip, port, "00001", CardUser(), true));
    EXPECT_EQ(ErrorLogLines(site, QString::number(kUserReqNoAnswer)), 1);
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.contains("0000000001"));
    EXPECT_FALSE(SendGateCleanRequest(ip, port));
    EXPECT_EQ(ErrorLogLines(site, QString::number(kUserReqNoAnswer)), 2);
}

} // namespace

// The real provisioning service on a tick far longer than the test, the console reading the
// result on an interval as long: the request wakes the service, the result wakes the console, and
// neither clock plays a part (a lost wake-up would leave the request unanswered within the time).
TEST_F(GateCommTest, RequestWakesTheServiceAndItsResultWakesTheConsole)
{
    Timing().userReqPollMs = 600000;
    Timing().userReqTimeoutMs = 15000;
    QProcess courier;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVEL_COURIER_TICK_MS"), QStringLiteral("600000"));
    env.insert(QStringLiteral("ORVEL_GATE_TIMEOUT_MS"), QStringLiteral("500"));
    courier.setProcessEnvironment(env);
    courier.start(QStringLiteral(COURIER_PATH), {});
    ASSERT_TRUE(courier.waitForStarted(5000));
    QElapsedTimer up;
    up.start();
    while (!orvel::HasWakeListener(QLatin1String(orvel::kWakeUserRequest)) && up.elapsed() < 10000)
        QThread::msleep(10);
    for (const char *card : {"CARD01", "CARD02", "CARD03"}) {
        GUserRecord user = CardUser();
        user.guser_id = QLatin1String(card);
        EXPECT_TRUE(SendUserRequest(1, ip, port, "00001", user, true)) << card;
    }
    EXPECT_EQ(sim->control("users 00001").size(), 4u); // three users and OK
    courier.kill();
    courier.waitForFinished(5000);
}
