// Log processing on a real database: the three outputs of a raw record, guarded by the bits of
// write_ok_flag, the automatic log file, and resuming after a failure.

#include "HarvesterTestUtil.h"
#include "LogProcessor.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

using namespace orvel;
using namespace harvester;
using namespace harvester::test;
using orvel::test::TestSite;

namespace {

class LogProcessing : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        ASSERT_TRUE(OpenShort(db)) << db.LastError().toStdString();
        AddGate(site, QStringLiteral("00005"), QStringLiteral("127.0.0.9"), 3001, gate_mode::Exit,
                QStringLiteral("O'Hare exit"));
        AddGate(site, QStringLiteral("00006"), QStringLiteral("127.0.0.10"), 3001, gate_mode::Entry);
        AddUser(site, QStringLiteral("0000000001"), QStringLiteral("O'Brien 50%2"), QStringLiteral("CARD0001"));
        logFile = site.path(QStringLiteral("auto log.txt"));
    }

    void Raw(const QString &gate, const QString &guser, int type, const QString &dt)
    {
        site.exec(QStringLiteral("Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) Values(%1, %2, %3, %4)")
                      .arg(SqlText(gate), SqlText(guser))
                      .arg(type)
                      .arg(SqlText(dt)));
    }

    // log_mode and the items set to 1 (others 0), writing to logFile.
    void Configure(int mode, std::initializer_list<int> items, const QString &path = QString())
    {
        QString sql = QStringLiteral("UPDATE t_autolog_info SET log_mode = %1, file_path = %2")
                          .arg(mode)
                          .arg(SqlText(path.isEmpty() ? logFile : path));
        for (int i = 1; i <= 13; ++i)
            sql += QStringLiteral(", item_%1 = %2").arg(i).arg(std::find(items.begin(), items.end(), i) != items.end());
        site.exec(sql + QStringLiteral(" WHERE id = 1"));
    }

    QString Value(const QString &sql) { return site.value(sql); }

    TestSite site;
    ServiceDb db{QStringLiteral("processor")};
    QString logFile;
};

TEST_F(LogProcessing, AdmittedAtAnExitGateIsAnExitInTheRowAndTheFile)
{
    Configure(4, {1, 2, 4, 7, 8, 9});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    LogProcessor p(db, EditionFelica);
    EXPECT_TRUE(p.Step());
    EXPECT_FALSE(p.Step()); // nothing left

    EXPECT_EQ(Value(QStringLiteral("SELECT log_message || '|' || gate_mode || '|' || user_name || '|' || gate_name "
                                   "|| '|' || user_id FROM log_telmar_plus")),
              QStringLiteral("退室しました。|退室|O'Brien 50%2|O'Hare exit|0000000001"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw")), QStringLiteral("1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
    EXPECT_EQ(ReadFileText(logFile),
              QStringLiteral("2009/04/01,08:30:00,1,退室しました。,O'Brien 50%2,00005,O'Hare exit,退室\r\n"));
    // The log time is stored as a proper date-time: range queries find it.
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus WHERE log_dt >= '2009-04-01 08:00:00' "
                                   "AND log_dt < '2009-04-01 09:00:00'")),
              QStringLiteral("1"));
}

TEST_F(LogProcessing, FileLineHasOnlyTheChosenItemsAndIsAppendedNeverTruncated)
{
    {
        QFile f(logFile);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("earlier line\r\n");
    }
    Configure(1, {1, 7, 13});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    Raw(QStringLiteral("00006"), QStringLiteral("UNKNOWN"), 28, QStringLiteral("2009-04-01 08:31:00")); // not mode 1
    Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:32:05"));
    LogProcessor p(db, EditionFelica);
    while (p.Step()) {
    }
    QFile f(logFile);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("earlier line\r\n2009/04/01,08:30:00,1,00005\r\n2009/04/01,08:32:05,1,00006\r\n"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("3"));
    EXPECT_EQ(Value(QStringLiteral("SELECT gate_mode FROM log_telmar_plus WHERE gate_id = '00006' AND log_type = 1")),
              QStringLiteral("入室"));
    EXPECT_EQ(Value(QStringLiteral("SELECT log_message FROM log_telmar_plus WHERE gate_id = '00006' AND log_type = 1")),
              QStringLiteral("入室しました。"));
}

TEST_F(LogProcessing, ModeZeroStillCompletesAndDeletesTheRowWithoutAFile)
{
    Configure(0, {1, 2, 3});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    LogProcessor p(db, EditionFelica);
    EXPECT_TRUE(p.Step());
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("1"));
    EXPECT_FALSE(QFile::exists(logFile));
}

