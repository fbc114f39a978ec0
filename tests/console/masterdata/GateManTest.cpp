// The gate screen, its picker and the gate error window on a real database and gatesim, driven
// through object names.
#include "MasterdataTestUtil.h"

#include "frmGateError.h"
#include "frmGateMan.h"
#include "frmUserMan.h"

#include "ConsoleTiming.h"
#include "OrvelDefs.h"
#include "ScreenRegistry.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "gatelib.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QRadioButton>
#include <QTimer>

using namespace mdtest;
using orvel::test::TestSite;
using testsupport::SimProcess;

namespace {

class GateManTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        SetEdition(orvel::EditionFelica);
        sim = std::make_unique<SimProcess>(
            std::vector<std::string>{"--gate", "00001=127.0.0.2:0", "--gate", "00002=127.0.0.3:0"});
        ASSERT_TRUE(sim->ok());
        tcp_SetTimeoutMs(300);
        Timing().gateRetryWaitMs = 1;
        Timing().gateLockSecondMs = 5;
        AddGate("00001", "正面玄関", 0);
        site.exec("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type, gauthority, delete_flag) "
                  "VALUES ('0000000001', '山田', '00000', 'CARD1', 2, 1, 0)");
        site.exec("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type, gauthority, delete_flag) "
                  "VALUES ('0000000002', '方法なし', '00000', 'CARD2', 0, 1, 0)");
        screen = std::make_unique<frmGateMan>();
        screen->show();
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        screen.reset();
        SetBusyEventPump(nullptr);
        SetCurrentScreen(nullptr);
        MsgBox::TakeShown();
        tcp_SetTimeoutMs(0);
        Timing() = ConsoleTiming{};
        QDir::setCurrent(QDir::tempPath());
    }
    QString Ip(const char *gate) { return QString::fromStdString(sim->gate(gate).address); }
    QString Port(const char *gate) { return QString::number(sim->gate(gate).port); }
    void AddGate(const char *id, const char *name, int useFlag)
    {
        site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                 "use_flag, regist_dt, refix_dt) VALUES ('%1', 'Z', '%2', '%3', '%4', 1, %5, "
                                 "'2020/01/01', '2020/01/01')")
                      .arg(QLatin1String(id), QString::fromUtf8(name), Ip(id), Port(id))
                      .arg(useFlag));
    }
    QString Gate(const char *column, const char *id = "00001")
    {
        return site.value(QStringLiteral("SELECT %1 FROM m_gate WHERE gate_id = '%2'")
                              .arg(QLatin1String(column), QLatin1String(id)));
    }
    // Byte of the simulated gate's properties record.
    int PropByte(const char *gate, int byte)
    {
        const auto lines = sim->control(std::string("props ") + gate);
        return lines.empty() ? -1 : std::stoi(lines.front().substr(size_t(byte) * 2, 2), nullptr, 16);
    }
    QRadioButton *Opt(const char *name) { return W<QRadioButton>(w(), name); }
    void ShowInDetails(const char *id)
    {
        screen->GATE_SetGateId(QString::fromLatin1(id));
        Click(w(), "opbFuncMode_3");
    }
    void TypeIp(const QString &address)
    {
        const QStringList parts = address.split(u'.');
        for (int i = 0; i < 4; ++i)
            W<QLineEdit>(w(), QStringLiteral("txtIP_%1").arg(i).toLatin1().constData())->setText(parts.value(i));
    }
    QWidget *w() { return screen.get(); }

    TestSite site;
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<frmGateMan> screen;
};

