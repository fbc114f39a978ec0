// The administrator login: who may open the console, and frmLogin over the real card reading and
// fingerprint windows, the simulated reader and scanner, the real database and template file.

#include "BiometricTestUtil.h"
#include "CardTestEnv.h"

#include "AdminLogin.h"
#include "ScreenRegistry.h"
#include "SrvSupervision.h"
#include "biometric/ui/frmFpLogin.h"
#include "frmLogin.h"
#include "mdifVantr.h"

#include "OrvelDefs.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace fptest;

namespace {

const QString kAdminCard = QStringLiteral("012E4C00112233440120220427674EFF");
const QString kUserCard = QStringLiteral("0102030405060708A0B0C0D0E0F01020");
const QString kSuccess = QStringLiteral("管理者認証に成功しました。");
const QString kFailure = QStringLiteral("管理者認証に失敗しました。");

void AddPerson(orvel::test::TestSite &site, const QString &userId, int gauthority, int gauthType, const QString &guserId,
               int deleteFlag = 0)
{
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, guser_id, gauth_type, "
                             "gauthority, delete_flag) VALUES ('%1', 'U%1', 'u', '00000', %2, %3, %4, %5)")
                  .arg(userId, orvel::SqlText(guserId))
                  .arg(gauthType)
                  .arg(gauthority)
                  .arg(deleteFlag));
}

// ---- who may log in: the rules over the real database --------------------------------------

TEST(AdminLogin, OnlyALiveAdministratorsCardLogsIn)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    AddPerson(site, "0000000001", 2, 2, "AAAA000000000001");
    AddPerson(site, "0000000002", 1, 2, "AAAA000000000002");    // no administrator
    AddPerson(site, "0000000003", 2, 2, "AAAA000000000003", 1); // a deleted administrator
    // One card, two rows: a deleted administrator and a live user.
    AddPerson(site, "0000000004", 2, 2, "AAAA000000000004", 1);
    AddPerson(site, "0000000005", 1, 2, "AAAA000000000004");
    // One card, two rows: a deleted user and a live administrator.
    AddPerson(site, "0000000006", 1, 2, "AAAA000000000006", 1);
    AddPerson(site, "0000000007", 2, 3, "AAAA000000000006");

    EXPECT_TRUE(AdminLogin::IsAdministratorCard("AAAA000000000001", 1));
    EXPECT_FALSE(AdminLogin::IsAdministratorCard("AAAA000000000002", 1));
    EXPECT_FALSE(AdminLogin::IsAdministratorCard("AAAA000000000003", 1));
    EXPECT_FALSE(AdminLogin::IsAdministratorCard("AAAA000000000004", 1));
    EXPECT_TRUE(AdminLogin::IsAdministratorCard("AAAA000000000006", 1));
    EXPECT_FALSE(AdminLogin::IsAdministratorCard("AAAA00000000000", 1)); // no partial match
    EXPECT_FALSE(AdminLogin::IsAdministratorCard(QString(), 1));
}

TEST(AdminLogin, ACardIdIsAValueNeverSql)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    AddPerson(site, "0000000001", 1, 2, "AAAA000000000001");
    AddPerson(site, "0000000002", 2, 2, "AB'CD");
    // Text that would admit anyone if it became part of the statement.
    for (const char *id : {"' OR '1'='1", "x' OR gauthority = 2 OR '", "AAAA000000000001' OR 'a'='a", "'", "''"}) {
        SCOPED_TRACE(id);
        bool admin = true;
        EXPECT_NO_THROW(admin = AdminLogin::IsAdministratorCard(QString::fromUtf8(id), 1));
        EXPECT_FALSE(admin);
    }
    EXPECT_TRUE(AdminLogin::IsAdministratorCard("AB'CD", 1)); // a quote inside a stored ID still matches
}

TEST(AdminLogin, TheNoCardIdOfAnAdministratorWithoutACardNeverLogsIn)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    // Fingerprint administrators stored with the placeholder of each edition.
    const QString felica = orvel::PlaceholderGuserId(1, "0000000001");
    const QString mifare = orvel::PlaceholderGuserId(2, "0000000002");
    AddPerson(site, "0000000001", 2, 1, felica);
    AddPerson(site, "0000000002", 2, 1, mifare);
    EXPECT_FALSE(AdminLogin::IsAdministratorCard(felica, 1));
    EXPECT_FALSE(AdminLogin::IsAdministratorCard(mifare, 2));
}

