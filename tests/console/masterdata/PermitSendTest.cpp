// Sending permits to the gates from the user and gate screens, through the real provisioning
// service Courier1 and gatesim; what reached a gate is read from gatesim, not from the database.
#include "MasterdataTestUtil.h"
#include "FastServices.h"

#include "frmGateMan.h"
#include "frmUserMan.h"

#include "ConsoleTiming.h"
#include "GateLock.h"
#include "OrvelDefs.h"
#include "ShellCtrl_Orvel.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "gatecomm/ConsoleGateLock.h"
#include "gatelib.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>

#include <cstdlib>

using namespace mdtest;
using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

class PermitSendTest : public ::testing::Test
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
        for (const char *g : {"00001", "00002", "00003", "00004"})
            AddGate(g);
        // 1: card-only user; 2: administrator with a card; 3: no authentication method.
        AddUser("0000000001", "CARD0001", 2, 1);
        AddUser("0000000002", "CARD0002", 2, 2);
        AddUser("0000000003", "CARD0003", 0, 1);
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        users.reset();
        gates.reset();
        SetBusyEventPump(nullptr);
        SetCurrentScreen(nullptr);
        MsgBox::TakeShown();
        consoletest::StopFastServices();
    }
    void AddGate(const char *id)
    {
        const auto &g = sim->gate(id);
        site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                 "use_flag) VALUES ('%1', 'Z', 'G%1', '%2', '%3', 1, 1)")
                      .arg(QLatin1String(id), QString::fromStdString(g.address))
                      .arg(g.port));
    }
    void AddUser(const char *id, const char *card, int authType, int authority)
    {
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, guser_id, gauth_type, "
                                 "gauthority, delete_flag) VALUES ('%1', 'U%1', 'u', '00000', '%2', %3, %4, 0)")
                      .arg(QLatin1String(id), QLatin1String(card))
                      .arg(authType)
                      .arg(authority));
    }
    void AddPermit(const char *user, const char *gate, int syncFlag)
    {
        site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('%1', '%2', %3, 1)")
                      .arg(QLatin1String(user), QLatin1String(gate))
                      .arg(syncFlag));
    }
    QString Permits()
    {
        return site.value("SELECT group_concat(user_id || '@' || gate_id || '=' || sync_flag, ' ') "
                          "FROM (SELECT * FROM t_gate_permit ORDER BY user_id, gate_id) AS p");
    }
    // The profile line gatesim holds for card on gate, or "".
    std::string Profile(const char *gate, const char *card)
    {
        for (const std::string &line : sim->control(std::string("users ") + gate))
            if (line.find(card) != std::string::npos)
                return line;
        return {};
    }
    frmUserMan *OpenUser(const char *id)
    {
        users = std::make_unique<frmUserMan>();
        users->show();
        users->USER_SetUserId(QString::fromLatin1(id));
        Click(users.get(), "opbFuncMode_3");
        return users.get();
    }
    frmGateMan *OpenGate(const char *id)
    {
        gates = std::make_unique<frmGateMan>();
        gates->show();
        gates->GATE_SetGateId(QString::fromLatin1(id));
        Click(gates.get(), "opbFuncMode_3");
        return gates.get();
    }

    TestSite site;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<frmUserMan> users;
    std::unique_ptr<frmGateMan> gates;
};

TEST_F(PermitSendTest, UserScreenSendsTheUserToEveryListedGate)
{
    ASSERT_TRUE(sim->controlOk("adduser 00002 CARD0002 admin=1 card=1"));
    OpenUser("0000000002");
    // Added through the gate picker, which offers gates in use only.
    OnPicker("frmGateAssist", [](QWidget *picker) {
        EXPECT_EQ(picker->windowTitle(), " ゲート選択補助（接続中のゲート）");
        SelectBlock(W<MsfGrid>(picker, "msfGateList"), 1, 1);
        Click(picker, "cmdSelect");
    });
    Click(users.get(), "cmdAddUseGate");
    AddPermit("0000000002", "00002", 3); // withdrawn, still on the gate
    users->ShowGateUserList();
    auto *send = W(users.get(), "cmdSendGUser");
    EXPECT_TRUE(send->isEnabled());
    Click(users.get(), "chbAllGUserList");
    EXPECT_FALSE(send->isEnabled()); // the wider view never sends
    Click(users.get(), "chbAllGUserList");
    ASSERT_TRUE(send->isEnabled());

    ShellCtrl_Orvel::StartCourier();
    Click(users.get(), "cmdSendGUser");
    EXPECT_TRUE(ShownTexts().isEmpty());
    const std::string profile = Profile("00001", "CARD0002");
    EXPECT_NE(profile.find("admin=1"), std::string::npos) << profile;
    EXPECT_NE(profile.find("card=1"), std::string::npos) << profile;
    EXPECT_TRUE(Profile("00002", "CARD0002").empty());
    EXPECT_EQ(Permits(), "0000000002@00001=0");
    EXPECT_EQ(Column(W<QTableView>(users.get(), "msfUserGateList"), 5), QStringList{"済"});
    EXPECT_FALSE(send->isEnabled());
}

