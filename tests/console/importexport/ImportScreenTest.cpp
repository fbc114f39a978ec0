// The six import and export screens offscreen on a real database: the column boxes and their
// rules, the messages and icons, the progress of the write pass, the refresh of open screens,
// and the same result and message as orvelctl for the same file.
#include "ImportTestUtil.h"

#include "ExportWindow.h"
#include "FileDialog.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "frmIK_ImportEmp.h"
#include "frmIK_ImportGate.h"
#include "frmIK_ImportUser.h"
#include "masterdata/ui/frmJobMan.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

using namespace ietest;

namespace {

template <class T = QWidget>
T *W(QWidget *root, const char *name)
{
    T *w = root->findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}
QCheckBox *Box(QWidget *root, const char *name) { return W<QCheckBox>(root, name); }

class ImportScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        FileDialog::SetScripted(true);
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        FileDialog::SetScripted(false);
        SetMainWindow(nullptr);
        MsgBox::TakeShown();
    }
    // Picks file with the screen's "参照..." button and starts the run.
    QList<MsgBox::Shown> Start(QWidget *screen, const QString &file)
    {
        FileDialog::QueueFileName(file);
        W<QPushButton>(screen, "cmdFileSearch")->click();
        EXPECT_EQ(W<QLineEdit>(screen, screen->inherits("ExportWindow") ? "txtFName" : "txtImportFName")->text(), file);
        W<QPushButton>(screen, "cmdStart")->click();
        return MsgBox::TakeShown();
    }
    QString File(const QString &name, const QStringList &lines) { return WriteLines(tmp.filePath(name), lines); }

    orvel::test::TestSite site;
    QTemporaryDir tmp;
};

TEST_F(ImportScreenTest, EveryImportMenuEntryHasItsWindow)
{
    for (const char *name : {"frmIK_ImportUser", "frmIK_ImportEmp", "frmIK_ImportGate", "frmIK_ExportUser",
                             "frmIK_ExportEmp", "frmIK_ExportGate"})
        EXPECT_TRUE(ScreenRegistry::Has(QString::fromLatin1(name))) << name;
}

TEST_F(ImportScreenTest, UserColumnBoxRules)
{
    frmIK_ImportUser s;
    for (const char *name : {"chbUserName", "chbUserYomi", "chbEmp", "chbEmpId", "chbEmpName", "chbBikou", "chbGAuthority"})
        EXPECT_TRUE(Box(&s, name)->isChecked()) << name;
    EXPECT_FALSE(Box(&s, "chbAutoEmpId")->isChecked());
    EXPECT_FALSE(Box(&s, "chbOverWrite")->isChecked());
    EXPECT_FALSE(W<QPushButton>(&s, "cmdStart")->isEnabled());

    Box(&s, "chbUserYomi")->click(); // required columns tick themselves again
    EXPECT_TRUE(Box(&s, "chbUserYomi")->isChecked());

    Box(&s, "chbEmp")->click();
    for (const char *name : {"chbEmpId", "chbEmpName", "chbAutoEmpId"}) {
        EXPECT_FALSE(Box(&s, name)->isChecked()) << name;
        EXPECT_FALSE(Box(&s, name)->isEnabled()) << name;
    }
    Box(&s, "chbEmp")->click();
    EXPECT_TRUE(Box(&s, "chbEmpId")->isChecked() && Box(&s, "chbEmpName")->isChecked());
    EXPECT_TRUE(Box(&s, "chbAutoEmpId")->isEnabled());

    Box(&s, "chbAutoEmpId")->click();
    Box(&s, "chbEmpName")->click(); // refused while departments are registered automatically
    EXPECT_TRUE(Box(&s, "chbEmpName")->isChecked());
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("部署の自動登録をおこなう場合、部署IDと部署名をインポート項目に含める必要があります。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);
    Box(&s, "chbAutoEmpId")->click();
    Box(&s, "chbEmpName")->click();
    EXPECT_FALSE(Box(&s, "chbAutoEmpId")->isEnabled());
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());

    auto *txtId = W<QLineEdit>(&s, "txtId");
    EXPECT_FALSE(txtId->isEnabled());
    W<QRadioButton>(&s, "optUID_1")->click();
    EXPECT_TRUE(txtId->isEnabled());
    txtId->clear();
    QTest::keyClicks(txtId, "a5x");
    EXPECT_EQ(txtId->text(), QStringLiteral("5"));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(txtId, &out);
    EXPECT_EQ(txtId->text(), QStringLiteral("0000000005"));
}

