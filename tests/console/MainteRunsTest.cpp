// The start-up check, the daily maintenance and the bulk windows against a real database, the
// gate simulator and the real services, on shortened durations.

#include "ConsoleTestUtil.h"
#include "FastServices.h"
#include "ConsoleTiming.h"
#include "GateLock.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "ScreenRegistry.h"
#include "ShellCtrl_Orvel.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "gatelib.h"
#include "BulkRunWindow.h"
#include "maintenance/MainteRuns.h"
#include "frmDayMainte.h"
#include "frmStartChk.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QDialog>
#include <QThread>
#include <QTimer>

#include <csignal>
#include <cstdlib>

#include <gtest/gtest.h>

using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

class MainteRunsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        sim = std::make_unique<SimProcess>(std::vector<std::string>{
            "--gate", "00001=127.0.0.1:0", "--gate", "00002=127.0.0.1:0", "--gate", "00003=127.0.0.1:0"});
        ASSERT_TRUE(sim->ok());
        consoletest::UseFastServices(COURIER_PATH);
        MsgBox::TakeShown();
    }
    void TearDown() override { consoletest::StopFastServices(); }

    void AddGate(const char *id, const char *name, const QString &zone = QStringLiteral("Z"))
    {
        const auto &g = sim->gate(id);
        site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                 "use_flag, delete_flag) VALUES ('%1', '%2', '%3', '%4', '%5', 1, 1, 0)")
                      .arg(QLatin1String(id), zone, QString::fromUtf8(name), QString::fromStdString(g.address))
                      .arg(g.port));
        site.exec(QStringLiteral("INSERT INTO lock_gate (gate_id, lock_flg, server_id) VALUES ('%1', 0, 0)")
                      .arg(QLatin1String(id)));
    }
    void AddUser(const char *id, const char *card)
    {
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type, gauthority, "
                                 "delete_flag) VALUES ('%1', 'U%1', '00000', '%2', 2, 1, 0)")
                      .arg(QLatin1String(id), QLatin1String(card)));
    }
    void AddPermit(const char *user, const char *gate, int syncFlag)
    {
        site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('%1', '%2', %3, 1)")
                      .arg(QLatin1String(user), QLatin1String(gate))
                      .arg(syncFlag));
    }
    bool GateHas(const char *gate, const char *card)
    {
        for (const std::string &line : sim->control(std::string("users ") + gate))
            if (line.find(card) != std::string::npos)
                return true;
        return false;
    }
    QString Permits()
    {
        return site.value(QStringLiteral("SELECT group_concat(user_id || '@' || gate_id || '=' || sync_flag, ' ') "
                                         "FROM (SELECT * FROM t_gate_permit ORDER BY gate_id, user_id) AS p"));
    }
    // Waits, letting events run, until the service row shows an answer.
    QString AnswerOf(int serverId)
    {
        QElapsedTimer t;
        t.start();
        QString answer;
        while (t.elapsed() < 15000) {
            answer = site.value(QStringLiteral("SELECT result || ':' || res_detail FROM t_srv_ctrl WHERE server_id = %1")
                                    .arg(serverId));
            if (!answer.startsWith(u'0'))
                break;
            QCoreApplication::processEvents();
            QThread::msleep(20);
        }
        return answer;
    }

    TestSite site;
    std::unique_ptr<SimProcess> sim;
};

QString Day(int offset, const char *time)
{
    return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd ")) + QLatin1String(time);
}

} // namespace

