// The user screen's IC card and fingerprint areas on a real database; cards are read through the
// real card reading window and reader library from the simulated reader cardsim, in both editions.
#include "MasterdataTestUtil.h"

#include "frmUserMan.h"

#include "CardTestEnv.h"
#include "ConsoleTiming.h"
#include "OrvelDefs.h"
#include "TestSite.h"

#include <QCheckBox>
#include <QLabel>

using namespace mdtest;

namespace {

const QString kFelicaCard = QStringLiteral("012E4C00112233440120220427674EFF");

class UserCredentialTest : public ::testing::TestWithParam<int>
{
protected:
    UserCredentialTest() : site(GetParam()) {}

    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        SetEdition(Edition());
        m_saved = Timing();
        Timing().cardInitializeMs = 5;
        Timing().cardPollMs = 10;
        Timing().cardReadOkMs = 10;
        reader = std::make_unique<cardtest::CardSimProcess>(site.path(QStringLiteral("cardreader.sock")).toStdString());
        ASSERT_TRUE(reader->ok());
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) VALUES "
                  "('00001', 'A', '127.0.0.2', '10001', 1)");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) VALUES "
                  "('00002', 'B', '127.0.0.3', '10001', 0)");
        // 1: card method with a card and a permit. 2: no method, no card, a permit only to a gate
        // not in use (hidden from the list). 3: a card, no permits. 4: live holder of OtherCard().
        // 9: deleted holder of DeletedCard(). 5: fingerprint user with one finger.
        AddUser("0000000001", Card(1), 2, 0);
        AddUser("0000000002", Placeholder("0000000002"), 0, 0);
        AddUser("0000000003", Card(3), 0, 0);
        AddUser("0000000004", OtherCard(), 2, 0);
        AddUser("0000000009", DeletedCard(), 2, 1);
        AddUser("0000000005", Placeholder("0000000005"), 1, 0);
        site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000005', 2, 1, 0)");
        site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000001', '00001', 0, 1)");
        site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000002', '00002', 0, 1)");
        screen = std::make_unique<frmUserMan>();
        screen->show();
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        screen.reset();
        reader.reset();
        Timing() = m_saved;
        SetBusyOff();
        SetCurrentScreen(nullptr);
        MsgBox::TakeShown();
    }

    int Edition() const { return GetParam(); }
    bool Mifare() const { return Edition() == orvel::EditionMifare; }
    // Card IDs as the edition's reader hands them over.
    QString Card(int n) const
    {
        return Mifare() ? QString::number(1000 + n) : kFelicaCard.left(30) + QStringLiteral("%1").arg(n, 2, 10, QChar('0'));
    }
    QString OtherCard() const { return Card(44); }
    QString DeletedCard() const { return Card(99); }
    // Puts a card on the simulated reader.
    void Present(const QString &card)
    {
        const std::string cmd =
            Mifare() ? "mifare " + card.toStdString()
                     : "felica " + card.left(16).toStdString() + " " + card.mid(16).toStdString();
        ASSERT_TRUE(reader->CtlOk(cmd)) << cmd;
    }
    QString Placeholder(const QString &id) const { return orvel::PlaceholderGuserId(Edition(), id); }
    void AddUser(const QString &id, const QString &card, int type, int del)
    {
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, user_bikou, emp_id, guser_id, "
                                 "gauth_type, gauthority, delete_flag, regist_dt, refix_dt) VALUES "
                                 "('%1', 'N%1', 'yomi', '', '00000', '%2', %3, 1, %4, '2020/01/01', '2020/01/01')")
                      .arg(id, card)
                      .arg(type)
                      .arg(del));
    }
    void Show(const char *id, const char *mode = "opbFuncMode_3")
    {
        Click(w(), mode);
        screen->USER_SetUserId(QLatin1String(id));
    }
    QString Stored(const char *id)
    {
        return site.value(QStringLiteral("SELECT guser_id FROM m_user WHERE user_id = '%1'").arg(Id(id)));
    }
    QString Permits(const char *id)
    {
        return site.value(QStringLiteral("SELECT group_concat(gate_id || '=' || sync_flag, ' ') FROM "
                                         "(SELECT * FROM t_gate_permit WHERE user_id = '%1' ORDER BY gate_id) AS p")
                              .arg(Id(id)));
    }
    static QString Id(const char *id) { return orvel::PadId(QLatin1String(id), orvel::kUserIdWidth); }
    bool On(const char *name) { return W<QWidget>(w(), name)->isEnabled(); }
    QString Buttons() { return QStringLiteral("%1%2%3").arg(On("cmdReadIC")).arg(On("cmdVerifyIC")).arg(On("cmdDeleteIC")); }
    QWidget *w() { return screen.get(); }

    orvel::test::TestSite site;
    std::unique_ptr<cardtest::CardSimProcess> reader;
    std::unique_ptr<frmUserMan> screen;
    ConsoleTiming m_saved;
};