TEST(AdminLogin, TheLoginIsRequiredWhileALiveAdministratorHasACredential)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    EXPECT_FALSE(AdminLogin::LoginRequired());
    AddPerson(site, "0000000001", 2, 0, "AAAA000000000001"); // no credential
    AddPerson(site, "0000000002", 1, 3, "AAAA000000000002"); // no administrator
    AddPerson(site, "0000000003", 2, 2, "AAAA000000000003", 1);
    // A site whose administrators were all deleted would otherwise ask for a login nobody can give.
    EXPECT_FALSE(AdminLogin::LoginRequired());
    site.exec("UPDATE m_user SET delete_flag = 0 WHERE user_id = '0000000003'");
    EXPECT_TRUE(AdminLogin::LoginRequired());
}

TEST(AdminLogin, ADatabaseThatCannotBeReachedNeverSkipsTheLogin)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    AddPerson(site, "0000000001", 2, 2, "AAAA000000000001");
    ASSERT_TRUE(AdminLogin::LoginRequired());
    // The connection is gone and cannot be made again: "no administrator" would open the console.
    rdo_cntl::setDBName(QStringLiteral("no_such_dsn"));
    rdo_cntl().Term();
    EXPECT_THROW(AdminLogin::LoginRequired(), RdoError);
    EXPECT_FALSE(AdminLogin::IsAdministratorCard("AAAA000000000001", 1));
}

// ---- the window ---------------------------------------------------------------------------

struct StubSupervision : SrvSupervision
{
    void SendSrvCheck() override {}
    void SendSrvExit() override {}
};

class LoginTest : public FpTest
{
protected:
    void SetUp() override
    {
        FpTest::SetUp();
        if (HasFatalFailure())
            return;
        // The simulated card reader, on a socket of this site.
        QFile ini(site.path(QStringLiteral("Orvel.ini")));
        ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
        QByteArray text = ini.readAll();
        ini.close();
        text.replace("READER_BACKEND=AUTO", "READER_BACKEND=SIM");
        ASSERT_TRUE(text.contains("READER_BACKEND=SIM"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(text);
        ini.close();
        card = std::make_unique<cardtest::CardSimProcess>(site.path(QStringLiteral("cardreader.sock")).toStdString());
        ASSERT_TRUE(card->ok());
        ConsoleTiming &t = Timing();
        t.cardInitializeMs = 1;
        t.cardPollMs = 10;
        t.cardReadOkMs = 10;
        t.loginMs = 150;
        ResetProgramEnding();
        SetEndProgramHandler([this] { ++ended; });
    }
    void TearDown() override
    {
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("frmLogin"))
                delete w;
        SetEndProgramHandler({});
        ResetProgramEnding();
        card.reset();
        FpTest::TearDown();
    }

    void PresentFelica(const QString &id)
    {
        ASSERT_TRUE(card->CtlOk(("felica " + id.left(16) + " " + id.mid(16)).toStdString()));
    }
    // An administrator whose right index is template 1 of the template file.
    void AddFingerAdmin(int deleteFlag)
    {
        AddPerson(site, "0000000010", 2, 1, orvel::PlaceholderGuserId(1, "0000000010"), deleteFlag);
        AddRow("0000000010", 4, 1);
        WriteTemplates(TouchTemplate("admin-right-index"));
    }
    // Runs step every 20 ms (from inside whatever modal loop runs) until it returns true. A
    // window still open after 20 s is closed, so that a fault fails the test instead of hanging.
    void Drive(std::function<bool()> step)
    {
        auto *t = new QTimer(&screen);
        t->setInterval(20);
        QObject::connect(t, &QTimer::timeout, t, [t, step] {
            t->stop();
            if (!step())
                t->start();
            else
                t->deleteLater();
        });
        t->start();
        QTimer::singleShot(20000, &screen, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible() && !w->inherits("frmLogin"))
                    d->reject();
        });
    }
    QColor InfoColour(QWidget *w)
    {
        return w->findChild<QLabel *>(QStringLiteral("lblInfo"))->palette().color(QPalette::WindowText);
    }
    bool ButtonsEnabled(QWidget *w)
    {
        return Enabled(w, "cmdFpLogin") && Enabled(w, "cmdICLogin") && Enabled(w, "cmdExit");
    }

    std::unique_ptr<cardtest::CardSimProcess> card;
    int ended = 0;
};

