// The collector's tick and visit, driven tick by tick, against gatesim over TCP and a real
// database: the pass over the gates, retries, the per-visit cap, collect-now, the upload start
// date, the gate access lock, and records the database does not take.

#include "Collector.h"
#include "GateLibLoader.h"
#include "GateLock.h"
#include "HarvesterTestUtil.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SimProcess.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QDateTime>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

using namespace orvel;
using namespace harvester;
using namespace harvester::test;
using orvel::test::TestSite;

namespace {

class CollectorTicks : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::setenv("ORVEL_GATE_TIMEOUT_MS", "2000", 1);
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        ASSERT_TRUE(sim.ok());
        ASSERT_TRUE(OpenShort(db)) << db.LastError().toStdString();
        ASSERT_TRUE(lib.Load(QStringLiteral("libtcpcom.so"), QStringLiteral("tcp_")));
        AddSimGates(site, sim, 3);
        site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 0"));
    }

    Collector &Make(int logWaitInterval, int year = 0, int month = 0, int day = 0)
    {
        CollectorSettings s;
        s.lockFile = site.path(QStringLiteral("GateLock.dat"));
        s.spoolFile = site.path(QStringLiteral("harvester_spool.dat"));
        s.logWaitInterval = logWaitInterval;
        s.startYear = year;
        s.startMonth = month;
        s.startDay = day;
        s.unlockRetryMs = 1;
        collector = std::make_unique<Collector>(db, lib.Fn(), s);
        collector->SetDisplay([this](const QString &line) {
            shown << line;
            if (onRecord)
                onRecord();
        });
        return *collector;
    }

    void AddLogs(const std::string &gate, int n, const std::string &time = "2009-04-01T08:30:00")
    {
        for (int i = 0; i < n; ++i)
            Sim(sim, "addlog " + gate + " 1 CARD" + std::to_string(100 + i) + " " + time);
    }

    int Rows(const QString &sql) { return Count(site, sql); }

    TestSite site;
    testsupport::SimProcess sim{{"--gate", "00001=127.0.0.2:0", "--gate", "00002=127.0.0.3:0", "--gate",
                                 "00003=127.0.0.4:0"}};
    ServiceDb db{QStringLiteral("collector")};
    GateLibLoader lib;
    std::unique_ptr<Collector> collector;
    QStringList shown;
    std::function<void()> onRecord;
};

TEST_F(CollectorTicks, GatesOnConsecutiveTicksThenANewPassAfterTheQuietTicks)
{
    for (const char *g : {"00001", "00002", "00003"})
        AddLogs(g, 1);
    Collector &c = Make(5);
    auto collected = [&] {
        return QStringLiteral("%1%2%3")
            .arg(Collected(site, QStringLiteral("00001")))
            .arg(Collected(site, QStringLiteral("00002")))
            .arg(Collected(site, QStringLiteral("00003")));
    };
    QStringList perTick;
    for (int tick = 1; tick <= 9; ++tick) {
        ASSERT_TRUE(c.Tick());
        perTick << collected();
    }
    // Five ticks of waiting, one gate per tick, then the end of the list.
    EXPECT_EQ(perTick, QStringList({"000", "000", "000", "000", "000", "100", "110", "111", "111"}));
    EXPECT_TRUE(c.GateCursor().isEmpty());
    EXPECT_EQ(c.PassCounter(), 1);

    AddLogs("00001", 1);
    for (int tick = 10; tick <= 13; ++tick) { // LOG_WAIT_INTERVAL - 1 quiet ticks
        ASSERT_TRUE(c.Tick());
        EXPECT_EQ(collected(), QStringLiteral("111")) << "tick " << tick;
    }
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(collected(), QStringLiteral("211"));
    EXPECT_EQ(c.CurrentGateId(), QStringLiteral("00001"));
    EXPECT_EQ(c.StateText(), QStringLiteral("稼動中"));
    EXPECT_TRUE(shown.first().startsWith(QStringLiteral("UserId[CARD100] ｼｰｹﾝｽNo[1] ﾛｸﾞﾀｲﾌﾟ[1]  2009/04/01-08:30:00")))
        << shown.first().toStdString();
}

