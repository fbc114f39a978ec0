// Courier1 as a process: a real site database, a gatesim process, requests written into
// t_userreq and service control rows the way the console writes them.
#include "SimProcess.h"
#include "TestSite.h"
#include "Wakeup.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <string>

using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

const QString kZeros = QStringLiteral("0000000000000000000000");

QByteArray Template(int seed)
{
    QByteArray t(800, '\0');
    for (int i = 0; i < t.size(); ++i)
        t[i] = char((i * 7 + seed * 31) & 0xFF);
    return t;
}

class CourierTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--gate", "00001=127.0.0.1:0"});
        ASSERT_TRUE(sim->ok());
        gate = sim->gate("00001");
        ip = QString::fromStdString(gate.address);
        port = QString::number(gate.port);
    }
    void TearDown() override
    {
        for (QProcess *p : {&courier, &second}) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    void StartCourier(QProcess &p, const char *program = COURIER_PATH, const char *tickMs = "20")
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVEL_HOME"), site.dir());
        env.insert(QStringLiteral("ORVEL_COURIER_TICK_MS"), QLatin1String(tickMs));
        env.insert(QStringLiteral("ORVEL_GATE_TIMEOUT_MS"), QStringLiteral("500"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(QDir::tempPath()); // the service moves to the site folder itself
        p.start(QString::fromUtf8(program), {});
        ASSERT_TRUE(p.waitForStarted(5000));
    }

    // Writes the request row as the console does and waits for the service's answer.
    QString Request(int reqCmd, const QString &userId, const QString &guserId, int gauthority = 1,
                    int gauthType = 2, const QString &reqIp = QString())
    {
        site.exec(QStringLiteral("UPDATE t_userreq SET req_cmd = %1, ip_addr = '%2', port_no = '%3', user_id = '%4', "
                                 "guser_id = '%5', gauthority = %6, gauth_type = %7, result = 0 WHERE req_id = '1'")
                      .arg(reqCmd)
                      .arg(reqIp.isEmpty() ? ip : reqIp, port, userId, guserId)
                      .arg(gauthority)
                      .arg(gauthType));
        return WaitResult();
    }
    QString WaitResult()
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            const QString r = site.value(QStringLiteral("SELECT result FROM t_userreq"));
            if (r != QLatin1String("0"))
                return r + u'/' + site.value(QStringLiteral("SELECT detail FROM t_userreq"));
            QThread::msleep(20);
        }
        return QStringLiteral("timeout");
    }
    // Posts a status check to server 2 and returns "result/res_detail" of the answer.
    QString Status()
    {
        site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = 298, result = 0, res_detail = '' WHERE server_id = 2"));
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            const QString r = site.value(QStringLiteral("SELECT result FROM t_srv_ctrl WHERE server_id = 2"));
            if (r != QLatin1String("0"))
                return r + u'/' + site.value(QStringLiteral("SELECT res_detail FROM t_srv_ctrl WHERE server_id = 2"));
            QThread::msleep(20);
        }
        return QStringLiteral("timeout");
    }
    std::vector<std::string> Users() { return Lines("users 00001"); }
    std::vector<std::string> Lines(const std::string &cmd)
    {
        auto out = sim->control(cmd);
        if (!out.empty())
            out.pop_back(); // OK
        return out;
    }
    bool HasUser(const QString &id)
    {
        for (const auto &l : Users())
            if (l.rfind(id.toStdString() + " ", 0) == 0)
                return true;
        return false;
    }
    int Stat(const std::string &name)
    {
        for (const auto &l : Lines("stats 00001"))
            if (l.rfind(name + "=", 0) == 0)
                return std::stoi(l.substr(name.size() + 1));
        return 0;
    }
    void WriteTemplates(const QList<QByteArray> &tpls)
    {
        QFile f(site.path(QStringLiteral("template.dat")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        for (const QByteArray &t : tpls)
            f.write(t);
    }

    TestSite site;
    std::unique_ptr<SimProcess> sim;
    testsupport::SimGate gate;
    QString ip, port;
    QProcess courier, second;
};

TEST_F(CourierTest, WritesCardAndFingerprintUsersThatTheGateThenHolds)
{
    StartCourier(courier);
    EXPECT_EQ(Request(201, "0000000001", "CARD0001", 2, 2), "1/0");
    EXPECT_TRUE(HasUser("CARD0001"));

    // Templates 2 and 3 of the file belong to the user; written in the order they are listed.
    WriteTemplates({Template(1), Template(2), Template(3)});
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000002', 0, 2, 0)");
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000002', 1, 3, 0)");
    const QString fpId = kZeros + "0000000002";
    EXPECT_EQ(Request(201, "0000000002", fpId, 1, 1), "1/0");
    bool found = false;
    for (const auto &l : Users())
        if (l.rfind(fpId.toStdString(), 0) == 0) {
            found = true;
            EXPECT_NE(l.find("templates=2"), std::string::npos) << l;
            EXPECT_NE(l.find("mode=191"), std::string::npos) << l;
        }
    EXPECT_TRUE(found);
    // The gate now admits the finger of template 3.
    const auto admitted = sim->control("finger 00001 @" + site.path("template.dat").toStdString() + ":3");
    ASSERT_FALSE(admitted.empty());
    EXPECT_NE(admitted.front().find(fpId.toStdString()), std::string::npos) << admitted.front();
    EXPECT_EQ(Status(), "1/稼動中");

    // Writing the card user again finds it deleted first, so the card-only check passes.
    EXPECT_EQ(Request(201, "0000000001", "CARD0001", 1, 2), "1/0");
}

// Fault mended: a template row still marked as being written (edit_flag 1) has no complete
// template behind it and is never sent to a gate.
TEST_F(CourierTest, TemplatesStillBeingWrittenAreNotSent)
{
    WriteTemplates({Template(1), Template(2)});
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000004', 0, 1, 0)");
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000004', 1, 2, 1)");
    StartCourier(courier);
    const QString fpId = kZeros + "0000000004";
    EXPECT_EQ(Request(201, "0000000004", fpId, 1, 1), "1/0");
    bool found = false;
    for (const auto &l : Users())
        if (l.rfind(fpId.toStdString(), 0) == 0) {
            found = true;
            EXPECT_NE(l.find("templates=1"), std::string::npos) << l;
        }
    EXPECT_TRUE(found);
    const std::string file = site.path("template.dat").toStdString();
    EXPECT_NE(sim->control("finger 00001 @" + file + ":1").front().find(fpId.toStdString()), std::string::npos);
    EXPECT_NE(sim->control("finger 00001 @" + file + ":2").front().find("type=29"), std::string::npos);
}

TEST_F(CourierTest, WriteDeletesTheCardIdAndTheNoCardIdFirst)
{
    ASSERT_TRUE(sim->controlOk("adduser 00001 ABC card=1"));
    ASSERT_TRUE(sim->controlOk("adduser 00001 " + (kZeros + "0007").toStdString() + " card=1"));
    StartCourier(courier);
    EXPECT_EQ(Request(201, "0007", "ABC", 1, 1), "1/0"); // no templates: nothing more to write
    EXPECT_FALSE(HasUser("ABC"));
    EXPECT_FALSE(HasUser(kZeros + "0007"));
    EXPECT_EQ(Stat("exists"), 2);

    ASSERT_TRUE(sim->controlOk("reset 00001"));
    EXPECT_EQ(Request(201, "0000000123", kZeros + "0000000123", 1, 1), "1/0");
    EXPECT_EQ(Stat("exists"), 1); // only the one ID was looked for
}

TEST_F(CourierTest, DeleteOfAUserNotOnTheGateSucceeds)
{
    StartCourier(courier);
    EXPECT_EQ(Request(202, "0000000009", "NOSUCH", 1, 2), "1/0");
    ASSERT_TRUE(sim->controlOk("adduser 00001 CARD9 card=1"));
    EXPECT_EQ(Request(202, "0000000009", "CARD9", 1, 2), "1/0");
    EXPECT_FALSE(HasUser("CARD9"));
}

TEST_F(CourierTest, FailuresGiveTheirCodesAndStates)
{
    StartCourier(courier);
    EXPECT_EQ(Request(300, "0000000001", "X", 1, 2), "2/300");
    EXPECT_EQ(Status(), "4/更新エラー[300]");

    EXPECT_EQ(Request(201, "0000000001", "X", 1, 9), "2/201"); // unknown authentication type

    ASSERT_TRUE(sim->controlOk("adduser 00001 FULL1 card=1"));
    ASSERT_TRUE(sim->controlOk("capacity 00001 1 1"));
    EXPECT_EQ(Request(201, "0000000002", "CARD2", 1, 2), "2/3293");

    ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
    EXPECT_EQ(Request(201, "0000000001", "X", 1, 2), "2/20100");
    // Idle ticks pass before the console's next status check: the failure must still be told.
    QThread::msleep(200);
    EXPECT_EQ(Status(), "2/<<< Device ERROR-[" + ip + "] >>>");
    EXPECT_EQ(Status(), "1/稼動中"); // told once, then the service is running again
    ASSERT_TRUE(sim->controlOk("fault 00001 clear"));
    EXPECT_EQ(Request(202, "0000000001", "X", 1, 2), "1/0");
    EXPECT_EQ(Status(), "1/稼動中");
}

TEST_F(CourierTest, CleanRemovesExactlyTheUnpermittedUsers)
{
    // Users 1 and 2 are permitted at the gate (2 as an administrator); 3's permit is not in use.
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) "
                             "VALUES ('00001', 'G1', '%1', '%2', 1)").arg(ip, port));
    const char *users[][2] = {{"0000000001", "P1"}, {"0000000002", "P2"}, {"0000000003", "P3"}};
    for (auto &u : users)
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type, gauthority) "
                                 "VALUES ('%1', 'n', '00000', '%2', 2, 1)").arg(u[0], u[1]));
    site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000001', '00001', 0, 1)");
    site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000002', '00001', 0, 1)");
    site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000003', '00001', 0, 0)");
    for (const char *cmd : {"adduser 00001 P1 card=1", "adduser 00001 P2 card=1 admin=1", "adduser 00001 P3 card=1",
                            "adduser 00001 X1 card=1", "adduser 00001 X2 card=1 admin=1", "adduser 00001 LOOSE"})
        ASSERT_TRUE(sim->controlOk(cmd)) << cmd;
    // More users than the old fixed lists held would not matter; a few dozen show the loop.
    for (int i = 0; i < 40; ++i)
        ASSERT_TRUE(sim->controlOk("adduser 00001 EXTRA" + std::to_string(i) + " card=1"));

    StartCourier(courier);
    EXPECT_EQ(Request(217, "", "", 1, 2), "1/0");
    EXPECT_TRUE(HasUser("P1"));
    EXPECT_TRUE(HasUser("P2"));
    EXPECT_FALSE(HasUser("P3"));
    EXPECT_FALSE(HasUser("X1"));
    EXPECT_FALSE(HasUser("X2"));
    EXPECT_FALSE(HasUser("LOOSE"));
    EXPECT_EQ(Users().size(), 2u);
}

