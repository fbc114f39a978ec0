// The shared schema of a new site, how its views resolve log records, and the upgrade of an
// older database.

#include "OrvelDefs.h"
#include "Schema.h"
#include "TestSite.h"
#include "UpgradeSchema.h"
#include "rdo_cntl.h"

#include <gtest/gtest.h>

using orvel::test::TestSite;

namespace {

class SchemaTest : public ::testing::TestWithParam<int>
{
protected:
    SchemaTest()
        : site(GetParam())
    {
    }
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    QString count(const QString &from) { return site.value(QStringLiteral("SELECT COUNT(*) FROM ") + from); }
    TestSite site;
};

class FelicaSchemaTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    TestSite site{orvel::EditionFelica};
};

class MifareSchemaTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    TestSite site{orvel::EditionMifare};
};

void AddUser(TestSite &site, const QString &id, const QString &guser, int deleted = 0, const QString &emp = "00000")
{
    site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type, gauthority, "
                             "delete_flag) VALUES ('%1', '名前%1', '%2', '%3', 2, 1, %4)")
                  .arg(id, emp, guser)
                  .arg(deleted));
}

void AddRaw(TestSite &site, const QString &guser, int type, const QString &gate = "00001")
{
    site.exec(QStringLiteral("INSERT INTO log_telmar (gate_id, guser_id, log_type, log_dt) "
                             "VALUES ('%1', '%2', %3, #2009/04/01 08:30:00#)")
                  .arg(gate, guser)
                  .arg(type));
}

} // namespace

TEST_P(SchemaTest, NewSiteHoldsEveryTableViewAndInitialRow)
{
    for (const QString &t : orvel::schema::TableNames())
        EXPECT_NO_THROW(count(t)) << t.toStdString();
    // Every view can be read: a view that names a wrong column fails only when it is used.
    for (const QString &v : orvel::schema::ViewNames())
        EXPECT_NO_THROW(count(v)) << v.toStdString();

    rdo_cntl db;
    EXPECT_GE(db.TableInfo_GetFieldCount(QStringLiteral("m_gate")), orvel::schema::kGateColumnsCurrent);
    EXPECT_GE(db.TableInfo_GetFieldCount(QStringLiteral("set_mainte")), orvel::schema::kMainteColumnsCurrent);

    EXPECT_EQ(site.value(QStringLiteral("SELECT emp_name FROM m_emp WHERE emp_id = '00000'")), QStringLiteral("無所属"));
    EXPECT_EQ(count(QStringLiteral("t_srv_ctrl WHERE server_id IN (1, 2)")), QStringLiteral("2"));
    EXPECT_EQ(count(QStringLiteral("t_userreq WHERE req_id = 1")), QStringLiteral("1"));
    EXPECT_EQ(count(QStringLiteral("t_autolog_info WHERE id = 1")), QStringLiteral("1"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT sync_disp FROM m_sync_flag WHERE sync_flag = 0")), QStringLiteral("済"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT gauthority_name FROM m_gauthority WHERE gauthority_id = 2")),
              QStringLiteral("管理者"));
    EXPECT_EQ(count(QStringLiteral("m_gauth_type")), QStringLiteral("4"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT db_vers FROM set_mainte WHERE mainte_id = 1")),
              GetParam() == orvel::EditionMifare ? QStringLiteral("1.1") : QStringLiteral("1.0"));
    // Every log type of the log categories has a message.
    EXPECT_EQ(count(QStringLiteral("m_glog_define WHERE log_message IS NULL OR log_message = ''")), QStringLiteral("0"));
    for (int t : {1, 18, 36, 166, 211, 28, 250})
        EXPECT_EQ(count(QStringLiteral("m_glog_define WHERE log_type = %1").arg(t)), QStringLiteral("1")) << t;
}

INSTANTIATE_TEST_SUITE_P(BothEditions, SchemaTest, ::testing::Values(1, 2));