TEST_F(LogProcessing, UnwritableFileKeepsTheRowAtThreeUntilTheFileCanBeWritten)
{
    // A log file another program holds open exclusively, then a folder that does not exist.
    Configure(4, {1});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    const int holder = ::open(QFile::encodeName(logFile).constData(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    QString shown;
    LogProcessor p(db, EditionFelica);
    p.SetDisplay([&](const QString &t) { shown = t; });
    EXPECT_FALSE(p.Step());
    EXPECT_EQ(p.LastError(), QStringLiteral("ログ出力ファイルエラー"));
    EXPECT_EQ(shown, QStringLiteral("Log File Write error"));
    EXPECT_EQ(Value(QStringLiteral("SELECT write_ok_flag FROM log_telmar")), QStringLiteral("3"));
    ::close(holder);

    Configure(4, {1}, site.path(QStringLiteral("no such folder/log.txt")));
    EXPECT_FALSE(p.Step()); // retried, still failing: nothing written twice
    EXPECT_EQ(Value(QStringLiteral("SELECT write_ok_flag FROM log_telmar")), QStringLiteral("3"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw")), QStringLiteral("1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("1"));

    Configure(4, {1});
    EXPECT_TRUE(p.Step());
    EXPECT_TRUE(p.LastError().isEmpty());
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
    EXPECT_EQ(ReadFileText(logFile), QStringLiteral("2009/04/01,08:30:00,1\r\n"));
}

TEST_F(LogProcessing, RowStoppedAfterTheRawCopyResumesWithoutASecondCopy)
{
    Configure(0, {});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    const QString id = Value(QStringLiteral("SELECT log_id FROM log_telmar"));
    site.exec(QStringLiteral("INSERT INTO log_telmar_raw VALUES (%1, '00005', 'CARD0001', 1, '2009-04-01 08:30:00', "
                             "'2009-04-01 08:30:01', '2009-04-01 08:30:01')")
                  .arg(id));
    site.exec(QStringLiteral("UPDATE log_telmar SET write_ok_flag = 1"));
    LogProcessor p(db, EditionFelica);
    EXPECT_TRUE(p.Step());
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw")), QStringLiteral("1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw WHERE refix_dt < '2009-04-02'")),
              QStringLiteral("1")) << "the earlier copy stays as it was";
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")), QStringLiteral("1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
}

TEST_F(LogProcessing, DatabaseErrorMidRowKeepsTheBitsAndResumesThere)
{
    Configure(0, {});
    Raw(QStringLiteral("00005"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    const QString id = Value(QStringLiteral("SELECT log_id FROM log_telmar"));
    // A resolved row already holds the key: the second output fails.
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_type) VALUES (%1, 99)").arg(id));
    LogProcessor p(db, EditionFelica);
    EXPECT_FALSE(p.Step());
    EXPECT_FALSE(p.LastError().isEmpty());
    EXPECT_EQ(Value(QStringLiteral("SELECT write_ok_flag FROM log_telmar")), QStringLiteral("1"));
    EXPECT_FALSE(p.Step());
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw")), QStringLiteral("1"));

    site.exec(QStringLiteral("DELETE FROM log_telmar_plus"));
    EXPECT_TRUE(p.Step());
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_raw")), QStringLiteral("1"));
    EXPECT_EQ(Value(QStringLiteral("SELECT log_type FROM log_telmar_plus")), QStringLiteral("1"));
}

TEST_F(LogProcessing, OldestUnfinishedRowsFirstAndErrorLogKinds)
{
    Configure(3, {1});
    Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:00:00"));
    Raw(QStringLiteral("00006"), QStringLiteral("NOBODY"), 28, QStringLiteral("2009-04-01 08:00:01"));
    Raw(QStringLiteral("00006"), QStringLiteral(""), 29, QStringLiteral("2009-04-01 08:00:02"));
    LogProcessor p(db, EditionFelica);
    while (p.Step()) {
    }
    EXPECT_EQ(ReadFileText(logFile), QStringLiteral("2009/04/01,08:00:01,28\r\n2009/04/01,08:00:02,29\r\n"));
    // Unknown cards resolve to no user, the gate still named.
    EXPECT_EQ(Value(QStringLiteral("SELECT COALESCE(user_id, '') || '|' || gate_name || '|' || gauth_type FROM "
                                   "log_telmar_plus WHERE log_type = 28")),
              QStringLiteral("|Gate 00006|0"));
}

TEST(LogProcessingMifare, UserWithoutCardResolvesThroughThePlaceholder)
{
    TestSite site(EditionMifare);
    ASSERT_TRUE(site.ok());
    ServiceDb db(QStringLiteral("processor_mf"));
    ASSERT_TRUE(OpenShort(db));
    AddGate(site, QStringLiteral("00001"), QStringLiteral("127.0.0.2"), 3001);
    AddUser(site, QStringLiteral("0000000042"), QStringLiteral("No Card"), QStringLiteral("9999999990000000042"), 1);
    AddUser(site, QStringLiteral("0000000007"), QStringLiteral("Card User"), QStringLiteral("1234567890123456"), 2);
    site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 0"));
    for (const char *g : {"9999999990000000042", "1234567890123456"})
        site.exec(QStringLiteral("Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) "
                                 "Values('00001', '%1', 1, '2009-04-01 08:30:00')")
                      .arg(QLatin1String(g)));
    LogProcessor p(db, EditionMifare);
    EXPECT_EQ(p.SourceView(), QStringLiteral("v_make_log_telmar_plusX_M"));
    EXPECT_TRUE(p.Step());
    EXPECT_TRUE(p.Step());
    EXPECT_FALSE(p.Step());
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id || '|' || user_name FROM log_telmar_plus "
                                        "WHERE guser_id = '9999999990000000042'")),
              QStringLiteral("0000000042|No Card"));
    EXPECT_EQ(site.value(QStringLiteral("SELECT user_id FROM log_telmar_plus WHERE guser_id = '1234567890123456'")),
              QStringLiteral("0000000007"));
}

} // namespace