// The console wakes the service when it has written a request: with a tick far longer than the
// test, no tick comes at all, and still every woken request is answered; one left unannounced
// waits for the tick on SQLite, and is found between ticks on a server database.
TEST_F(CourierTest, WrittenRequestWakesTheIdleServiceBeforeItsTick)
{
    StartCourier(courier, COURIER_PATH, "600000");
    auto write = [&](const QString &user) {
        site.exec(QStringLiteral("UPDATE t_userreq SET req_cmd = 201, ip_addr = '%1', port_no = '%2', user_id = '%3', "
                                 "guser_id = 'C%3', gauthority = 1, gauth_type = 2, result = 0 WHERE req_id = '1'")
                      .arg(ip, port, user));
    };
    auto wokenAnswer = [&] {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 20000) {
            orvel::Wake(QLatin1String(orvel::kWakeUserRequest)); // again: one sent before it listens is lost
            const QString r = site.value(QStringLiteral("SELECT result FROM t_userreq"));
            if (r != QLatin1String("0"))
                return r + u'/' + site.value(QStringLiteral("SELECT detail FROM t_userreq"));
            QThread::msleep(20);
        }
        return QStringLiteral("timeout");
    };
    for (const char *user : {"0000000001", "0000000002", "0000000003"}) {
        write(QLatin1String(user));
        EXPECT_EQ(wokenAnswer(), QStringLiteral("1/0")) << user;
    }
    EXPECT_TRUE(HasUser(QStringLiteral("C0000000003")));
    // Wake-ups the loop above sent while the last answer was being written are taken first, so
    // that none of them is left to wake the service for the next request.
    QThread::msleep(500);
    write(QStringLiteral("0000000004"));
    if (!orvel::test::OnPostgreSql()) {
        QThread::msleep(500);
        EXPECT_EQ(site.value(QStringLiteral("SELECT result FROM t_userreq")), QStringLiteral("0"));
        return;
    }
    // On a server database a console of another PC cannot wake the service: the request row is
    // read between ticks as well.
    QElapsedTimer t;
    t.start();
    while (site.value(QStringLiteral("SELECT result FROM t_userreq")) == QLatin1String("0") && t.elapsed() < 20000)
        QThread::msleep(20);
    EXPECT_EQ(site.value(QStringLiteral("SELECT result FROM t_userreq")), QStringLiteral("1"));
    EXPECT_TRUE(HasUser(QStringLiteral("C0000000004")));
}

