// The main window: start-up order, menu panel, exit question, maintenance trigger.
#include "ConsoleTestUtil.h"

#include "ConsoleTiming.h"
#include "CurrentScreen.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "SrvSupervision.h"
#include "frmAbout.h"
#include "frmSubTitle.h"
#include "mdifVantr.h"

#include "TestSite.h"
#include "rdo_cntl.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// A modal window that records that it was shown and closes itself.
struct Counted
{
    int shown = 0;
    std::function<void()> onShow;
    void Register(const QString &key)
    {
        ScreenRegistry::Register(key, [this](QWidget *parent) -> QWidget * {
            ++shown;
            if (onShow)
                onShow();
            auto *d = new QDialog(parent);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        });
    }
};

struct Supervision : SrvSupervision
{
    int *checks;
    int *exits;
    Supervision(int *c, int *e) : checks(c), exits(e) {}
    void SendSrvCheck() override { ++*checks; }
    void SendSrvExit() override { ++*exits; }
};

class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MsgBox::SetScripted(true);
        ResetProgramEnding();
        SetEndProgramHandler([this] { ++ended; });
        Timing() = ConsoleTiming{1, 1, 1};
        SetSrvSupervisionFactory([this](mdifVantr &) {
            return std::make_unique<Supervision>(&checks, &exits);
        });
        for (const char *key : kStandIns)
            saved[key] = ScreenRegistry::Find(key);
    }
    void TearDown() override
    {
        SetEndProgramHandler({});
        SetSrvSupervisionFactory({});
        // The console's own windows come back for the tests that follow.
        for (const char *key : kStandIns) {
            if (saved[key])
                ScreenRegistry::Register(key, saved[key]);
            else
                ScreenRegistry::Unregister(key);
        }
        Timing() = ConsoleTiming{};
    }
    static constexpr const char *kStandIns[] = {"frmUserMan", "frmLogin", "frmStartChk", "frmDayMainte"};
    std::map<std::string, ScreenRegistry::Factory> saved;
    int ended = 0;
    int checks = 0;
    int exits = 0;
};

struct UserScreen : QWidget, CurrentScreen
{
    QString user;
    void USER_SetUserId(const QString &id) override { user = id; }
};

} // namespace

TEST_F(MainWindowTest, MenuPanelAndMenusCarryTheirCaptions)
{
    mdifVantr w(1);
    const char *captions[] = {"部署管理", "ユーザ管理", "ゲート管理", "ログ表示", "ユーザ認証リスト", "ゲート操作ログ", "終了"};
    for (int i = 0; i < 7; ++i) {
        auto *b = w.findChild<QPushButton *>(QStringLiteral("cmdMenu_%1").arg(i));
        ASSERT_NE(b, nullptr) << i;
        EXPECT_EQ(b->text(), QString::fromUtf8(captions[i]));
        EXPECT_EQ(b->isEnabled(), i != 4 && i != 5);
    }
    EXPECT_TRUE(w.findChild<QPushButton *>("cmdMenu_0")->styleSheet().contains("#ffc0c0")); // &H00C0C0FF
    for (const char *name : {"mnuEmpManagement", "mnuUserManagement", "mnuGateManagement", "mnuListGate", "mnuExit",
                             "mnuDayMainte", "mnuAutoLog", "mnuGSetDate", "mnuGUserUpdate", "mnuImportUser",
                             "mnuExportUser", "mnuImportEmp", "mnuExportEmp", "mnuImportGate", "mnuExportGate",
                             "mnuVers"})
        EXPECT_NE(w.findChild<QAction *>(name), nullptr) << name;
    EXPECT_EQ(w.StatusPanel(1), "ログ収集サーバ");
    EXPECT_EQ(w.StatusPanel(2), "確認中");
    EXPECT_EQ(w.StatusPanel(3), "ユーザー管理サーバ");
    EXPECT_EQ(w.StatusPanel(4), "確認中");
    EXPECT_FALSE(w.timStart()->isActive());
    EXPECT_FALSE(w.timSrvChkSend()->isActive());
    EXPECT_FALSE(w.timDayMainte()->isActive());
}

