// The one send loop of gate permits, linked against the console's core alone (no widgets), with
// gatesim and the real provisioning service Courier1. The same list of rows is sent the way the
// user screen, the gate screen and the bulk window send it; the outcomes agree except where the
// rules of those windows differ, and each such difference is a test of its own.
#include "FastServices.h"

#include "ConsoleState.h"
#include "ConsoleTiming.h"
#include "GateLock.h"
#include "OrvelDefs.h"
#include "ShellCtrl_Orvel.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "gatecomm/ConsoleGateLock.h"
#include "masterdata/PermitRules.h"

#include <gtest/gtest.h>

using orvel::test::TestSite;
using testsupport::SimProcess;
using namespace PermitRules;

namespace {

class PermitSendLoopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        SetEdition(orvel::EditionFelica);
        sim = std::make_unique<SimProcess>(std::vector<std::string>{
            "--gate", "00001=127.0.0.2:0", "--gate", "00002=127.0.0.3:0", "--gate", "00003=127.0.0.4:0", "--gate",
            "00004=127.0.0.5:0"});
        ASSERT_TRUE(sim->ok());
        consoletest::UseFastServices(COURIER_PATH);
        for (const char *g : {"00001", "00002", "00003", "00004"}) {
            const auto &gate = sim->gate(g);
            site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                     "use_flag) VALUES ('%1', 'Z', 'G%1', '%2', '%3', 1, 1)")
                          .arg(QLatin1String(g), QString::fromStdString(gate.address))
                          .arg(gate.port));
        }
        site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, guser_id, gauth_type, gauthority, "
                  "delete_flag) VALUES ('0000000001', 'U1', 'u', '00000', 'CARD0001', 2, 1, 0)");
        ShellCtrl_Orvel::StartCourier();
    }
    void TearDown() override
    {
        orvel::CollectorUnlockGate(ConsoleGateLock().LockFilePath(), "00004");
        consoletest::StopFastServices();
    }

    // The list every caller is given: a permit to write (gate 1), one to a gate that does not
    // answer (gate 2), one to withdraw (gate 3) and one to a gate the collector holds (gate 4).
    QList<SendRow> Rows()
    {
        site.exec("DELETE FROM t_gate_permit");
        const int states[] = {1, 1, 3, 2};
        QList<SendRow> rows;
        for (int i = 0; i < 4; ++i) {
            const QString gate = QStringLiteral("0000%1").arg(i + 1);
            site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('0000000001', '%1', %2, 1)").arg(gate).arg(states[i]));
            SendRow row;
            row.gateId = gate;
            row.ipAddr = QString::fromStdString(sim->gate(gate.toStdString()).address);
            row.portNo = QString::number(sim->gate(gate.toStdString()).port);
            row.syncFlag = states[i];
            row.user = GUserRecord{"0000000001", "CARD0001", 1, 2};
            rows << row;
        }
        EXPECT_TRUE(sim->controlOk("adduser 00003 CARD0001 card=1")); // on the gate, to be withdrawn
        EXPECT_TRUE(sim->controlOk("fault 00002 refuse on"));
        EXPECT_TRUE(orvel::CollectorLockGate(ConsoleGateLock().LockFilePath(), "00004"));
        return rows;
    }
    QString Permits()
    {
        return site.value("SELECT group_concat(gate_id || '=' || sync_flag, ' ') "
                          "FROM (SELECT * FROM t_gate_permit ORDER BY gate_id) AS p");
    }
    bool OnGate(const char *gate)
    {
        for (const std::string &line : sim->control(std::string("users ") + gate))
            if (line.find("CARD0001") != std::string::npos)
                return true;
        return false;
    }

    struct Heard
    {
        QList<RowEnd> ends;
        QStringList told;
        int failures = 0;
    };
    SendHooks Hooks(Heard &heard, bool goOnAfterFailure)
    {
        SendHooks h;
        h.rowDone = [&heard](int, RowEnd end) { heard.ends << end; };
        h.tell = [&heard](const QString &t) { heard.told << t; };
        h.afterFailure = [&heard, goOnAfterFailure](int) {
            ++heard.failures;
            return goOnAfterFailure;
        };
        return h;
    }
    void ExpectTheCommonOutcome()
    {
        EXPECT_TRUE(OnGate("00001"));
        EXPECT_FALSE(OnGate("00003"));
        // Gate 1 in step, gate 2 still to write, gate 3's permit gone, gate 4 untouched.
        EXPECT_EQ(Permits(), "00001=0 00002=1 00004=2");
        for (const char *g : {"00001", "00002", "00003"})
            EXPECT_FALSE(ConsoleGateLock().IsGateLocked(QString::fromLatin1(g))) << g;
    }

    TestSite site;
    std::unique_ptr<SimProcess> sim;
};

} // namespace

