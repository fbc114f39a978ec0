// Every passage stored exactly once, tried the way a site breaks it: the real Harvester1 (headless,
// on a short tick), real gatesim gates and the real database, while passages are generated and
//  - the collector is killed (SIGKILL) at random moments and started again, as the supervision
//    would, also while another connection holds the database locked beyond the busy time-out and
//    just after such a lock ends, when the spool is flushed;
//  - upload answers (and acknowledgements) are cut off or damaged;
//  - a gate refuses connections for a while;
//  - a gate's log memory is cleared between two visits (numbers start again under a new epoch);
//  - a gate sends records with an impossible time among valid ones;
// first one fault at a time, then all together, with collect-now requests now and then (records
// are then kept and acknowledged in groups). At the end every generated passage must be in
// log_telmar_plus exactly once. Each scenario prints its figures; the random choices come from a
// seed that is printed and can be given back through ORVEL_RELIABILITY_SEED.
//
// ORVEL_RELIABILITY_SECONDS sets how long passages are generated per scenario (default 15).

#include "HarvesterTestUtil.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <random>

using namespace orvel;
using namespace harvester::test;
using orvel::test::TestSite;

namespace {

struct Faults
{
    bool kill = false;       // SIGKILL at random moments
    bool lock = false;       // the database held locked beyond the busy time-out, kills in and after it
    bool answers = false;    // upload answers and acknowledgements cut off or damaged
    bool refuse = false;     // a gate refusing connections
    bool reset = false;      // a gate's log memory cleared between two visits
    bool impossible = false; // records with an impossible time among valid ones
};

constexpr int kGates = 3;
constexpr int kBusyTimeoutMs = 400; // the site's odbc.ini for this test; locks are held longer

// Each scenario runs in its own process (one CTest test each) with its own seed.
quint32 Seed()
{
    bool ok = false;
    const quint32 seed = qEnvironmentVariable("ORVEL_RELIABILITY_SEED").toUInt(&ok);
    return ok ? seed : std::random_device{}();
}

int GenerateSeconds()
{
    bool ok = false;
    const int s = qEnvironmentVariableIntValue("ORVEL_RELIABILITY_SECONDS", &ok);
    return ok && s > 0 ? s : 15;
}

QString Gate(int i)
{
    return PadId(QString::number(i + 1), kGateIdWidth);
}

class Scenario
{
public:
    Scenario(const char *name, Faults faults, quint32 seed)
        : m_name(name), m_faults(faults), m_seed(seed), m_rng(seed)
    {
    }

    void Run()
    {
        ASSERT_TRUE(m_site.ok()) << m_site.error().toStdString();
        ASSERT_TRUE(m_sim.ok());
        AddSimGates(m_site, m_sim, kGates);
        m_site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 0"));
        WriteSettings();
        ASSERT_TRUE(m_reader.Open()) << m_reader.LastError().toStdString();
        ASSERT_TRUE(m_locker.Open()) << m_locker.LastError().toStdString();
        StartHarvester();

        m_clock.start();
        const qint64 end = qint64(GenerateSeconds()) * 1000;
        ScheduleAll(0);
        while (m_clock.elapsed() < end) {
            Step();
            QThread::msleep(10);
        }
        Calm();
        const bool drained = Drain();
        Count();
        std::printf("reliability %-10s seed=%u generated=%d stored=%d lost=%d duplicated=%d | kills=%d (spool "
                    "not empty %d) locks=%d cut/damaged=%d refusals=%d memory clears=%d impossible times=%d "
                    "collect-now=%d%s\n",
                    m_name, m_seed, m_generated, m_stored, m_lost, m_duplicated, m_kills, m_killsWithSpool, m_locks,
                    m_answerFaults, m_refusals, m_resets, m_impossible, m_collectNows, drained ? "" : " (not drained)");
        std::fflush(stdout);
        EXPECT_TRUE(drained) << "records still waiting after the final collection";
        EXPECT_EQ(m_unexpectedExits, 0) << "the collector must run on by itself";
        EXPECT_EQ(m_lost, 0);
        EXPECT_EQ(m_duplicated, 0);
        EXPECT_EQ(m_stored, m_generated);
        EXPECT_GT(m_generated, 0);
    }