// An older collector stored the impossible date of a gate as it came ("2009-42-140 8:30:0"): the
// row used to fail on every step and hold back every later one.
TEST_F(LogProcessing, UnreadableTimeIsResolvedWithTheProcessingTimeAndHoldsNothingBack)
{
    if (orvel::test::OnPostgreSql())
        GTEST_SKIP() << "a server database's time column refuses an impossible date: no such row can exist there";
    Configure(0, {});
    Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-42-140 8:30:0"));
    Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:00"));
    LogProcessor p(db, EditionFelica);
    EXPECT_EQ(p.ProcessBatch(), 2);
    EXPECT_FALSE(p.Step());
    EXPECT_TRUE(p.LastError().isEmpty()) << p.LastError().toStdString();
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus WHERE log_dt > '2020-01-01 00:00:00'")),
              QStringLiteral("1"));
    EXPECT_TRUE(ReadFileText(site.path(QStringLiteral("errorlog.txt")))
                    .contains(QStringLiteral("(gate 00006, user CARD0001, type 1): unreadable time")));
}

// A batch is written in one transaction; a row in it that cannot be written sends the batch
// through row by row, and that row alone waits.
TEST_F(LogProcessing, BatchWithARowThatCannotBeWrittenStoresTheOthersOnce)
{
    Configure(4, {1, 3});
    for (int i = 0; i < 5; ++i)
        Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:30:0%1").arg(i));
    const int third = Value(QStringLiteral("SELECT MIN(log_id) + 2 FROM log_telmar")).toInt();
    site.exec(QStringLiteral("INSERT INTO log_telmar_plus (log_id, log_type) VALUES (%1, 99)").arg(third));
    LogProcessor p(db, EditionFelica);
    EXPECT_EQ(p.ProcessBatch(), 4);
    EXPECT_EQ(p.SetAsideCount(), 1);
    EXPECT_EQ(Value(QStringLiteral("SELECT log_id || ':' || write_ok_flag FROM log_telmar")),
              QStringLiteral("%1:1").arg(third));

    // Later rows pass it by; it is tried again only when nothing else waits.
    Raw(QStringLiteral("00006"), QStringLiteral("CARD0001"), 1, QStringLiteral("2009-04-01 08:31:00"));
    EXPECT_EQ(p.ProcessBatch(), 1);
    EXPECT_EQ(p.ProcessBatch(), 0);
    site.exec(QStringLiteral("DELETE FROM log_telmar_plus WHERE log_type = 99"));
    EXPECT_EQ(p.ProcessBatch(), 1);
    EXPECT_EQ(p.SetAsideCount(), 0);

    // Every row exactly once in each output, the file lines in the order of the rows.
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(*) FROM log_telmar")), QStringLiteral("0"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(DISTINCT log_id) || '/' || COUNT(*) FROM log_telmar_plus")),
              QStringLiteral("6/6"));
    EXPECT_EQ(Value(QStringLiteral("SELECT COUNT(DISTINCT log_id) || '/' || COUNT(*) FROM log_telmar_raw")),
              QStringLiteral("6/6"));
    const QString line = QStringLiteral(",1,0000000001\r\n");
    EXPECT_EQ(ReadFileText(logFile), QStringLiteral("2009/04/01,08:30:00") + line + "2009/04/01,08:30:01" + line +
                                         "2009/04/01,08:30:03" + line + "2009/04/01,08:30:04" + line +
                                         "2009/04/01,08:31:00" + line + "2009/04/01,08:30:02" + line);
    const QString errors = ReadFileText(site.path(QStringLiteral("errorlog.txt")));
    EXPECT_EQ(errors.count(QStringLiteral("log_id %1 (gate 00006").arg(third)), 1) << errors.toStdString();
}
