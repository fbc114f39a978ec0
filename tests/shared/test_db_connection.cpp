// The connection layer under the access component and the services: back-end detection, units of
// work that roll back unless committed, and the reopen after a failed commit.

#include "DbConnection.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "TestSite.h"

#include <gtest/gtest.h>

using namespace orvel;

namespace {

class DbConnectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        ASSERT_TRUE(db.Open(QLatin1String(kDsn), QLatin1String(kDbUser), QLatin1String(kDbPassword))) << db.LastError().toStdString();
    }
    QString count(const QString &where) { return site.value(QStringLiteral("SELECT COUNT(*) FROM m_emp WHERE ") + where); }
    test::TestSite site;
    DbConnection db{QStringLiteral("conn_test")};
};

} // namespace

TEST_F(DbConnectionTest, FindsTheBackEndFromTheDriver)
{
    EXPECT_EQ(db.Backend(), test::TestBackend());
    EXPECT_FALSE(db.DatabasePath().isEmpty());
    // The dialect follows the connection: a date literal of the system works on either back end.
    EXPECT_TRUE(db.Exec(QStringLiteral("INSERT INTO log_telmar_raw (log_id, log_dt) VALUES (1, #2009/4/1 8:30:00#)")))
        << db.LastError().toStdString();
}

TEST_F(DbConnectionTest, AUnitOfWorkRollsBackUnlessCommitted)
{
    {
        DbTransaction work(db);
        ASSERT_TRUE(work.IsActive()) << db.LastError().toStdString();
        ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', 'a')")));
        // Leaving the scope without Commit: an early return or an exception.
    }
    EXPECT_FALSE(db.InTransaction());
    EXPECT_EQ(count(QStringLiteral("emp_id = '00001'")), QStringLiteral("0"));
    {
        DbTransaction work(db);
        ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00002', 'b')")));
        // A failed statement inside the unit does not undo the others (as SQLite has it).
        EXPECT_FALSE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00002', 'dup')")));
        ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00003', 'c')")));
        EXPECT_TRUE(work.Commit()) << db.LastError().toStdString();
        EXPECT_FALSE(work.Commit());
    }
    EXPECT_EQ(count(QStringLiteral("emp_id IN ('00002', '00003')")), QStringLiteral("2"));

    // Ending a transaction that was never begun is an error on every back end.
    EXPECT_FALSE(db.Commit());
    EXPECT_EQ(db.LastError(), QString::fromUtf8(dbtext::NoTransaction));
    EXPECT_FALSE(db.Rollback());
}

// A commit that the database refuses (a deferred constraint) leaves the connection reopened and
// usable, with the unit's writes gone and the database's own message kept.
TEST_F(DbConnectionTest, AFailedCommitReopensTheConnection)
{
    ASSERT_TRUE(db.Exec(QStringLiteral("CREATE TABLE t_parent (id INTEGER PRIMARY KEY)")));
    ASSERT_TRUE(db.Exec(QStringLiteral("CREATE TABLE t_child (pid INTEGER REFERENCES t_parent (id) DEFERRABLE "
                                       "INITIALLY DEFERRED)")));
    if (db.Backend() == DbBackend::SQLite) { // SQLite checks foreign keys only when asked, per connection
        ASSERT_TRUE(db.Exec(QStringLiteral("PRAGMA foreign_keys = ON")));
    }
    ASSERT_TRUE(db.Begin());
    ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO t_child VALUES (5)")));
    EXPECT_FALSE(db.Commit());
    EXPECT_FALSE(db.LastError().isEmpty());
    EXPECT_FALSE(db.InTransaction());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM t_child")), QStringLiteral("0"));
    // The reopened connection takes the next unit of work.
    ASSERT_TRUE(db.Begin()) << db.LastError().toStdString();
    ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO t_parent VALUES (5)")));
    ASSERT_TRUE(db.Exec(QStringLiteral("INSERT INTO t_child VALUES (5)")));
    EXPECT_TRUE(db.Commit()) << db.LastError().toStdString();
    EXPECT_EQ(site.value(QStringLiteral("SELECT COUNT(*) FROM t_child")), QStringLiteral("1"));
}

TEST_F(DbConnectionTest, ServicesAndTheComponentGiveTheSameErrorTexts)
{
    ServiceDb service(QStringLiteral("svc_errors"));
    ASSERT_TRUE(service.Open());
    EXPECT_EQ(service.Backend(), db.Backend());
    EXPECT_FALSE(service.Exec(QStringLiteral("UPDATE no_table SET x = 1")));
    EXPECT_FALSE(db.Exec(QStringLiteral("UPDATE no_table SET x = 1")));
    EXPECT_EQ(service.LastError(), db.LastError());
    EXPECT_TRUE(service.LastError().contains(QLatin1String("no_table"))) << service.LastError().toStdString();

    DbConnection closed(QStringLiteral("never_opened"));
    EXPECT_FALSE(closed.Exec(QStringLiteral("SELECT 1")));
    EXPECT_EQ(closed.LastError(), QString::fromUtf8(dbtext::NotConnected));
    EXPECT_FALSE(closed.Open(QStringLiteral("no_such_dsn"), QString(), QString()));
    EXPECT_FALSE(closed.LastError().isEmpty());
}
