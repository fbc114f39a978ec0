// A finger enrolled at the console admits its owner at a gate: enrolment through frmFpEnroll with
// the simulated scanner, the user sent to a gatesim gate through the real Courier1, touches of
// that finger and of another one at the gate, and the real Harvester1 collecting the gate's log.

#include "BiometricTestUtil.h"
#include "FastServices.h"

#include "biometric/ui/frmFpEnroll.h"

#include "GateLock.h"
#include "OrvelDefs.h"
#include "ShellCtrl_Orvel.h"
#include "SimProcess.h"
#include "gatecomm/GUserCtrl.h"

#include <QFile>

using namespace fptest;

namespace {

const QString kUser = QStringLiteral("0000000007");
const QString kGuser = QStringLiteral("0000000000000000000000") + kUser; // no card

class FpEndToEndTest : public FpTest
{
protected:
    void TearDown() override
    {
        consoletest::StopFastServices();
        FpTest::TearDown();
    }
};

} // namespace

TEST_F(FpEndToEndTest, AFingerEnrolledAtTheConsoleOpensTheGateForItsOwnerOnly)
{
    testsupport::SimProcess gates({"--gate", "00001=127.0.0.2:0"});
    ASSERT_TRUE(gates.ok());
    const auto &g = gates.gate("00001");
    AddSimGate(site, QStringLiteral("00001"), g.address, g.port);
    AddUser(kUser, orvel::gauthority::User, orvel::gauth_type::Fingerprint, kGuser);
    site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('%1', '00001', 1, 1)").arg(kUser));
    ASSERT_TRUE(UseQuickCollector(site));

    // Enrolment at the console.
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u7-right-index")));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u7-right-index")));
    SetBusyOn();
    QPointer<frmFpEnroll> w = new frmFpEnroll;
    w->SetFpInfo(kUser, 4, QStringLiteral("U7"), GetFingerName(4));
    w->show();
    w->StartEnroll();
    ASSERT_TRUE(WaitClosed(w));
    ASSERT_EQ(screen.results, (QList<QPair<bool, qint16>>{{true, 1}}));

    // The user goes to the gate through the provisioning service.
    consoletest::UseFastServices(COURIER_PATH);
    ShellCtrl_Orvel::StartCourier();
    GUserRecord user;
    user.user_id = kUser;
    user.guser_id = kGuser;
    user.gauthority = orvel::gauthority::User;
    user.gauth_type = orvel::gauth_type::Fingerprint;
    ASSERT_TRUE(SendUserRequest(1, QString::fromStdString(g.address), QString::number(g.port), QStringLiteral("00001"),
                                user, false));
    const std::vector<std::string> users = gates.control("users 00001");
    ASSERT_EQ(users.size(), 2u);
    EXPECT_EQ(users[0], kGuser.toStdString() + " admin=0 card=0 mode=191 templates=1");

    // The owner's finger and somebody else's at the gate's own sensor.
    EXPECT_NE(gates.control("finger 00001 sim:u7-right-index").front().find("type=1 id=" + kGuser.toStdString()),
              std::string::npos);
    EXPECT_NE(gates.control("finger 00001 sim:u8-right-index").front().find("type=29"), std::string::npos);

    // The collector brings both records into the log.
    ::setenv("ORVEL_HARVESTER_START_DELAY_MS", "0", 1);
    ::setenv("ORVEL_HARVESTER_FIRST_TICK_MS", "10", 1);
    ShellCtrl_Orvel::StartHarvester();
    const QString both = QStringLiteral(
        "SELECT COUNT(*) FROM (SELECT gate_id, guser_id, log_type FROM log_telmar_raw UNION ALL "
        "SELECT gate_id, guser_id, log_type FROM log_telmar WHERE write_ok_flag = 0) AS r");
    ASSERT_TRUE(WaitFor([&] { return site.value(both).toInt() >= 2; }, 30000)) << site.value(both).toStdString();
    EXPECT_EQ(site.value(both), QStringLiteral("2"));
    const QString passages = QStringLiteral(
        "SELECT group_concat(log_type || ':' || COALESCE(guser_id, ''), ' ') FROM (SELECT guser_id, log_type FROM "
        "log_telmar_raw UNION ALL SELECT guser_id, log_type FROM log_telmar WHERE write_ok_flag = 0 ORDER BY log_type) AS r");
    EXPECT_EQ(site.value(passages), QStringLiteral("1:%1 29:").arg(kGuser));
    // The log list shows the admitted passage under the user.
    ASSERT_TRUE(WaitFor([&] { return site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")).toInt() >= 2; }));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id FROM log_telmar_plus WHERE log_type = 1")), kUser);
}
