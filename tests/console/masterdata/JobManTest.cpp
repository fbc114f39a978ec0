// The department screen and its pickers on a real database, driven through object names.
#include "MasterdataTestUtil.h"

#include "frmJobMan.h"

#include "TestSite.h"

#include <QLabel>
#include <QLineEdit>

using namespace mdtest;

namespace {

class JobManTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00001', '総務部', '本社')");
        site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00002', '開発部', '')");
        site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00003', '旧部署', '')");
        auto user = [&](const char *id, const char *name, const char *emp, int deleted) {
            site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, delete_flag) "
                                     "VALUES ('%1', '%2', 'yomi', '%3', %4)")
                          .arg(id, name, emp)
                          .arg(deleted));
        };
        user("0000000001", "山田", "00001", 0);
        user("0000000002", "佐藤", "00001", 0);
        user("0000000003", "鈴木", "00001", 0);
        user("0000000004", "高橋", "00001", 0);
        user("0000000005", "伊藤", "00002", 0);
        user("0000000006", "渡辺", "00000", 0);
        user("0000000007", "退職者", "00003", 1);
        screen = std::make_unique<frmJobMan>();
        screen->show();
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        screen.reset();
        SetBusyEventPump(nullptr);
        SetCurrentScreen(nullptr);
        MsgBox::TakeShown();
    }
    QWidget *w() { return screen.get(); }
    MsfGrid *members() { return W<MsfGrid>(w(), "msfEmpUserList"); }
    void Show(const char *empId) { screen->EMP_SetEmpId(QString::fromLatin1(empId)); }
    QString EmpOf(const char *userId)
    {
        return site.value(QStringLiteral("SELECT emp_id FROM m_user WHERE user_id = '%1'").arg(userId));
    }

    orvel::test::TestSite site;
    std::unique_ptr<frmJobMan> screen;
};

TEST_F(JobManTest, OpensInInquiryOnTheFirstDepartmentWithItsLiveMembers)
{
    EXPECT_EQ(screen->mode(), ModeInquiry);
    EXPECT_EQ(SubTitleCaption(), "情報照会");
    EXPECT_EQ(Text(w(), "txtId"), "00000");
    EXPECT_EQ(Column(W<MsfGrid>(w(), "msfEmpList"), 0), QStringList({"00000", "00001", "00002", "00003"}));
    ClickRow(W<MsfGrid>(w(), "msfEmpList"), 4);
    EXPECT_EQ(Text(w(), "txtId"), "00003");
    EXPECT_EQ(Text(w(), "txtName"), "旧部署");
    EXPECT_EQ(members()->rows(), 1); // its only user is logically deleted
    EXPECT_EQ(W<MsfGrid>(w(), "msfEmpList")->cellBackColor(4, 1), QColor(255, 192, 255));
    EXPECT_TRUE(W<QLineEdit>(w(), "txtName")->isReadOnly());
    EXPECT_FALSE(W(w(), "cmdDelete")->isEnabled());
}

