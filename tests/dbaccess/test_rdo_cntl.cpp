// rdo_cntl against a real database through the ODBC driver: SQL building, quoting, the field
// list, errors, transactions and compaction.

#include "OrvelDefs.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include "TestControls.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <gtest/gtest.h>

using orvel::test::TestSite;

namespace {

class RdoTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    TestSite site;
};

void NewEmp(rdo_cntl &db, const QString &id, const QString &name)
{
    db.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    db.SetData(QStringLiteral("emp_id"), id, true, true);
    db.SetData(QStringLiteral("emp_name"), name);
    db.SetData(QStringLiteral("emp_bikou"), QString());
}

} // namespace

TEST_F(RdoTest, SourceNameAndConditionsAreBuiltAsGiven)
{
    rdo_cntl db;
    ASSERT_TRUE(rdo_cntl::IsMdbMode());
    db.setDataSource(QStringLiteral("a.b.c"));
    EXPECT_EQ(db.DataSource(), QStringLiteral("b.c"));
    db.setDataSource(QStringLiteral("m_user"));
    EXPECT_EQ(db.DataSource(), QStringLiteral("m_user"));

    db.setWhere(QStringLiteral("x = 1"));
    db.setWhereS(QStringLiteral("y = 2"));
    db.setWhereS(QStringLiteral("z = 3"));
    EXPECT_EQ(db.Where(), QStringLiteral("x = 1 AND y = 2 AND z = 3"));
    EXPECT_EQ(db.WhereS(), QStringLiteral("z = 3"));
    db.setWhere(QString());
    db.setWhereS(QStringLiteral("only = 1"));
    EXPECT_EQ(db.Where(), QStringLiteral("only = 1"));
}

TEST_F(RdoTest, FieldListHoldsFiftyOneEntriesAndIsNewStartsOver)
{
    rdo_cntl db;
    for (int i = 0; i < rdo_cntl::kListSize; ++i)
        db.SetField(QStringLiteral("f%1").arg(i), QString(), false, i == 0);
    EXPECT_EQ(db.FieldCount(), 51);
    EXPECT_THROW(db.SetField(QStringLiteral("f51")), RdoError);
    EXPECT_EQ(db.FieldCount(), 51);

    for (int i = 0; i < 5; ++i)
        db.SetData(QStringLiteral("d%1").arg(i), i, false, i == 0);
    db.SetData(QStringLiteral("again"), 1, false, true);
    EXPECT_EQ(db.FieldCount(), 1);
}