TEST_F(GateManTest, RegisterValidatesCutsTheZoneAndCreatesTheLockRow)
{
    Click(w(), "opbFuncMode_2");
    EnterId(w(), "2");
    EXPECT_EQ(Text(w(), "txtId"), "00002");
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"ゾーンを入力してください。"});

    // A pasted 30-character zone is cut to 25.
    auto *zone = W<QComboBox>(w(), "cmbZone");
    zone->lineEdit()->insert(QString(30, u'東'));
    EXPECT_EQ(zone->currentText(), QString(25, u'東'));
    EXPECT_EQ(screen->Shown().zoneName, QString(25, u'東'));

    W<QLineEdit>(w(), "txtName")->setText("O'Brien門");
    TypeIp("127.0.0");
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"IPアドレスを正しく入力してください。"});
    TypeIp(Ip("00001")); // the first gate's address, another port
    W<QLineEdit>(w(), "txtPort")->setText("9999");
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"このIPアドレスは既に利用されております。GID = 00001"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_gate"), "1");

    TypeIp(Ip("00002"));
    W<QLineEdit>(w(), "txtPort")->setText(Port("00002"));
    Click(w(), "opbGateMode_2");
    Click(w(), "cmdRegist");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(Gate("zone_name || '|' || gate_name || '|' || ip_addr || '|' || gate_mode || '|' || use_flag", "00002"),
              QString(25, u'東') + "|O'Brien門|" + Ip("00002") + "|2|0");
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM lock_gate WHERE gate_id = '00002'"), "1");
    EXPECT_EQ(screen->mode(), int(ModeDetails));
    EXPECT_EQ(Column(W<MsfGrid>(w(), "msfGateList"), 0), QStringList({"00001", "00002"}));
    EXPECT_EQ(Text(w(), "txtUseFlagMsg"), "未接続");
    EXPECT_FALSE(W(w(), "cmdSendGUser")->isEnabled());
    EXPECT_FALSE(Opt("optDoorMode_0")->isEnabled()); // not in use: no device settings

    // The same ID again in mode 2 is refused at once.
    Click(w(), "opbFuncMode_2");
    EnterId(w(), "00002");
    EXPECT_EQ(ShownTexts(), QStringList{"このゲートIDは既に登録されています。"});
    EXPECT_EQ(Text(w(), "txtId"), "");
}

TEST_F(GateManTest, AddressAndPortTakeDigitsOnlyAndADotMovesToTheNextBox)
{
    Click(w(), "opbFuncMode_2");
    screen->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(screen.get()));
    auto *ip0 = W<QLineEdit>(w(), "txtIP_0");
    auto *ip1 = W<QLineEdit>(w(), "txtIP_1");
    ip0->setFocus();
    QTest::keyClicks(ip0, "1x9.");
    EXPECT_EQ(ip0->text(), "19");
    EXPECT_TRUE(ip1->hasFocus()) << "the dot typed after a part goes on to the next part";
    QTest::keyClicks(ip1, "2-5");
    EXPECT_EQ(ip1->text(), "25");
    auto *port = W<QLineEdit>(w(), "txtPort");
    QTest::keyClicks(port, "8.0a");
    EXPECT_EQ(port->text(), "80") << "no box after the port: the dot is only dropped";
}

TEST_F(GateManTest, OnlyTheConnectionCheckPutsAGateInUse)
{
    ShowInDetails("00001");
    EXPECT_EQ(W<QAbstractButton>(w(), "cmdPollGate")->text(), "ゲートを有効にする");
    Click(w(), "opbUseFlag_1"); // "有効" clicked directly
    EXPECT_EQ(ShownTexts(), QStringList{"【接続確認】を行ってください。ゲートへの接続が成功すると【有効】になります。"});
    EXPECT_TRUE(Opt("opbUseFlag_0")->isChecked());
    EXPECT_EQ(Gate("use_flag"), "0");

    ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
    Click(w(), "cmdPollGate");
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に失敗しました。このゲートは利用出来ません。"});
    EXPECT_EQ(Gate("use_flag"), "0");

    ASSERT_TRUE(sim->controlOk("fault 00001 clear"));
    ASSERT_TRUE(sim->controlOk("clock 00001 2001-01-01T00:00:00"));
    Click(w(), "cmdPollGate");
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に成功しました。このゲートは利用可能です。"});
    EXPECT_EQ(Gate("use_flag"), "1");
    EXPECT_EQ(Gate("refix_dt"), TodayText());
    EXPECT_EQ(Text(w(), "txtUseFlagMsg"), "接続中");
    EXPECT_EQ(W<QAbstractButton>(w(), "cmdPollGate")->text(), "ゲートを無効にする");
    const auto clock = sim->control("clock 00001");
    ASSERT_FALSE(clock.empty());
    EXPECT_EQ(clock.front().find("2001-"), std::string::npos); // the clock was set from the PC
    EXPECT_TRUE(Opt("optDoorMode_0")->isEnabled());
    EXPECT_TRUE(W<QAbstractButton>(w(), "cmdPollGate")->isEnabled());

    // The same button takes it out of use without the device; so does "無効".
    Click(w(), "cmdPollGate");
    EXPECT_EQ(Gate("use_flag"), "0");
    EXPECT_FALSE(Opt("optDoorMode_0")->isEnabled());
    site.exec("UPDATE m_gate SET use_flag = 1");
    ShowInDetails("00001");
    Click(w(), "opbUseFlag_0");
    EXPECT_EQ(Gate("use_flag"), "0");
    EXPECT_EQ(Text(w(), "txtUseFlagMsg"), "未接続");
    EXPECT_TRUE(ShownTexts().isEmpty());
}