    ~Scenario()
    {
        if (m_harvester.state() != QProcess::NotRunning) {
            m_harvester.kill();
            m_harvester.waitForFinished(5000);
        }
    }

private:
    int Uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }
    bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_rng) < p; }
    qint64 Now() const { return m_clock.elapsed(); }

    void WriteSettings()
    {
        QFile ini(m_site.path(QStringLiteral("Orvel.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write("[FILE]\r\nF_GATELOCK=GateLock.dat\r\n[INTERVAL]\r\nWAIT_SEC=20\r\nLOG_WAIT_INTERVAL=1\r\n");
        ini.close();
        // A busy time-out short enough for a test, with locks held well beyond it.
        QFile odbc(m_site.path(QStringLiteral("odbc.ini")));
        ASSERT_TRUE(odbc.open(QIODevice::ReadOnly));
        QByteArray text = odbc.readAll();
        odbc.close();
        // SQLite's busy time-out, or the server's lock time-out.
        const QByteArray wait = orvel::test::OnPostgreSql() ? "lock_timeout = " : "Timeout=";
        ASSERT_TRUE(text.contains(wait + "5000")) << text.constData();
        text.replace(wait + "5000", wait + QByteArray::number(kBusyTimeoutMs));
        ASSERT_TRUE(odbc.open(QIODevice::WriteOnly | QIODevice::Truncate));
        odbc.write(text);
    }

    // A collector that ended without being killed is a fault of its own; it is started again.
    void EnsureRunning()
    {
        if (m_harvester.state() != QProcess::NotRunning)
            return;
        if (!m_killedByTest) {
            ++m_unexpectedExits;
            std::printf("  Harvester1 ended by itself: %s, code %d\n",
                        m_harvester.exitStatus() == QProcess::CrashExit ? "crashed" : "exited", m_harvester.exitCode());
        }
        StartHarvester();
    }

    void StartHarvester()
    {
        m_killedByTest = false;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVEL_HARVESTER_START_DELAY_MS"), QStringLiteral("0"));
        env.insert(QStringLiteral("ORVEL_HARVESTER_FIRST_TICK_MS"), QStringLiteral("10"));
        env.insert(QStringLiteral("ORVEL_GATE_TIMEOUT_MS"), QStringLiteral("500"));
        m_harvester.setProcessEnvironment(env);
        m_harvester.setStandardOutputFile(QProcess::nullDevice());
        m_harvester.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_harvester.start(QStringLiteral(HARVESTER_PATH), {QStringLiteral("--headless")});
        m_harvester.waitForStarted();
    }

    void KillHarvester()
    {
        if (m_harvester.state() == QProcess::NotRunning)
            return;
        const QFileInfo spool(m_site.path(QStringLiteral("harvester_spool.dat")));
        if (spool.exists() && spool.size() > 0)
            ++m_killsWithSpool; // while records waited in the spool, or were being flushed from it
        ::kill(pid_t(m_harvester.processId()), SIGKILL);
        m_harvester.waitForFinished(5000);
        m_killedByTest = true;
        ++m_kills;
        m_restartAt = Now() + Uniform(0, 150); // as the supervision would, a moment later
    }

    void ScheduleAll(qint64 now)
    {
        m_nextKill = now + Uniform(150, 700);
        m_nextLock = now + Uniform(500, 2000);
        m_nextAnswerFault = now + Uniform(100, 400);
        m_nextRefuse = now + Uniform(500, 2500);
        m_nextReset = now + Uniform(1000, 3000);
        m_nextCollectNow = now + Uniform(1000, 4000);
    }

    void Generate()
    {
        // About 30 passages a second over the gates (three in ten steps of 10 ms).
        if (!Chance(0.3))
            return;
        const int g = Uniform(0, kGates - 1);
        if (m_paused == g)
            return;
        const QString id = QStringLiteral("P%1").arg(m_generated + 1, 6, 10, QLatin1Char('0'));
        std::string line = "addlog " + Gate(g).toStdString() + " 1 " + id.toStdString();
        if (m_faults.impossible && Chance(0.1)) {
            line += " @2009-42-140T08:30:00";
            ++m_impossible;
        }
        if (!m_sim.controlOk(line)) {
            ADD_FAILURE() << line;
            return;
        }
        ++m_generated;
        m_ids.insert(id, 0);
    }

    void Step()
    {
        const qint64 now = Now();
        Generate();
        if (m_harvester.state() == QProcess::NotRunning && now >= m_restartAt)
            EnsureRunning();

        // Collect-now requests now and then, as an operator sends them: the collector then keeps
        // records in groups and acknowledges each group once it is stored.
        if (now >= m_nextCollectNow && !m_locked) {
            try {
                Post(m_site, srv::HarvesterCollectNow);
                ++m_collectNows;
            } catch (const RdoError &) {
                // the collector holds the database a moment too long: another time
            }
            m_nextCollectNow = now + Uniform(1000, 4000);
        }
        if (m_faults.kill && now >= m_nextKill) {
            KillHarvester();
            m_nextKill = now + Uniform(150, 700);
        }
        if (m_faults.lock) {
            // SQLite takes the write lock at BEGIN; a server database locks the tables the
            // collector writes.
            if (!m_locked && now >= m_nextLock && m_locker.Begin() &&
                (!orvel::test::OnPostgreSql() ||
                 m_locker.Exec(QStringLiteral("LOCK TABLE log_telmar, log_telmar_raw, log_gate_seq IN ACCESS EXCLUSIVE MODE")))) {
                m_locked = true;
                ++m_locks;
                m_lockEnd = now + Uniform(kBusyTimeoutMs + 200, kBusyTimeoutMs + 1200);
                m_killInLock = Chance(0.9) ? now + Uniform(0, int(m_lockEnd - now)) : -1;
            }
            if (m_locked && m_killInLock >= 0 && now >= m_killInLock) {
                KillHarvester();
                m_killInLock = -1;
            }
            if (m_locked && now >= m_lockEnd) {
                m_locker.Rollback();
                m_locked = false;
                m_nextLock = now + Uniform(500, 1500);
                // Just after the lock: the first visit flushes the spool.
                m_killAfterLock = Chance(0.8) ? now + Uniform(0, 60) : -1;
            }
            if (m_killAfterLock >= 0 && now >= m_killAfterLock) {
                KillHarvester();
                m_killAfterLock = -1;
            }
        }
        if (m_faults.answers && now >= m_nextAnswerFault) {
            static const char *kinds[] = {"drop upload", "garbage upload", "drop ack", "garbage ack"};
            const std::string line = "fault " + Gate(Uniform(0, kGates - 1)).toStdString() + " " + kinds[Uniform(0, 3)];
            if (m_sim.controlOk(line))
                ++m_answerFaults;
            m_nextAnswerFault = now + Uniform(100, 400);
        }
        if (m_faults.refuse) {
            if (m_refusing < 0 && now >= m_nextRefuse) {
                m_refusing = Uniform(0, kGates - 1);
                if (m_sim.controlOk("fault " + Gate(m_refusing).toStdString() + " refuse on"))
                    ++m_refusals;
                m_refuseEnd = now + Uniform(500, 2500);
            } else if (m_refusing >= 0 && now >= m_refuseEnd) {
                m_sim.controlOk("fault " + Gate(m_refusing).toStdString() + " refuse off");
                m_refusing = -1;
                m_nextRefuse = now + Uniform(500, 2500);
            }
        }
        if (m_faults.reset) {
            // A memory is cleared only once the collector has acknowledged all it held: what it
            // had not collected would be lost by the gate, not by the collector.
            if (m_paused < 0 && now >= m_nextReset) {
                m_paused = Uniform(0, kGates - 1);
                m_pauseEnd = now + 8000;
            } else if (m_paused >= 0) {
                const std::vector<std::string> summary = m_sim.control("summary " + Gate(m_paused).toStdString());
                if (!summary.empty() && summary[0].find(" new=0 ") != std::string::npos) {
                    if (m_sim.controlOk("logclear " + Gate(m_paused).toStdString()))
                        ++m_resets;
                    m_paused = -1;
                } else if (now >= m_pauseEnd) {
                    m_paused = -1; // not emptied in time: no reset this round
                }
                if (m_paused < 0)
                    m_nextReset = now + Uniform(1000, 3000);
            }
        }
    }

    // The faults end; the collector runs on.
    void Calm()
    {
        if (m_locked)
            m_locker.Rollback();
        m_locked = false;
        for (int g = 0; g < kGates; ++g)
            m_sim.controlOk("fault " + Gate(g).toStdString() + " clear");
        m_paused = -1;
        EnsureRunning();
    }

    bool Waiting()
    {
        for (int g = 0; g < kGates; ++g) {
            const std::vector<std::string> summary = m_sim.control("summary " + Gate(g).toStdString());
            if (summary.empty() || summary[0].find(" new=0 ") == std::string::npos)
                return true;
        }
        const QFileInfo spool(m_site.path(QStringLiteral("harvester_spool.dat")));
        return (spool.exists() && spool.size() > 0) || harvester::test::Count(m_site, QStringLiteral("SELECT COUNT(*) FROM log_telmar")) > 0;
    }

    // Collect-now requests, as the console sends them, until nothing waits anywhere.
    bool Drain()
    {
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < 90000) {
            EnsureRunning();
            Post(m_site, srv::HarvesterCollectNow);
            WaitAnswer(m_site, 30000);
            if (!Waiting())
                break;
        }
        const bool drained = !Waiting();
        if (!drained) {
            // What still waits, for the report.
            for (int g = 0; g < kGates; ++g)
                std::printf("  gate %s: %s\n", Gate(g).toUtf8().constData(),
                            m_sim.control("summary " + Gate(g).toStdString()).front().c_str());
            std::printf("  log_telmar rows %d, spool %lld bytes, harvester %s, control row %s\n",
                        harvester::test::Count(m_site, QStringLiteral("SELECT COUNT(*) FROM log_telmar")),
                        QFileInfo(m_site.path(QStringLiteral("harvester_spool.dat"))).size(),
                        m_harvester.state() == QProcess::Running ? "running" : "not running",
                        m_site.value(QStringLiteral("SELECT req_cmd || '|' || result || '|' || res_detail FROM t_srv_ctrl "
                                                    "WHERE server_id = 1")).toUtf8().constData());
        }
        Post(m_site, srv::HarvesterStop);
        m_killedByTest = true; // a stop is asked for
        m_harvester.waitForFinished(20000);
        return drained;
    }

    void Count()
    {
        QSqlQuery q = m_reader.Query(QStringLiteral("SELECT guser_id, COUNT(*) FROM log_telmar_plus GROUP BY guser_id"));
        ASSERT_TRUE(q.isActive()) << m_reader.LastError().toStdString();
        while (q.next()) {
            const QString id = q.value(0).toString();
            const int n = q.value(1).toInt();
            if (!m_ids.contains(id)) {
                ADD_FAILURE() << "stored a passage never generated: " << id.toStdString();
                continue;
            }
            ++m_stored;
            m_duplicated += n - 1;
            m_ids[id] = n;
        }
        m_lost = m_generated - m_stored;
        int shown = 0;
        for (auto it = m_ids.cbegin(); it != m_ids.cend() && shown < 10; ++it)
            if (it.value() != 1)
                std::printf("  %s stored %d times\n", it.key().toUtf8().constData(), it.value()), ++shown;
    }

    const char *m_name;
    Faults m_faults;
    quint32 m_seed;
    std::mt19937 m_rng;
    TestSite m_site;
    testsupport::SimProcess m_sim{{"--gate", "00001=127.0.0.2:0", "--gate", "00002=127.0.0.3:0", "--gate",
                                   "00003=127.0.0.4:0"}};
    ServiceDb m_reader{QStringLiteral("reader")};
    ServiceDb m_locker{QStringLiteral("locker")};
    QProcess m_harvester;
    QElapsedTimer m_clock;

    QHash<QString, int> m_ids; // passage -> rows found
    int m_generated = 0, m_stored = 0, m_lost = 0, m_duplicated = 0;
    int m_kills = 0, m_killsWithSpool = 0, m_locks = 0, m_answerFaults = 0, m_refusals = 0, m_resets = 0, m_impossible = 0;

    qint64 m_restartAt = 0, m_nextKill = 0, m_nextLock = 0, m_lockEnd = 0, m_killInLock = -1, m_killAfterLock = -1;
    bool m_locked = false;
    qint64 m_nextCollectNow = 0;
    int m_collectNows = 0;
    qint64 m_nextAnswerFault = 0, m_nextRefuse = 0, m_refuseEnd = 0, m_nextReset = 0, m_pauseEnd = 0;
    int m_refusing = -1, m_paused = -1;
    bool m_killedByTest = false;
    int m_unexpectedExits = 0;
};

void RunScenario(const char *name, Faults faults)
{
    Scenario s(name, faults, Seed());
    s.Run();
}

} // namespace

TEST(Reliability, KilledAtRandomMoments)
{
    RunScenario("kill", {.kill = true});
}

TEST(Reliability, KilledWhileTheDatabaseIsLockedAndWhileTheSpoolIsFlushed)
{
    RunScenario("lock+kill", {.lock = true});
}

TEST(Reliability, UploadAnswersAndAcknowledgementsCutOffOrDamaged)
{
    RunScenario("answers", {.answers = true});
}

TEST(Reliability, GateRefusesConnections)
{
    RunScenario("refuse", {.refuse = true});
}

TEST(Reliability, GateMemoryClearedBetweenVisits)
{
    RunScenario("reset", {.reset = true});
}

TEST(Reliability, ImpossibleTimesAmongValidOnes)
{
    RunScenario("impossible", {.impossible = true});
}

TEST(Reliability, AllTogether)
{
    RunScenario("all", {true, true, true, true, true, true});
}