TEST_F(LoginTest, ACardOfNoLiveAdministratorFailsAndMayBeTriedAgain)
{
    AddPerson(site, "0000000001", 1, 2, kUserCard);
    AddPerson(site, "0000000002", 2, 2, kAdminCard, 1); // deleted
    frmLogin w;
    w.show();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("管理者認証"));
    EXPECT_TRUE(ButtonsEnabled(&w));
    EXPECT_EQ(w.findChild<QTimer *>("timLogin")->interval(), 150);

    for (const QString &id : {kUserCard, kAdminCard}) {
        SCOPED_TRACE(id.toStdString());
        PresentFelica(id);
        const int beeps = w.BeepCount();
        Click(&w, "cmdICLogin"); // returns once the card window has read the card and gone
        EXPECT_EQ(Info(&w), kFailure);
        EXPECT_EQ(InfoColour(&w), QColor(255, 0, 0));
        EXPECT_EQ(w.BeepCount(), beeps + 1);
        EXPECT_TRUE(ButtonsEnabled(&w));
        EXPECT_FALSE(w.findChild<QTimer *>("timLogin")->isActive());
        EXPECT_TRUE(w.isVisible());
        EXPECT_FALSE(IsBusy());
    }
    EXPECT_EQ(ended, 0);
}

TEST_F(LoginTest, StoppingTheCardWindowLeavesTheLoginWaiting)
{
    frmLogin w;
    w.show();
    ASSERT_TRUE(card->CtlOk("remove"));
    Drive([] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("frmCardAssist") && top->isVisible()) {
                top->findChild<QPushButton *>(QStringLiteral("cmdStopExit"))->click();
                return true;
            }
        return false;
    });
    Click(&w, "cmdICLogin");
    EXPECT_TRUE(Info(&w).isEmpty());
    EXPECT_TRUE(ButtonsEnabled(&w));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(LoginTest, OverTheMainWindowTheFingerprintWindowCanBeStoppedAndClosed)
{
    // At start the login sits over the main window, which is disabled while a window of the
    // login is open. The fingerprint window must not be disabled with it.
    Timing().fpWaitValue = 20; // a scanner with no finger on it
    QWidget main;
    main.show();
    SetMainWindow(&main);
    frmLogin w(&main);
    w.setWindowFlag(Qt::Dialog);
    w.show();
    bool stopEnabled = false;
    Drive([&stopEnabled] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("frmFpLogin") && top->isVisible()) {
                auto *stop = top->findChild<QPushButton *>(QStringLiteral("cmdStopExit"));
                stopEnabled = stop->isEnabled() && top->isEnabled();
                top->close();
                return true;
            }
        return false;
    });
    Click(&w, "cmdFpLogin");
    SetMainWindow(nullptr);
    EXPECT_TRUE(stopEnabled);
    EXPECT_EQ(Info(&w), kFailure);
    EXPECT_TRUE(ButtonsEnabled(&w));
}

TEST_F(LoginTest, ClosingTheFingerprintWindowReportsFailure)
{
    Timing().fpWaitValue = 20; // a scanner with no finger on it
    frmLogin w;
    w.show();
    Drive([] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("frmFpLogin") && top->isVisible()) {
                top->close(); // its title bar
                return true;
            }
        return false;
    });
    Click(&w, "cmdFpLogin");
    EXPECT_EQ(Info(&w), kFailure);
    EXPECT_EQ(w.BeepCount(), 1);
    EXPECT_TRUE(ButtonsEnabled(&w));
    EXPECT_FALSE(IsBusy());
}

TEST_F(LoginTest, ADeletedAdministratorsFingerDoesNotLogIn)
{
    AddFingerAdmin(1);
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch admin-right-index")));
    frmLogin w;
    w.show();
    // The fingerprint window matches nobody, stops, and is closed by the operator.
    Drive([] {
        for (QWidget *top : QApplication::topLevelWidgets())
            if (auto *fp = qobject_cast<frmFpLogin *>(top); fp && fp->isVisible() && fp->session().IsStopped() &&
                                                            !fp->session().IsCapturing()) {
                fp->close();
                return true;
            }
        return false;
    });
    Click(&w, "cmdFpLogin");
    EXPECT_EQ(Info(&w), kFailure);
    EXPECT_TRUE(ButtonsEnabled(&w));
    EXPECT_TRUE(w.isVisible());
}

