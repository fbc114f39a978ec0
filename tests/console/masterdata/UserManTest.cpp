// The user screen and its picker on a real database, driven through object names.
#include "MasterdataTestUtil.h"

#include "frmUserAssist.h"
#include "frmUserMan.h"

#include "OrvelDefs.h"
#include "TestSite.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QRadioButton>

using namespace mdtest;

namespace {

class UserManTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        SetEdition(orvel::EditionFelica);
        site.exec("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', '総務部')");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) VALUES "
                  "('00001', '正面玄関', '127.0.0.2', '10001', 1)");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) VALUES "
                  "('00002', '倉庫', '127.0.0.3', '10001', 0)");
        // 1: card and fingerprint, permit to a gate in use. 2: no method, permit only to a gate
        // not in use. 3: nothing. 9: logically deleted.
        AddUser("0000000001", "山田", "00001", "12345678901234567890123456789012", 3, 0);
        site.exec("INSERT INTO l_fptpl (user_id, fp_no, tpl_id, edit_flag) VALUES ('0000000001', 0, 1, 0)");
        AddUser("0000000002", "佐藤", "00001", Placeholder("0000000002"), 0, 0);
        AddUser("0000000003", "鈴木", "00000", Placeholder("0000000003"), 0, 0);
        AddUser("0000000009", "元社員", "00001", Placeholder("0000000009"), 0, 1);
        site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000001', '00001', 0, 1)");
        site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000001', '00002', 3, 1)");
        site.exec("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag, use_flag) VALUES ('0000000002', '00002', 0, 1)");
        screen = std::make_unique<frmUserMan>();
        screen->show();
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        screen.reset();
        SetBusyEventPump(nullptr);
        SetCurrentScreen(nullptr);
        frmUserAssist::g_bSearchDelUserAdd = false;
        MsgBox::TakeShown();
    }
    static QString Placeholder(const QString &id) { return orvel::PlaceholderGuserId(orvel::EditionFelica, id); }
    void AddUser(const QString &id, const QString &name, const QString &emp, const QString &card, int type, int del)
    {
        site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, user_bikou, emp_id, guser_id, "
                                 "gauth_type, gauthority, delete_flag, regist_dt, refix_dt) VALUES "
                                 "('%1', '%2', 'yomi', '', '%3', '%4', %5, 1, %6, '2020/01/01', '2020/01/01')")
                      .arg(id, name, emp, card)
                      .arg(type)
                      .arg(del));
    }
    QString Snapshot()
    {
        return site.value("SELECT group_concat(user_id || '|' || user_name || '|' || emp_id || '|' || gauth_type || '|' "
                          "|| gauthority || '|' || delete_flag || '|' || refix_dt, ';') FROM m_user") +
               site.value("SELECT group_concat(user_id || gate_id || sync_flag, ';') FROM t_gate_permit");
    }
    QWidget *w() { return screen.get(); }
    QCheckBox *Method(int i) { return W<QCheckBox>(w(), i == 1 ? "chbAuthType_1" : "chbAuthType_2"); }

    orvel::test::TestSite site;
    std::unique_ptr<frmUserMan> screen;
};

TEST_F(UserManTest, LoadingARecordSetsOptionsAndBoxesAndWritesNothing)
{
    const QString before = Snapshot();
    screen->USER_SetUserId("1");
    EXPECT_EQ(Text(w(), "txtId"), "0000000001");
    EXPECT_EQ(Text(w(), "txtName"), "山田");
    EXPECT_TRUE(Method(1)->isChecked());
    EXPECT_TRUE(Method(2)->isChecked());
    EXPECT_TRUE(W<QRadioButton>(w(), "opbGAuthority_0")->isChecked());
    EXPECT_EQ(W<QComboBox>(w(), "cmbEmp")->currentText(), "総務部");
    EXPECT_FALSE(Method(1)->isEnabled()); // detail area off outside mode 3
    Click(w(), "opbFuncMode_3");
    EXPECT_TRUE(Method(1)->isEnabled());
    screen->USER_SetUserId("0000000002");
    EXPECT_FALSE(Method(1)->isChecked());
    screen->USER_SetUserId("0000000001");
    screen->Form_Activate();
    EXPECT_EQ(Snapshot(), before);
    EXPECT_TRUE(ShownTexts().isEmpty());
}

