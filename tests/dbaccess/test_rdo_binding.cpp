// rdo_cntl moving values between the database and controls: binds, grids, lists and CSV files.

#include "Sjis.h"
#include "SqlDialect.h"
#include "TestControls.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QFile>

#include <algorithm>

#include <gtest/gtest.h>

using namespace orvel::test;

namespace {

class BindingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        for (int i = 1; i <= 15; ++i)
            site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, gauthority, gauth_type, "
                                     "delete_flag) VALUES ('%1', 'ユーザ%2', '00000', 1, %3, 0)")
                          .arg(QStringLiteral("%1").arg(i, 10, 10, QLatin1Char('0')))
                          .arg(i)
                          .arg(i % 4));
    }
    QByteArray readFile(const QString &name)
    {
        QFile f(site.path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    TestSite site;
};

} // namespace

TEST_F(BindingTest, LoadBindFillsTextAndListControls)
{
    ListBox authority;
    for (int code : {1, 2}) {
        authority.addItem(code == 1 ? QStringLiteral("ユーザ") : QStringLiteral("管理者"));
        authority.setItemData(authority.itemCount() - 1, code);
    }
    TextBox id, name;
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setWhere(QStringLiteral("user_id = '0000000003'"));
    db.SetBind(QStringLiteral("user_id"), &id, true, true);
    db.SetBind(QStringLiteral("user_name"), &name);
    db.SetBind(QStringLiteral("gauthority"), &authority);
    ASSERT_TRUE(db.LoadBind());
    EXPECT_EQ(id.text(), QStringLiteral("0000000003"));
    EXPECT_EQ(name.text(), QStringLiteral("ユーザ3"));
    EXPECT_EQ(authority.currentIndex(), 0);

    db.setWhere(QStringLiteral("user_id = 'none'"));
    EXPECT_FALSE(db.LoadBind());

    // A stored code that the list does not offer is an error, not a silent wrong choice.
    site.exec(QStringLiteral("UPDATE m_user SET gauthority = 9 WHERE user_id = '0000000003'"));
    db.setWhere(QStringLiteral("user_id = '0000000003'"));
    EXPECT_THROW(db.LoadBind(), RdoError);
}

TEST_F(BindingTest, InsertAndUpdateBindWriteListCodesThroughTheirFormat)
{
    TextBox id, name;
    ListBox emp;
    emp.addItem(QStringLiteral("無所属"));
    emp.setItemData(0, 0);
    emp.addItem(QStringLiteral("開発部"));
    emp.setItemData(1, 7);
    emp.setCurrentIndex(1);
    id.setText(QStringLiteral("0000000100"));
    name.setText(QStringLiteral("O'Brien"));

    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.SetBind(QStringLiteral("user_id"), &id, true, true);
    db.SetBind(QStringLiteral("user_name"), &name);
    db.SetBind(QStringLiteral("emp_id"), &emp, false, false, QStringLiteral("00000"));
    ASSERT_TRUE(db.InsertBind());
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_name || '/' || emp_id FROM m_user WHERE user_id = '0000000100'")),
              QStringLiteral("O'Brien/00007"));
    EXPECT_FALSE(db.InsertBind());
    EXPECT_EQ(db.errMsg().toString(), QStringLiteral("既に登録されています。"));

    name.setText(QStringLiteral("D'Arcy"));
    emp.setCurrentIndex(0);
    ASSERT_TRUE(db.UpdateBind());
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_name || '/' || emp_id FROM m_user WHERE user_id = '0000000100'")),
              QStringLiteral("D'Arcy/00000"));

    // UpdateBindEx narrows the keyed row by Where: here it matches nothing.
    name.setText(QStringLiteral("changed"));
    db.setWhere(QStringLiteral("delete_flag = 1"));
    ASSERT_TRUE(db.UpdateBindEx());
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_name FROM m_user WHERE user_id = '0000000100'")),
              QStringLiteral("D'Arcy"));

    // A list control with nothing chosen cannot supply a value.
    emp.setCurrentIndex(-1);
    EXPECT_THROW(db.UpdateBind(), RdoError);
}