TEST_F(MainWindowTest, MenuPanelOpensEachScreenOnce)
{
    int created = 0;
    ScreenRegistry::Register("frmUserMan", [&](QWidget *) -> QWidget * {
        ++created;
        return new UserScreen;
    });
    mdifVantr w(1);
    w.show();
    auto *btn = w.findChild<QPushButton *>("cmdMenu_1");
    btn->click();
    QWidget *screen = w.Screen("frmUserMan");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->objectName(), "frmUserMan");
    EXPECT_EQ(w.SubTitle()->label(0).caption, "ユーザ管理");
    EXPECT_EQ(screen->property("Tag").toString(), "Loaded");
    EXPECT_EQ(btn->property("Tag").toString(), "Loaded");
    // It is the current screen: assist windows report to it.
    ASSERT_NE(GetCurrentScreen(), nullptr);
    GetCurrentScreen()->USER_SetUserId("0000000007");
    EXPECT_EQ(static_cast<UserScreen *>(screen)->user, "0000000007");

    w.MdiArea()->subWindowList().front()->close(); // closed by the user: still loaded
    btn->click();
    w.findChild<QAction *>("mnuUserManagement")->trigger();
    EXPECT_EQ(created, 1);
    EXPECT_EQ(w.MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(w.Screen("frmUserMan"), screen);
    EXPECT_TRUE(screen->isVisible());

    // Entries without a screen open nothing (the department screen exists now).
    w.cmdMenu_Click(4);
    EXPECT_EQ(w.MdiArea()->subWindowList().size(), 1);
}

TEST_F(MainWindowTest, ExitAnsweredNoLeavesTheTitleStripAsItWas)
{
    mdifVantr w(1);
    w.SubTitle()->setLabel(0, "部署管理", QColor(1, 2, 3));
    w.SubTitle()->SetSubTitle(2);
    const auto before0 = w.SubTitle()->label(0);
    const auto before1 = w.SubTitle()->label(1);
    EXPECT_EQ(before1.caption, "新規登録");
    EXPECT_EQ(before1.color, QColor(0xF0, 0x10, 0xC0)); // &H00C010F0

    MsgBox::QueueAnswer(QMessageBox::No);
    w.findChild<QAction *>("mnuExit")->trigger();
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Kavrin Manager を終了しますか？");
    EXPECT_EQ(shown[0].title, "Kavrin Manager");
    EXPECT_EQ(shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(shown[0].defaultButton, QMessageBox::No);
    EXPECT_EQ(w.SubTitle()->label(0), before0);
    EXPECT_EQ(w.SubTitle()->label(1), before1);
    EXPECT_EQ(ended, 0);
}

TEST_F(MainWindowTest, ExitAnsweredYesUnloadsAndStopsTheServices)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    mdifVantr w(1);
    w.Load();
    w.show();
    MsgBox::QueueAnswer(QMessageBox::Yes);
    w.findChild<QPushButton *>("cmdMenu_6")->click();
    EXPECT_EQ(w.SubTitle()->label(1).caption, "終了確認");
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(Settings(), nullptr); // released by the unload
}

TEST_F(MainWindowTest, TitleByEdition)
{
    orvel::test::TestSite site(2);
    ASSERT_TRUE(site.ok());
    {
        mdifVantr w(1);
        w.Load();
        EXPECT_EQ(w.windowTitle(), "Kavrin Manager 2 (Felica)");
        EXPECT_EQ(GetEdition(), 1);
    }
    mdifVantr w(2);
    EXPECT_EQ(w.windowTitle(), "Kavrin Manager Ver2");
    w.Load();
    EXPECT_EQ(w.windowTitle(), "Kavrin Manager 2 (Mifare)");
    EXPECT_EQ(AppTitle(), "Kavrin Manager 2 (Mifare)");
    EXPECT_EQ(GetEdition(), 2);

    frmAbout about;
    EXPECT_EQ(about.windowTitle(), "Kavrin Manager 2 (Mifare)のﾊﾞｰｼﾞｮﾝ情報");
    EXPECT_TRUE(frmAbout::VersionText().startsWith("ﾊﾞｰｼﾞｮﾝ "));
    EXPECT_EQ(frmAbout::VersionText().mid(6).split('.').size(), 3);
}