TEST_F(CollectorTicks, RefusedGateIsRetriedOnceThenReportedAsADeviceError)
{
    AddLogs("00001", 2);
    Sim(sim, "fault 00001 refuse on");
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick()); // waiting
    ASSERT_TRUE(c.Tick()); // 00001 refused: retry next time
    EXPECT_EQ(c.StateCode(), Collector::Running);
    EXPECT_EQ(c.StateText(), QStringLiteral("ゲート接続リトライ[00001]"));
    EXPECT_EQ(c.GateCursor(), QStringLiteral("00000"));
    ASSERT_TRUE(c.Tick()); // the same gate again, refused again
    EXPECT_EQ(c.StateCode(), Collector::GateError);
    const QString ip = QString::fromStdString(sim.gate("00001").address);
    EXPECT_EQ(c.StateText(), QStringLiteral("<<< Device ERROR-[%1] >>>").arg(ip));
    EXPECT_EQ(c.GateCursor(), QStringLiteral("00001"));

    Sim(sim, "fault 00001 clear");
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 0);

    // The first refusal followed by a connection collects as usual.
    Sim(sim, "fault 00001 refuse on");
    Collector &d = Make(1);
    ASSERT_TRUE(d.Tick());
    ASSERT_TRUE(d.Tick());
    EXPECT_EQ(d.StateText(), QStringLiteral("ゲート接続リトライ[00001]"));
    Sim(sim, "fault 00001 clear");
    ASSERT_TRUE(d.Tick());
    EXPECT_EQ(d.StateText(), QStringLiteral("稼動中"));
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 2);
}

TEST_F(CollectorTicks, GateErrorStandsForTheNextStatusCheck)
{
    Sim(sim, "fault 00001 refuse on");
    site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 0 WHERE gate_id <> '00001'"));
    Collector &c = Make(1);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c.Tick()); // wait, retry mark, device error
    ASSERT_EQ(c.StateCode(), Collector::GateError);
    ASSERT_TRUE(c.Tick()); // end of the list: no visit
    Post(site, srv::HarvesterStatus);
    ASSERT_TRUE(c.Tick());
    const QString ip = QString::fromStdString(sim.gate("00001").address);
    EXPECT_EQ(site.value(QStringLiteral("SELECT result || '|' || res_detail || '|' || req_arg1 FROM t_srv_ctrl "
                                        "WHERE server_id = 1")),
              QStringLiteral("2|<<< Device ERROR-[%1] >>>|00001").arg(ip));
}

TEST_F(CollectorTicks, ThreeRecordsPerVisitAndEveryRecordOnCollectNow)
{
    AddLogs("00001", 10);
    site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 0 WHERE gate_id <> '00001'"));
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    QList<int> perVisit;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(c.Tick());
        perVisit << Collected(site, QStringLiteral("00001"));
    }
    // Visits alternate with the end-of-list tick and its wait.
    EXPECT_EQ(perVisit.last(), 10);
    EXPECT_TRUE(perVisit.contains(3) && perVisit.contains(6) && perVisit.contains(9)) << perVisit.size();
    for (int n : perVisit)
        EXPECT_TRUE(n == 0 || n == 3 || n == 6 || n == 9 || n == 10) << n;

    // Collect now: every record of every gate in one tick, processed, then the answer.
    site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 1"));
    AddLogs("00002", 10);
    AddLogs("00003", 4);
    Post(site, srv::HarvesterCollectNow);
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Collected(site, QStringLiteral("00002")), 10);
    EXPECT_EQ(Collected(site, QStringLiteral("00003")), 4);
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), 0);
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), 24);
    EXPECT_EQ(site.value(QStringLiteral("SELECT result || '|' || res_detail FROM t_srv_ctrl WHERE server_id = 1")),
              QStringLiteral("1|稼動中"));
}

TEST_F(CollectorTicks, CollectNowFromTheMiddleOfTheListGoesRoundToWhereItStarted)
{
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick()); // visits 00001
    ASSERT_TRUE(c.Tick()); // visits 00002
    ASSERT_EQ(c.GateCursor(), QStringLiteral("00002"));
    for (const char *g : {"00001", "00002", "00003"})
        AddLogs(g, 4);
    Post(site, srv::HarvesterCollectNow);
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), 12);
}