TEST_F(BindingTest, LoadGridFillsRowsAfterTheFixedRows)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setOrder(QStringLiteral("user_id asc"));
    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    db.SetField(QStringLiteral("user_name"));
    db.SetField(QString());
    db.SetField(QStringLiteral("gauth_type"), QStringLiteral("VSF_CHECK"), false, false, 0x0000FF);

    Grid grid(1);
    db.setWhere(QStringLiteral("user_id = 'none'"));
    EXPECT_EQ(db.LoadGrid(&grid), 0);
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_TRUE(grid.m_redraw);

    db.setWhere(QString());
    EXPECT_EQ(db.LoadGrid(&grid), 16);
    EXPECT_EQ(grid.rows(), 16);
    EXPECT_EQ(grid.textMatrix(1, 0), QStringLiteral("0000000001"));
    EXPECT_EQ(grid.textMatrix(2, 1), QStringLiteral("ユーザ2"));
    EXPECT_EQ(grid.textMatrix(2, 2), QString());
    EXPECT_TRUE(grid.m_checked.value({1, 3}));   // gauth_type 1
    EXPECT_FALSE(grid.m_checked.value({4, 3}));  // gauth_type 0
    EXPECT_EQ(grid.m_colors.value({1, 3}), 0x0000FFu);
    EXPECT_EQ(grid.m_current, 1);
    EXPECT_TRUE(grid.m_redraw);

    // MDB mode caps the rows at the fixed rows plus Limit.
    db.setLimit(QStringLiteral("10"));
    Grid capped(1);
    EXPECT_EQ(db.LoadGrid(&capped), 11);
    EXPECT_EQ(capped.rows(), 11);

    // StartRow appends after existing rows.
    db.setLimit(QString());
    db.setWhere(QStringLiteral("user_id <= '0000000002'"));
    Grid appended(1);
    appended.setRows(5);
    EXPECT_EQ(db.LoadGrid(&appended, 5), 7);
    EXPECT_EQ(appended.textMatrix(5, 0), QStringLiteral("0000000001"));
    EXPECT_EQ(appended.textMatrix(6, 0), QStringLiteral("0000000002"));

    db.SetField(QStringLiteral("no_such_column"));
    EXPECT_THROW(db.LoadGrid(&appended), RdoError);
    EXPECT_TRUE(appended.m_redraw);
}

TEST_F(BindingTest, LoadRowsGivesTheRowsAGridWouldShowWithoutAControl)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setOrder(QStringLiteral("user_id asc"));
    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), true, true);
    db.SetField(QStringLiteral("user_name"));
    db.SetField(QString());
    db.SetField(QStringLiteral("gauth_type"), QStringLiteral("VSF_CHECK"));
    site.exec(QStringLiteral("UPDATE m_user SET user_id = '7' WHERE user_id = '0000000002'"));

    const QVector<QStringList> rows = db.LoadRows();
    Grid grid(1);
    ASSERT_EQ(db.LoadGrid(&grid), rows.size() + 1);
    ASSERT_EQ(rows.size(), 15);
    for (int r = 0; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), 4);
        EXPECT_EQ(rows[r][0], grid.textMatrix(r + 1, 0)) << r; // formatted as the grid shows it
        EXPECT_EQ(rows[r][1], grid.textMatrix(r + 1, 1)) << r;
        EXPECT_EQ(rows[r][2], QString()) << r;                   // an entry without a name
        EXPECT_EQ(rows[r][3], grid.m_checked.value({r + 1, 3}) ? QStringLiteral("1") : QStringLiteral("0")) << r;
    }
    EXPECT_TRUE(std::any_of(rows.begin(), rows.end(),
                            [](const QStringList &row) { return row[0] == QStringLiteral("0000000007"); }));

    db.setWhere(QStringLiteral("user_id = 'none'"));
    EXPECT_TRUE(db.LoadRows().isEmpty());
    db.setWhere(QString());
    db.setLimit(QStringLiteral("10"));
    EXPECT_EQ(db.LoadRows().size(), 10);

    // A column the source lacks is raised, never returned as empty values; so is an empty field list.
    db.SetField(QStringLiteral("no_such_column"));
    EXPECT_THROW(db.LoadRows(), RdoError);
    rdo_cntl none;
    none.setDataSource(QStringLiteral("telmar_v1.m_user"));
    EXPECT_THROW(none.LoadRows(), RdoError);
}