TEST_F(ImportScreenTest, ImportShowsProgressReportsAndRefreshesOpenScreens)
{
    QWidget main;
    SetMainWindow(&main);
    auto *jobs = new frmJobMan(&main);
    MsgBox::TakeShown();
    frmIK_ImportEmp s;
    QStringList lines;
    for (int i = 1; i <= 60; ++i)
        lines << QStringLiteral("%1,部署%1,").arg(i);
    const QList<MsgBox::Shown> shown = Start(&s, File("d.csv", lines));
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(shown[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_TRUE(shown[0].text.endsWith(QStringLiteral("部署のインポートを開始します。インポートしますか？")));
    EXPECT_EQ(shown[1].text, QStringLiteral("60件の部署をインポートしました。"));
    EXPECT_EQ(shown[1].icon, QMessageBox::Information);
    auto *bar = W<QProgressBar>(&s, "prgWrite");
    EXPECT_EQ(bar->maximum(), 60);
    EXPECT_EQ(bar->value(), 60);
    // The open department screen lists what was imported.
    auto *list = W<MsfGrid>(jobs, "msfEmpList");
    EXPECT_EQ(list->rows() - list->fixedRows(), 61);
}

TEST_F(ImportScreenTest, RefusalsFailuresAndCancel)
{
    frmIK_ImportUser s;
    s.cmdStart_Click();
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("インポートファイルを指定してください。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);

    shown = Start(&s, tmp.filePath("missing.csv"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("ファイルのオープンに失敗しました。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);

    const QString file = File("u.csv", {"1,A,A,00000,無所属,,1", "2,B,B,00000,無所属,,9"});
    shown = Start(&s, file);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].icon, QMessageBox::Critical);
    EXPECT_TRUE(shown[1].text.endsWith(QStringLiteral("権限に1, 2以外の値が入力されています。インポートを中止します。")));

    MsgBox::QueueAnswer(QMessageBox::Cancel);
    shown = Start(&s, File("ok.csv", {"1,A,A,00000,無所属,,1"}));
    EXPECT_EQ(shown.size(), 1); // only the question
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user"), QStringLiteral("0"));

    Box(&s, "chbEmpId")->click();
    Box(&s, "chbEmpName")->click();
    shown = Start(&s, file);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("部署をインポート項目に含める場合、部署ID・部署名のどちらか、または両方をONにして下さい。"));
}

TEST_F(ImportScreenTest, ExportScreen)
{
    site.exec("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_bikou, gate_mode) VALUES "
              "('00000', 'x', 'x', '0.0.0.0', '0', '', 1)");
    site.exec("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_bikou, gate_mode) VALUES "
              "('00002', '本館', '裏口', '10.0.0.2', '10001', 'a,b', 2)");
    frmIK_ExportGate s;
    EXPECT_EQ(s.windowTitle(), QStringLiteral("ゲートをエクスポート"));
    for (int i = 0; i < 7; ++i)
        Box(&s, QStringLiteral("chbItem_%1").arg(i).toLatin1().constData())->click();
    s.cmdStart_Click();
    QList<MsgBox::Shown> shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("エクスポートする項目を選択して下さい。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::NoIcon);
    for (int i : {0, 2, 5})
        Box(&s, QStringLiteral("chbItem_%1").arg(i).toLatin1().constData())->click();
    s.cmdStart_Click();
    shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("エクスポートファイルを指定してください。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Warning);

    const QString file = tmp.filePath("g.csv");
    shown = Start(&s, file);
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, QStringLiteral("1件のゲートをエクスポートしました。"));
    EXPECT_EQ(shown[0].icon, QMessageBox::Information);
    EXPECT_EQ(ReadBytes(file), orvel::ToSjis(QStringLiteral("00002,裏口,\"a,b\"\r\n")));
    FileDialog::QueueFileName(QString()); // a cancelled dialog keeps the name
    W<QPushButton>(&s, "cmdFileSearch")->click();
    EXPECT_EQ(W<QLineEdit>(&s, "txtFName")->text(), file);

    shown = Start(&s, tmp.filePath("nofolder/g.csv"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].icon, QMessageBox::Critical);
}

TEST_F(ImportScreenTest, ScreenAndOrvelctlGiveTheSameResultAndMessage)
{
    // A failing file: nothing written, the same text (line ends aside) on both.
    const QString bad = File("bad.csv", {"1,本館,正面,10.0.0.1,10001,,1", "2,本館,裏口,10.0.0.1,10001,,2"});
    frmIK_ImportGate gates;
    QList<MsgBox::Shown> shown = Start(&gates, bad);
    ASSERT_EQ(shown.size(), 2);
    CtlResult r = Orvelctl({"import", "gates", bad, "--site", site.dir()});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QString(shown[1].text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + u'\n');
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_gate"), QStringLiteral("0"));

    // A good file with registered departments: the same rows in this site and in a fresh one.
    const QString good = File("good.csv", {"1,山田,YAMADA,00100,営業部,備考,2", "2,佐藤,SATO,00200,総務部,,1"});
    frmIK_ImportUser users;
    Box(&users, "chbAutoEmpId")->click();
    shown = Start(&users, good);
    ASSERT_EQ(shown.size(), 2);
    const QString fresh = tmp.filePath("fresh");
    ASSERT_EQ(Orvelctl({"init-site", fresh}).rc, 0);
    r = Orvelctl({"import", "users", good, "--site", fresh, "--register-departments"}, SiteEnv(fresh));
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QString(shown[1].text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) + u'\n');
    ASSERT_EQ(Orvelctl({"export", "users", tmp.filePath("a.csv"), "--site", site.dir()}).rc, 0);
    ASSERT_EQ(Orvelctl({"export", "users", tmp.filePath("b.csv"), "--site", fresh}, SiteEnv(fresh)).rc, 0);
    EXPECT_EQ(ReadBytes(tmp.filePath("a.csv")), ReadBytes(tmp.filePath("b.csv")));
    EXPECT_FALSE(ReadBytes(tmp.filePath("a.csv")).isEmpty());
}

} // namespace