TEST_F(UserManTest, APermitListThatCannotBeReadShowsNoneOfThePreviousUsersGates)
{
    Click(w(), "opbFuncMode_3");
    site.exec("UPDATE t_gate_permit SET sync_flag = 1 WHERE gate_id = '00001'");
    screen->USER_SetUserId("1");
    ASSERT_EQ(ListedRows(w(), "msfUserGateList"), 1);
    ASSERT_TRUE(W(w(), "cmdSendGUser")->isEnabled());

    site.exec("DROP VIEW v_gate_user_list4");
    screen->USER_SetUserId("2");
    EXPECT_EQ(ShownTexts().size(), 1); // the database's own message
    EXPECT_EQ(Text(w(), "txtName"), "佐藤");
    // User 1's gate is neither listed for user 2 nor left to be sent to.
    EXPECT_EQ(ListedRows(w(), "msfUserGateList"), 0);
    EXPECT_FALSE(W(w(), "cmdSendGUser")->isEnabled());
}

TEST_F(UserManTest, AUserThatCannotBeReadLeavesNothingToWriteUnderItsId)
{
    Click(w(), "opbFuncMode_1");
    screen->USER_SetUserId("1");
    ASSERT_TRUE(W(w(), "cmdUpdate")->isEnabled());
    site.exec("ALTER TABLE m_user RENAME TO m_user_gone");
    screen->USER_SetUserId("2");
    EXPECT_EQ(ShownTexts().size(), 1); // the database's own message
    // User 1's fields are still on screen, but nothing can write them as user 2.
    EXPECT_FALSE(W(w(), "cmdUpdate")->isEnabled());
    EXPECT_FALSE(W(w(), "cmdDelete")->isEnabled());
    EXPECT_FALSE(W(w(), "cmdSendGUser")->isEnabled());
}

TEST_F(UserManTest, UserListFollowsTheDepartmentFilter)
{
    auto *list = W<MsfGrid>(w(), "msfUserList");
    auto *filter = W<QComboBox>(w(), "cmbEmp2");
    filter->setCurrentIndex(filter->findText("総務部"));
    emit filter->activated(filter->currentIndex());
    EXPECT_EQ(Column(list, 0), QStringList({"0000000001", "0000000002"})); // deleted user not listed
    Click(w(), "chbAllUserList");
    EXPECT_FALSE(filter->isEnabled());
    EXPECT_EQ(Column(list, 0), QStringList({"0000000001", "0000000002", "0000000003"}));
    ClickRow(list, 3);
    EXPECT_EQ(Text(w(), "txtName"), "鈴木");
    EXPECT_EQ(W<QComboBox>(w(), "cmbEmp")->currentText(), "無所属");
}

TEST_F(UserManTest, RegisterValidatesThenStoresAQuotedNameTheUserPickerFinds)
{
    Click(w(), "opbFuncMode_2");
    EXPECT_FALSE(W(w(), "msfUserList")->isEnabled());
    EXPECT_FALSE(W(w(), "cmbEmp2")->isEnabled());
    EnterId(w(), "123");
    EXPECT_EQ(Text(w(), "txtId"), "0000000123");
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000123"));
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"ユーザ名を入力してください。"});
    W<QLineEdit>(w(), "txtName")->setText("O'Brien");
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"ユーザ名（ローマ字）を入力してください。"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user WHERE user_id = '0000000123'"), "0");

    W<QLineEdit>(w(), "txtNameYomi")->setText("O'Brien");
    auto *emp = W<QComboBox>(w(), "cmbEmp");
    emp->setCurrentIndex(emp->findText("総務部"));
    Click(w(), "cmdRegist");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(site.value("SELECT user_name || '/' || emp_id || '/' || guser_id || '/' || gauth_type || '/' || "
                         "gauthority || '/' || delete_flag FROM m_user WHERE user_id = '0000000123'"),
              "O'Brien/00001/" + Placeholder("0000000123") + "/0/1/0");
    EXPECT_EQ(screen->mode(), ModeDetails);
    EXPECT_TRUE(Method(1)->isEnabled());

    // Found again through the user picker, by a prefix with the quote, and shown.
    Click(w(), "opbFuncMode_0");
    screen->USER_SetUserId("1");
    QStringList found;
    OnPicker("frmUserAssist", [&](QWidget *p) {
        W<QLineEdit>(p, "txtName")->setText("O'Br");
        Click(p, "cmdSearch");
        auto *grid = W<MsfGrid>(p, "msfUserList");
        found = Column(grid, 1);
        SelectBlock(grid, 1, 1);
        Click(p, "cmdSelect");
    });
    Click(w(), "cmdSearch");
    EXPECT_EQ(found, QStringList{"O'Brien"});
    EXPECT_EQ(Text(w(), "txtId"), "0000000123");
    EXPECT_EQ(Text(w(), "txtName"), "O'Brien");
}

