// Several PCs on one server database: two site folders on one PostgreSQL database stand in for two
// PCs (the first made the database and runs the services, the second joined it), with gatesim and
// one provisioning service. Every console of a PC is a process of its own (multipc_console).
#include "GateLock.h"
#include "OrvelDefs.h"
#include "PcGateLock.h"
#include "SimProcess.h"
#include "SiteFolder.h"
#include "SiteSetup.h"
#include "TestControls.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

class MultiPcTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!orvel::test::OnPostgreSql())
            GTEST_SKIP() << "several PCs share a server database; an SQLite site is one PC's";
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        ASSERT_TRUE(other.isValid());
        orvel::SiteOptions join;
        join.postgresql = site.pgDatabase();
        QString error;
        ASSERT_TRUE(orvel::CreateSite(OtherSite(), join, &error)) << error.toStdString();
        // Setting up the other site used this process's connection: back to the first site.
        orvel::UseSiteOdbc(site.dir());
        rdo_cntl db;
        ASSERT_TRUE(db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser),
                               QLatin1String(orvel::kDbPassword)));
    }
    QString OtherSite() const { return other.path() + QStringLiteral("/site"); }
    // A console of the site in dir, as its own process.
    std::unique_ptr<QProcess> Console(const QString &dir, const QStringList &args)
    {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVEL_HOME"), dir);
        env.remove(QStringLiteral("ODBCINI"));
        env.remove(QStringLiteral("ODBCSYSINI"));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QStringLiteral(MULTIPC_CONSOLE_PATH), args);
        return p;
    }

    TestSite site;
    QTemporaryDir other;
};

TEST_F(MultiPcTest, SetUpMakesTheFirstPcTheServicesPcAndTheJoiningOneAConsole)
{
    ::setenv("ORVEL_HOME", OtherSite().toUtf8().constData(), 1);
    EXPECT_FALSE(orvel::SiteRunsServices());
    ::setenv("ORVEL_HOME", site.dir().toUtf8().constData(), 1);
    EXPECT_TRUE(orvel::SiteRunsServices());
}

TEST_F(MultiPcTest, ConsolesOfTwoPcsSendToOneGateAtOnceAndEachRequestIsCarriedOutOnce)
{
    SimProcess sim({"--gate", "00001=127.0.0.1:0"});
    ASSERT_TRUE(sim.ok());
    const QString ip = QString::fromStdString(sim.gate("00001").address);
    const QString port = QString::number(sim.gate("00001").port);

    // The one provisioning service, on the first PC, at its own pace: a request of the other PC
    // cannot wake it.
    QProcess courier;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVEL_HOME"), site.dir());
    env.insert(QStringLiteral("ORVEL_GATE_TIMEOUT_MS"), QStringLiteral("2000"));
    courier.setProcessEnvironment(env);
    courier.start(QStringLiteral(COURIER_PATH), {});
    ASSERT_TRUE(courier.waitForStarted());

    for (int round = 0; round < 2; ++round) {
        const QString a = QStringLiteral("A%1").arg(round), b = QStringLiteral("B%1").arg(round);
        auto first = Console(site.dir(), {"send", ip, port, a, "CARDA" + QString::number(round)});
        auto second = Console(OtherSite(), {"send", ip, port, b, "CARDB" + QString::number(round)});
        ASSERT_TRUE(first->waitForFinished(60000));
        ASSERT_TRUE(second->waitForFinished(60000));
        EXPECT_EQ(first->exitCode(), 0) << "round " << round;
        EXPECT_EQ(second->exitCode(), 0) << "round " << round;
    }
    courier.kill();
    courier.waitForFinished();

    QStringList onGate;
    for (const std::string &line : sim.control("users 00001"))
        if (line.rfind("CARD", 0) == 0)
            onGate << QString::fromStdString(line.substr(0, line.find(' ')));
    onGate.sort();
    EXPECT_EQ(onGate, QStringList({"CARDA0", "CARDA1", "CARDB0", "CARDB1"}));
    // Each request written to the gate once: four card profiles sent, no more.
    int cards = -1;
    for (const std::string &line : sim.control("stats 00001"))
        for (const QString &item : QString::fromStdString(line).split(u' '))
            if (item.startsWith(QLatin1String("card=")))
                cards = item.mid(5).toInt();
    EXPECT_EQ(cards, 4);
    // The row is free for the next request of any console.
    EXPECT_EQ(site.value("SELECT req_cmd FROM t_userreq"), QStringLiteral("0"));
}