TEST_F(GateManTest, DoorModeAndAlarmWrittenToTheGateAreReadBack)
{
    site.exec("UPDATE m_gate SET use_flag = 1");
    ASSERT_TRUE(sim->controlOk("props 00001 15=2 17=0"));
    const int untouched = PropByte("00001", 16);
    ShowInDetails("00001");
    EXPECT_TRUE(Opt("optDoorMode_2")->isChecked());
    EXPECT_TRUE(Opt("optAlarm_0")->isChecked());

    Click(w(), "optDoorMode_1");
    Click(w(), "optAlarm_1");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(PropByte("00001", 15), 1);
    EXPECT_EQ(PropByte("00001", 17), 1);
    EXPECT_EQ(PropByte("00001", 16), untouched);
    EXPECT_EQ(screen->DeviceDoorMode(), 1);

    ShowInDetails("00002"); // not registered: nothing shown
    ShowInDetails("00001");
    EXPECT_TRUE(Opt("optDoorMode_1")->isChecked());
    EXPECT_TRUE(Opt("optAlarm_1")->isChecked());

    // A gate whose settings cannot be read leaves use.
    ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
    screen->GATE_SetGateId("00001"); // still in mode 3
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に失敗しました。このゲートは利用出来ません。"});
    EXPECT_EQ(Gate("use_flag"), "0");
    EXPECT_EQ(Text(w(), "txtUseFlagMsg"), "このゲートは、現在利用出来ません。");
    EXPECT_FALSE(Opt("optDoorMode_0")->isEnabled());
}

TEST_F(GateManTest, UpdateKeepsUseForANewPortAndEndsItForANewAddress)
{
    site.exec("UPDATE m_gate SET use_flag = 1");
    screen->GATE_SetGateId("00001");
    Click(w(), "opbFuncMode_1");
    EXPECT_EQ(Text(w(), "txtIP_1"), "0");
    W<QLineEdit>(w(), "txtPort")->setText("10999");
    Click(w(), "cmdUpdate");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(Gate("port_no || '|' || use_flag"), "10999|1");

    // Another gate's address is refused and changes nothing.
    AddGate("00002", "裏口", 0);
    TypeIp(Ip("00002"));
    Click(w(), "cmdUpdate");
    EXPECT_EQ(ShownTexts(), QStringList{"このIPアドレスは既に利用されております。GID = 00002"});
    EXPECT_EQ(Gate("ip_addr || '|' || use_flag"), Ip("00001") + "|1");

    TypeIp("127.0.0.9");
    Click(w(), "cmdUpdate");
    EXPECT_EQ(ShownTexts(), QStringList{"IPアドレスが変更されました。ゲートの【接続確認】を行ってください。"});
    EXPECT_EQ(Gate("ip_addr || '|' || use_flag"), "127.0.0.9|0");
}