TEST_F(CollectorTicks, StartDateGoesBeforeTheFirstUploadOfEveryVisit)
{
    site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 0 WHERE gate_id <> '00001'"));
    AddLogs("00001", 1, "2009-03-31T23:59:59");
    AddLogs("00001", 2, "2009-04-01T00:00:00");
    Collector &c = Make(1, 9, 4, 1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 2); // the record before 1 April is passed over
    ASSERT_TRUE(c.Tick()); // end of the list
    AddLogs("00001", 1, "2009-01-05T10:00:00");
    AddLogs("00001", 1, "2010-01-05T10:00:00");
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 3);
    // SQLite gives the text of an expression, PostgreSQL a date-time ("2010/01/05 ...").
    EXPECT_EQ(site.value(QStringLiteral("SELECT MAX(log_dt) FROM log_telmar")).left(10).replace(u'/', u'-'),
              QStringLiteral("2010-01-05"));

    // Nothing on or after the date: the visit ends as a success.
    AddLogs("00001", 1, "2008-01-05T10:00:00");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c.Tick());
    EXPECT_EQ(c.StateText(), QStringLiteral("稼動中"));
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 3);
}

TEST_F(CollectorTicks, GateHeldByTheConsoleIsPassedOver)
{
    for (const char *g : {"00001", "00002", "00003"})
        AddLogs(g, 1);
    GateLock console(site.path(QStringLiteral("GateLock.dat")));
    ASSERT_TRUE(console.TryLockGate(QStringLiteral("00002")));
    Collector &c = Make(1);
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(c.Tick()); // wait, 00001, 00002 (held), 00003
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 1);
    EXPECT_EQ(Collected(site, QStringLiteral("00002")), 0);
    EXPECT_EQ(Collected(site, QStringLiteral("00003")), 1);
    // The collector released the gates it visited; the console's lock is untouched.
    EXPECT_FALSE(console.IsGateLocked(QStringLiteral("00001")));
    EXPECT_TRUE(console.IsGateLocked(QStringLiteral("00002")));

    ASSERT_TRUE(console.TryUnlockGate(QStringLiteral("00002")));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(c.Tick()); // end of list, wait, 00001, 00002
    EXPECT_EQ(Collected(site, QStringLiteral("00002")), 1);
}

TEST_F(CollectorTicks, RecordsTheDatabaseRefusesAreSpooledAndStoredOnceInOrder)
{
    site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 0 WHERE gate_id <> '00001'"));
    for (int i = 0; i < 3; ++i)
        Sim(sim, "addlog 00001 1 CARD" + std::to_string(i) + " 2009-04-0" + std::to_string(i + 1) + "T08:05:0" +
                     std::to_string(i));
    ServiceDb locker(QStringLiteral("locker"));
    ASSERT_TRUE(OpenShort(locker));
    // After the first record is stored, another program takes the database for itself.
    onRecord = [&] {
        if (!LockLogTables(locker))
            ADD_FAILURE() << locker.LastError().toStdString();
        onRecord = nullptr;
    };
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(UnlockLogTables(locker));
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), 1);
    EXPECT_EQ(c.Spool().Load().size(), 2);

    // A restart in between: the spool is on disk, not in the old collector.
    Sim(sim, "addlog 00001 1 CARD3 2009-04-04T08:05:03");
    Collector &d = Make(1);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(d.Tick());
    EXPECT_TRUE(d.Spool().IsEmpty());
    EXPECT_EQ(Collected(site, QStringLiteral("00001")), 4);
    // Each record once, in the order the gate gave them, with zero-padded times.
    QStringList stored;
    for (int i = 0; i < 4; ++i)
        stored << site.value(QStringLiteral("SELECT guser_id || ' ' || log_dt FROM (SELECT guser_id, log_dt, log_id "
                                            "FROM log_telmar UNION ALL SELECT guser_id, log_dt, log_id FROM "
                                            "log_telmar_raw) AS r ORDER BY log_id LIMIT 1 OFFSET %1")
                                 .arg(i));
    EXPECT_EQ(stored, QStringList({"CARD0 2009-04-01 08:05:00", "CARD1 2009-04-02 08:05:01",
                                   "CARD2 2009-04-03 08:05:02", "CARD3 2009-04-04 08:05:03"}));
}

} // namespace