TEST_F(FelicaSchemaTest, RawRecordsResolveToExactlyOneRowEach)
{
    site.exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', '総務部')"));
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name, zone_name, ip_addr, gate_mode) "
                             "VALUES ('00001', '正面', '1F', '127.0.0.2', 2)"));
    // A card handed on after its first owner was deleted belongs to the live user.
    AddUser(site, QStringLiteral("0000000001"), QStringLiteral("CARD-A"), 1);
    AddUser(site, QStringLiteral("0000000002"), QStringLiteral("CARD-A"), 0, QStringLiteral("00001"));
    AddUser(site, QStringLiteral("0000000003"), orvel::PlaceholderGuserId(1, QStringLiteral("0000000003")));
    AddRaw(site, QStringLiteral("CARD-A"), 1);
    AddRaw(site, orvel::PlaceholderGuserId(1, QStringLiteral("0000000003")), 1);
    AddRaw(site, QStringLiteral("UNKNOWN"), 28);
    AddRaw(site, QStringLiteral("CARD-A"), 77); // a type the table of messages does not know

    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_make_log_telmar_plusX")), QStringLiteral("4"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id || '/' || emp_name || '/' || gate_mode FROM "
                                        "v_make_log_telmar_plusX WHERE log_id = 1")),
              QStringLiteral("0000000002/総務部/2"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id FROM v_make_log_telmar_plusX WHERE log_id = 2")),
              QStringLiteral("0000000003"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COALESCE(user_id, 'none') || '/' || log_message FROM "
                                        "v_make_log_telmar_plusX WHERE log_id = 3")),
              QStringLiteral("none/認証NG(未登録)"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_message FROM v_make_log_telmar_plusX WHERE log_id = 4")), QString());
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_make_log_telmar_plusX WHERE write_ok_flag <> 7")),
              QStringLiteral("4"));
}

TEST_F(FelicaSchemaTest, LogIdsAreNeverReusedAfterProcessedRowsAreDeleted)
{
    AddRaw(site, QStringLiteral("A"), 1);
    AddRaw(site, QStringLiteral("B"), 1);
    site.exec(QStringLiteral("UPDATE log_telmar SET write_ok_flag = 7"));
    site.exec(QStringLiteral("DELETE FROM log_telmar WHERE write_ok_flag = 7"));
    AddRaw(site, QStringLiteral("C"), 1);
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_id FROM log_telmar")), QStringLiteral("3"));
}

TEST_F(FelicaSchemaTest, LogViewsSeparateTheKindsOfRecord)
{
    int id = 0;
    for (int type : {1, 1, 18, 160, 28, 234, 255}) {
        ++id;
        site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_dt, log_type, user_id, gate_mode) "
                                 "VALUES (%1, #2009/04/01 08:%2:00#, %3, '0000000001', '入室')")
                      .arg(id)
                      .arg(id, 2, 10, QLatin1Char('0'))
                      .arg(type));
    }
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_plus_1")), QStringLiteral("2"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_plus_2")), QStringLiteral("2"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_plus_3")), QStringLiteral("2"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_plus_4")), QStringLiteral("6"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_pass")), QStringLiteral("2"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_log_telmar_auth2")), QStringLiteral("4"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT auth_result || gate_direction FROM v_log_telmar_auth2 WHERE log_id = 6")),
              QStringLiteral("失敗入室"));
}

