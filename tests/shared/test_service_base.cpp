// What both services stand on: their own database connection, the service control row, the
// single-instance lock and the gate library loader.

#include "GateLibLoader.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SingleInstance.h"
#include "SrvCtrl.h"
#include "TestSite.h"
#include "Wakeup.h"

#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace orvel;

TEST(SrvCtrl, AnswersOnlyAPendingRequestOfItsOwnRow)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    ServiceDb db(QStringLiteral("svc"));
    ASSERT_TRUE(db.Open());
    SrvCtrl harvester(db, srv::Harvester);
    SrvCtrl courier(db, srv::Courier);

    SrvRequest req;
    EXPECT_FALSE(harvester.Pending(&req)); // req_cmd 0 is no request
    EXPECT_FALSE(harvester.Answer(srv::ResultRunning, QStringLiteral("稼動中")));

    site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = 198, result = 0, res_detail = '', req_arg1 = 'a1' "
                             "WHERE server_id = 1"));
    ASSERT_TRUE(harvester.Pending(&req));
    EXPECT_EQ(req.reqCmd, 198);
    EXPECT_EQ(req.arg1, QStringLiteral("a1"));
    EXPECT_FALSE(courier.Pending(&req));

    EXPECT_TRUE(harvester.AnswerWithGate(srv::ResultGateError, QStringLiteral("<<< Device ERROR-[127.0.0.2] >>>"),
                                         QStringLiteral("00001"), QStringLiteral("O'Hare gate")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT result || '|' || res_detail || '|' || req_arg1 || '|' || req_arg2 || "
                                        "'|' || req_cmd FROM t_srv_ctrl WHERE server_id = 1")),
              QStringLiteral("2|<<< Device ERROR-[127.0.0.2] >>>|00001|O'Hare gate|198"));
    // Answered: nothing is pending any more, and a second answer writes nothing.
    EXPECT_FALSE(harvester.Pending(&req));
    EXPECT_FALSE(harvester.Answer(srv::ResultRunning, QStringLiteral("稼動中")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT result FROM t_srv_ctrl WHERE server_id = 1")), QStringLiteral("2"));

    EXPECT_FALSE(db.Exec(QStringLiteral("UPDATE no_table SET x = 1")));
    EXPECT_FALSE(db.LastError().isEmpty());
}

TEST(ServiceDb, BoundStatementsArePreparedOncePerConnection)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    ServiceDb db(QStringLiteral("svc"));
    ASSERT_TRUE(db.Open());
    const QString insert = QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES (?, ?)");
    int rows = -1;
    ASSERT_TRUE(db.ExecBound(insert, {QStringLiteral("00001"), QStringLiteral("O'Brien 50%")}, &rows));
    EXPECT_EQ(rows, 1);
    // A statement kept across a lost connection is prepared again on the new one.
    db.Close();
    ASSERT_TRUE(db.ExecBound(insert, {QStringLiteral("00002"), QStringLiteral("?")}, &rows));
    ASSERT_TRUE(db.ExecBound(QStringLiteral("UPDATE m_emp SET emp_bikou = ? WHERE emp_id > ?"),
                             {QStringLiteral("x"), QStringLiteral("00000")}, &rows));
    EXPECT_EQ(rows, 2);
    QSqlQuery &q = db.QueryBound(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = ?"), {QStringLiteral("00001")});
    ASSERT_TRUE(q.isActive());
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), QStringLiteral("O'Brien 50%"));
    q.finish();
    EXPECT_FALSE(db.ExecBound(insert, {QStringLiteral("00001"), QStringLiteral("again")})); // primary key
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_FALSE(db.QueryBound(QStringLiteral("SELECT x FROM no_table WHERE y = ?"), {1}).isActive());
}

// The SQLite driver used to wait twice its busy time-out before refusing a statement on a locked
// database. The bounds are far apart: the wait is the data source's 600 ms, not 1200.
TEST(ServiceDb, LockedDatabaseRefusesAfterTheDataSourceTimeoutOnce)
{
    if (test::TestBackend() != DbBackend::SQLite)
        GTEST_SKIP() << "the double wait is the SQLite driver's; a PostgreSQL site waits its lock_timeout "
                        "(checked by the PostgreSQL init-site tests)";
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    std::atomic<int> phase{0}; // 1: locked; 2: release in 300 ms
    std::thread other([&] {
        ServiceDb locker(QStringLiteral("locker"));
        if (!locker.Open() || !locker.Begin())
            return;
        phase = 1;
        while (phase != 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        locker.Rollback();
    });
    while (phase == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ServiceDb db(QStringLiteral("svc"));
    ASSERT_TRUE(db.Open(QStringLiteral("telmar_mdb;Timeout=600"), QLatin1String(kDbUser), QLatin1String(kDbPassword)));
    QElapsedTimer t;
    t.start();
    EXPECT_FALSE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id) VALUES ('00009')")));
    const qint64 plain = t.restart();
    EXPECT_FALSE(db.Begin());
    const qint64 begin = t.elapsed();
    EXPECT_GE(plain, 550);
    EXPECT_LT(plain, 1100);
    EXPECT_GE(begin, 550);
    EXPECT_LT(begin, 1100);
    // A lock released while a statement waits lets it through.
    phase = 2;
    t.restart();
    EXPECT_TRUE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id) VALUES ('00009')"))) << db.LastError().toStdString();
    EXPECT_GE(t.elapsed(), 250);
    other.join();
}