INSTANTIATE_TEST_SUITE_P(Editions, UserCredentialTest, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<int> &i) { return i.param == 1 ? "Felica" : "Mifare"; });

} // namespace

TEST_P(UserCredentialTest, CardButtonsAndStatusFollowTheModePermitsAndCardMethod)
{
    // read, verify, remove
    Show("1", "opbFuncMode_0");
    EXPECT_EQ(Buttons(), "000");
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "<<< ICカード登録済み >>>");
    Click(w(), "opbFuncMode_3");
    EXPECT_EQ(Buttons(), "010") << "a user with permits keeps the card";
    screen->USER_SetUserId("3");
    EXPECT_EQ(Buttons(), "111");
    screen->USER_SetUserId("2"); // only a hidden permit to a gate not in use
    EXPECT_EQ(Buttons(), "100");
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "");
    screen->USER_SetUserId("4"); // card method ticked
    EXPECT_EQ(Buttons(), "110");
    Click(w(), "opbFuncMode_1");
    EXPECT_EQ(Buttons(), "000");
    Show("8"); // no such user
    EXPECT_EQ(Buttons(), "000");

    // A user stored without any card ID is shown with the placeholder the gates know it by.
    AddUser("0000000006", QString(), 0, 0);
    screen->USER_SetUserId("6");
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000006"));
    EXPECT_EQ(Buttons(), "100");
}

TEST_P(UserCredentialTest, ACardOfAnotherLiveUserIsRefusedWithItsOwnerAndNothingStored)
{
    Show("2");
    const QString before = Stored("2") + Permits("2");
    Present(OtherCard());
    Click(w(), "cmdReadIC");
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "既に利用済みです。UID=0000000004");
    EXPECT_EQ(Stored("2") + Permits("2"), before);
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000002"));
    EXPECT_TRUE(ShownTexts().isEmpty());
}

TEST_P(UserCredentialTest, ADeletedUsersCardIsRegisteredAndEveryPermitMarkedForUpdate)
{
    Show("2");
    Present(DeletedCard());
    Click(w(), "cmdReadIC");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(Stored("2"), DeletedCard());
    EXPECT_EQ(Text(w(), "txtCardID"), DeletedCard());
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "<<< ICカード登録済み >>>");
    EXPECT_EQ(Permits("2"), "00002=2") << "the permit to the gate not in use is marked too";
    EXPECT_EQ(Buttons(), "111");

    // The card can now be verified: its own card passes, another fails.
    Present(DeletedCard());
    Click(w(), "cmdVerifyIC");
    EXPECT_EQ(ShownTexts(), QStringList{"照合されました。"});
    Present(OtherCard());
    Click(w(), "cmdVerifyIC");
    EXPECT_EQ(ShownTexts(), QStringList{"照合に失敗しました。"});
    EXPECT_EQ(Stored("2"), DeletedCard()) << "verification writes nothing";
}

TEST_P(UserCredentialTest, ARefusedSaveKeepsTheStoredCardOnScreenAndMarksNothing)
{
    // A fingerprint method without a finished template fails validation: the card is not stored.
    site.exec("UPDATE m_user SET gauth_type = 1 WHERE user_id = '0000000002'");
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000002', 0, 7, 1)");
    Show("2");
    Present(Card(2));
    Click(w(), "cmdReadIC");
    EXPECT_EQ(ShownTexts(), QStringList{"指紋認証を行う為には、指紋の登録が必要です。"});
    EXPECT_EQ(Stored("2"), Placeholder("0000000002"));
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000002"));
    EXPECT_EQ(Permits("2"), "00002=0");
}