TEST_F(FelicaSchemaTest, NewTemplateNumbersFillGapsFirst)
{
    EXPECT_EQ(site.value(QStringLiteral("SELECT new_tpl_id FROM v_tplid_new")), QStringLiteral("1"));
    site.exec(QStringLiteral("INSERT INTO l_fptpl VALUES ('0000000001', 0, 1, 0)"));
    site.exec(QStringLiteral("INSERT INTO l_fptpl VALUES ('0000000001', 1, 2, 0)"));
    site.exec(QStringLiteral("INSERT INTO l_fptpl VALUES ('0000000002', 0, 4, 1)"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT new_tpl_id FROM v_tplid_new")), QStringLiteral("3"));
    site.exec(QStringLiteral("DELETE FROM l_fptpl WHERE tpl_id = 1"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT new_tpl_id FROM v_tplid_new")), QStringLiteral("1"));
    // Templates still being written are not yet sent to gates.
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_fptpl_guser")), QStringLiteral("1"));
}

TEST_F(MifareSchemaTest, CardlessUsersResolveThroughTheirPlaceholder)
{
    AddUser(site, QStringLiteral("0000000042"), QString());
    AddUser(site, QStringLiteral("0000000043"), QStringLiteral("0123456789ABCDEF"));
    AddRaw(site, orvel::PlaceholderGuserId(2, QStringLiteral("0000000042")), 1);
    AddRaw(site, QStringLiteral("0123456789ABCDEF"), 1);
    AddRaw(site, QStringLiteral("9999999990000000000"), 1); // placeholder of no user
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_make_log_telmar_plusX_M")), QStringLiteral("3"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id FROM v_make_log_telmar_plusX_M WHERE log_id = 1")),
              QStringLiteral("0000000042"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id FROM v_make_log_telmar_plusX_M WHERE log_id = 2")),
              QStringLiteral("0000000043"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COALESCE(user_id, '-') FROM v_make_log_telmar_plusX_M "
                                        "WHERE log_id = 3")),
              QStringLiteral("-"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT guser_id2 FROM v_user_plus2_M WHERE user_id = '0000000042'")),
              QStringLiteral("9999999990000000042"));
}

// Sites set up before placeholders were matched on the user ID hold the concatenating view, which
// read every user for every such record; the upgrade replaces it, the rows stay the same.
TEST_F(MifareSchemaTest, UpgradeRevisesTheOlderPlaceholderViewWithTheSameRows)
{
    if (orvel::test::TestBackend() != orvel::DbBackend::SQLite)
        GTEST_SKIP() << "only SQLite files of earlier versions hold the older view; every PostgreSQL database "
                        "was made with the current one";
    const QString view = QStringLiteral("v_make_log_telmar_plusX_M");
    QString older = orvel::schema::CreateViewStatement(view, orvel::DbBackend::SQLite);
    const QString match = QStringLiteral("uu.user_id = substr(l.guser_id, 10) AND substr(l.guser_id, 1, 9) = '999999999'");
    ASSERT_TRUE(older.contains(match));
    older.replace(match, QStringLiteral("'999999999' || uu.user_id = l.guser_id"));
    site.exec(QStringLiteral("DROP VIEW ") + view);
    site.exec(older);
    site.exec(QStringLiteral("DROP INDEX ix_user_guser"));
    AddUser(site, QStringLiteral("0000000042"), QString());
    AddUser(site, QStringLiteral("0000000043"), QStringLiteral("0123456789ABCDEF"));
    for (const char *g : {"9999999990000000042", "0123456789ABCDEF", "9999999990000000000", "A999999990000000042",
                          "99999999900000000420"})
        AddRaw(site, QLatin1String(g), 1);
    const QString rows = QStringLiteral("SELECT group_concat(log_id || ':' || COALESCE(user_id, '-'), ' ') FROM "
                                        "(SELECT * FROM v_make_log_telmar_plusX_M ORDER BY log_id)");
    const QString before = site.value(rows);
    EXPECT_EQ(before, QStringLiteral("1:0000000042 2:0000000043 3:- 4:- 5:-"));

    rdo_cntl db;
    orvel::UpgradeSchema(db, orvel::EditionMifare);
    EXPECT_EQ(site.value(rows), before);
    EXPECT_TRUE(site.value(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(view)).contains(match));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE name = 'ix_user_guser'")),
              QStringLiteral("1"));
}

// An older database: m_gate and t_userreq without port_no, set_mainte without db_vers, and
// none of the views the upgrade creates.
namespace {
void MakeOldLayout(TestSite &site)
{
    for (const QString &v : orvel::schema::ViewNames())
        site.exec(QStringLiteral("DROP VIEW IF EXISTS ") + v);
    site.exec(QStringLiteral("DROP TABLE m_gate"));
    site.exec(QStringLiteral("CREATE TABLE m_gate (gate_id VARCHAR(5) PRIMARY KEY, zone_name VARCHAR(25), "
                             "gate_name VARCHAR(50), ip_addr VARCHAR(15), gate_bikou VARCHAR(255), gate_mode INTEGER, "
                             "use_flag INTEGER, delete_flag INTEGER, regist_dt VARCHAR(10), refix_dt VARCHAR(10), "
                             "gate_extra1 INTEGER, gate_extra2 INTEGER)"));
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name, ip_addr, use_flag, delete_flag) "
                             "VALUES ('00001', 'A', '127.0.0.2', 1, 0)"));
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, gate_name, ip_addr, use_flag, delete_flag) "
                             "VALUES ('00002', 'B', '127.0.0.3', 1, 0)"));
    site.exec(QStringLiteral("DROP TABLE t_userreq"));
    site.exec(QStringLiteral("CREATE TABLE t_userreq (req_id VARCHAR(10) PRIMARY KEY, req_cmd INTEGER, "
                             "ip_addr VARCHAR(15), user_id VARCHAR(10), guser_id VARCHAR(32), gauthority INTEGER, "
                             "gauth_type INTEGER, result INTEGER, detail VARCHAR(20))"));
    site.exec(QStringLiteral("DROP TABLE set_mainte"));
    site.exec(QStringLiteral("CREATE TABLE set_mainte (mainte_id INTEGER PRIMARY KEY, day_mainte_time VARCHAR(4), "
                             "logtel_leave_days INTEGER, db_mainte_flag INTEGER, set_time_flag INTEGER, "
                             "guser_mainte_flag INTEGER)"));
    site.exec(QStringLiteral("INSERT INTO set_mainte VALUES (1, '0300', 30, 0, 1, 0)"));
}