TEST_F(JobManTest, DeleteRefusesDepartment00000AndDepartmentsWithLiveMembers)
{
    Click(w(), "opbFuncMode_1");
    EXPECT_EQ(SubTitleCaption(), "情報編集");
    site.exec("UPDATE m_user SET emp_id = '00001' WHERE emp_id = '00000'"); // 00000 now has no members
    Show("00000");
    ASSERT_EQ(members()->rows(), 1);
    ASSERT_TRUE(W(w(), "cmdDelete")->isEnabled());
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"部署ID=00000は削除できません。"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00000'"), "1");

    Show("00001");
    Click(w(), "cmdDelete");
    EXPECT_EQ(ShownTexts(), QStringList{"所属ユーザがいる為、削除できません。"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00001'"), "1");

    Show("00003"); // only a logically deleted user
    Click(w(), "cmdDelete");
    EXPECT_TRUE(ShownTexts().isEmpty()); // no question either
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00003'"), "0");
    EXPECT_EQ(Text(w(), "txtId"), "");
    EXPECT_FALSE(Column(W<MsfGrid>(w(), "msfEmpList"), 0).contains("00003"));
}

TEST_F(JobManTest, NewDepartmentPadsItsIdRefusesExistingIdsAndOpensDetails)
{
    Click(w(), "opbFuncMode_2");
    EXPECT_EQ(SubTitleCaption(), "新規登録");
    EXPECT_EQ(Text(w(), "txtName"), "");
    EXPECT_FALSE(W<QLineEdit>(w(), "txtId")->isReadOnly());
    EXPECT_FALSE(W(w(), "msfEmpList")->isEnabled());

    EnterId(w(), "1");
    EXPECT_EQ(ShownTexts(), QStringList{"この部署IDは既に登録されています。"});
    EXPECT_EQ(Text(w(), "txtId"), "");
    EXPECT_EQ(Text(w(), "txtName"), "");
    EXPECT_EQ(Text(w(), "txtBikou"), "");
    EXPECT_FALSE(W(w(), "cmdRegist")->isEnabled());

    EnterId(w(), "7");
    EXPECT_EQ(Text(w(), "txtId"), "00007");
    EXPECT_TRUE(W(w(), "cmdRegist")->isEnabled());
    Click(w(), "cmdRegist");
    EXPECT_EQ(ShownTexts(), QStringList{"部署名を入力してください。"});
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00007'"), "0");

    W<QLineEdit>(w(), "txtName")->setText("O'Brien課");
    W<QLineEdit>(w(), "txtBikou")->setText("it's new");
    Click(w(), "cmdRegist");
    EXPECT_TRUE(ShownTexts().isEmpty());
    EXPECT_EQ(site.value("SELECT emp_name FROM m_emp WHERE emp_id = '00007'"), "O'Brien課");
    EXPECT_EQ(site.value("SELECT emp_bikou FROM m_emp WHERE emp_id = '00007'"), "it's new");
    EXPECT_EQ(site.value("SELECT regist_dt FROM m_emp WHERE emp_id = '00007'"),
              QDate::currentDate().toString("yyyy/MM/dd"));
    EXPECT_EQ(screen->mode(), ModeDetails);
    EXPECT_EQ(SubTitleCaption(), "詳細設定を編集");
    EXPECT_TRUE(W(w(), "cmdAddEmpUser")->isEnabled());
    EXPECT_TRUE(Column(W<MsfGrid>(w(), "msfEmpList"), 1).contains("O'Brien課"));
}

TEST_F(JobManTest, KeysOtherThanDigitsAreRefusedInTheIdField)
{
    Click(w(), "opbFuncMode_2");
    auto *id = W<QLineEdit>(w(), "txtId");
    QTest::keyClicks(id, "1a'.2");
    EXPECT_EQ(id->text(), "12");
}

TEST_F(JobManTest, UpwardAndDownwardSelectionsRemoveTheSameMembers)
{
    Show("00001");
    Click(w(), "opbFuncMode_3");
    ASSERT_EQ(Column(members(), 0), QStringList({"0000000001", "0000000002", "0000000003", "0000000004"}));

    SelectBlock(members(), 2, 3); // downward: rows of users 2 and 3
    Click(w(), "cmdDeleteEmpUser");
    EXPECT_EQ(Column(members(), 0), QStringList({"0000000001", "0000000004"}));
    EXPECT_EQ(EmpOf("0000000002"), "00000");
    EXPECT_EQ(EmpOf("0000000003"), "00000");

    site.exec("UPDATE m_user SET emp_id = '00001' WHERE user_id IN ('0000000002', '0000000003')");
    screen->ShowEmpUserList();
    SelectBlock(members(), 3, 2); // upward: current row below the selection end
    Click(w(), "cmdDeleteEmpUser");
    EXPECT_EQ(Column(members(), 0), QStringList({"0000000001", "0000000004"}));
    EXPECT_TRUE(ShownTexts().isEmpty()); // no question

    // Without a current member nothing happens.
    members()->setCurrentCell(-1, -1);
    Click(w(), "cmdDeleteEmpUser");
    EXPECT_EQ(members()->rows(), 3);
}

TEST_F(JobManTest, AddingMembersAsksOnlyForUsersOfAnotherDepartment)
{
    Show("00002");
    Click(w(), "opbFuncMode_3");
    QStringList offered;
    MsgBox::QueueAnswer(QMessageBox::Cancel); // keep 山田 where he is
    OnPicker("frmUserAssist_Job", [&](QWidget *p) {
        auto *grid = W<MsfGrid>(p, "msfUserList");
        offered = Column(grid, 0);
        // 山田 (00001) and 渡辺 (00000): rows of users 1 and 6
        SelectBlock(grid, 1, 1);
        Click(p, "cmdSelect");
        const int row6 = int(Column(grid, 0).indexOf("0000000006")) + 1;
        SelectBlock(grid, row6, row6);
        Click(p, "cmdSelect");
    });
    Click(w(), "cmdAddEmpUser");
    // Users already in the department and deleted users are not offered.
    EXPECT_FALSE(offered.contains("0000000005"));
    EXPECT_FALSE(offered.contains("0000000007"));
    EXPECT_EQ(ShownTexts(), QStringList{"このユーザ「山田」の部署名は既に登録されています。変更しますか？"});
    EXPECT_EQ(EmpOf("0000000001"), "00001");
    EXPECT_EQ(EmpOf("0000000006"), "00002");
    EXPECT_EQ(Column(members(), 0), QStringList({"0000000005", "0000000006"}));
    EXPECT_TRUE(MainWindow()->isEnabled()); // busy flag dropped with the picker

    MsgBox::QueueAnswer(QMessageBox::Ok);
    OnPicker("frmUserAssist_Job", [&](QWidget *p) {
        auto *grid = W<MsfGrid>(p, "msfUserList");
        SelectBlock(grid, 1, 1);
        Click(p, "cmdSelect");
    });
    Click(w(), "cmdAddEmpUser");
    EXPECT_EQ(EmpOf("0000000001"), "00002");
}

TEST_F(JobManTest, DepartmentPickerFindsQuotedNamesByPrefixAndShowsTheChoice)
{
    site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00010', 'O''Brien課', 'x''y')");
    site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00011', 'Obayashi', '')");
    QStringList found;
    OnPicker("frmJobAssist", [&](QWidget *p) {
        W<QLineEdit>(p, "txtName")->setText("O'B");
        Click(p, "cmdSearch");
        found = Column(W<MsfGrid>(p, "msfEmpList"), 1);
        W<QLineEdit>(p, "txtName")->clear();
        W<QLineEdit>(p, "txtBikou")->setText("x'");
        Click(p, "cmdSearch");
        auto *grid = W<MsfGrid>(p, "msfEmpList");
        ASSERT_EQ(Column(grid, 0), QStringList{"00010"});
        SelectBlock(grid, 1, 1);
        Click(p, "cmdSelect");
    });
    Click(w(), "cmdSearch");
    EXPECT_EQ(found, QStringList{"O'Brien課"});
    EXPECT_EQ(Text(w(), "txtId"), "00010");
    EXPECT_EQ(Text(w(), "txtName"), "O'Brien課");
    EXPECT_TRUE(ShownTexts().isEmpty());
}

TEST_F(JobManTest, PickerRemembersAutoCloseAndLimitsRows)
{
    OnPicker("frmJobAssist", [&](QWidget *p) {
        W<QAbstractButton>(p, "chbAutoClose")->setChecked(true);
        auto *grid = W<MsfGrid>(p, "msfEmpList");
        SelectBlock(grid, 2, 2);
        Click(p, "cmdSelect");
        EXPECT_FALSE(p->isVisible()); // closed by the selection
    });
    Click(w(), "cmdSearch");
    EXPECT_EQ(Text(w(), "txtId"), "00001");
    bool ticked = false;
    OnPicker("frmJobAssist", [&](QWidget *p) { ticked = W<QAbstractButton>(p, "chbAutoClose")->isChecked(); });
    Click(w(), "cmdSearch");
    EXPECT_TRUE(ticked);
}

TEST_F(JobManTest, UpdateWritesNameAndRemarksAndLoadingWritesNothing)
{
    const QString before = site.value("SELECT group_concat(emp_id || emp_name || ifnull(refix_dt, ''), ';') FROM m_emp");
    Show("00002");
    Click(w(), "opbFuncMode_1");
    Click(w(), "opbFuncMode_3");
    Click(w(), "opbFuncMode_0");
    EXPECT_EQ(site.value("SELECT group_concat(emp_id || emp_name || ifnull(refix_dt, ''), ';') FROM m_emp"), before);

    Click(w(), "opbFuncMode_1");
    W<QLineEdit>(w(), "txtName")->setText("");
    Click(w(), "cmdUpdate");
    EXPECT_EQ(ShownTexts(), QStringList{"部署名を入力してください。"});
    W<QLineEdit>(w(), "txtName")->setText("研究開発部");
    Click(w(), "cmdUpdate");
    EXPECT_EQ(site.value("SELECT emp_name FROM m_emp WHERE emp_id = '00002'"), "研究開発部");
    EXPECT_EQ(site.value("SELECT refix_dt FROM m_emp WHERE emp_id = '00002'"), QDate::currentDate().toString("yyyy/MM/dd"));
}

} // namespace

TEST_F(JobManTest, KeyboardInTheListShowsTheRecordItMovesTo)
{
    MsfGrid *list = W<MsfGrid>(w(), "msfEmpList");
    // The screen opened on the first department: the list's selection and the record agree.
    EXPECT_EQ(Text(w(), "txtId"), "00000");
    EXPECT_EQ(list->curRow(), 1);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(Text(w(), "txtId"), "00001");
    EXPECT_EQ(Text(w(), "txtName"), "総務部");
    EXPECT_EQ(Column(members(), 0).size(), 4); // the members of the department shown
    QTest::keyClick(list, Qt::Key_End); // the last row, not the last column
    EXPECT_EQ(Text(w(), "txtId"), "00003");
    QTest::keyClick(list, Qt::Key_Up);
    EXPECT_EQ(Text(w(), "txtId"), "00002");
    EXPECT_EQ(list->curRow(), 3);
}

TEST_F(JobManTest, AfterARegistrationTheListSelectsTheNewDepartment)
{
    Click(w(), "opbFuncMode_2");
    EnterId(w(), "9");
    W<QLineEdit>(w(), "txtName")->setText("新部署");
    Click(w(), "cmdRegist");
    MsfGrid *list = W<MsfGrid>(w(), "msfEmpList");
    ASSERT_GE(list->curRow(), 1);
    EXPECT_EQ(list->textMatrix(list->curRow(), 0), "00009");
    EXPECT_EQ(list->cellBackColor(list->curRow(), 1), QColor(255, 192, 255));
}