// ---- Every record stored exactly once --------------------------------------------------------

namespace {

class ExactlyOnce : public CollectorTicks
{
protected:
    void SetUp() override
    {
        CollectorTicks::SetUp();
        site.exec(QStringLiteral("UPDATE m_gate SET use_flag = 0 WHERE gate_id <> '00001'"));
    }
    QString ErrorLog() { return ReadFileText(site.path(QStringLiteral("errorlog.txt"))); }
    // Records the gate holds that were not acknowledged yet.
    int Waiting()
    {
        const std::string summary = sim.control("summary 00001").front();
        const size_t at = summary.find(" new=");
        return at == std::string::npos ? -1 : std::stoi(summary.substr(at + 5));
    }
    // Every stored record, oldest first, processed or not.
    QStringList Stored()
    {
        const QString all = QStringLiteral("(SELECT guser_id, log_id FROM log_telmar UNION ALL "
                                           "SELECT guser_id, log_id FROM log_telmar_raw) AS r");
        QStringList out;
        const int n = Rows(QStringLiteral("SELECT COUNT(*) FROM ") + all);
        for (int i = 0; i < n; ++i)
            out << site.value(QStringLiteral("SELECT guser_id FROM %1 ORDER BY log_id LIMIT 1 OFFSET %2").arg(all).arg(i));
        return out;
    }
};

} // namespace

TEST_F(ExactlyOnce, RecordStoredButNeverAcknowledgedIsNotStoredAgain)
{
    AddLogs("00001", 3);
    // The acknowledgement of the last record of the visit does not reach the gate.
    Sim(sim, "fault 00001 status ack 3278");
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Stored(), QStringList({"CARD100", "CARD101", "CARD102"}));
    EXPECT_EQ(Waiting(), 1);
    // Another collector (a restart) meets it again and only acknowledges it.
    Collector &d = Make(1);
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(d.Tick());
    EXPECT_EQ(Stored(), QStringList({"CARD100", "CARD101", "CARD102"}));
    EXPECT_EQ(Waiting(), 0);
}

TEST_F(ExactlyOnce, SpoolStoredButNotEmptiedIsNotStoredAgain)
{
    AddLogs("00001", 2);
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    ASSERT_EQ(Stored().size(), 2);
    // A crash after the spool's records were committed and before the spool was emptied leaves
    // them in both places.
    const QList<SpoolRecord> all = {
        {QStringLiteral("00001"), QStringLiteral("CARD100"), 1, QStringLiteral("2009-04-01 08:30:00"), 1, 0},
        {QStringLiteral("00001"), QStringLiteral("CARD101"), 1, QStringLiteral("2009-04-01 08:30:00"), 2, 0}};
    const quint32 epoch = site.value(QStringLiteral("SELECT log_epoch FROM log_gate_seq WHERE gate_id = '00001'")).toUInt();
    for (SpoolRecord r : all) {
        r.epoch = epoch;
        ASSERT_TRUE(c.Spool().Append(r));
    }
    AddLogs("00001", 1, "2009-04-02T08:30:00");
    Collector &d = Make(1);
    ASSERT_TRUE(d.Tick());
    ASSERT_TRUE(d.Tick());
    EXPECT_TRUE(d.Spool().IsEmpty());
    EXPECT_EQ(Stored(), QStringList({"CARD100", "CARD101", "CARD100"}));
}

TEST_F(ExactlyOnce, ClearedGateMemoryNumbersAgainAndIsStillCollected)
{
    AddLogs("00001", 2);
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    Sim(sim, "logclear 00001");
    Sim(sim, "addlog 00001 1 NEW1 2009-05-01T08:00:00");
    Sim(sim, "addlog 00001 1 NEW2 2009-05-01T08:00:01");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c.Tick()); // end of list, wait, visit
    EXPECT_EQ(Stored(), QStringList({"CARD100", "CARD101", "NEW1", "NEW2"}));
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_gate_seq WHERE gate_id = '00001'")), 2);
}