TEST_F(MultiPcTest, AConsoleAndTheCollectorOfAnotherPcNeverHoldOneGateAtOnce)
{
    orvel::PcGateLock consoleSide, collectorSide; // two connections: two PCs to the server
    orvel::GateLockHooks hooks;
    hooks.acrossPcs = &consoleSide;
    orvel::GateLock console(site.path("GateLock.dat"), hooks);
    const QString collectorFile = OtherSite() + QStringLiteral("/GateLock.dat");

    ASSERT_TRUE(console.TryLockGate("00001"));
    EXPECT_FALSE(orvel::CollectorLockGate(collectorFile, "00001", &collectorSide));
    EXPECT_TRUE(orvel::CollectorLockGate(collectorFile, "00002", &collectorSide)); // another gate
    ASSERT_TRUE(console.TryUnlockGate("00001"));
    ASSERT_TRUE(orvel::CollectorLockGate(collectorFile, "00001", &collectorSide));
    EXPECT_FALSE(console.TryLockGate("00001"));
    // Refused by the other PC, the console holds nothing on its own PC either.
    EXPECT_FALSE(console.IsGateLocked("00001"));
    ASSERT_TRUE(orvel::CollectorUnlockGate(collectorFile, "00001", &collectorSide));
    EXPECT_TRUE(console.TryLockGate("00001"));
    EXPECT_TRUE(console.TryUnlockGate("00001"));
}

TEST_F(MultiPcTest, AKilledHoldersGateLockIsFreeAtOnce)
{
    auto holder = Console(OtherSite(), {"hold", "7"});
    ASSERT_TRUE(holder->waitForReadyRead(20000));
    ASSERT_EQ(holder->readLine().trimmed(), QByteArray("held"));
    orvel::PcGateLock mine;
    EXPECT_FALSE(mine.TryLock(7));
    holder->kill(); // no chance to release anything
    holder->waitForFinished();
    // The server ends the dead program's session as soon as its socket closes.
    QElapsedTimer waited;
    waited.start();
    bool taken = false;
    while (!(taken = mine.TryLock(7)) && waited.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_TRUE(taken);
}

TEST_F(MultiPcTest, ADepartmentRegisteredOnOnePcIsListedOnTheOtherAfterItsRefresh)
{
    // The first PC's department list, kept open across refreshes as its screen keeps it.
    rdo_cntl list;
    list.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    list.SetField(QStringLiteral("emp_id"), QStringLiteral("00000"), true, true);
    list.SetField(QStringLiteral("emp_name"));
    list.SetField(QStringLiteral("emp_bikou"));
    list.setOrder(QStringLiteral("emp_id asc"));
    const auto listed = [&list] {
        orvel::test::Grid grid(1, 3);
        list.LoadGrid(&grid);
        QStringList rows;
        for (int r = grid.fixedRows(); r < grid.rows(); ++r)
            rows << grid.textMatrix(r, 0) + u' ' + grid.textMatrix(r, 1);
        return rows;
    };
    const QStringList before = listed();
    ASSERT_FALSE(before.contains(QStringLiteral("00777 第三工場")));

    auto other = Console(OtherSite(), {"dept", "00777", "第三工場"});
    ASSERT_TRUE(other->waitForFinished(30000));
    ASSERT_EQ(other->exitCode(), 0);

    const QStringList after = listed();
    EXPECT_TRUE(after.contains(QStringLiteral("00777 第三工場")));
    EXPECT_EQ(after.size(), before.size() + 1);
    // Registered twice, the second is refused and the list stays as it is.
    auto again = Console(OtherSite(), {"dept", "00777", "別名"});
    ASSERT_TRUE(again->waitForFinished(30000));
    EXPECT_NE(again->exitCode(), 0);
    EXPECT_EQ(listed(), after);
}

} // namespace