TEST_F(GateManTest, DeleteRefusesAGateInUseAndAsksWhenUsersArePermitted)
{
    site.exec("UPDATE m_gate SET use_flag = 1");
    site.exec("INSERT INTO lock_gate (gate_id, lock_flg, server_id) VALUES ('00001', 0, 0)");
    screen->GATE_SetGateId("00001");
    Click(w(), "opbFuncMode_1");
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"ゲートが接続中の為、削除できません。ゲートを無効にしてから行ってください。"});
    EXPECT_EQ(Gate("COUNT(*)"), "1");

    site.exec("UPDATE m_gate SET use_flag = 0");
    site.exec("INSERT INTO t_gate_permit VALUES ('0000000001', '00001', 0, 1)");
    screen->GATE_SetGateId("00001");
    MsgBox::QueueAnswer(QMessageBox::Cancel);
    Click(w(), "cmdDelete");
    const auto asked = MsgBox::TakeShown();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].text.startsWith("このゲートには通行許可ユーザが設定されています。\n"));
    EXPECT_EQ(asked[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(Gate("COUNT(*)"), "1");

    MsgBox::QueueAnswer(QMessageBox::Ok);
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts().size(), 1);
    EXPECT_EQ(Gate("COUNT(*)"), "0");
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM t_gate_permit"), "0");
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM lock_gate"), "1");
    EXPECT_EQ(Text(w(), "txtId"), "");
    EXPECT_EQ(W<MsfGrid>(w(), "msfGateList")->rows(), 1);
}

TEST_F(GateManTest, AGateThatCannotBeReadLeavesNothingToWriteUnderItsId)
{
    site.exec("UPDATE m_gate SET use_flag = 1");
    ShowInDetails("00001");
    ASSERT_TRUE(W(w(), "cmdPollGate")->isEnabled());
    ASSERT_TRUE(Opt("optDoorMode_1")->isEnabled());
    MsgBox::TakeShown();
    site.exec("ALTER TABLE m_gate RENAME TO m_gate_gone");
    screen->GATE_SetGateId("2");
    EXPECT_EQ(ShownTexts().size(), 1); // the database's own message
    // Gate 1's address is still on screen, but no check, device setting or send can reach it
    // as gate 2.
    EXPECT_FALSE(W(w(), "cmdPollGate")->isEnabled());
    EXPECT_FALSE(Opt("optDoorMode_1")->isEnabled());
    EXPECT_FALSE(W(w(), "cmdSendGUser")->isEnabled());
    EXPECT_FALSE(W(w(), "cmdDelete")->isEnabled());
}

TEST_F(GateManTest, PermitsAreAddedOnlyForUsersWithAMethodAndWithdrawnAsMarks)
{
    ShowInDetails("00001");
    OnPicker("frmUserAssist", [](QWidget *picker) {
        EXPECT_EQ(picker->windowTitle(), " 認証方法確定ユーザ検索");
        auto *grid = W<MsfGrid>(picker, "msfUserList");
        EXPECT_EQ(Column(grid, 0), QStringList{"0000000001"}); // the user without a method is not offered
        SelectBlock(grid, 1, 1);
        Click(picker, "cmdSelect");
    });
    Click(w(), "cmdAddGateUser");
    EXPECT_EQ(site.value("SELECT sync_flag || '' || use_flag FROM t_gate_permit"), "11");
    auto *list = W<QTableView>(w(), "msfGateUserList");
    ASSERT_EQ(ListedRows(w(), "msfGateUserList"), 1);
    EXPECT_EQ(PermitModel(w(), "msfGateUserList")->Rows().at(0).guserId, "CARD1");
    EXPECT_FALSE(W(w(), "cmdSendGUser")->isEnabled()); // the gate is not in use

    SelectRows(list, 0, 0);
    Click(w(), "cmdDeleteGateUser");
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit"), "3");
    EXPECT_EQ(ListedRows(w(), "msfGateUserList"), 1); // stays listed until sent
    screen->USER_SetUserId("1"); // added again: a permit to write once more
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit"), "1");
    EXPECT_TRUE(ShownTexts().isEmpty());
}

TEST_F(GateManTest, PickerReportsEveryChosenGateAndKeepsTheOpenersCondition)
{
    AddGate("00002", "裏口", 1);
    OnPicker("frmGateAssist", [](QWidget *picker) {
        EXPECT_EQ(picker->windowTitle(), "ゲート検索");
        auto *grid = W<MsfGrid>(picker, "msfGateList");
        EXPECT_EQ(Column(grid, 0), QStringList({"00001", "00002"}));
        W<QLineEdit>(picker, "txtName")->setText("裏");
        Click(picker, "cmdSearch");
        EXPECT_EQ(Column(grid, 1), QStringList{"裏口"});
        SelectBlock(grid, 1, 1);
        Click(picker, "cmdSelect");
    });
    Click(w(), "cmdSearch");
    EXPECT_EQ(Text(w(), "txtName"), "裏口");
    EXPECT_EQ(Text(w(), "txtIP_3"), "3");
}