TEST_F(UserManTest, UserPickerTakesTheOpenersConditionAndTheDeletedUsersFlag)
{
    QStringList plain, withMethods, withDeleted;
    auto search = [](QWidget *p) {
        Click(p, "cmdSearch");
        return Column(W<MsfGrid>(p, "msfUserList"), 0);
    };
    SetCurrentScreen(w());
    OnPicker("frmUserAssist", [&](QWidget *p) { plain = search(p); });
    frmAssistBase::Open(new frmUserAssist);
    OnPicker("frmUserAssist", [&](QWidget *p) {
        EXPECT_EQ(p->windowTitle(), " 認証方法確定ユーザ検索");
        withMethods = search(p);
    });
    frmAssistBase::Open(new frmUserAssist("gauth_type <> 0", " 認証方法確定ユーザ検索"));
    frmUserAssist::g_bSearchDelUserAdd = true;
    OnPicker("frmUserAssist", [&](QWidget *p) { withDeleted = search(p); });
    frmAssistBase::Open(new frmUserAssist);
    EXPECT_EQ(plain, QStringList({"0000000001", "0000000002", "0000000003"}));
    EXPECT_EQ(withMethods, QStringList({"0000000001"}));
    EXPECT_TRUE(withDeleted.contains("0000000009"));
}

TEST_F(UserManTest, ExistingIdInNewModeIsRefusedAndADeletedIdCanBeReused)
{
    Click(w(), "opbFuncMode_2");
    EnterId(w(), "1");
    EXPECT_EQ(ShownTexts(), QStringList{"このユーザIDは既に登録されています。"});
    EXPECT_EQ(Text(w(), "txtId"), "");
    EXPECT_EQ(Text(w(), "txtName"), "");

    MsgBox::QueueAnswer(QMessageBox::No);
    EnterId(w(), "9");
    EXPECT_EQ(ShownTexts(), QStringList{"以前に使用されたことのあるIDです。使用しますか？"});
    EXPECT_EQ(Text(w(), "txtId"), "");
    EXPECT_EQ(site.value("SELECT delete_flag FROM m_user WHERE user_id = '0000000009'"), "1");

    MsgBox::QueueAnswer(QMessageBox::Yes);
    EnterId(w(), "9");
    MsgBox::TakeShown();
    EXPECT_EQ(site.value("SELECT delete_flag || '/' || user_name || '/' || refix_dt FROM m_user "
                         "WHERE user_id = '0000000009'"),
              "0/元社員/" + QDate::currentDate().toString("yyyy/MM/dd"));
    EXPECT_EQ(screen->mode(), ModeDetails);
    EXPECT_EQ(SubTitleCaption(), "詳細設定を編集");
    EXPECT_EQ(Text(w(), "txtName"), "元社員");
}

TEST_F(UserManTest, DeleteIsRefusedWhilePermitsRemainEvenToGatesNotInUse)
{
    Click(w(), "opbFuncMode_1");
    screen->USER_SetUserId("1");
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"通行許可ゲートがある為、削除できません。"});

    screen->USER_SetUserId("2"); // its only permit is to a gate not in use: hidden in the list
    ASSERT_EQ(ListedRows(w(), "msfUserGateList"), 0);
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"未接続ゲートへの通行許可ゲートがある為、削除できません。"});
    EXPECT_TRUE(W<QCheckBox>(w(), "chbAllGUserList")->isChecked()); // the wider view stays
    EXPECT_EQ(ListedRows(w(), "msfUserGateList"), 1);
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user WHERE user_id = '0000000002'"), "1");

    W<QCheckBox>(w(), "chbAllGUserList")->setChecked(false);
    screen->USER_SetUserId("3");
    MsgBox::QueueAnswer(QMessageBox::No);
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"ユーザを削除します。よろしいですか？"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user WHERE user_id = '0000000003'"), "1");
    EXPECT_FALSE(W<QCheckBox>(w(), "chbAllGUserList")->isChecked()); // back to its earlier state
    MsgBox::QueueAnswer(QMessageBox::Yes);
    Click(w(), "cmdDelete");
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user WHERE user_id = '0000000003'"), "0");
    EXPECT_EQ(Text(w(), "txtId"), "");
}

TEST_F(UserManTest, PermitListFollowsTheIdTypedSoADeleteCannotSlipThrough)
{
    // The list of an earlier user without permits must not stand in for the user typed now.
    Click(w(), "opbFuncMode_1");
    screen->USER_SetUserId("3");
    EnterId(w(), "1");
    EXPECT_EQ(ListedRows(w(), "msfUserGateList"), 1);
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"通行許可ゲートがある為、削除できません。"});
}

