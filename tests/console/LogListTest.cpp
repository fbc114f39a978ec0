// The log list and the user authentication list against a database of known log rows.

#include "ConsoleTestUtil.h"
#include "FileDialog.h"
#include "MsfGrid.h"
#include "logs/LogGridModel.h"
#include "logs/ui/LogGridView.h"
#include "logs/LogListLogic.h"
#include "rdo_cntl.h"
#include "MsgBox.h"
#include "Sjis.h"
#include "SqlDialect.h"
#include "TestSite.h"
#include "frmListMix.h"
#include "frmListUserAuth.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <functional>

using orvel::test::TestSite;

namespace {

class LogScreenTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        MsgBox::TakeShown();
        FileDialog::SetScripted(true);
    }
    void TearDown() override { FileDialog::SetScripted(false); }

    // One resolved log row; time as "yyyy-MM-dd hh:mm:ss".
    void AddLog(int id, const QString &time, int type, const QString &user, const QString &userName,
                const QString &gateMode = QStringLiteral("入室"), const QString &empName = QStringLiteral("総務部"))
    {
        site.exec(QStringLiteral("INSERT INTO log_telmar_plus VALUES(%1, '%2', %3, 'msg%1', 'G%1', '%4', %5, '00001', "
                                 "%6, '00002', '正面, 1F', '%7', '127.0.0.2', 'Z1', 'ICカード', 2, '%2', '%2')")
                      .arg(id)
                      .arg(time)
                      .arg(type)
                      .arg(user, orvel::SqlText(userName), orvel::SqlText(empName), gateMode));
    }
    static QString Day(int offset, const char *time)
    {
        return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy-MM-dd ")) + QLatin1String(time);
    }
    static QString Date(int offset) { return QDate::currentDate().addDays(offset).toString(QStringLiteral("yyyy/MM/dd")); }

    template <class T>
    static T *Find(QWidget &w, const char *name)
    {
        return w.findChild<T *>(QLatin1String(name));
    }
    template <class Grid>
    static QStringList Column(Grid *g, int col)
    {
        QStringList out;
        for (int r = g->fixedRows(); r < g->rows(); ++r)
            out << g->textMatrix(r, col);
        return out;
    }
    static void Manual(frmListMix &w)
    {
        auto *chb = Find<QCheckBox>(w, "chbAutoRead");
        if (chb->isChecked())
            chb->click();
    }

    TestSite site;
};

} // namespace

TEST_F(LogScreenTest, NameFiltersArePrefixMatchesAndQuotesStayInsideTheirLiteral)
{
    AddLog(1, Day(0, "08:00:00"), 1, QStringLiteral("0000000001"), QStringLiteral("abe"));
    AddLog(2, Day(0, "08:01:00"), 1, QStringLiteral("0000000002"), QStringLiteral("Bakera"));
    AddLog(3, Day(0, "08:02:00"), 1, QStringLiteral("0000000003"), QStringLiteral("a'b"));
    AddLog(4, Day(0, "08:03:00"), 1, QStringLiteral("0000000004"), QStringLiteral("zed"), QStringLiteral("退室"));
    frmListMix w;
    Manual(w);
    auto *grid = Find<LogGridView>(w, "msfLogGateOpe");
    w.Search();
    EXPECT_EQ(Column(grid, 4), QStringList({"zed", "a'b", "Bakera", "abe"}));

    Find<QLineEdit>(w, "txtUserName")->setText(QStringLiteral("a"));
    w.Search();
    EXPECT_EQ(Column(grid, 4), QStringList({"a'b", "abe"}));

    Find<QLineEdit>(w, "txtUserName")->setText(QStringLiteral("a'"));
    w.Search();
    EXPECT_EQ(Column(grid, 4), QStringList({"a'b"}));
    Find<QLineEdit>(w, "txtUserName")->setText(QStringLiteral("x' OR 1=1 --"));
    w.Search();
    EXPECT_TRUE(Column(grid, 4).isEmpty());
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());

    Find<QLineEdit>(w, "txtUserName")->clear();
    Find<QComboBox>(w, "cmbDoorMode")->setCurrentIndex(2);
    w.Search();
    EXPECT_EQ(Column(grid, 4), QStringList({"zed"}));
    EXPECT_EQ(Column(grid, 7), QStringList({"退室"}));
}