TEST_F(GateManTest, WindowPositionIsKeptBetweenOpenings)
{
    screen->move(123, 77);
    screen->close();
    screen.reset();
    screen = std::make_unique<frmGateMan>();
    screen->show();
    EXPECT_EQ(screen->pos(), QPoint(123, 77));
}

// ---- gate error window --------------------------------------------------------------------------

class GateErrorTest : public GateManTest
{
protected:
    void SetUp() override
    {
        GateManTest::SetUp();
        site.exec("UPDATE m_gate SET use_flag = 1");
        for (const char *name : {"timSrvChkSend", "timDayMainte"}) {
            auto *t = new QTimer(MainWindow());
            t->setObjectName(QString::fromLatin1(name));
            t->start(100000);
        }
        frmGateError::SetClock([] { return QDateTime(QDate(2024, 3, 5), QTime(9, 7)); });
    }
    void TearDown() override
    {
        frmGateError::SetClock({});
        for (QTimer *t : MainWindow()->findChildren<QTimer *>())
            delete t;
        GateManTest::TearDown();
    }
    QTimer *Timer(const char *name) { return MainWindow()->findChild<QTimer *>(QString::fromLatin1(name)); }
    // Opens the window as the supervision does and runs script while it is shown.
    void WithErrorWindow(const std::function<void(frmGateError *)> &script)
    {
        QTimer::singleShot(0, [&] {
            auto *win = qobject_cast<frmGateError *>(QApplication::activeModalWidget());
            ASSERT_NE(win, nullptr);
            script(win);
            if (win->isVisible())
                win->close();
        });
        EXPECT_TRUE(ScreenRegistry::ShowGateError(QStringLiteral("00001"), nullptr));
    }
};

TEST_F(GateErrorTest, ShowsTheGateHoldsTheTimersAndTakesTheGateOutOfUse)
{
    Timer("timDayMainte")->stop(); // stopped by its owner: stays stopped afterwards
    WithErrorWindow([&](frmGateError *win) {
        EXPECT_FALSE(Timer("timSrvChkSend")->isActive());
        EXPECT_EQ(W<QLabel>(win, "lblGateName")->text(), "正面玄関");
        EXPECT_EQ(W<QLabel>(win, "lblIpAddr")->text(), Ip("00001"));
        EXPECT_EQ(W<QLabel>(win, "lblPortNo")->text(), Port("00001"));
        EXPECT_EQ(W<QLabel>(win, "lblErrorDT")->text(), "2024年03月05日 09時07分");
        Click(win, "cmdMukou");
        EXPECT_FALSE(win->isVisible());
    });
    EXPECT_EQ(ShownTexts(), QStringList{"このゲートの接続は、無効になりました。"});
    EXPECT_EQ(Gate("use_flag || '|' || refix_dt"), "0|" + TodayText());
    EXPECT_TRUE(Timer("timSrvChkSend")->isActive());
    EXPECT_FALSE(Timer("timDayMainte")->isActive());
}

TEST_F(GateErrorTest, TryingAgainClosesOnlyWhenTheGateAnswers)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
    WithErrorWindow([&](frmGateError *win) {
        Click(win, "cmdYuukou");
        EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に失敗しました。このゲートは利用出来ません。"});
        EXPECT_TRUE(win->isVisible());
        EXPECT_TRUE(sim->controlOk("fault 00001 clear"));
        Click(win, "cmdYuukou");
        EXPECT_EQ(ShownTexts(), QStringList{"ゲートへの接続に成功しました。"});
        EXPECT_FALSE(win->isVisible());
    });
    EXPECT_EQ(Gate("use_flag"), "1");
    EXPECT_TRUE(Timer("timSrvChkSend")->isActive());
    EXPECT_TRUE(Timer("timDayMainte")->isActive());
}

} // namespace