TEST_F(BindingTest, ATextTheDatabaseCannotTakeIntactIsRefusedNotStoredGarbled)
{
    // A character beyond the basic plane beside other Japanese text: on SQLite it used to reach
    // the database with every non-ASCII character cut to its low byte, reported as stored.
    const QString name = QString::fromUtf8("\xF0\xA0\xAE\xB7野 太郎");
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.SetData(QStringLiteral("user_id"), QStringLiteral("0000000777"), true, true);
    db.SetData(QStringLiteral("user_name"), name);
    rdo_cntl read;
    read.setDataSource(QStringLiteral("telmar_v1.m_user"));
    read.setWhere(QStringLiteral("user_id = '0000000777'"));
    if (OnPostgreSql()) {
        ASSERT_TRUE(db.InsertData()); // the server database takes it whole
        EXPECT_EQ(read.GetData(QStringLiteral("user_name")).toString(), name);
        return;
    }
    try {
        db.InsertData();
        ADD_FAILURE() << "the text was written";
    } catch (const RdoError &e) {
        EXPECT_EQ(e.message(), QStringLiteral("データベースに保存できない文字が含まれています。"));
    }
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_user WHERE user_id = '0000000777'")), "0");
    read.setWhere(QStringLiteral("user_name = ") + orvel::SqlText(name));
    EXPECT_THROW(read.GetData(QStringLiteral("user_id")), RdoError); // nor searched for as garbage

    // Text of the basic plane, Japanese, Korean and accented letters alike, is stored intact.
    const QString plain = QString::fromUtf8("山田 김철수 Café");
    db.SetData(QStringLiteral("user_id"), QStringLiteral("0000000777"), true, true);
    db.SetData(QStringLiteral("user_name"), plain);
    ASSERT_TRUE(db.InsertData());
    read.setWhere(QStringLiteral("user_id = '0000000777'"));
    EXPECT_EQ(read.GetData(QStringLiteral("user_name")).toString(), plain);
}

TEST_F(BindingTest, LoadComboListsCodesAndChoosesTheCurrentOne)
{
    site.exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00003', '開発部')"));
    site.exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00004', '0')"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    db.setDataField(QStringLiteral("emp_name"));
    db.setCodeField(QStringLiteral("emp_id"));
    db.setOrder(QStringLiteral("emp_id asc"));
    ListBox list;
    ASSERT_TRUE(db.LoadCombo(&list, 3));
    EXPECT_EQ(list.m_items, QStringList({QStringLiteral("無所属"), QStringLiteral("開発部")}));
    EXPECT_EQ(list.itemData(1), 3);
    EXPECT_EQ(list.currentIndex(), 1);
    EXPECT_EQ(list.text(), QStringLiteral("開発部"));

    list.setText(QStringLiteral("typed"));
    list.m_index = -1;
    ASSERT_TRUE(db.LoadCombo(&list, 42));
    EXPECT_EQ(list.currentIndex(), -1);
    EXPECT_EQ(list.text(), QStringLiteral("typed"));

    db.setWhere(QStringLiteral("emp_id = '99999'"));
    EXPECT_FALSE(db.LoadCombo(&list));
    EXPECT_EQ(list.itemCount(), 0);

    static QString shown;
    rdo_cntl::setMessageHook([](const QString &t) { shown = t; });
    TextBox notAList;
    EXPECT_FALSE(db.LoadCombo(&notAList));
    EXPECT_EQ(shown, QStringLiteral("ComboBOX又はListBoxに対応しております"));
    rdo_cntl::setMessageHook(nullptr);

    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name) VALUES ('00001', 'Z1')"));
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name) VALUES ('00002', 'Z1')"));
    rdo_cntl zones;
    zones.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    zones.setDataField(QStringLiteral("zone_name"));
    zones.setOrder(QStringLiteral("zone_name ASC"));
    ASSERT_TRUE(zones.LoadComboSimple(&list));
    EXPECT_EQ(list.m_items, QStringList({QStringLiteral("Z1")}));
}

