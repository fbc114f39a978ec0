// The whole loop from the user screen, in both editions: a card registered with the simulated
// reader and a finger enrolled with the simulated scanner, a permit sent to a gatesim gate through
// the real provisioning service, the card and the finger presented at the gate, and the real
// collector bringing both passages into the log list under the user's name.
//
// With ORVEL_USERSCREEN_SHOT=FILE.png (run under an X server) the test also takes a picture of
// the screen at the end: mode 3, a card and two fingers enrolled.

#include "BiometricTestUtil.h"
#include "FastServices.h"

#include "CardTestEnv.h"
#include "logs/ui/LogGridView.h"
#include "logs/ui/frmListMix.h"
#include "masterdata/ui/frmUserMan.h"

#include "OrvelDefs.h"
#include "ShellCtrl_Orvel.h"
#include "SimProcess.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

using namespace fptest;

namespace {

const QString kUser = QStringLiteral("0000000007");
const QString kName = QStringLiteral("山田 花子");

class UserScreenEndToEnd : public ::testing::TestWithParam<int>
{
protected:
    UserScreenEndToEnd() : site(GetParam()) {}

    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        SetEdition(GetParam());
        ASSERT_TRUE(UseQuickCollector(site));
        ASSERT_TRUE(ReadIni());
        UseFastFingerprintTiming();
        ConsoleTiming &t = Timing();
        t.cardInitializeMs = 5;
        t.cardPollMs = 10;
        t.cardReadOkMs = 10;
        SetSoundPlayer([](const QString &, bool) {});
        FpLibrary::Instance().SetLibraryNames(QString(), QString());
        scanner = std::make_unique<testsupport::FpSimProcess>(site.path(QStringLiteral("fpsim.sock")));
        ASSERT_TRUE(scanner->ok());
        reader = std::make_unique<cardtest::CardSimProcess>(site.path(QStringLiteral("cardreader.sock")).toStdString());
        ASSERT_TRUE(reader->ok());
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        screen.reset();
        SetBusyEventPump(nullptr);
        consoletest::StopFastServices();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->inherits("frmFpBase"))
                delete w;
        SetBusyOff();
        SetCurrentScreen(nullptr);
        SetSoundPlayer(nullptr);
        Timing() = ConsoleTiming{};
        MsgBox::TakeShown();
        scanner.reset();
        reader.reset();
        QDir::setCurrent(QDir::tempPath());
    }

    bool Mifare() const { return GetParam() == orvel::EditionMifare; }
    QString Card() const { return Mifare() ? QStringLiteral("305419896") : QStringLiteral("012E4C00A1B2C3D40120220427674EFF"); }
    void Click(const char *name)
    {
        auto *b = screen->findChild<QAbstractButton *>(QLatin1String(name));
        ASSERT_NE(b, nullptr) << name;
        ASSERT_TRUE(b->isEnabled()) << name;
        b->click();
    }
    // Clicks a finger's picture with the mouse, as the operator does.
    void ClickFinger(int n)
    {
        auto *pic = screen->findChild<QLabel *>(QStringLiteral("picFpImg_%1").arg(n));
        ASSERT_NE(pic, nullptr);
        QTest::mouseClick(pic, Qt::LeftButton);
    }
    QString Fingers()
    {
        QString out;
        for (int n = 0; n < 6; ++n)
            out += screen->findChild<QLabel *>(QStringLiteral("picFpImg_%1").arg(n))->property("enrolled").toBool() ? '1' : '0';
        return out;
    }
    QString Permits()
    {
        return site.value(QStringLiteral("SELECT group_concat(gate_id || '=' || sync_flag, ' ') FROM t_gate_permit "
                                         "WHERE user_id = '%1'").arg(kUser));
    }

    orvel::test::TestSite site;
    std::unique_ptr<testsupport::FpSimProcess> scanner;
    std::unique_ptr<cardtest::CardSimProcess> reader;
    std::unique_ptr<frmUserMan> screen;
};

INSTANTIATE_TEST_SUITE_P(Editions, UserScreenEndToEnd, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &i) { return i.param == 1 ? "Felica" : "Mifare"; });

} // namespace