TEST_F(MainWindowTest, EmptyGateLockEndsBeforeAnyDatabaseAccess)
{
    consoletest::BareSite site;
    site.write("Orvel.ini", "[FILE]\r\nF_GATELOCK=\r\nF_TEMPLATE=template.dat\r\n");
    Counted login, startChk;
    login.Register("frmLogin");
    startChk.Register("frmStartChk");
    mdifVantr w(1);
    w.Load();
    EXPECT_FALSE(rdo_cntl::IsConnected());
    EXPECT_EQ(w.SrvBinding(1), nullptr);
    EXPECT_TRUE(TemplateFileName().isEmpty());
    EXPECT_EQ(w.timStart()->property("Tag").toString(), "END2");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0; }, 5000));
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1); // the settings message only; the end is silent
    EXPECT_EQ(shown[0].text, "Orvel.INIファイルの記述が不正です。(F_GATELOCK)");
    EXPECT_EQ(login.shown + startChk.shown, 0);
    EXPECT_FALSE(rdo_cntl::IsConnected());
    w.close();
    EXPECT_EQ(exits, 0); // an ended start-up does not unload
}

TEST_F(MainWindowTest, UnreachableDatabaseEndsWithItsMessage)
{
    consoletest::BareSite site;
    site.write("Orvel.ini", "[FILE]\r\nF_GATELOCK=GateLock.dat\r\nF_TEMPLATE=template.dat\r\n");
    site.write("odbc.ini", "[telmar_mdb]\nDriver=NoSuchDriver\n");
    ::unsetenv("ODBCINI");
    mdifVantr w(1);
    w.Load();
    EXPECT_EQ(w.timStart()->property("Tag").toString(), "END");
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0; }, 5000));
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "データベースへの接続に失敗しました。 アプリケーションを終了します。");
}

TEST_F(MainWindowTest, StartUpWithoutAdministratorSkipsTheLogin)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    // An administrator without a credential does not count.
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type) VALUES ('0000000001', 'a', 2, 0)");
    site.exec("UPDATE t_srv_ctrl SET req_cmd = 198, req_arg1 = '00003', res_detail = '稼動中', result = 1 "
              "WHERE server_id = 1");
    Counted login, startChk;
    login.Register("frmLogin");
    startChk.Register("frmStartChk");
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(w.timStart()->isActive());
    // The service rows are bound to the hidden boxes.
    ASSERT_NE(w.SrvBinding(1), nullptr);
    ASSERT_TRUE(w.SrvBinding(1)->LoadBind());
    EXPECT_EQ(w.findChild<QLineEdit *>("txtLogReqCmdId")->text(), "198");
    EXPECT_EQ(w.findChild<QLineEdit *>("txtLogReqArg1")->text(), "00003");
    EXPECT_EQ(w.findChild<QLineEdit *>("txtLogResDetail")->text(), "稼動中");
    w.findChild<QLineEdit *>("txtUserReqCmdId")->setText("298");
    w.findChild<QLineEdit *>("txtUserResult")->setText("0");
    ASSERT_TRUE(w.SrvBinding(2)->UpdateBindEx());
    EXPECT_EQ(site.value("SELECT req_cmd FROM t_srv_ctrl WHERE server_id = 2"), "298");
    EXPECT_EQ(site.value("SELECT req_cmd FROM t_srv_ctrl WHERE server_id = 1"), "198");

    ASSERT_TRUE(QTest::qWaitFor([&] { return w.timDayMainte()->isActive() || ended; }, 5000));
    EXPECT_EQ(login.shown, 0);
    EXPECT_EQ(startChk.shown, 1);
    EXPECT_TRUE(w.timSrvChkSend()->isActive());
    EXPECT_TRUE(w.LastRestart(1).isValid());
    EXPECT_EQ(w.LastRestart(1), w.LastRestart(2));
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ended, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return checks > 0; }, 5000)); // supervision ticks
}

TEST_F(MainWindowTest, AdministratorWithCredentialIsAskedToLogIn)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type) VALUES ('0000000002', 'b', 2, 2)");
    Counted login, startChk;
    login.Register("frmLogin");
    startChk.Register("frmStartChk");
    int order = 0, loginAt = 0, checkAt = 0;
    login.onShow = [&] { loginAt = ++order; };
    startChk.onShow = [&] { checkAt = ++order; };
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.timDayMainte()->isActive(); }, 5000));
    EXPECT_EQ(loginAt, 1);
    EXPECT_EQ(checkAt, 2);
}