TEST(SingleInstance, ASecondHolderIsRefusedUntilTheFirstIsGone)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    auto first = std::make_unique<SingleInstance>(QStringLiteral("Courier_Started"));
    ASSERT_TRUE(first->TryAcquire());
    SingleInstance second(QStringLiteral("Courier_Started"));
    EXPECT_FALSE(second.TryAcquire());
    SingleInstance other(QStringLiteral("Harvester_Started"));
    EXPECT_TRUE(other.TryAcquire());
    first.reset();
    EXPECT_TRUE(second.TryAcquire());
}

// A holder killed while it set up its lock once left an empty lock file behind, and every later
// start of the service ended at once.
TEST(SingleInstance, LockFileLeftByAKilledHolderKeepsNobodyOut)
{
    test::TestSite site;
    ASSERT_TRUE(site.ok());
    QFile left(site.path(QStringLiteral("Harvester_Started.lock")));
    ASSERT_TRUE(left.open(QIODevice::WriteOnly | QIODevice::Truncate));
    left.close();
    SingleInstance next(QStringLiteral("Harvester_Started"));
    EXPECT_TRUE(next.TryAcquire());

    // The child says on a pipe when it holds the lock: probing for it before then could take the
    // lock at the child's moment and keep it out.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        SingleInstance held(QStringLiteral("Courier_Started"));
        const char got = held.TryAcquire() ? '1' : '0';
        (void)!::write(ready[1], &got, 1);
        ::pause();
        ::_exit(0);
    }
    ASSERT_GT(child, 0);
    ::close(ready[1]);
    char got = 0;
    EXPECT_EQ(::read(ready[0], &got, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(got, '1');
    auto heldElsewhere = [] {
        SingleInstance probe(QStringLiteral("Courier_Started"));
        return !probe.TryAcquire();
    };
    EXPECT_TRUE(heldElsewhere());
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_FALSE(heldElsewhere());
}

TEST(Wakeup, AskingWhetherAServiceListensNeverKeepsItFromListening)
{
    test::TestSite site;
    const QString channel = QStringLiteral("probe");
    EXPECT_FALSE(HasWakeListener(channel)); // asking took nothing: the service still gets the channel
    {
        WakeListener service(channel);
        ASSERT_TRUE(service.IsListening());
        EXPECT_TRUE(HasWakeListener(channel));
        Wake(channel);
        EXPECT_TRUE(service.TakeWoken());
    }
    EXPECT_FALSE(HasWakeListener(channel));
}

TEST(GateLibLoader, ResolvesEveryEntryPointOrNamesTheMissingOne)
{
    GateLibLoader tcp;
    ASSERT_TRUE(tcp.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("tcp_"))) << tcp.LoadError().toStdString();
    EXPECT_NE(tcp.Fn().DeleteAllUnassignUserId, nullptr);
    // The collector's additions come from the same library under the same prefix.
    EXPECT_NE(tcp.Fn().DropConnection, nullptr);
    EXPECT_NE(tcp.Fn().SetUploadAcknowledgement, nullptr);
    EXPECT_NE(tcp.Fn().AcknowledgeLogRecords, nullptr);
    GateLibLoader serial;
    EXPECT_TRUE(serial.Load(QStringLiteral("libhostcom.so"), QStringLiteral("serial_")));
    EXPECT_NE(serial.Fn().AcknowledgeLogRecords, nullptr);

    GateLibLoader missing;
    EXPECT_FALSE(missing.Load(QStringLiteral("libnosuchgate.so"), QStringLiteral("tcp_")));
    EXPECT_EQ(missing.MissingLibrary(), QStringLiteral("libnosuchgate.so"));

    GateLibLoader wrongPrefix;
    EXPECT_FALSE(wrongPrefix.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("serial_")));
    EXPECT_EQ(wrongPrefix.MissingEntry(), QStringLiteral("serial_SetIdStringFormat"));
    EXPECT_FALSE(wrongPrefix.IsLoaded());
}