TEST_P(UserScreenEndToEnd, CardAndFingerEnrolledOnTheUserScreenPassTheGateAndAreLoggedUnderTheUser)
{
    testsupport::SimProcess gates({"--gate", "00001=127.0.0.2:0"});
    ASSERT_TRUE(gates.ok());
    const auto &g = gates.gate("00001");
    AddSimGate(site, QStringLiteral("00001"), g.address, g.port);
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, user_bikou, emp_id, guser_id, gauth_type, "
                             "gauthority, delete_flag, regist_dt, refix_dt) VALUES ('%1', '%2', 'Yamada Hanako', '', "
                             "'00000', '%3', 0, 1, 0, '2020/01/01', '2020/01/01')")
                  .arg(kUser, kName, orvel::PlaceholderGuserId(GetParam(), kUser)));

    screen = std::make_unique<frmUserMan>();
    screen->show();
    Click("opbFuncMode_3");
    screen->USER_SetUserId(QStringLiteral("7"));

    // The card, read by the card reading window from the simulated reader.
    ASSERT_TRUE(reader->CtlOk(Mifare() ? "mifare 305419896" : "felica 012E4C00A1B2C3D4 0120220427674EFF"));
    Click("cmdReadIC");
    ASSERT_EQ(site.value(QStringLiteral("SELECT guser_id FROM m_user WHERE user_id = '%1'").arg(kUser)), Card());
    EXPECT_EQ(screen->findChild<QLineEdit *>(QStringLiteral("txtCARD_XXX"))->text(), QStringLiteral("<<< ICカード登録済み >>>"));

    // The right index finger, enrolled through the enrolment window with the simulated scanner.
    ASSERT_TRUE(scanner->controlOk(QStringLiteral("touch u7-right-index")));
    ASSERT_TRUE(scanner->controlOk(QStringLiteral("touch u7-right-index")));
    Click("opbFpFuncMode_1");
    ClickFinger(4);
    EXPECT_FALSE(IsBusy());
    ASSERT_EQ(Fingers(), QStringLiteral("000010"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM l_fptpl WHERE user_id = '%1' AND fp_no = 4 AND edit_flag = 0").arg(kUser)),
              QStringLiteral("1"));

    // Both methods, a permit to the gate, and the send.
    Click("chbAuthType_1");
    Click("chbAuthType_2");
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    EXPECT_EQ(site.value(QStringLiteral("SELECT gauth_type FROM m_user WHERE user_id = '%1'").arg(kUser)), QStringLiteral("3"));
    screen->GATE_SetGateId(QStringLiteral("1"));
    consoletest::UseFastServices(COURIER_PATH);
    ShellCtrl_Orvel::StartCourier();
    Click("cmdSendGUser");
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    EXPECT_EQ(Permits(), QStringLiteral("00001=0"));
    const std::vector<std::string> users = gates.control("users 00001");
    ASSERT_FALSE(users.empty());
    EXPECT_EQ(users[0].rfind(Card().toStdString() + " ", 0), 0u) << users[0];

    // The card and the finger at the gate.
    EXPECT_NE(gates.control("card 00001 " + Card().toStdString()).front().find("type=1 "), std::string::npos);
    EXPECT_NE(gates.control("finger 00001 sim:u7-right-index").front().find("type=1 "), std::string::npos);

    // The real collector brings both into the log, and the log list names the user twice.
    ::setenv("ORVEL_HARVESTER_START_DELAY_MS", "0", 1);
    ::setenv("ORVEL_HARVESTER_FIRST_TICK_MS", "10", 1);
    ShellCtrl_Orvel::StartHarvester();
    {
        frmListMix list;
        auto *autoRead = list.findChild<QCheckBox *>(QStringLiteral("chbAutoRead"));
        if (autoRead->isChecked())
            autoRead->click();
        auto *grid = list.findChild<LogGridView *>(QStringLiteral("msfLogGateOpe"));
        QStringList names;
        ASSERT_TRUE(WaitFor([&] {
            list.Search();
            names.clear();
            for (int r = grid->fixedRows(); r < grid->rows(); ++r)
                names << grid->textMatrix(r, 4);
            return names.size() >= 2;
        }, 30000)) << names.join(u',').toStdString();
        EXPECT_EQ(names, QStringList({kName, kName}));
    }

    // A second finger: the pictures follow and the permit is marked for rewriting.
    ASSERT_TRUE(scanner->controlOk(QStringLiteral("touch u7-right-thumb")));
    ASSERT_TRUE(scanner->controlOk(QStringLiteral("touch u7-right-thumb")));
    ClickFinger(3);
    EXPECT_EQ(Fingers(), QStringLiteral("000110"));
    EXPECT_EQ(Permits(), QStringLiteral("00001=2"));

    const QString shot = qEnvironmentVariable("ORVEL_USERSCREEN_SHOT");
    if (!shot.isEmpty()) {
        screen->resize(screen->sizeHint());
        Click("opbFpFuncMode_0");
        QTest::qWait(300);
        const QString file = shot.endsWith(QLatin1String(".png")) && Mifare() ? shot.chopped(4) + QStringLiteral("-mifare.png") : shot;
        EXPECT_EQ(QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), file}), 0);
    }

    // Deleting one of the two fingers through the deletion window: the pictures follow and the
    // permit is marked again.
    site.exec(QStringLiteral("UPDATE t_gate_permit SET sync_flag = 0"));
    Click("opbFpFuncMode_2");
    SetBusyEventPump([] {
        QApplication::processEvents();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmFpDelete") && w->isVisible())
                if (auto *b = w->findChild<QAbstractButton *>(QStringLiteral("cmdDelete")); b && b->isEnabled())
                    b->click();
    });
    ClickFinger(3);
    SetBusyEventPump(nullptr);
    EXPECT_FALSE(IsBusy());
    EXPECT_EQ(Fingers(), QStringLiteral("000010"));
    EXPECT_EQ(Permits(), QStringLiteral("00001=2"));
}