TEST_P(UserCredentialTest, RemovalGivesTheEditionsPlaceholderAndIsRefusedWhileTheCardMethodIsTicked)
{
    Show("3");
    Click(w(), "cmdDeleteIC");
    EXPECT_TRUE(ShownTexts().isEmpty());
    const QString placeholder = (Mifare() ? QString(9, u'9') : QString(22, u'0')) + QStringLiteral("0000000003");
    EXPECT_EQ(Stored("3"), placeholder);
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "");
    EXPECT_EQ(Buttons(), "100");

    // A card user: the box must be unticked first, and the button says so by being off.
    site.exec(QStringLiteral("UPDATE m_user SET guser_id = '%1', gauth_type = 2 WHERE user_id = '0000000003'").arg(Card(3)));
    screen->USER_SetUserId("3");
    EXPECT_EQ(Buttons(), "110");
    Click(w(), "chbAuthType_2"); // unticked by the operator: written at once
    EXPECT_EQ(Buttons(), "111");
    W<QCheckBox>(w(), "chbAuthType_2")->setChecked(true); // ticked again but not yet stored
    Click(w(), "cmdDeleteIC");
    EXPECT_EQ(ShownTexts(), QStringList{"カード認証が選択されている為、削除出来ません。\n先にカード認証のチェックを外して下さい。"});
    EXPECT_EQ(Stored("3"), Card(3));
}

TEST_P(UserCredentialTest, MifareCardStartingWithNineNinesCountsAsNoCard)
{
    if (!Mifare())
        GTEST_SKIP() << "the nine-nines prefix is the Mifare placeholder";
    site.exec("UPDATE m_user SET guser_id = '9999999995555', gauth_type = 0 WHERE user_id = '0000000003'");
    Show("3");
    EXPECT_EQ(Text(w(), "txtCARD_XXX"), "");
    EXPECT_EQ(Buttons(), "100");
    Click(w(), "chbAuthType_2");
    EXPECT_EQ(ShownTexts(), QStringList{"ICカードで認証する為には、ICカードの登録が必要です。"});
    EXPECT_FALSE(W<QCheckBox>(w(), "chbAuthType_2")->isChecked());
}

TEST_P(UserCredentialTest, FingerPicturesShowFinishedTemplatesAndTheLastFingerOfAFingerprintUserStays)
{
    site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000005', 4, 2, 1)");
    Show("5");
    auto enrolled = [&] {
        QString out;
        for (int n = 0; n < 6; ++n)
            out += W<QLabel>(w(), QStringLiteral("picFpImg_%1").arg(n).toLatin1().constData())->property("enrolled").toBool() ? '1' : '0';
        return out;
    };
    EXPECT_EQ(enrolled(), "001000") << "a template still being written is not shown";
    EXPECT_FALSE(W<QLabel>(w(), "picFpImg_2")->pixmap().isNull()) << "FpImage.bmp on the enrolled finger";
    EXPECT_TRUE(W<QLabel>(w(), "picFpImg_0")->pixmap().isNull());

    Click(w(), "opbFpFuncMode_2");
    EXPECT_EQ(W<QLabel>(w(), "lblInfo")->text(), "削除したい指をクリックしてください。");
    Click(w(), "cmdFpImg_2");
    EXPECT_EQ(ShownTexts(), QStringList{"指紋の登録数がゼロになります。先に認証方法を変更してください。"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM l_fptpl WHERE user_id = '0000000005' AND edit_flag = 0"), "1");
    // A finger without a template opens nothing in delete or verify mode.
    Click(w(), "cmdFpImg_4");
    Click(w(), "opbFpFuncMode_0");
    EXPECT_EQ(W<QLabel>(w(), "lblInfo")->text(), "照合したい指をクリックしてください。");
    Click(w(), "cmdFpImg_4");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_FALSE(IsBusy());
    Click(w(), "opbFpFuncMode_1");
    EXPECT_EQ(W<QLabel>(w(), "lblInfo")->text(), "登録したい指をクリックしてください。");

    // The unfinished row does not count as an enrolled finger for the method either.
    site.exec("UPDATE m_user SET gauth_type = 0 WHERE user_id = '0000000005'");
    site.exec("DELETE FROM l_fptpl WHERE edit_flag = 0");
    screen->USER_SetUserId("5");
    Click(w(), "chbAuthType_1");
    EXPECT_EQ(ShownTexts(), QStringList{"指紋認証を行う為には、指紋の登録が必要です。"});
    EXPECT_EQ(site.value("SELECT gauth_type FROM m_user WHERE user_id = '0000000005'"), "0");
}