TEST_F(UserManTest, UntickingTheLastMethodOfAUserWithPermitsIsRefused)
{
    site.exec("UPDATE m_user SET gauth_type = 1 WHERE user_id = '0000000001'");
    screen->USER_SetUserId("1");
    Click(w(), "opbFuncMode_3");
    const QString before = Snapshot();
    Click(w(), "chbAuthType_1");
    EXPECT_EQ(ShownTexts(), QStringList{"通行を許可されたゲートがあります。認証方法を指定してください。"});
    EXPECT_TRUE(Method(1)->isChecked()); // ticked again
    EXPECT_EQ(Snapshot(), before);

    // A refused change does not leave an unsaved authority on screen.
    site.exec("DELETE FROM l_fptpl");
    Click(w(), "opbGAuthority_1");
    EXPECT_EQ(ShownTexts(), QStringList{"指紋認証を行う為には、指紋の登録が必要です。"});
    EXPECT_TRUE(W<QRadioButton>(w(), "opbGAuthority_0")->isChecked());
    EXPECT_EQ(screen->Shown().gauthority, 1);
    EXPECT_EQ(Snapshot(), before);
}

TEST_F(UserManTest, AnAcceptedChangeIsStoredAndMarksPermitsButNotWithdrawnOnes)
{
    screen->USER_SetUserId("1");
    Click(w(), "opbFuncMode_3");
    Click(w(), "chbAuthType_2"); // untick the card: fingerprint remains
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(site.value("SELECT gauth_type FROM m_user WHERE user_id = '0000000001'"), "1");
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit WHERE user_id = '0000000001' AND gate_id = '00001'"), "2");
    // The permit waiting to be withdrawn stays withdrawn.
    EXPECT_EQ(site.value("SELECT sync_flag FROM t_gate_permit WHERE user_id = '0000000001' AND gate_id = '00002'"), "3");

    Click(w(), "opbGAuthority_1");
    EXPECT_EQ(site.value("SELECT gauthority FROM m_user WHERE user_id = '0000000001'"), "2");

    // Ticking the card for a user whose card ID is only the placeholder is refused.
    screen->USER_SetUserId("3");
    Click(w(), "chbAuthType_2");
    EXPECT_EQ(ShownTexts(), QStringList{"ICカードで認証する為には、ICカードの登録が必要です。"});
    EXPECT_FALSE(Method(2)->isChecked());
    EXPECT_EQ(site.value("SELECT gauth_type FROM m_user WHERE user_id = '0000000003'"), "0");
}

TEST_F(UserManTest, UserOfADepartmentThatNoLongerExistsStillLoads)
{
    AddUser("0000000010", "異動者", "00077", Placeholder("0000000010"), 0, 0);
    screen->USER_SetUserId("10");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(Text(w(), "txtName"), "異動者");
    EXPECT_EQ(W<QComboBox>(w(), "cmbEmp")->currentText(), "無所属");
}

TEST_F(UserManTest, PlaceholderCardFollowsACorrectedId)
{
    Click(w(), "opbFuncMode_2");
    EnterId(w(), "55");
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000055"));
    EnterId(w(), "56");
    EXPECT_EQ(Text(w(), "txtCardID"), Placeholder("0000000056"));
}

TEST_F(UserManTest, ShowInfoWritesTheLabelInItsColour)
{
    screen->ShowInfo("照合されました。", 0x000000FF, false);
    auto *info = W<QLabel>(w(), "lblInfo");
    EXPECT_EQ(info->text(), "照合されました。");
    EXPECT_EQ(info->palette().color(QPalette::WindowText), QColor(255, 0, 0));
}

} // namespace

TEST_F(UserManTest, ClickingTheAuthorityAlreadyHeldWritesNothing)
{
    screen->USER_SetUserId("1");
    Click(w(), "opbFuncMode_3");
    const QString before = Snapshot();
    Click(w(), "opbGAuthority_0"); // already "ユーザ"
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(Snapshot(), before); // refix_dt and every permit's state as they were
    EXPECT_TRUE(W<QRadioButton>(w(), "opbGAuthority_0")->isChecked());
}

TEST_F(UserManTest, KeyboardInTheListShowsTheUserItMovesTo)
{
    Click(w(), "chbAllUserList");
    MsfGrid *list = W<MsfGrid>(w(), "msfUserList");
    ClickRow(list, 1);
    EXPECT_EQ(Text(w(), "txtId"), "0000000001");
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Text(w(), "txtId"), "0000000002");
    EXPECT_EQ(Text(w(), "txtName"), "佐藤");
    EXPECT_EQ(list->cellBackColor(2, 1), QColor(255, 192, 255));
    EXPECT_EQ(list->cellBackColor(1, 1), QColor());
}