TEST_F(LoginTest, ALiveAdministratorsFingerLogsIn)
{
    AddFingerAdmin(0);
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch admin-right-index")));
    QPointer<frmLogin> w = new frmLogin;
    w->show();
    Click(w, "cmdFpLogin"); // the window identifies the finger and closes by itself
    ASSERT_TRUE(w);
    EXPECT_EQ(Info(w), kSuccess);
    EXPECT_EQ(InfoColour(w), QColor(0, 0, 255));
    EXPECT_FALSE(Enabled(w, "cmdFpLogin") || Enabled(w, "cmdICLogin") || Enabled(w, "cmdExit"));
    EXPECT_TRUE(w->findChild<QTimer *>("timLogin")->isActive());
    EXPECT_TRUE(WaitFor([&] { return !w->isVisible(); }, 5000));
    EXPECT_TRUE(w->IsCompleted());
    EXPECT_EQ(w->result(), QDialog::Accepted);
    delete w;
}

TEST_F(LoginTest, NothingButSuccessOrTheConfirmedExitClosesTheWindow)
{
    frmLogin w;
    w.show();
    w.close(); // the title bar
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());

    // "終了" asks; Cancel goes back to the window.
    MsgBox::QueueAnswer(QMessageBox::Cancel);
    Click(&w, "cmdExit");
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("終了します。よろしいですか？"));
    EXPECT_EQ(shown[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(ended, 0);

    // OK ends the program.
    MsgBox::QueueAnswer(QMessageBox::Ok);
    Click(&w, "cmdExit");
    EXPECT_EQ(MsgBox::TakeShown().size(), 1);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(w.IsCompleted());
}

// The start-up as the console runs it: the real login window, an administrator's card on the
// simulated reader; the start-up check waits until timLogin has run out.
TEST_F(LoginTest, StartUpGoesOnOnlyAfterAnAdministratorsCard)
{
    AddPerson(site, "0000000001", 1, 2, kUserCard);
    AddPerson(site, "0000000002", 2, 2, kAdminCard);
    ScreenRegistry::Factory realStartChk = ScreenRegistry::Find("frmStartChk");
    int startChk = 0;
    ScreenRegistry::Register("frmStartChk", [&](QWidget *parent) -> QWidget * {
        ++startChk;
        auto *d = new QDialog(parent);
        QTimer::singleShot(0, d, &QDialog::accept);
        return d;
    });
    SetSrvSupervisionFactory([](mdifVantr &) { return std::make_unique<StubSupervision>(); });
    Timing().startMs = 1;

    QStringList seen; // what the login showed after each card, and whether start-up had gone on
    int step = 0;
    Drive([&] {
        frmLogin *login = nullptr;
        for (QWidget *top : QApplication::topLevelWidgets())
            if (top->inherits("frmLogin") && top->isVisible())
                login = static_cast<frmLogin *>(top);
        if (!login || !login->findChild<QPushButton *>("cmdICLogin")->isEnabled())
            return false;
        PresentFelica(step == 0 ? kUserCard : kAdminCard);
        login->findChild<QPushButton *>("cmdICLogin")->click();
        seen << Info(login) + QStringLiteral(" startChk=%1 timLogin=%2")
                                  .arg(startChk)
                                  .arg(login->findChild<QTimer *>("timLogin")->isActive());
        return ++step == 2;
    });
    {
        mdifVantr w(1);
        w.Load();
        EXPECT_TRUE(WaitFor([&] { return w.timDayMainte()->isActive() || ended > 0; }));
        EXPECT_EQ(ended, 0);
        EXPECT_EQ(startChk, 1);
        w.timSrvChkSend()->stop();
        w.timDayMainte()->stop();
        w.hide();
    }
    EXPECT_EQ(seen, (QStringList{kFailure + " startChk=0 timLogin=0", kSuccess + " startChk=0 timLogin=1"}));
    SetSrvSupervisionFactory({});
    ScreenRegistry::Register("frmStartChk", realStartChk);
}

} // namespace