TEST_F(MainWindowTest, AConsoleWithoutALoginWindowRefusesToStart)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type) VALUES ('0000000002', 'b', 2, 3)");
    ScreenRegistry::Unregister("frmLogin");
    Counted startChk;
    startChk.Register("frmStartChk");
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0 || w.timDayMainte()->isActive(); }, 5000));
    EXPECT_EQ(ended, 1);
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "管理者認証の画面を表示できません。 アプリケーションを終了します。");
    EXPECT_EQ(startChk.shown, 0);
    EXPECT_FALSE(w.timSrvChkSend()->isActive());
    w.close();
    EXPECT_EQ(exits, 0); // ended before the services were started: nothing to stop
}

TEST_F(MainWindowTest, ALoginWindowThatClosesWithoutSuccessEndsStartUp)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type) VALUES ('0000000002', 'b', 2, 2)");
    ScreenRegistry::Register("frmLogin", [](QWidget *parent) -> QWidget * {
        auto *d = new QDialog(parent);
        QTimer::singleShot(0, d, &QDialog::reject);
        return d;
    });
    Counted startChk;
    startChk.Register("frmStartChk");
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0 || w.timDayMainte()->isActive(); }, 5000));
    EXPECT_EQ(ended, 1);
    EXPECT_EQ(startChk.shown, 0);
}

TEST_F(MainWindowTest, DeletedAdministratorsAskForNoLogin)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type, delete_flag) "
              "VALUES ('0000000002', 'b', 2, 2, 1)");
    Counted login, startChk;
    login.Register("frmLogin");
    startChk.Register("frmStartChk");
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.timDayMainte()->isActive() || ended; }, 5000));
    EXPECT_EQ(login.shown, 0);
    EXPECT_EQ(startChk.shown, 1);
}

TEST_F(MainWindowTest, AbandonedLoginEndsStartUp)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    site.exec("INSERT INTO m_user (user_id, user_name, gauthority, gauth_type) VALUES ('0000000002', 'b', 2, 1)");
    Counted login, startChk;
    login.Register("frmLogin");
    startChk.Register("frmStartChk");
    login.onShow = [] { EndProgram(); }; // the administrator gives up
    mdifVantr w(1);
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ended > 0; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(startChk.shown, 0);
    EXPECT_FALSE(w.timSrvChkSend()->isActive());
}

TEST_F(MainWindowTest, DailyMaintenanceStartsOnceInItsMinute)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    Counted startChk, mainte;
    startChk.Register("frmStartChk");
    mainte.Register("frmDayMainte");
    mdifVantr w(1);
    bool supervisionOffDuringRun = false;
    mainte.onShow = [&] { supervisionOffDuringRun = !w.timSrvChkSend()->isActive() && !w.isEnabled(); };
    QDateTime now(QDate(2024, 6, 3), QTime(2, 59, 50));
    w.SetClock([&] { return now; });
    site.exec("UPDATE set_mainte SET day_mainte_time = '0300' WHERE mainte_id = 1");
    w.Load();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.timDayMainte()->isActive(); }, 5000));
    QTest::qWait(30); // many ticks in 02:59
    EXPECT_EQ(mainte.shown, 0);

    now = QDateTime(QDate(2024, 6, 3), QTime(3, 0, 1));
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainte.shown > 0; }, 5000));
    EXPECT_TRUE(supervisionOffDuringRun);
    QTest::qWait(30); // more ticks in 03:00
    EXPECT_EQ(mainte.shown, 1);
    EXPECT_TRUE(w.timDayMainte()->isActive());
    EXPECT_TRUE(w.timSrvChkSend()->isActive());
    EXPECT_TRUE(w.isEnabled());

    // Set to the minute that was already tested: not before tomorrow.
    now = QDateTime(QDate(2024, 6, 3), QTime(3, 1, 0));
    QTest::qWait(20);
    site.exec("UPDATE set_mainte SET day_mainte_time = '0301' WHERE mainte_id = 1");
    QTest::qWait(30);
    EXPECT_EQ(mainte.shown, 1);
    now = QDateTime(QDate(2024, 6, 4), QTime(3, 1, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return mainte.shown == 2; }, 5000));
}