TEST_F(CourierTest, StopRequestEndsTheProcessAndASecondCopyExitsWithOne)
{
    StartCourier(courier);
    ASSERT_EQ(Status(), "1/稼動中"); // the first copy is up and holds the lock
    StartCourier(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_EQ(courier.state(), QProcess::Running);

    site.exec("UPDATE t_srv_ctrl SET req_cmd = 299, result = 0, res_detail = '' WHERE server_id = 2");
    ASSERT_TRUE(courier.waitForFinished(10000));
    EXPECT_EQ(courier.exitCode(), 0);
    EXPECT_EQ(site.value("SELECT result FROM t_srv_ctrl WHERE server_id = 2"), "0");
    EXPECT_EQ(site.value("SELECT res_detail FROM t_srv_ctrl WHERE server_id = 2"), "終了");
    // The edition's twin is the same service.
    StartCourier(second, COURIER_MF_PATH);
    EXPECT_EQ(Status(), "1/稼動中");
}

TEST_F(CourierTest, MissingEntryPointKeepsTheServiceIdleAndIsNamed)
{
    // A copy of the service whose ../lib holds a gate library without the serial entry points.
    QTemporaryDir install;
    ASSERT_TRUE(QDir().mkpath(install.filePath("bin")) && QDir().mkpath(install.filePath("lib")));
    const QString program = install.filePath("bin/Courier1");
    ASSERT_TRUE(QFile::copy(QString::fromUtf8(COURIER_PATH), program));
    QFile::setPermissions(program, QFile::permissions(program) | QFileDevice::ExeOwner);
    ASSERT_TRUE(QFile::copy(QFileInfo(QString::fromUtf8(COURIER_PATH)).absolutePath() + "/../lib/libtcpcom.so",
                            install.filePath("lib/libhostcom.so")));
    const QByteArray path = program.toUtf8();
    StartCourier(courier, path.constData());
    QElapsedTimer t;
    t.start();
    QByteArray err;
    while (t.elapsed() < 10000 && !err.contains('\n')) {
        courier.waitForFinished(50); // lets QProcess read the pipes
        err += courier.readAllStandardError();
    }
    EXPECT_TRUE(err.contains("serial_SetIdStringFormat")) << err.constData();
    QFile log(site.path("errorlog.txt"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("serial_SetIdStringFormat"));
    // Idle: still running, and a request stays unanswered.
    site.exec("UPDATE t_srv_ctrl SET req_cmd = 298, result = 0 WHERE server_id = 2");
    QThread::msleep(300);
    EXPECT_EQ(courier.state(), QProcess::Running);
    EXPECT_EQ(site.value("SELECT result FROM t_srv_ctrl WHERE server_id = 2"), "0");
}

} // namespace

TEST_F(CourierTest, OutOfRangeIntervalsInTheSettingsDoNotSilenceIt)
{
    QFile ini(site.path(QStringLiteral("Orvel.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("[FILE]\r\nF_GATELOCK=GateLock.dat\r\nF_TEMPLATE=template.dat\r\n"
              "[INTERVAL]\r\nWAIT_SEC=99999999999\r\nLOG_WAIT_INTERVAL=-4\r\n"
              "[LOG SECTION]\r\nSTART_YEAR=99999999999\r\nSTART_MONTH=13\r\nSTART_DAY=1\r\n");
    ini.close();
    StartCourier(courier);
    EXPECT_EQ(Status(), QStringLiteral("1/稼動中"));
    EXPECT_EQ(Request(201, QStringLiteral("0000000001"), QStringLiteral("CARD0001")), QStringLiteral("1/0"));
}