TEST_F(ExactlyOnce, ImpossibleTimeIsKeptWithTheCollectionTimeAndHoldsNothingBack)
{
    site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 4, file_path = %1")
                  .arg(SqlText(site.path(QStringLiteral("auto.log")))));
    Sim(sim, "addlog 00001 1 GOOD1 2009-04-01T08:00:00");
    Sim(sim, "addlog 00001 1 BROKEN @2009-42-140T08:30:00");
    Sim(sim, "addlog 00001 1 GOOD2 2009-04-01T08:00:02");
    Collector &c = Make(1);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(c.Tick()); // the log processing of the next ticks
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), 0);
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), 3);
    const QDateTime stored = QDateTime::fromString(
        site.value(QStringLiteral("SELECT log_dt FROM log_telmar_plus WHERE guser_id = 'BROKEN'")).left(19),
        QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    EXPECT_TRUE(stored >= before && stored <= QDateTime::currentDateTime())
        << site.value(QStringLiteral("SELECT log_dt FROM log_telmar_plus WHERE guser_id = 'BROKEN'")).toStdString();
    EXPECT_TRUE(c.Processor().LastError().isEmpty()) << c.Processor().LastError().toStdString();
    const QString errors = ErrorLog();
    EXPECT_TRUE(errors.contains(QStringLiteral("gate 00001 seq 2: impossible time 2009/42/140 8:30:0"))) << errors.toStdString();
}

TEST_F(ExactlyOnce, RecordNeitherStoredNorSpooledStaysOnTheGateAndIsLogged)
{
    AddLogs("00001", 2);
    ServiceDb locker(QStringLiteral("locker"));
    ASSERT_TRUE(OpenShort(locker));
    ASSERT_TRUE(LockLogTables(locker));
    CollectorSettings s;
    s.lockFile = site.path(QStringLiteral("GateLock.dat"));
    s.spoolFile = site.path(QStringLiteral("no such folder/spool.dat"));
    s.logWaitInterval = 1;
    s.unlockRetryMs = 1;
    {
        Collector c(db, lib.Fn(), s);
        ASSERT_TRUE(c.Tick());
        ASSERT_TRUE(c.Tick());
    }
    ASSERT_TRUE(UnlockLogTables(locker));
    EXPECT_EQ(Waiting(), 2);
    EXPECT_TRUE(ErrorLog().contains(QStringLiteral("gate 00001 seq 1: neither stored"))) << ErrorLog().toStdString();

    Collector &d = Make(1);
    ASSERT_TRUE(d.Tick());
    ASSERT_TRUE(d.Tick());
    EXPECT_EQ(Stored(), QStringList({"CARD100", "CARD101"}));
    EXPECT_EQ(Waiting(), 0);
}

TEST_F(ExactlyOnce, RecordsTheGateDroppedBeforeTheyWereCollectedAreNamed)
{
    Sim(sim, "capacity 00001 1000 50 3");
    AddLogs("00001", 2);
    Collector &c = Make(1);
    ASSERT_TRUE(c.Tick());
    ASSERT_TRUE(c.Tick());
    AddLogs("00001", 5); // numbers 3 to 7: the full memory keeps 5, 6 and 7
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Stored().size(), 5);
    EXPECT_TRUE(ErrorLog().contains(QStringLiteral("gate 00001: records 3 to 4 never reached the collector")))
        << ErrorLog().toStdString();
}

// A collect-now request keeps records in groups and acknowledges each group once it is stored:
// groups whose acknowledgements do not reach the gate are sent again and not stored twice.
TEST_F(ExactlyOnce, CollectNowGroupsWhoseAcknowledgementsAreLostAreNotStoredTwice)
{
    Sim(sim, "addlogs 00001 600 1 G");
    Sim(sim, "fault 00001 status ack 3278 0");
    Collector &c = Make(1);
    Post(site, srv::HarvesterCollectNow);
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Rows(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), 600);
    // Nothing of the groups left the gate (the tick's own visit after the request, one record at
    // a time, moves two: each asked for the next).
    EXPECT_EQ(Waiting(), 598);
    Sim(sim, "fault 00001 clear");
    Post(site, srv::HarvesterCollectNow);
    ASSERT_TRUE(c.Tick());
    EXPECT_EQ(Waiting(), 0);
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(DISTINCT guser_id) || '/' || COUNT(*) FROM log_telmar_plus")),
              QStringLiteral("600/600"));
}