TEST_F(BindingTest, PrintCsvWritesShiftJisLinesAndQuotesOnlyWhatNeedsIt)
{
    site.exec(QStringLiteral("UPDATE m_user SET user_bikou = 'a,b' WHERE user_id = '0000000001'"));
    site.exec(QStringLiteral("UPDATE m_user SET user_bikou = 'say \"hi\"' WHERE user_id = '0000000002'"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setOrder(QStringLiteral("user_id asc"));
    db.setWhere(QStringLiteral("user_id <= '0000000003'"));
    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), false, true);
    db.SetField(QStringLiteral("user_name"));
    db.SetField(QString());
    db.SetField(QStringLiteral("user_bikou"));
    EXPECT_EQ(db.PrintCSV(site.path(QStringLiteral("plain.csv"))), 3);
    EXPECT_EQ(orvel::FromSjis(readFile(QStringLiteral("plain.csv"))),
              QStringLiteral("0000000001,ユーザ1,,\"a,b\"\r\n"
                             "0000000002,ユーザ2,,\"say \"\"hi\"\"\"\r\n"
                             "0000000003,ユーザ3,,\r\n"));
    EXPECT_TRUE(readFile(QStringLiteral("plain.csv")).contains(orvel::ToSjis(QStringLiteral("ユーザ1"))));

    db.SetField(QStringLiteral("user_id"), QStringLiteral("0000000000"), false, true, 0, QStringLiteral("ユーザID"));
    db.SetField(QStringLiteral("user_name"), QString(), false, false, 0, QStringLiteral("ユーザ名"));
    db.setLimit(QStringLiteral("1"));
    EXPECT_EQ(db.PrintCSV(site.path(QStringLiteral("titled.csv")), QStringLiteral("<< 一覧 >>")), 1);
    EXPECT_EQ(orvel::FromSjis(readFile(QStringLiteral("titled.csv"))),
              QStringLiteral("<< 一覧 >>\r\nユーザID,ユーザ名\r\n0000000001,ユーザ1\r\n"));

    // An existing file is replaced, not appended to.
    EXPECT_EQ(db.PrintCSV(site.path(QStringLiteral("titled.csv"))), 1);
    EXPECT_EQ(orvel::FromSjis(readFile(QStringLiteral("titled.csv"))),
              QStringLiteral("ユーザID,ユーザ名\r\n0000000001,ユーザ1\r\n"));

    EXPECT_LT(db.PrintCSV(site.path(QStringLiteral("no/such/folder/x.csv"))), 0);
}