QString Snapshot(TestSite &site)
{
    return site.value(QStringLiteral("SELECT group_concat(gate_id || '=' || port_no, ';') FROM m_gate")) + u'|' +
           site.value(QStringLiteral("SELECT db_vers FROM set_mainte")) + u'|' +
           QString::number(site.viewCount());
}
} // namespace

TEST_F(FelicaSchemaTest, UpgradeBringsAnOldDatabaseUpOnceAndThenChangesNothing)
{
    MakeOldLayout(site);
    site.exec(QStringLiteral("DROP TABLE log_gate_seq"));
    rdo_cntl db;
    orvel::UpgradeSchema(db, orvel::EditionFelica);
    // The collector's identity table arrives, and what it holds survives a later upgrade.
    site.exec(QStringLiteral("INSERT INTO log_gate_seq VALUES ('00001', 4000000000, 17)"));
    orvel::UpgradeSchema(db, orvel::EditionFelica);
    EXPECT_EQ(site.value(QStringLiteral("SELECT log_epoch || '/' || last_seq FROM log_gate_seq")),
              QStringLiteral("4000000000/17"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT group_concat(port_no, ',') FROM m_gate")), QStringLiteral("3001,3001"));
    EXPECT_NO_THROW(site.exec(QStringLiteral("UPDATE t_userreq SET port_no = '3001'")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM v_unlock_gate2 INNER JOIN m_gate USING (gate_id)")),
              QStringLiteral("0")); // no lock_gate rows yet, but the view works
    EXPECT_NO_THROW(site.value(QStringLiteral("SELECT COUNT(*) FROM v_gate_user_list4")));
    EXPECT_EQ(site.value(QStringLiteral("SELECT db_vers FROM set_mainte")), QStringLiteral("1.0"));
    EXPECT_EQ(site.viewCount({QStringLiteral("v_user_plus2_M")}), 0);

    // The old m_gate still has fewer columns than a new one, so the first step runs again: a
    // port set since then must survive it.
    site.exec(QStringLiteral("UPDATE m_gate SET port_no = '4000' WHERE gate_id = '00002'"));
    const QString before = Snapshot(site);
    orvel::UpgradeSchema(db, orvel::EditionFelica);
    EXPECT_EQ(Snapshot(site), before);
    EXPECT_TRUE(before.startsWith(QStringLiteral("00001=3001;00002=4000|1.0|")));
}

TEST_F(MifareSchemaTest, UpgradeRunsTheMifareStepByVersion)
{
    MakeOldLayout(site);
    rdo_cntl db;
    // An empty version counts as 0: the step runs.
    orvel::UpgradeSchema(db, orvel::EditionMifare);
    EXPECT_EQ(site.value(QStringLiteral("SELECT db_vers FROM set_mainte")), QStringLiteral("1.1"));
    EXPECT_EQ(site.viewCount({QStringLiteral("v_user_plus2_M"), QStringLiteral("v_make_log_telmar_plusX_M")}), 2);

    // At "1.1" the step is skipped: a dropped view stays dropped.
    site.exec(QStringLiteral("DROP VIEW v_make_log_telmar_plusX_M"));
    orvel::UpgradeSchema(db, orvel::EditionMifare);
    EXPECT_EQ(site.viewCount({QStringLiteral("v_make_log_telmar_plusX_M")}), 0);
    EXPECT_EQ(site.value(QStringLiteral("SELECT db_vers FROM set_mainte")), QStringLiteral("1.1"));

    site.exec(QStringLiteral("UPDATE set_mainte SET db_vers = ''"));
    orvel::UpgradeSchema(db, orvel::EditionMifare);
    EXPECT_EQ(site.viewCount({QStringLiteral("v_make_log_telmar_plusX_M")}), 1);
}

TEST_F(FelicaSchemaTest, UpgradeOfACurrentDatabaseChangesNothing)
{
    site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, port_no) VALUES ('00001', '5000')"));
    const QString before = Snapshot(site);
    rdo_cntl db;
    orvel::UpgradeSchema(db, orvel::EditionFelica);
    EXPECT_EQ(Snapshot(site), before);
}