TEST_F(RdoTest, InsertRefusesAnExistingKeyAndKeepsTheMessage)
{
    rdo_cntl db;
    NewEmp(db, QStringLiteral("00001"), QStringLiteral("総務部"));
    ASSERT_TRUE(db.InsertData());
    EXPECT_FALSE(db.errMsg().isValid() && !db.errMsg().toString().isEmpty());

    NewEmp(db, QStringLiteral("00001"), QStringLiteral("別の名前"));
    EXPECT_FALSE(db.InsertData());
    EXPECT_EQ(db.errMsg().toString(), QStringLiteral("既に登録されています。"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00001'")),
              QStringLiteral("総務部"));

    // A later successful insert does not clear the message.
    NewEmp(db, QStringLiteral("00002"), QStringLiteral("営業部"));
    EXPECT_TRUE(db.InsertData());
    EXPECT_EQ(db.errMsg().toString(), QStringLiteral("既に登録されています。"));
}

TEST_F(RdoTest, QuotesInValuesAreStoredAndFoundNotExecuted)
{
    rdo_cntl db;
    NewEmp(db, QStringLiteral("00003"), QStringLiteral("O'Brien"));
    ASSERT_TRUE(db.InsertData());
    // The duplicate check with a quoted key value works too.
    db.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    db.SetData(QStringLiteral("emp_id"), QStringLiteral("0'4"), true, true);
    db.SetData(QStringLiteral("emp_name"), QStringLiteral("x'); DELETE FROM m_emp; --"));
    ASSERT_TRUE(db.InsertData());
    EXPECT_FALSE(db.InsertData());

    db.setWhere(QStringLiteral("emp_id = '00003'"));
    EXPECT_EQ(db.GetData(QStringLiteral("emp_name")).toString(), QStringLiteral("O'Brien"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_emp")), QStringLiteral("3"));

    // Update and the Ex variants with their own enclosing characters.
    db.setDataSource(QStringLiteral("telmar_v1.m_emp"));
    db.SetData(QStringLiteral("emp_id"), QStringLiteral("00003"), true, true);
    db.SetData(QStringLiteral("emp_name"), QStringLiteral("O'Neil \"Jr\""));
    ASSERT_TRUE(db.UpdateData());
    EXPECT_EQ(site.value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00003'")),
              QStringLiteral("O'Neil \"Jr\""));

    db.setDataSource(QStringLiteral("telmar_v1.m_gauthority"));
    db.setWhere(QString());
    db.SetData(QStringLiteral("gauthority_id"), 7, true, true);
    db.SetData(QStringLiteral("gauthority_name"), QStringLiteral("it's \"quoted\""), false, false, QStringLiteral("\""));
    ASSERT_TRUE(db.InsertDataEx());
    EXPECT_EQ(site.value(QStringLiteral("SELECT gauthority_name FROM m_gauthority WHERE gauthority_id = 7")),
              QStringLiteral("it's \"quoted\""));

    // Text in double quotes is text: a key whose value is also a column's name is compared with
    // that text, not with the column (which matched every row and refused the insert).
    db.SetData(QStringLiteral("gauthority_id"), 9, false, true);
    db.SetData(QStringLiteral("gauthority_name"), QStringLiteral("gauthority_name"), true, false, QStringLiteral("\""));
    ASSERT_TRUE(db.InsertDataEx());
    EXPECT_FALSE(db.InsertDataEx());
    EXPECT_EQ(site.value(QStringLiteral("SELECT gauthority_id FROM m_gauthority WHERE gauthority_name = 'gauthority_name'")),
              QStringLiteral("9"));
}

TEST_F(RdoTest, ExVariantsJoinTheirKeysToWhere)
{
    site.exec(QStringLiteral("UPDATE t_userreq SET result = 1"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.t_userreq"));
    db.setWhere(QStringLiteral("req_id = 1"));
    db.SetData(QStringLiteral("req_id"), 1, false, true);
    db.SetData(QStringLiteral("ip_addr"), QStringLiteral("127.0.0.2"));
    db.SetData(QStringLiteral("result"), 0);
    db.SetData(QStringLiteral("req_cmd"), 201);
    ASSERT_TRUE(db.UpdateDataEx());
    EXPECT_EQ(site.value(QStringLiteral("SELECT result || ',' || req_cmd || ',' || ip_addr FROM t_userreq")),
              QStringLiteral("0,201,127.0.0.2"));

    // A key that matches nothing under Where updates nothing.
    db.SetData(QStringLiteral("req_id"), 1, true, true);
    db.SetData(QStringLiteral("ip_addr"), QStringLiteral("10.0.0.1"));
    db.setWhere(QStringLiteral("req_id = 2"));
    ASSERT_TRUE(db.UpdateDataEx());
    EXPECT_EQ(site.value(QStringLiteral("SELECT ip_addr FROM t_userreq")), QStringLiteral("127.0.0.2"));

    // InsertDataEx's duplicate check respects Where as well.
    db.setDataSource(QStringLiteral("telmar_v1.t_gate_permit"));
    db.setWhere(QStringLiteral("gate_id = '00001'"));
    db.SetData(QStringLiteral("user_id"), QStringLiteral("0000000001"), true, true);
    db.SetData(QStringLiteral("gate_id"), QStringLiteral("00001"));
    db.SetData(QStringLiteral("sync_flag"), 1, false, false, QString());
    db.SetData(QStringLiteral("use_flag"), 1, false, false, QString());
    EXPECT_TRUE(db.InsertDataEx());
    EXPECT_FALSE(db.InsertDataEx());
}

TEST_F(RdoTest, DeleteNeverRaisesAndEmptyWhereEmptiesTheTable)
{
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name) VALUES ('00001', 'A')"));
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name) VALUES ('00002', 'B')"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    db.setWhere(QStringLiteral("gate_id = '00001'"));
    EXPECT_TRUE(db.DeleteData());
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_gate")), QStringLiteral("1"));
    db.setWhere(QString());
    EXPECT_TRUE(db.DeleteData());
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_gate")), QStringLiteral("0"));

    db.setDataSource(QStringLiteral("no_such_table"));
    EXPECT_FALSE(db.DeleteData());
}

TEST_F(RdoTest, ReadingValuesAndRaisingErrors)
{
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.m_user"));
    db.setWhere(QStringLiteral("gauthority = 2"));
    EXPECT_EQ(db.GetData(QStringLiteral("user_id")).toString(), QString());

    for (int i = 1; i <= 3; ++i)
        site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name, gate_mode) VALUES ('0000%1', 'G%1', 1)").arg(i));
    db.setDataSource(QStringLiteral("telmar_v1.m_gate"));
    db.setWhere(QString());
    db.setOrder(QStringLiteral("gate_id desc"));
    QVector<QVariant> ids(3);
    EXPECT_EQ(db.GetDataS(ids, QStringLiteral("gate_id")), 3);
    EXPECT_EQ(ids[0].toString(), QStringLiteral("00003"));
    QVector<QVariant> tooFew(2);
    EXPECT_THROW(db.GetDataS(tooFew), RdoError);
    db.setLimit(QStringLiteral("1"));
    EXPECT_EQ(db.GetData().toString(), QStringLiteral("00003"));

    EXPECT_EQ(db.ExecFunction(QStringLiteral("SELECT gate_name FROM m_gate WHERE gate_id = '00002'")).toString(),
              QStringLiteral("G2"));
    EXPECT_EQ(db.ExecFunction(QStringLiteral("SELECT gate_name FROM m_gate WHERE gate_id = '99999'")).toString(),
              QString());
    EXPECT_THROW(db.Execute(QStringLiteral("UPDATE nowhere SET x = 1")), RdoError);
    EXPECT_THROW(db.GetData(QStringLiteral("no_column")), RdoError);

    // Column counts of empty tables and views are known too.
    EXPECT_EQ(db.TableInfo_GetFieldCount(QStringLiteral("log_telmar_plus")), 18);
    EXPECT_EQ(db.TableInfo_GetFieldCount(QStringLiteral("log_telmar_raw")), 7);
    EXPECT_GE(db.TableInfo_GetFieldCount(QStringLiteral("m_gate")), 13);
}

TEST_F(RdoTest, DateLiteralsOfTheSystemDialectSelectByRange)
{
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (1, #2009/4/1 8:30:00#, 1)"));
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (2, #2009/04/10 23:59:59#, 1)"));
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type) VALUES (3, #2009/05/01 00:00:00#, 1)"));
    rdo_cntl db;
    db.setDataSource(QStringLiteral("telmar_v1.log_telmar_plus"));
    db.setWhere(QStringLiteral("log_dt >= #2009/04/01 00:00:00#"));
    db.setWhereS(QStringLiteral("log_dt <= #2009/04/10 23:59:59#"));
    QVector<QVariant> ids(5);
    EXPECT_EQ(db.GetDataS(ids, QStringLiteral("log_id")), 2);
    db.setWhere(QStringLiteral("log_id = 1"));
    EXPECT_EQ(db.GetData(QStringLiteral("log_dt")).toString(), QStringLiteral("2009/04/01 08:30:00"));
}

TEST_F(RdoTest, TransactionsSpanInstancesAndRollBack)
{
    rdo_cntl a, b;
    a.BeginTrans();
    NewEmp(b, QStringLiteral("00010"), QStringLiteral("一時"));
    ASSERT_TRUE(b.InsertData());
    a.RollbackTrans();
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00010'")), QStringLiteral("0"));

    a.BeginTrans();
    ASSERT_TRUE(b.InsertData());
    a.CommitTrans();
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00010'")), QStringLiteral("1"));
    EXPECT_THROW(a.CommitTrans(), RdoError); // nothing to commit
    // The connection still works after the failed commit.
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM m_emp")), QStringLiteral("2"));
}

TEST_F(RdoTest, LazyReconnectAfterTermLeavesMdbModeOff)
{
    rdo_cntl db;
    db.Term();
    EXPECT_FALSE(rdo_cntl::IsConnected());
    db.setDataSource(QStringLiteral("m_emp"));
    db.setWhere(QStringLiteral("emp_id = '00000'"));
    EXPECT_EQ(db.GetData(QStringLiteral("emp_name")).toString(), QStringLiteral("無所属"));
    EXPECT_TRUE(rdo_cntl::IsConnected());
    EXPECT_FALSE(rdo_cntl::IsMdbMode());

    // A data source that cannot be opened: every operation gives its failed value, none raises.
    rdo_cntl::setDBName(QStringLiteral("no_such_dsn"));
    db.Term();
    EXPECT_FALSE(db.Execute(QStringLiteral("SELECT 1")));
    EXPECT_EQ(db.GetData().toString(), QString());
    EXPECT_EQ(db.TableInfo_GetFieldCount(QStringLiteral("m_emp")), 0);
    EXPECT_FALSE(db.DeleteData());
    EXPECT_EQ(db.PrintCSV(site.path(QStringLiteral("x.csv"))), -1);
    EXPECT_FALSE(db.InitMDB(QStringLiteral("no_such_dsn"), QString(), QString()));
}

// SQLite rewrites the site's file in place; a server database is vacuumed where it is, and its
// "path" is the database's name.
TEST_F(RdoTest, CompactionRewritesTheSiteDatabaseInPlace)
{
    rdo_cntl db;
    const QString path = db.GetDBPath();
    if (orvel::test::OnPostgreSql()) {
        EXPECT_EQ(path, site.value(QStringLiteral("SELECT current_database()")));
    } else {
        EXPECT_EQ(QFileInfo(path).canonicalFilePath(),
                  QFileInfo(site.path(QStringLiteral("telmar.db"))).canonicalFilePath());
    }
    for (int i = 0; i < 200; ++i)
        site.exec(QStringLiteral("INSERT INTO log_telmar (gate_id, guser_id, log_type, log_dt) "
                                 "VALUES ('00001', '%1', 1, '2009-04-01 08:30:00')").arg(i));
    site.exec(QStringLiteral("DELETE FROM log_telmar WHERE log_id > 10"));
    const bool mdb = rdo_cntl::IsMdbMode();
    EXPECT_TRUE(db.CompactDB().toBool());
    EXPECT_TRUE(rdo_cntl::IsConnected());
    EXPECT_EQ(rdo_cntl::IsMdbMode(), mdb);
    if (!orvel::test::OnPostgreSql()) {
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("10"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT emp_name FROM m_emp")), QStringLiteral("無所属"));
}

// A screen keeps its instances for its whole life: after any operation they must read what
// another process has committed since, not an old snapshot.
TEST_F(RdoTest, LongLivedInstancesSeeWritesOfOtherConnections)
{
    QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), QStringLiteral("other"));
    other.setDatabaseName(QLatin1String(orvel::kDsn));
    ASSERT_TRUE(other.open());
    auto write = [&](int v) {
        QSqlQuery q(other);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE t_userreq SET result = %1").arg(v)));
    };
    rdo_cntl bound, read;
    orvel::test::TextBox box;
    bound.setDataSource(QStringLiteral("telmar_v1.t_userreq"));
    bound.SetBind(QStringLiteral("result"), &box, false, true);
    read.setDataSource(QStringLiteral("telmar_v1.t_userreq"));
    read.setDataField(QStringLiteral("result"));
    for (int v = 10; v < 13; ++v) {
        write(v);
        ASSERT_TRUE(bound.LoadBind());
        EXPECT_EQ(box.text(), QString::number(v));
        EXPECT_EQ(read.GetData().toString(), QString::number(v));
    }
    other.close();
    other = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
}
