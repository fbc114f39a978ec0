// The console's controls under the access component, on a real database.
#include "ConsoleTestUtil.h"

#include "MsfGrid.h"
#include "RdoAdapters.h"

#include "TestSite.h"
#include "rdo_cntl.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include <gtest/gtest.h>

TEST(MsfGridTest, FixedRowIsTheHeaderAndCellsAreAddressedFromIt)
{
    MsfGrid g;
    g.setCols(3);
    EXPECT_EQ(g.rows(), 1);
    g.setTextMatrix(0, 1, "名前");
    EXPECT_EQ(g.textMatrix(0, 1), "名前");
    g.setRows(3);
    EXPECT_EQ(g.rowCount(), 2);
    g.setTextMatrix(2, 2, "x");
    EXPECT_EQ(g.item(1, 2)->text(), "x");
    g.setTextMatrix(3, 0, "beyond"); // outside the grid: ignored
    g.setTextMatrix(1, 7, "beyond");
    EXPECT_EQ(g.rows(), 3);
    g.setCellChecked(1, 0, true);
    EXPECT_TRUE(g.cellChecked(1, 0));
    EXPECT_FALSE(g.cellChecked(2, 0));
    g.setCellForeColor(2, 1, 0x000000FF); // red in 0x00BBGGRR
    EXPECT_EQ(g.cellForeColor(2, 1), QColor(255, 0, 0));
    EXPECT_EQ(g.curRow(), -1);
    g.setCurrentRow(2);
    EXPECT_EQ(g.curRow(), 2);
    g.setCurrentRow(0); // the header cannot be current
    EXPECT_EQ(g.curRow(), 2);

    g.setRows(1);
    EXPECT_EQ(g.rows(), 1);
    EXPECT_EQ(g.textMatrix(0, 1), "名前"); // the header survives emptying the grid

    MsfGrid noHeader;
    noHeader.setFixedRows(0);
    noHeader.setCols(1);
    noHeader.setRows(2);
    noHeader.setTextMatrix(0, 0, "first data");
    EXPECT_EQ(noHeader.item(0, 0)->text(), "first data");
}

TEST(MsfGridTest, FixedColumnsCannotBeSelected)
{
    MsfGrid g;
    g.setCols(2);
    g.setFixedCols(1);
    g.setRows(3);
    EXPECT_FALSE(g.item(0, 0)->flags() & Qt::ItemIsSelectable);
    EXPECT_FALSE(g.item(1, 0)->flags() & Qt::ItemIsSelectable); // rows added later too
}

class AdapterDbTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        site.exec("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', '総務部')");
        site.exec("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00002', 'O''Brien課')");
        site.exec("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00003', '0')");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) "
                  "VALUES ('00001', '正面玄関', '127.0.0.2', '10001', 1)");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) "
                  "VALUES ('00002', '通用口', '127.0.0.3', '10001', 0)");
    }
    orvel::test::TestSite site;
};

TEST_F(AdapterDbTest, LoadGridFillsRowsChecksAndColours)
{
    MsfGrid g;
    g.setCols(3);
    rdo_cntl db;
    db.setDataSource("telmar_v1.m_gate");
    db.SetField("gate_id", "00000", true, true);
    db.SetField("gate_name", QString(), false, false, 0x00FF0000);
    db.SetField("use_flag", "VSF_CHECK");
    db.setOrder("gate_id asc");
    EXPECT_EQ(db.LoadGrid(&g), 3);
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(g.textMatrix(1, 0), "00001");
    EXPECT_EQ(g.textMatrix(2, 1), "通用口");
    EXPECT_EQ(g.cellForeColor(1, 1), QColor(0, 0, 255));
    EXPECT_TRUE(g.cellChecked(1, 2));
    EXPECT_FALSE(g.cellChecked(2, 2));
    EXPECT_EQ(g.curRow(), 1);
    EXPECT_TRUE(g.updatesEnabled()); // redraw switched back on

    db.setWhere("gate_id = 'none'");
    EXPECT_EQ(db.LoadGrid(&g), 0);
    EXPECT_EQ(g.rows(), 1);
}

TEST_F(AdapterDbTest, LoadComboIntoDropDownAndListBox)
{
    QComboBox combo;
    rdo_cntl db;
    db.setDataSource("telmar_v1.m_emp");
    db.setDataField("emp_name");
    db.setCodeField("emp_id");
    db.setOrder("emp_id asc");
    ASSERT_TRUE(db.LoadCombo(RdoList(&combo), 2));
    ASSERT_EQ(combo.count(), 3); // the built-in department and two others; "0" is hidden
    const int obrien = combo.findText("O'Brien課");
    ASSERT_GE(obrien, 0);
    EXPECT_EQ(combo.currentIndex(), obrien);
    EXPECT_EQ(RdoList(&combo)->itemData(obrien), 2);
    EXPECT_EQ(RdoList(&combo), RdoList(&combo)); // one adapter per widget

    QListWidget list;
    ASSERT_TRUE(db.LoadCombo(RdoList(&list), 99)); // no match: nothing selected
    EXPECT_EQ(list.count(), 3);
    EXPECT_EQ(RdoList(&list)->currentIndex(), -1);
    EXPECT_EQ(RdoList(&list)->itemData(list.count() - 1), 2);
}

TEST_F(AdapterDbTest, BindLoadsAndUpdatesTextAndListControls)
{
    QLineEdit name;
    QLabel ip;
    QComboBox mode;
    mode.addItem("入室");
    mode.setItemData(0, 1);
    mode.addItem("退室");
    mode.setItemData(1, 2);

    rdo_cntl db;
    db.setDataSource("telmar_v1.m_gate");
    db.setWhere("gate_id = '00002'");
    db.SetBind("gate_name", RdoText(&name), false, true);
    db.SetBind("ip_addr", RdoText(&ip));
    db.SetBind("gate_mode", RdoList(&mode));
    site.exec("UPDATE m_gate SET gate_mode = 2 WHERE gate_id = '00002'");
    ASSERT_TRUE(db.LoadBind());
    EXPECT_EQ(name.text(), "通用口");
    EXPECT_EQ(ip.text(), "127.0.0.3");
    EXPECT_EQ(mode.currentIndex(), 1);

    name.setText("裏口 'B'");
    mode.setCurrentIndex(0);
    ASSERT_TRUE(db.UpdateBindEx());
    EXPECT_EQ(site.value("SELECT gate_name FROM m_gate WHERE gate_id = '00002'"), "裏口 'B'");
    EXPECT_EQ(site.value("SELECT gate_mode FROM m_gate WHERE gate_id = '00002'"), "1");
}