TEST_F(LogScreenTest, OneDayPeriodCoversTheWholeDay)
{
    AddLog(1, Day(-1, "23:59:59"), 1, QStringLiteral("0000000001"), QStringLiteral("before"));
    AddLog(2, Day(0, "00:00:00"), 1, QStringLiteral("0000000001"), QStringLiteral("first"));
    AddLog(3, Day(0, "23:59:59"), 1, QStringLiteral("0000000001"), QStringLiteral("last"));
    AddLog(4, Day(1, "00:00:00"), 1, QStringLiteral("0000000001"), QStringLiteral("after"));
    frmListMix w;
    Manual(w);
    Find<QLineEdit>(w, "imDateFrom")->setText(Date(0));
    Find<QLineEdit>(w, "imDateTo")->setText(Date(0));
    w.Search();
    auto *grid = Find<LogGridView>(w, "msfLogGateOpe");
    EXPECT_EQ(Column(grid, 4), QStringList({"last", "first"}));
    EXPECT_EQ(grid->textMatrix(1, 0), Date(0) + QStringLiteral(" 23:59:59"));
    EXPECT_EQ(grid->textMatrix(1, 3), QStringLiteral("0000000001"));
}

TEST_F(LogScreenTest, MonitorShowsTheTwentyOneNewestAndARefusedPeriodStopsItOnce)
{
    for (int i = 1; i <= 30; ++i)
        AddLog(i, Day(0, QStringLiteral("09:%1:00").arg(i, 2, 10, QLatin1Char('0')).toLatin1().constData()), 1,
               QStringLiteral("0000000001"), QStringLiteral("u%1").arg(i));
    AddLog(31, Day(0, "10:00:00"), 36, QStringLiteral("0000000001"), QStringLiteral("operation"));
    frmListMix w;
    auto *chb = Find<QCheckBox>(w, "chbAutoRead");
    ASSERT_TRUE(chb->isChecked());
    EXPECT_FALSE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
    w.Search();
    auto *grid = Find<LogGridView>(w, "msfLogGateOpe");
    const QStringList names = Column(grid, 4);
    ASSERT_EQ(names.size(), 21);
    EXPECT_EQ(names.first(), QStringLiteral("u30"));
    EXPECT_EQ(names.last(), QStringLiteral("u10"));

    // A period that cannot be read leaves monitor mode before its message: shown once.
    Find<QLineEdit>(w, "imDateTo")->setText(Date(-30));
    w.Search();
    w.Search();
    EXPECT_FALSE(chb->isChecked());
    EXPECT_TRUE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 2); // the second Search, now manual, refuses again by hand
    EXPECT_EQ(shown[0].text, QStringLiteral("期間の指定を正しく入力してください。"));
    Find<QLineEdit>(w, "imDateTo")->clear();
    w.Search();
    EXPECT_EQ(MsgBox::TakeShown().value(0).text, QStringLiteral("日付を正しく指定してください。"));
}