TEST_F(MainteRunsTest, PurgeWithNoRetentionKeepsExactlyToday)
{
    site.exec(QStringLiteral("UPDATE set_mainte SET logtel_leave_days = 0"));
    int id = 0;
    for (const QString &t : {Day(-1, "23:59:59"), Day(0, "00:00:00"), Day(0, "12:00:00"), Day(-40, "08:00:00")}) {
        ++id;
        site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (%1, '%2', 1)").arg(id).arg(t));
        site.exec(QStringLiteral("INSERT INTO log_telmar_raw (log_id, log_dt, log_type) VALUES (%1, '%2', 1)").arg(id).arg(t));
    }
    orvel::mainte::PurgeOldLogs();
    EXPECT_EQ(site.value(QStringLiteral("SELECT group_concat(log_id) FROM log_telmar_plus")), QStringLiteral("2,3"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT group_concat(log_id) FROM log_telmar_raw")), QStringLiteral("2,3"));

    site.exec(QStringLiteral("UPDATE set_mainte SET logtel_leave_days = 30"));
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (9, '%1', 1)").arg(Day(-29, "00:00:00")));
    orvel::mainte::PurgeOldLogs();
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("3"));
}

TEST_F(MainteRunsTest, StartUpCheckWithoutGatesStillArmsAndStartsBothServices)
{
    frmStartChk chk;
    chk.timStart_Timer();
    EXPECT_EQ(chk.result(), QDialog::Accepted);
    EXPECT_EQ(chk.findChild<MsfGrid *>(QStringLiteral("msfGateList"))->rows(), 1);
    EXPECT_NE(ShellCtrl_Orvel::ProcessId(1), 0);
    EXPECT_NE(ShellCtrl_Orvel::ProcessId(2), 0);
    EXPECT_EQ(site.value(QStringLiteral("SELECT req_cmd FROM t_srv_ctrl WHERE server_id = 1")), QStringLiteral("198"));
    EXPECT_EQ(AnswerOf(2), QStringLiteral("1:稼動中"));
    EXPECT_TRUE(AnswerOf(1).startsWith(QStringLiteral("1:")));
}

TEST_F(MainteRunsTest, StartUpCheckMarksEachGateAndLogsOneThatDoesNotAnswer)
{
    AddGate("00001", "Front");
    AddGate("00002", "Back");
    ASSERT_TRUE(sim->controlOk("fault 00002 refuse on"));
    // The gate error window is answered at once; the test only notes which gate it was shown for.
    static QStringList errorWindows;
    errorWindows.clear();
    ScreenRegistry::Register(QStringLiteral("frmGateError"), [](QWidget *parent) -> QWidget * {
        auto *dlg = new QDialog(parent);
        QTimer::singleShot(0, dlg, [dlg] {
            errorWindows << dlg->property("GateId").toString();
            dlg->accept();
        });
        return dlg;
    });
    frmStartChk chk;
    chk.timStart_Timer();
    ScreenRegistry::Unregister(QStringLiteral("frmGateError"));
    EXPECT_EQ(errorWindows, QStringList({QStringLiteral("00002")}));
    auto *grid = chk.findChild<MsfGrid *>(QStringLiteral("msfGateList"));
    ASSERT_EQ(grid->rows(), 3);
    EXPECT_EQ(grid->textMatrix(1, 2), QStringLiteral("完了"));
    EXPECT_EQ(grid->textMatrix(2, 2), QStringLiteral("失敗"));
    QFile log(site.path(QStringLiteral("errorlog.txt")));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains(",9000,"));
}

TEST_F(MainteRunsTest, DailyRunWithEveryFlagOffOnlyPurges)
{
    site.exec(QStringLiteral("UPDATE set_mainte SET logtel_leave_days = 1, set_time_flag = 0, guser_mainte_flag = 0, "
                             "db_mainte_flag = 0"));
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (1, '%1', 1)").arg(Day(-5, "00:00:00")));
    AddGate("00001", "Front");
    AddUser("0000000001", "CARD1");
    AddPermit("0000000001", "00001", 3);
    ShellCtrl_Orvel::StartCourier();
    frmDayMainte run;
    run.timStart_Timer();
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("0"));
    EXPECT_EQ(Permits(), QStringLiteral("0000000001@00001=3"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT req_cmd FROM t_srv_ctrl WHERE server_id = 2")), QStringLiteral("0"));
    EXPECT_EQ(::kill(pid_t(ShellCtrl_Orvel::ProcessId(2)), 0), 0); // still running
}

TEST_F(MainteRunsTest, DailyRunRewritesGatesAndReportsTheOneWhoseCleanFailed)
{
    site.exec(QStringLiteral("UPDATE set_mainte SET set_time_flag = 0, guser_mainte_flag = 1, db_mainte_flag = 0"));
    AddGate("00001", "Front");
    AddGate("00002", "Back");
    AddUser("0000000001", "CARD1");
    AddUser("0000000002", "CARD2");
    AddPermit("0000000001", "00001", 1);
    AddPermit("0000000002", "00001", 3);
    AddPermit("0000000001", "00002", 1);
    ASSERT_TRUE(sim->controlOk("fault 00002 refuse on"));
    ShellCtrl_Orvel::StartCourier();
    frmDayMainte run;
    run.timStart_Timer();
    // Gate 1: the permit to delete is gone, the other is written and in step.
    EXPECT_EQ(Permits(), QStringLiteral("0000000001@00001=0 0000000001@00002=1"));
    EXPECT_TRUE(GateHas("00001", "CARD1"));
    EXPECT_FALSE(GateHas("00001", "CARD2"));
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].text.endsWith(QStringLiteral("\r\n\tゲート名：Back")));
    EXPECT_FALSE(shown[0].text.contains(QStringLiteral("Front")));
}