TEST_F(PermitSendTest, AFailedRequestStopsTheRunAndLeavesTheLaterRowsMarked)
{
    for (const char *g : {"00001", "00002", "00003", "00004"})
        AddPermit("0000000001", g, 1);
    ASSERT_TRUE(sim->controlOk("fault 00002 status card 3293 0"));
    OpenUser("0000000001");
    ShellCtrl_Orvel::StartCourier();
    Click(users.get(), "cmdSendGUser");
    const auto shown = ShownTexts();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith("【3293】ユーザ権限のカードの最大登録数を超えています。反映を中止します。"));
    EXPECT_EQ(Permits(), "0000000001@00001=0 0000000001@00002=1 0000000001@00003=1 0000000001@00004=1");
    EXPECT_EQ(Column(W<QTableView>(users.get(), "msfUserGateList"), 5),
              QStringList({"済", "未反映", "未反映", "未反映"}));
    EXPECT_FALSE(Profile("00001", "CARD0001").empty());
    EXPECT_TRUE(Profile("00003", "CARD0001").empty());
    // Both locks taken were given back (gates 3 and 4 were never locked).
    for (const char *g : {"00001", "00002"})
        EXPECT_FALSE(ConsoleGateLock().IsGateLocked(QString::fromLatin1(g))) << g;
}

TEST_F(PermitSendTest, UserScreenSkipsABusyGateAndReportsAnUnreachableOne)
{
    AddPermit("0000000001", "00001", 1);
    AddPermit("0000000001", "00002", 1);
    AddPermit("0000000001", "00003", 1);
    ASSERT_TRUE(orvel::CollectorLockGate(ConsoleGateLock().LockFilePath(), "00001"));
    ASSERT_TRUE(sim->controlOk("fault 00002 refuse on"));
    OpenUser("0000000001");
    ShellCtrl_Orvel::StartCourier();
    Click(users.get(), "cmdSendGUser");
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に失敗しました。ゲートの接続を確認してください。"});
    EXPECT_EQ(Permits(), "0000000001@00001=1 0000000001@00002=1 0000000001@00003=0");
    EXPECT_TRUE(orvel::CollectorUnlockGate(ConsoleGateLock().LockFilePath(), "00001"));
}

TEST_F(PermitSendTest, UserWithoutAMethodCannotGetPermits)
{
    OpenUser("0000000003");
    Click(users.get(), "cmdAddUseGate"); // no picker opens: the test would wait for it
    EXPECT_EQ(ShownTexts(), QStringList{"認証方法を選択してください。"});
    users->GATE_SetGateId("00001");
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM t_gate_permit"), "0");
}

TEST_F(PermitSendTest, GateScreenSendsEveryListedUserToTheGate)
{
    AddPermit("0000000001", "00003", 1);
    AddPermit("0000000002", "00003", 3);
    ASSERT_TRUE(sim->controlOk("adduser 00003 CARD0002 admin=1 card=1"));
    OpenGate("00003");
    auto *send = W(gates.get(), "cmdSendGUser");
    ASSERT_TRUE(send->isEnabled());
    ShellCtrl_Orvel::StartCourier();
    Click(gates.get(), "cmdSendGUser");
    EXPECT_TRUE(ShownTexts().isEmpty());
    const std::string profile = Profile("00003", "CARD0001");
    EXPECT_NE(profile.find("admin=0"), std::string::npos) << profile;
    EXPECT_TRUE(Profile("00003", "CARD0002").empty());
    EXPECT_EQ(Permits(), "0000000001@00003=0");
    EXPECT_EQ(Column(W<QTableView>(gates.get(), "msfGateUserList"), 5), QStringList{"済"});
    EXPECT_FALSE(send->isEnabled());
    EXPECT_EQ(Text(gates.get(), "txtUseFlagMsg"), "接続中");
    EXPECT_FALSE(ConsoleGateLock().IsGateLocked("00003"));
}

TEST_F(PermitSendTest, GateScreenReportsABusyGateAndSendsNothing)
{
    AddPermit("0000000001", "00003", 1);
    OpenGate("00003");
    ASSERT_TRUE(orvel::CollectorLockGate(ConsoleGateLock().LockFilePath(), "00003"));
    Click(gates.get(), "cmdSendGUser");
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートへのアクセスに失敗しました。数秒後に再度実行してください。"});
    EXPECT_EQ(Permits(), "0000000001@00003=1");
    EXPECT_TRUE(W(gates.get(), "cmdSendGUser")->isEnabled());
    EXPECT_TRUE(orvel::CollectorUnlockGate(ConsoleGateLock().LockFilePath(), "00003"));
}

} // namespace