// A grid read many rows to a value shows the rows, texts and order it shows read row by row: the
// database numbers the rows in the query's order, and each row is placed by its number.
TEST_F(BindingTest, PackedRowsGiveTheRowsOfRowByRowReading)
{
    site.exec(QStringLiteral("CREATE TABLE t_pack (id INTEGER NOT NULL PRIMARY KEY, grp INTEGER, txt VARCHAR(50))"));
    const QString rs{QChar(0x1E)}, us{QChar(0x1F)};
    for (int i = 1; i <= 150; ++i) {
        // Ties in grp; NULL, empty, quoted, Japanese texts and texts holding the separators.
        QString txt = orvel::SqlText(QStringLiteral("行%1 O'Neil").arg(i));
        if (i % 11 == 0)
            txt = QStringLiteral("NULL");
        else if (i % 13 == 0)
            txt = QStringLiteral("''");
        else if (i % 17 == 0)
            txt = orvel::SqlText(QStringLiteral("a") + rs + QStringLiteral("b") + us + QStringLiteral("c%1").arg(i));
        site.exec(QStringLiteral("INSERT INTO t_pack VALUES (%1, %2, %3)").arg(i).arg(i % 7).arg(txt));
    }
    const auto read = [](const QString &order, const QString &limit, int perValue, int startRow = -1) {
        rdo_cntl db;
        db.setDataSource(QStringLiteral("t_pack"));
        db.setOrder(order);
        db.setLimit(limit);
        db.SetField(QStringLiteral("txt"), QString(), false, true);
        db.setPackedRows(perValue);
        Grid grid(1, 1);
        if (startRow > 0)
            grid.setRows(startRow);
        const int loaded = db.LoadGrid(&grid, startRow);
        QStringList rows;
        for (int r = 1; r < grid.rows(); ++r)
            rows << grid.textMatrix(r, 0);
        return std::make_pair(loaded, rows);
    };
    struct Case
    {
        const char *order;
        const char *limit;
        bool packs; // an order by column position is read row by row
    };
    for (const Case &c : {Case{"grp DESC, id", "", true}, Case{"grp, id DESC", "70", true},
                          Case{"txt DESC, id", "64", true}, Case{"grp DESC, (id * 7) % 10, id ASC", "5", true},
                          Case{"2 DESC, id", "", false}}) {
        SCOPED_TRACE(c.order);
        const auto [rowByRow, expected] = read(QString::fromLatin1(c.order), QString::fromLatin1(c.limit), 1);
        ASSERT_GT(expected.size(), 4);
        QStringList shown = expected;
        if (c.packs)
            shown.replaceInStrings(rs, QStringLiteral(" ")); // a record separator reads as a space
        for (int perValue : {2, 7, 64, 1000}) {
            SCOPED_TRACE(perValue);
            const auto [loaded, rows] = read(QString::fromLatin1(c.order), QString::fromLatin1(c.limit), perValue);
            EXPECT_EQ(loaded, rowByRow);
            EXPECT_EQ(rows, shown);
        }
    }
    // Rows appended after existing ones, the rows capped as row by row caps them.
    for (const char *limit : {"", "20"}) {
        const auto [rowByRow, expected] = read(QStringLiteral("id"), QString::fromLatin1(limit), 1, 4);
        QStringList shown = expected;
        shown.replaceInStrings(rs, QStringLiteral(" "));
        const auto [loaded, rows] = read(QStringLiteral("id"), QString::fromLatin1(limit), 8, 4);
        EXPECT_EQ(loaded, rowByRow);
        EXPECT_EQ(rows, shown);
    }
    // Nothing found: no rows, as row by row.
    rdo_cntl none;
    none.setDataSource(QStringLiteral("t_pack"));
    none.setWhere(QStringLiteral("id < 0"));
    none.SetField(QStringLiteral("txt"), QString(), false, true);
    none.setPackedRows(16);
    Grid empty(1, 1);
    EXPECT_EQ(none.LoadGrid(&empty), 0);
    EXPECT_EQ(empty.rows(), 1);
}

// A grid reads the columns it declares and no other, so a column it does not show costs nothing
// and cannot fail it; a name the source lacks is still reported by name.
TEST_F(BindingTest, LoadGridReadsOnlyTheDeclaredColumns)
{
    // A column that fails whenever it is read.
    site.exec(OnPostgreSql() ? QStringLiteral("CREATE VIEW v_user_bad AS SELECT user_id, user_name, "
                                              "CAST(user_name AS INTEGER) AS bad FROM m_user")
                             : QStringLiteral("CREATE VIEW v_user_bad AS SELECT user_id, user_name, "
                                              "json_extract(user_name, '$') AS bad FROM m_user"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("v_user_bad"));
    db.setOrder(QStringLiteral("user_id"));
    db.SetField(QStringLiteral("user_id"), QString(), false, true);
    db.SetField(QStringLiteral("user_name"));
    db.SetField(QString());
    db.SetField(QStringLiteral("user_id"));
    Grid grid(1, 4);
    EXPECT_EQ(db.LoadGrid(&grid), 16);
    EXPECT_EQ(grid.textMatrix(2, 1), QStringLiteral("ユーザ2"));
    EXPECT_EQ(grid.textMatrix(2, 3), QStringLiteral("0000000002"));
    // So do the rows read without a control and a CSV file of them.
    EXPECT_EQ(db.LoadRows().size(), 15);
    EXPECT_EQ(db.PrintCSV(site.path(QStringLiteral("users.csv"))), 15);

    // Declared, it fails the grid: the failure is raised, not shown as an empty list.
    db.SetField(QStringLiteral("bad"));
    EXPECT_THROW(db.LoadGrid(&grid), RdoError);

    rdo_cntl users;
    users.setDataSource(QStringLiteral("m_user"));
    users.SetField(QStringLiteral("user_id"), QString(), false, true);
    users.SetField(QStringLiteral("no_such_column"));
    try {
        users.LoadGrid(&grid);
        ADD_FAILURE() << "a missing column was not reported";
    } catch (const RdoError &e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("no_such_column"))) << e.message().toStdString();
    }
}