TEST_F(MainteRunsTest, BulkSendAsksBeforeTheRowAfterAFailure)
{
    AddGate("00001", "A", QStringLiteral("Z1"));
    AddGate("00002", "B", QStringLiteral("Z2"));
    AddGate("00003", "C", QStringLiteral("Z3"));
    AddUser("0000000001", "CARD1");
    AddPermit("0000000001", "00001", 1);
    AddPermit("0000000001", "00002", 1);
    AddPermit("0000000001", "00003", 1);
    ASSERT_TRUE(sim->controlOk("fault 00002 refuse on"));
    ShellCtrl_Orvel::StartCourier();
    frmIK_GUser w;
    auto *grid = w.findChild<MsfGrid *>(QStringLiteral("msfGateUserList"));
    ASSERT_EQ(grid->rows(), 4);
    MsgBox::QueueAnswer(QMessageBox::No);
    w.cmdStart_Click();
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("中止しますか？"));
    EXPECT_EQ(grid->textMatrix(1, 8), QStringLiteral("済"));
    EXPECT_NE(grid->textMatrix(2, 8), QStringLiteral("済"));
    EXPECT_EQ(grid->textMatrix(3, 8), QStringLiteral("済"));
    EXPECT_EQ(Permits(), QStringLiteral("0000000001@00001=0 0000000001@00002=1 0000000001@00003=0"));
    EXPECT_EQ(w.findChild<QLineEdit *>(QStringLiteral("txtUseFlagMsg"))->text(), QStringLiteral("完了しました。"));
}

TEST_F(MainteRunsTest, ClockRunPassesOverAGateTheCollectorHolds)
{
    AddGate("00001", "A");
    AddGate("00002", "B");
    ASSERT_TRUE(orvel::CollectorLockGate(site.path(QStringLiteral("GateLock.dat")), QStringLiteral("00001")));
    frmIK_GTime w;
    w.cmdStart_Click();
    auto *grid = w.findChild<MsfGrid *>(QStringLiteral("msfGateList"));
    ASSERT_EQ(grid->rows(), 3);
    EXPECT_EQ(grid->textMatrix(1, 5), QStringLiteral("失敗"));
    EXPECT_EQ(grid->textMatrix(2, 5), QStringLiteral("完了"));
    EXPECT_EQ(w.findChild<QLineEdit *>(QStringLiteral("txtUseFlagMsg"))->text(), QStringLiteral("時計あわせを完了しました。"));
}

namespace {
bool Running(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = stat.readAll();
    const qsizetype close = text.lastIndexOf(')');
    return close > 0 && text.size() > close + 2 && text.at(close + 2) != 'Z';
}
} // namespace

TEST_F(MainteRunsTest, CompactionRestartsBothServicesThroughTheProcessRecords)
{
    site.exec(QStringLiteral("UPDATE set_mainte SET set_time_flag = 0, guser_mainte_flag = 0, db_mainte_flag = 1"));
    for (int i = 1; i <= 50; ++i)
        site.exec(QStringLiteral("INSERT INTO log_telmar (gate_id, guser_id, log_type, log_dt, write_ok_flag) "
                                 "VALUES ('00009', 'C%1', 1, '%2', 7)").arg(i).arg(Day(0, "08:00:00")));
    site.exec(QStringLiteral("DELETE FROM log_telmar WHERE log_id > 5"));
    ShellCtrl_Orvel::StartHarvester();
    ShellCtrl_Orvel::StartCourier();
    const qint64 harvester = ShellCtrl_Orvel::ProcessId(1);
    const qint64 courier = ShellCtrl_Orvel::ProcessId(2);
    ASSERT_TRUE(Running(harvester));
    ASSERT_TRUE(Running(courier));

    frmDayMainte run;
    run.timStart_Timer();
    // New processes, kept in the records (so the supervision can stop them); the old ones gone.
    EXPECT_NE(ShellCtrl_Orvel::ProcessId(1), harvester);
    EXPECT_NE(ShellCtrl_Orvel::ProcessId(2), courier);
    EXPECT_TRUE(Running(ShellCtrl_Orvel::ProcessId(1)));
    EXPECT_TRUE(Running(ShellCtrl_Orvel::ProcessId(2)));
    EXPECT_FALSE(Running(harvester));
    EXPECT_FALSE(Running(courier));
    EXPECT_EQ(site.value(QStringLiteral("SELECT group_concat(req_cmd) FROM t_srv_ctrl")), QStringLiteral("198,298"));
    EXPECT_EQ(AnswerOf(2), QStringLiteral("1:稼動中"));
    // The compacted database still holds everything.
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("5"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00000'")), QStringLiteral("無所属"));
}