TEST_F(LogScreenTest, CsvFileIsWrittenByteForByte)
{
    AddLog(7, Day(0, "08:30:00"), 1, QStringLiteral("0000000123"), QStringLiteral("山田"));
    site.exec(QStringLiteral("UPDATE log_telmar_plus SET emp_id = '00001', gate_id = '00002'"));
    frmListMix w;
    Manual(w);
    Find<QComboBox>(w, "cmbDoorMode")->setCurrentIndex(1);
    const QString file = site.path(QStringLiteral("log.csv"));
    FileDialog::QueueFileName(file);
    w.PrintCsv();
    EXPECT_EQ(FileDialog::LastDefaultName(), QStringLiteral("認証ログ"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    const QString day = Date(0);
    const QString expected =
        QStringLiteral("<< 認証ログ>> \r\n期間： ") + Date(-7) + QStringLiteral(" ～ ") + day +
        QStringLiteral("\r\nログタイプ： 認証ログ\r\nユーザ名： 無指定\r\n部署名： 無指定\r\nゲート名： 無指定\r\n"
                       "ゲート入退区分： 入室のみ\r\nゾーン名： 無指定\r\n\r\n"
                       "ログ出力日付,ログNo.,ログ内容,ユーザID,ユーザ名,部署ID,部署名,ゲートID,ゲート名,ゲート入退区分,"
                       "ゲートIPアドレス,ゾーン名,認証方法\r\n") +
        day + QStringLiteral(" 08:30:00,1,msg7,0000000123,山田,00001,総務部,00002,\"正面, 1F\",入室,127.0.0.2,Z1,ICカード\r\n");
    EXPECT_EQ(bytes, orvel::ToSjis(expected));

    // A cancelled dialog writes nothing and says nothing.
    FileDialog::QueueFileName(QString());
    w.PrintCsv();
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
    // A target that cannot be written is reported.
    FileDialog::QueueFileName(site.path(QStringLiteral("no/such/dir/x.csv")));
    w.PrintCsv();
    EXPECT_EQ(MsgBox::TakeShown().value(0).text, QStringLiteral("CSVファイルの出力に失敗しました。"));
}

TEST_F(LogScreenTest, UserAuthListSearchesTheTenDigitIdAndHeadsItsCsv)
{
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, delete_flag) VALUES ('0000000123', 'Ito', '00000', 0)"));
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, delete_flag) VALUES ('0000000124', 'Old', '00000', 1)"));
    AddLog(1, Day(0, "08:00:00"), 1, QStringLiteral("0000000123"), QStringLiteral("Ito"));
    AddLog(2, Day(0, "08:05:00"), 28, QStringLiteral("0000000123"), QStringLiteral("Ito"));
    AddLog(3, Day(0, "08:06:00"), 1, QStringLiteral("0000000124"), QStringLiteral("Old"));
    frmListUserAuth w;
    auto *users = Find<QComboBox>(w, "cmbUser");
    ASSERT_EQ(users->count(), 1); // the deleted user is left out
    w.USER_SetUserId(QStringLiteral("124"));
    auto *grid = Find<MsfGrid>(w, "msfLogGateOpe");
    EXPECT_EQ(grid->rows(), 1); // no entry matched: nothing searched

    w.USER_SetUserId(QStringLiteral("0000000123"));
    EXPECT_EQ(grid->rows(), 2); // the passage only
    EXPECT_EQ(grid->textMatrix(1, 5), QStringLiteral("成功"));
    Find<QRadioButton>(w, "optListType_1")->click();
    w.Search();
    EXPECT_EQ(grid->rows(), 3); // the passage and the refused attempt

    Find<QRadioButton>(w, "optListType_0")->click();
    w.Search();
    const QString file = site.path(QStringLiteral("pass.csv"));
    FileDialog::QueueFileName(file);
    w.PrintCsv();
    EXPECT_EQ(FileDialog::LastDefaultName(), QStringLiteral("ゲート認証リスト"));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = orvel::FromSjis(f.readAll());
    EXPECT_TRUE(text.startsWith(QStringLiteral("<< ゲート認証リスト>> \r\nユーザ名： Ito\r\n期　　間： ")));
    EXPECT_TRUE(text.contains(QStringLiteral("\r\n\r\nログ出力日付,ゲートID,ゾーン,ゲート名,入／退,認証結果,詳細\r\n")));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), 6);

    // Every user deleted: nothing to choose, both buttons disabled.
    site.exec(QStringLiteral("UPDATE m_user SET delete_flag = 1"));
    w.ReloadUsers();
    EXPECT_FALSE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>(w, "cmdPrintCSV")->isEnabled());
    Find<QCheckBox>(w, "chbShowDelUser")->click();
    EXPECT_EQ(users->count(), 2);
    EXPECT_TRUE(Find<QPushButton>(w, "cmdSearch")->isEnabled());
}