TEST_F(PermitSendLoopTest, UserScreenPolicyChecksEachGateAndPassesOverTheBusyAndTheSilentOnes)
{
    Heard heard;
    EXPECT_EQ(SendRows(Rows(), SendPolicy{}, Hooks(heard, false)), SendEnd::Completed);
    ExpectTheCommonOutcome();
    EXPECT_EQ(heard.ends, QList<RowEnd>({RowEnd::Sent, RowEnd::GateUnreachable, RowEnd::Withdrawn, RowEnd::LockBusy}));
    EXPECT_EQ(heard.told, QStringList{"ゲートへの接続に失敗しました。ゲートの接続を確認してください。"});
    EXPECT_EQ(heard.failures, 0);
}

TEST_F(PermitSendLoopTest, BulkPolicyLetsTheRequestDecideAndGoesOnAfterItFails)
{
    // The difference: the bulk window does not honour the gate check. The request to the silent
    // gate fails (without a message: the gate does not answer) and the run goes on, asking first.
    Heard heard;
    SendPolicy bulk;
    bulk.honourGateCheck = false;
    EXPECT_EQ(SendRows(Rows(), bulk, Hooks(heard, true)), SendEnd::Completed);
    ExpectTheCommonOutcome();
    EXPECT_EQ(heard.ends, QList<RowEnd>({RowEnd::Sent, RowEnd::RequestFailed, RowEnd::Withdrawn, RowEnd::LockBusy}));
    EXPECT_TRUE(heard.told.isEmpty());
    EXPECT_EQ(heard.failures, 1);
}

TEST_F(PermitSendLoopTest, AScreenEndsTheRunAtAFailedRequestLeavingTheLaterRowsMarked)
{
    Heard heard;
    SendPolicy policy;
    policy.honourGateCheck = false;
    EXPECT_EQ(SendRows(Rows(), policy, Hooks(heard, false)), SendEnd::RequestFailed);
    EXPECT_TRUE(OnGate("00001"));
    EXPECT_TRUE(OnGate("00003")); // never reached
    EXPECT_EQ(Permits(), "00001=0 00002=1 00003=3 00004=2");
    EXPECT_EQ(heard.ends, QList<RowEnd>({RowEnd::Sent, RowEnd::RequestFailed}));
}

TEST_F(PermitSendLoopTest, GateScreenPolicyHoldsTheWholeGateAndSendsNothingWhileItIsHeld)
{
    // The difference: the gate screen takes its one gate's lock for the whole run; a gate held
    // elsewhere is reported as such and nothing is sent, instead of the row being passed over.
    QList<SendRow> rows = Rows();
    QList<SendRow> gate4 = {rows[3]};
    SendPolicy screen;
    screen.lock = SendPolicy::Lock::WholeGate;
    screen.gateId = rows[3].gateId;
    screen.ipAddr = rows[3].ipAddr;
    screen.portNo = rows[3].portNo;
    screen.honourGateCheck = false;
    screen.releaseUntilDone = true;
    Heard heard;
    EXPECT_EQ(SendRows(gate4, screen, Hooks(heard, false)), SendEnd::LockFailed);
    EXPECT_TRUE(heard.ends.isEmpty());
    EXPECT_EQ(Permits(), "00001=1 00002=1 00003=3 00004=2");

    // Free again: the same call writes the user and gives the lock back.
    ASSERT_TRUE(orvel::CollectorUnlockGate(ConsoleGateLock().LockFilePath(), "00004"));
    EXPECT_EQ(SendRows(gate4, screen, Hooks(heard, false)), SendEnd::Completed);
    EXPECT_TRUE(OnGate("00004"));
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit WHERE gate_id = '00004'"), "0");
    EXPECT_FALSE(ConsoleGateLock().IsGateLocked("00004"));
}

TEST_F(PermitSendLoopTest, UnattendedRewriteDeletesFirstAndWritesEveryPermitAgain)
{
    // The daily run's difference: permits already in step are written again, each user deleted
    // from the gate first, and nothing is told to an operator who is not there.
    QList<SendRow> rows = Rows();
    site.exec("UPDATE t_gate_permit SET sync_flag = 0 WHERE gate_id = '00001'");
    ASSERT_TRUE(sim->controlOk("adduser 00001 CARD0001 card=1"));
    rows[0].syncFlag = 0;
    SendPolicy daily;
    daily.lock = SendPolicy::Lock::WholeGate;
    daily.gateId = rows[0].gateId;
    daily.ipAddr = rows[0].ipAddr;
    daily.portNo = rows[0].portNo;
    daily.checkGate = false;
    daily.unattended = true;
    daily.lockSec = Timing().mainteGateLockSec;
    Heard heard;
    EXPECT_EQ(SendRows({rows[0]}, daily, Hooks(heard, false)), SendEnd::Completed);
    EXPECT_EQ(heard.ends, QList<RowEnd>{RowEnd::Sent});
    EXPECT_TRUE(OnGate("00001"));
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit WHERE gate_id = '00001'"), "0");
    EXPECT_TRUE(heard.told.isEmpty());
}