// The manual search lets the narrowest name filter lead on SQLite, and reads each row as one
// joined text: the rows, their texts and their order are those the period-led search gives cell
// by cell, whatever leads.
TEST_F(LogScreenTest, ManualSearchGivesTheSameRowsInTheSameOrderWhateverLeads)
{
    // 1200 rows over ten days, many sharing a second; names with shared prefixes, other cases and
    // a quote; every kind of log.
    const QStringList users = {QStringLiteral("Sato"), QStringLiteral("sato2"), QStringLiteral("SATOU"),
                               QStringLiteral("O'Neil"), QStringLiteral("Suzuki"), QStringLiteral("Tanaka")};
    const int types[] = {1, 28, 29, 36, 160, 250};
    orvel::test::TestSite &s = site;
    rdo_cntl tx;
    tx.BeginTrans();
    for (int i = 1; i <= 1200; ++i)
        s.exec(QStringLiteral("INSERT INTO log_telmar_plus VALUES(%1, '%2', %3, 'm', 'G', '%4', %5, '00001', %6, "
                              "'00002', %7, '%8', '127.0.0.2', 'Z', 'IC', 2, '%2', '%2')")
                   .arg(i)
                   .arg(Day(-(i % 10), "00:00:00").left(11) + QStringLiteral("%1:%2:00").arg(i % 24, 2, 10, QLatin1Char('0')).arg(i % 3, 2, 10, QLatin1Char('0')))
                   .arg(types[(i / 7) % 6])
                   .arg(i % 7, 10, 10, QLatin1Char('0'))
                   .arg(orvel::SqlText(users[i % users.size()]), orvel::SqlText(i % 2 ? QStringLiteral("総務") : QStringLiteral("営業")),
                        orvel::SqlText(QStringLiteral("Gate %1").arg(i % 4)), i % 5 ? QStringLiteral("入室") : QStringLiteral("退室")));
    // Stored otherwise than the collector stores them: a short user ID, a time with a fraction.
    s.exec(QStringLiteral("UPDATE log_telmar_plus SET user_id = '7' WHERE log_id = 6"));
    // Half a second later than the whole second it shows (a time, not a text, on a server database).
    s.exec(orvel::test::OnPostgreSql()
               ? QStringLiteral("UPDATE log_telmar_plus SET log_dt = log_dt + make_interval(secs => 0.5) WHERE log_id = 12")
               : QStringLiteral("UPDATE log_telmar_plus SET log_dt = log_dt || '.500' WHERE log_id = 12"));
    tx.CommitTrans();

    // As the screen reads them (one joined text per row, split by the model), or cell by cell.
    auto rows = [&](const orvel::logs::LogFilter &f, const QString &lead, bool packed = true) {
        rdo_cntl grid;
        orvel::logs::DeclareLogGridFields(grid);
        orvel::logs::ApplyLogFilter(f, grid, true, lead);
        LogGridModel model(10);
        if (packed) {
            orvel::logs::UsePackedLogRows(grid, f.listType);
            model.SetPackedFormats(orvel::logs::LogGridFormats());
        }
        grid.LoadGrid(&model, -1);
        QStringList out;
        for (int r = model.fixedRows(); r < model.rows(); ++r) {
            QStringList cells;
            for (int c = 0; c < model.cols(); ++c)
                cells << model.textMatrix(r, c);
            out << cells.join(u'|');
        }
        return out;
    };
    orvel::logs::LogFilter f;
    f.from = Date(-9);
    f.to = Date(0);
    const QList<std::function<void(orvel::logs::LogFilter &)>> filters = {
        [](auto &f) { f.userName = QStringLiteral("sato"); },
        [](auto &f) { f.userName = QStringLiteral("O'"); },
        [](auto &f) { f.userName = QStringLiteral("S"), f.empName = QStringLiteral("総"); },
        [](auto &f) { f.gateName = QStringLiteral("Gate 1"), f.doorMode = 2, f.listType = 0; },
        [](auto &f) { f.zoneName = QStringLiteral("Z"), f.userName = QStringLiteral("Tan"), f.listType = 2; },
    };
    for (const auto &set : filters) {
        orvel::logs::LogFilter g = f;
        set(g);
        const QStringList byPeriod = rows(g, QString());
        EXPECT_FALSE(byPeriod.isEmpty());
        EXPECT_EQ(rows(g, QString(), false), byPeriod);
        for (const char *lead : {"user_name", "emp_name", "gate_name", "zone_name"}) {
            const bool used = (QLatin1String(lead) == QLatin1String("user_name") && !g.userName.isEmpty()) ||
                              (QLatin1String(lead) == QLatin1String("emp_name") && !g.empName.isEmpty()) ||
                              (QLatin1String(lead) == QLatin1String("gate_name") && !g.gateName.isEmpty()) ||
                              (QLatin1String(lead) == QLatin1String("zone_name") && !g.zoneName.isEmpty());
            if (used) {
                EXPECT_EQ(rows(g, QLatin1String(lead)), byPeriod) << lead;
            }
        }
    }
    // The narrowest filter leads; a prefix matching more than the bound leaves the period leading.
    orvel::logs::LogFilter g = f;
    g.userName = QStringLiteral("O'");
    g.empName = QStringLiteral("総");
    // A server database's planner chooses for itself: nothing leads there.
    EXPECT_EQ(orvel::logs::ChooseLeadColumn(g), orvel::test::OnPostgreSql() ? QString() : QStringLiteral("user_name"));
    g.monitor = true;
    EXPECT_EQ(orvel::logs::ChooseLeadColumn(g), QString());
}
