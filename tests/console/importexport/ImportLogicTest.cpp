// The import file rules, the record checks and the three imports without a window, on a real
// database through the ODBC driver.
#include "ImportTestUtil.h"

#include "CheckImportItems.h"
#include "ImportFile.h"
#include "MasterImports.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SqlDialect.h"

#include <QTemporaryDir>

using namespace impexp;
using namespace ietest;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// ---- the file ---------------------------------------------------------------------------------------

TEST(ImportFileTest, ShiftJisUtf8AndBomFilesReadTheSameText)
{
    const QString text = QStringLiteral("0000000001,山田太郎,ﾔﾏﾀﾞ TARO,00100,営業部");
    const QByteArray sjis = orvel::ToSjis(text);
    EXPECT_EQ(ImportFile::Decode(sjis), text);
    EXPECT_EQ(ImportFile::Decode(text.toUtf8()), text);
    EXPECT_EQ(ImportFile::Decode("\xEF\xBB\xBF" + text.toUtf8()), text);
    EXPECT_EQ(ImportFile::Decode("1,plain,ASCII"), QStringLiteral("1,plain,ASCII"));
}

TEST(ImportFileTest, LinesFieldsAndQuotes)
{
    ImportFile f;
    f.SetText(QStringLiteral("a,b\r\n\r\n\"x, y\",\"say \"\"hi\"\"\",5'10\" tall\r\nlast"));
    ASSERT_EQ(f.RecordCount(), 4); // the empty line in the middle is a record; no record after the last line end
    EXPECT_EQ(f.Fields(1), QStringList({"a", "b"}));
    EXPECT_EQ(FieldAt(f.Fields(1), 5), QString()); // missing trailing fields read empty
    EXPECT_EQ(f.Fields(2), QStringList({""}));
    EXPECT_EQ(f.Fields(3), QStringList({"x, y", "say \"hi\"", "5'10\" tall"}));
    EXPECT_EQ(f.Fields(4), QStringList({"last"}));

    QStringList many;
    for (int i = 0; i < 120; ++i)
        many << QString::number(i);
    f.SetText(many.join(u','));
    EXPECT_EQ(f.Fields(1).size(), ImportFile::kMaxFields);
    EXPECT_EQ(f.Fields(1).last(), QStringLiteral("99"));
}

TEST(ImportFileTest, LoneCrEndsALineAndAnUnclosedQuoteQuotesNothing)
{
    ImportFile f;
    // Saved with CR line ends: three records, not one record holding the others.
    f.SetText(QStringLiteral("1,A,A\r2,B,B\r\n3,C,C\n\r4,D,D\r"));
    ASSERT_EQ(f.RecordCount(), 5);
    EXPECT_EQ(f.Fields(2), QStringList({"2", "B", "B"}));
    EXPECT_EQ(f.Fields(3), QStringList({"3", "C", "C"}));
    EXPECT_EQ(f.Fields(4), QStringList({""})); // LF then CR: an empty line between
    EXPECT_EQ(f.Fields(5), QStringList({"4", "D", "D"}));

    // A quote that never closes splits at every comma, keeping the quote as text.
    f.SetText(QStringLiteral("1,\"Sales,HQ,x\r\n2,\"a,b\",\"c"));
    EXPECT_EQ(f.Fields(1), QStringList({"1", "\"Sales", "HQ", "x"}));
    EXPECT_EQ(f.Fields(2), QStringList({"2", "a,b", "\"c"}));
}

// ---- the checks ---------------------------------------------------------------------------------------

class ChecksTest : public ::testing::Test
{
protected:
    void SetUp() override { check.SetRecord(3, QStringLiteral("SUMMARY\r\n")); }
    QString Rule() const { return check.Error().mid(check.Error().lastIndexOf(kCrLf) + 2); }
    rdo_cntl db;
    CheckImportItems check{db};
};

TEST_F(ChecksTest, MessageCarriesSummaryRecordItemAndRule)
{
    EXPECT_FALSE(check.Required(QString(), QStringLiteral("ユーザID")));
    EXPECT_EQ(check.Error(), QStringLiteral("SUMMARY\r\n\r\nインポートファイルの 3件目にエラーがありました。\r\n"
                                            "ユーザIDが未入力です。インポートを中止します。"));
    EXPECT_FALSE(check.Digits(QStringLiteral("12a"), QStringLiteral("部署ID")));
    EXPECT_EQ(Rule(), QStringLiteral("部署IDが数字ではありません。インポートを中止します。"));
    EXPECT_FALSE(check.NotNoDepartment(QStringLiteral("00000")));
    EXPECT_EQ(Rule(), QStringLiteral("部署ID=00000（無所属）はインポートできません。インポートを中止します。"));
    EXPECT_FALSE(check.OneOrTwo(QStringLiteral("3"), QStringLiteral("権限")));
    EXPECT_EQ(Rule(), QStringLiteral("権限に1, 2以外の値が入力されています。インポートを中止します。"));
}

TEST_F(ChecksTest, PaddingLengthAndSingleByte)
{
    QString id = QStringLiteral("123");
    EXPECT_TRUE(check.Pad(id, QStringLiteral("ユーザID"), 10));
    EXPECT_EQ(id, QStringLiteral("0000000123"));
    id = QStringLiteral("12345678901");
    EXPECT_FALSE(check.Pad(id, QStringLiteral("ユーザID"), 10));
    EXPECT_EQ(Rule(), QStringLiteral("ユーザIDの長さが既定（10文字）を超えています。インポートを中止します。"));

    EXPECT_TRUE(check.SingleByte(QStringLiteral("ﾔﾏﾀﾞ ﾀﾛｳ Taro"), QStringLiteral("ユーザ名（ローマ字）")));
    EXPECT_FALSE(check.SingleByte(QStringLiteral("ＹＡＭＡＤＡ"), QStringLiteral("ユーザ名（ローマ字）")));
    EXPECT_EQ(Rule(), QStringLiteral("ユーザ名（ローマ字）に全角文字が含まれています。インポートを中止します。"));
    EXPECT_FALSE(check.SingleByte(QStringLiteral("ヤマダ"), QStringLiteral("x"))); // full-width katakana
}

TEST_F(ChecksTest, AddressesAndPorts)
{
    QString ip = QStringLiteral("192.168.001.010");
    EXPECT_TRUE(check.IpAddress(ip, QStringLiteral("IPアドレス")));
    EXPECT_EQ(ip, QStringLiteral("192.168.1.10"));
    ip = QStringLiteral("192.168.1");
    EXPECT_FALSE(check.IpAddress(ip, QStringLiteral("IPアドレス")));
    EXPECT_EQ(Rule(), QStringLiteral("IPアドレスの値が不正です。インポートを中止します。"));
    ip = QStringLiteral("10.0.0.256");
    EXPECT_FALSE(check.IpAddress(ip, QStringLiteral("IPアドレス")));
    EXPECT_EQ(Rule(), QStringLiteral("IPアドレスの4番目の値が0～255の範囲を超えています。インポートを中止します。"));
    ip = QStringLiteral("10..0.1");
    EXPECT_FALSE(check.IpAddress(ip, QStringLiteral("IPアドレス")));
    EXPECT_EQ(Rule(), QStringLiteral("IPアドレスの2番目が未入力です。インポートを中止します。"));
    ip = QStringLiteral("10.0.0.99999999999999999999");
    EXPECT_FALSE(check.IpAddress(ip, QStringLiteral("IPアドレス")));

    QString port = QStringLiteral("49151");
    EXPECT_TRUE(check.Port(port, QStringLiteral("ポート番号")));
    port = QStringLiteral("0080");
    EXPECT_TRUE(check.Port(port, QStringLiteral("ポート番号")));
    EXPECT_EQ(port, QStringLiteral("80"));
    port = QStringLiteral("49152");
    EXPECT_FALSE(check.Port(port, QStringLiteral("ポート番号")));
    EXPECT_EQ(Rule(), QStringLiteral("ポート番号が0～49151の範囲を超えています。インポートを中止します。"));
}

// ---- imports on a database ---------------------------------------------------------------------------------

class ImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    QString File(const QStringList &lines, Enc enc = Enc::Sjis)
    {
        return WriteLines(tmp.filePath(QStringLiteral("in%1.csv").arg(++files)), lines, enc);
    }
    ImportOutcome Users(const QStringList &lines, UserImportOptions o = {}, Enc enc = Enc::Sjis)
    {
        return UserImport(o).Run(File(lines, enc), host);
    }
    ImportOutcome Emps(const QStringList &lines, EmpImportOptions o = {})
    {
        return EmpImport(o).Run(File(lines), host);
    }
    ImportOutcome Gates(const QStringList &lines, GateImportOptions o = {})
    {
        return GateImport(o).Run(File(lines), host);
    }
    QStringList UserRows() { return Rows("m_user", {"user_id", "user_name", "user_yomi", "emp_id", "user_bikou", "gauthority"}, "user_id"); }
    // The last line of an error message (the rule or the duplicate text).
    static QString Last(const ImportOutcome &o) { return o.message.mid(o.message.lastIndexOf(kCrLf) + 2); }
    void AddEmp(const char *id, const char *name)
    {
        site.exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('%1', '%2')").arg(id, name));
    }

    orvel::test::TestSite site;
    QTemporaryDir tmp;
    RecordingHost host;
    int files = 0;
};

TEST_F(ImportTest, UsersStoredPaddedWithTheEditionsPlaceholderAndToday)
{
    AddEmp("00100", "営業部");
    const ImportOutcome out = Users({"123,山田太郎,YAMADA TARO,100,営業部,本社,2", "0000000124,佐藤,SATO,00100,営業部,,1"});
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    // The summary shows the record as read, before the checks pad it.
    ASSERT_EQ(host.confirmations.size(), 1);
    EXPECT_EQ(host.confirmations[0],
              QStringLiteral("1件目のデータ：\r\n  ユーザID\t\t: 123\r\n  ユーザ名\t: 山田太郎\r\n"
                             "  ユーザ名（ﾛｰﾏ字）\t: YAMADA TARO\r\n  部署ID\t\t: 100\r\n  部署名\t\t: 営業部\r\n"
                             "  備考\t\t: 本社\r\n  権限\t\t: 2\r\n\r\nユーザのインポートを開始します。インポートしますか？"));
    EXPECT_EQ(out.message, QStringLiteral("2件のユーザをインポートしました。"));
    EXPECT_EQ(UserRows(), QStringList({"0000000123|山田太郎|YAMADA TARO|00100|本社|2", "0000000124|佐藤|SATO|00100||1"}));
    EXPECT_EQ(site.value("SELECT guser_id FROM m_user WHERE user_id = '0000000123'"),
              QStringLiteral("0000000000000000000000") + "0000000123");
    EXPECT_EQ(site.value("SELECT regist_dt FROM m_user WHERE user_id = '0000000123'"), TodayText());
    EXPECT_EQ(host.lastDone, 2);
    EXPECT_EQ(host.lastTotal, 2);
}

TEST_F(ImportTest, MifareEditionWritesItsPlaceholder)
{
    UserImportOptions o;
    o.emp = false;
    o.edition = 2;
    ASSERT_EQ(Users({"7,A,A,,1"}, o).kind, ImportOutcome::Kind::Done);
    EXPECT_EQ(site.value("SELECT guser_id FROM m_user"), QStringLiteral("9999999990000000007"));
}

TEST_F(ImportTest, AFirstPassFailureWritesNothing)
{
    AddEmp("00100", "営業部");
    struct Case
    {
        QStringList lines;
        QString last;
    } cases[] = {
        {{"1,A,A,00100,営業部,,1", "12345678901,B,B,00100,営業部,,1"},
         "ユーザIDの長さが既定（10文字）を超えています。インポートを中止します。"},
        {{"1,A,A,00100,営業部,,1", "", "3,C,C,00100,営業部,,1"}, "ユーザIDが未入力です。インポートを中止します。"},
        {{"1,A,ＹＡＭＡ,00100,営業部,,1"}, "ユーザ名（ローマ字）に全角文字が含まれています。インポートを中止します。"},
        {{"1,A,A,00100,営業部,,1", "2,B,B,00200,営業,,1"},
         "部署が未登録か、または部署ID・部署名の組み合わせが不正です。インポートを中止します。"},
        {{"1,A,A,00100,営業部,,3"}, "権限に1, 2以外の値が入力されています。インポートを中止します。"},
        {{"1,A,A,00100,営業部,12345678901234567890123456,1"},
         "備考の長さが既定（25文字）を超えています。インポートを中止します。"},
    };
    for (const Case &c : cases) {
        const ImportOutcome out = Users(c.lines);
        EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed) << c.lines.join('/').toStdString();
        EXPECT_EQ(Last(out), c.last);
        EXPECT_TRUE(UserRows().isEmpty());
    }
    const ImportOutcome out = Users({"1,A,A,00100,営業部,,1", "", "3,C,C,00100,営業部,,1"});
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("2件目のデータ：\r\n  ユーザID\t\t: \r\n")));
    EXPECT_TRUE(out.message.contains(QStringLiteral("\r\nインポートファイルの 2件目にエラーがありました。\r\n")));
}

TEST_F(ImportTest, AutomaticIdsReadAShiftedFile)
{
    UserImportOptions o;
    o.autoId = true;
    o.firstId = QStringLiteral("0000000005");
    // The file still carries its ID column: the ID becomes the name, the name the roman name.
    ImportOutcome out = Users({"0000000123,山田太郎,YAMADA TARO,00100,営業部,,1"}, o);
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("1件目のデータ：\r\n  ユーザID\t\t: 0000000005（自動ID）\r\n"
                                                      "  ユーザ名\t: 0000000123\r\n  ユーザ名（ﾛｰﾏ字）\t: 山田太郎\r\n")));
    EXPECT_EQ(Last(out), QStringLiteral("ユーザ名（ローマ字）に全角文字が含まれています。インポートを中止します。"));

    o.emp = false;
    out = Users({"山田,YAMADA,,1", "佐藤,SATO,,2"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    // Without department columns users belong to "00000"; both passes start from the first ID.
    EXPECT_EQ(UserRows(), QStringList({"0000000005|山田|YAMADA|00000||1", "0000000006|佐藤|SATO|00000||2"}));
}

TEST_F(ImportTest, InFileDuplicatesNameTheFirstEarlierRecord)
{
    UserImportOptions o;
    o.emp = false;
    QStringList lines;
    for (int i = 1; i <= 3000; ++i)
        lines << QStringLiteral("%1,N,Y,,1").arg(i);
    lines << QStringLiteral("17,N,Y,,1") << QStringLiteral("0017,N,Y,,1");
    ImportOutcome out = Users(lines, o);
    EXPECT_EQ(Last(out), QStringLiteral("インポートを中止します。"));
    EXPECT_TRUE(out.message.contains(QStringLiteral("\r\nインポートファイル内の 17件目と 3001件目のユーザIDが重複しています。\r\n")))
        << out.message.toStdString();

    UserImportOptions withEmp;
    withEmp.autoEmp = true;
    out = Users({"1,A,A,00100,営業部,,1", "2,B,B,00200,総務部,,1", "3,C,C,00100,営業1部,,1"}, withEmp);
    EXPECT_TRUE(out.message.endsWith(QStringLiteral("\r\nインポートファイル内の 1件目と 3件目の部署に、"
                                                    "同一IDで異なる部署名が設定されています。\r\nインポートを中止します。")));
    EXPECT_TRUE(UserRows().isEmpty());
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp"), QStringLiteral("1"));
}

TEST_F(ImportTest, AutomaticDepartmentRegistration)
{
    AddEmp("00100", "営業部");
    UserImportOptions o;
    o.autoEmp = true;
    ImportOutcome out = Users({"1,A,A,00100,営業部,,1", "2,B,B,00200,総務部,,1", "3,C,C,00200,総務部,,1"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(out.message, QStringLiteral("3件のユーザをインポートしました。\r\n1件の部署を自動登録しました。"));
    EXPECT_EQ(Rows("m_emp", {"emp_id", "emp_name", "regist_dt"}, "emp_id", "emp_id = '00200'"),
              QStringList({"00200|総務部|" + TodayText()}));

    // A registered ID under another name, and a registered name under another ID.
    for (const char *line : {"4,D,D,00100,経理部,,1", "5,E,E,00300,営業部,,1"}) {
        out = Users({QString::fromUtf8(line)}, o);
        EXPECT_EQ(Last(out), QStringLiteral("部署IDと部署名の組み合わせが登録済データと異なります。インポートを中止します。"));
    }
    // One name under two new IDs would only fail in the write pass, after the first was
    // written: the check pass already refuses it, and nothing is written.
    out = Users({"6,F,F,00400,開発部,,1", "7,G,G,00500,開発部,,1"}, o);
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("2件目のデータ：")));
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user"), QStringLiteral("3"));
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_emp WHERE emp_id = '00400'"), QStringLiteral("0"));
}

TEST_F(ImportTest, DepartmentByNameOnlyAndRegistrationFailure)
{
    AddEmp("00100", "営業部");
    UserImportOptions byName;
    byName.empId = false;
    ASSERT_EQ(Users({"1,A,A,営業部,,1"}, byName).kind, ImportOutcome::Kind::Done);
    EXPECT_EQ(site.value("SELECT emp_id FROM m_user WHERE user_id = '0000000001'"), QStringLiteral("00100"));

    if (orvel::CurrentBackend() != orvel::DbBackend::SQLite)
        GTEST_SKIP() << "the failing registration is made with an SQLite trigger";
    site.exec("CREATE TRIGGER no_emp BEFORE INSERT ON m_emp BEGIN SELECT RAISE(ABORT, 'refused'); END");
    UserImportOptions o;
    o.autoEmp = true;
    const ImportOutcome out = Users({"2,B,B,00200,総務部,,1"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done);
    EXPECT_EQ(host.warnings, QStringList({"部署の自動登録に失敗しました。無所属として登録します。"}));
    EXPECT_EQ(out.message, QStringLiteral("1件のユーザをインポートしました。\r\n0件の部署を自動登録しました。"));
    EXPECT_EQ(site.value("SELECT emp_id FROM m_user WHERE user_id = '0000000002'"), QStringLiteral("00000"));
}

TEST_F(ImportTest, OverwriteUpdatesOnlyWhatDiffers)
{
    AddEmp("00100", "営業部");
    site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, user_bikou, gauthority, guser_id, regist_dt, "
              "refix_dt) VALUES ('0000000001', 'A', 'A', '00100', '', 1, 'CARD', '2001/01/01', '2001/01/01')");
    site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, user_bikou, gauthority, guser_id, regist_dt, "
              "refix_dt) VALUES ('0000000002', 'B', 'B', '00100', 'x', 1, 'CARD2', '2001/01/01', '2001/01/01')");
    for (const char *perm : {"('0000000002', '00001', 0)", "('0000000002', '00002', 1)", "('0000000002', '00003', 3)"})
        site.exec(QStringLiteral("INSERT INTO t_gate_permit (user_id, gate_id, sync_flag) VALUES ") + perm);

    UserImportOptions o;
    ImportOutcome out = Users({"1,A,A,00100,営業部,,1", "2,B2,B,00100,営業部,x,2"}, o);
    EXPECT_EQ(Last(out), QStringLiteral("ユーザIDが既に使用されています。インポートを中止します。"));

    o.overwrite = true;
    out = Users({"1,A,A,00100,営業部,,1", "2,B2,B,00100,営業部,x,2", "3,C,C,00100,営業部,,1"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(out.message, QStringLiteral("3件のユーザをインポートしました。"));
    EXPECT_EQ(Rows("m_user", {"user_id", "user_name", "gauthority", "guser_id", "regist_dt", "refix_dt"}, "user_id",
                   "user_id < '0000000003'"),
              QStringList({"0000000001|A|1|CARD|2001/01/01|2001/01/01", // unchanged: not written
                           "0000000002|B2|2|CARD2|2001/01/01|" + TodayText()}));
    // The new authority goes to the gates: permits in step are written again, others keep theirs.
    EXPECT_EQ(Rows("t_gate_permit", {"gate_id", "sync_flag"}, "gate_id"), QStringList({"00001|2", "00002|1", "00003|3"}));
}

TEST_F(ImportTest, AWritePassFailureKeepsWhatWasWritten)
{
    UserImportOptions o;
    o.emp = false;
    // Another console registers user 3 while this import writes user 1.
    host.onProgress = [&](int done) {
        if (done == 1)
            site.exec("INSERT INTO m_user (user_id, user_name) VALUES ('0000000003', 'other')");
    };
    UserImport run(o);
    run.SetBatchSize(1);
    const ImportOutcome out = run.Run(File({"1,A,A,,1", "2,B,B,,1", "3,C,C,,1", "4,D,D,,1"}), host);
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("3件目のデータ：")));
    EXPECT_EQ(Rows("m_user", {"user_id", "user_name"}, "user_id"),
              QStringList({"0000000001|A", "0000000002|B", "0000000003|other"}));
}

TEST_F(ImportTest, ADatabaseLockedBetweenBatchesNamesTheRecordNotWritten)
{
    if (orvel::test::OnPostgreSql())
        GTEST_SKIP() << "a transaction begins on PostgreSQL whatever another holds; the lock is met by the writes";
    // The import's connection gives up on a lock after 300 ms instead of the site's 5 seconds.
    rdo_cntl db;
    ASSERT_TRUE(db.InitMDB(QLatin1String(orvel::kDsn) + QStringLiteral(";Timeout=300"), QLatin1String(orvel::kDbUser),
                           QLatin1String(orvel::kDbPassword)));
    orvel::ServiceDb locker(QStringLiteral("locker"));
    ASSERT_TRUE(locker.Open());
    UserImportOptions o;
    o.emp = false;
    // Another program takes the database for writing once the first record is committed.
    host.onProgress = [&](int done) {
        if (done == 1) {
            ASSERT_TRUE(locker.Exec(QStringLiteral("BEGIN IMMEDIATE")));
        }
    };
    UserImport run(o);
    run.SetBatchSize(1);
    const ImportOutcome out = run.Run(File({"1,A,A,,1", "2,B,B,,1", "3,C,C,,1"}), host);
    locker.Exec(QStringLiteral("ROLLBACK"));
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    // The record that could not be written is named, not the one before it or the file's last.
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("2件目のデータ：\r\n  ユーザID\t\t: 2\r\n")))
        << out.message.toStdString();
    EXPECT_EQ(Rows("m_user", {"user_id"}, "user_id"), QStringList({"0000000001"}));
}

TEST_F(ImportTest, CancelledConfirmationWritesNothing)
{
    host.answer = false;
    UserImportOptions o;
    o.emp = false;
    EXPECT_EQ(Users({"1,A,A,,1"}, o).kind, ImportOutcome::Kind::Cancelled);
    EXPECT_TRUE(UserRows().isEmpty());
}

TEST_F(ImportTest, Utf8AndShiftJisFilesStoreTheSameNames)
{
    UserImportOptions o;
    o.emp = false;
    const QStringList lines = {"1,髙橋 さくら,TAKAHASHI,①番,1", "2,ﾀﾅｶ,ﾀﾅｶ,,1"};
    ASSERT_EQ(Users(lines, o, Enc::Sjis).kind, ImportOutcome::Kind::Done);
    const QStringList fromSjis = UserRows();
    site.exec("DELETE FROM m_user");
    ASSERT_EQ(Users(lines, o, Enc::Utf8).kind, ImportOutcome::Kind::Done);
    EXPECT_EQ(UserRows(), fromSjis);
    site.exec("DELETE FROM m_user");
    ASSERT_EQ(Users(lines, o, Enc::Utf8Bom).kind, ImportOutcome::Kind::Done);
    EXPECT_EQ(UserRows(), fromSjis);
    EXPECT_EQ(fromSjis.first(), QStringLiteral("0000000001|髙橋 さくら|TAKAHASHI|00000|①番|1"));
}

TEST_F(ImportTest, AFileWithCrLineEndsAndAStrayQuoteImportsEveryRecordAsWritten)
{
    const QString path = tmp.filePath(QStringLiteral("cr.csv"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(orvel::ToSjis(QStringLiteral("1,\"営業部,本社\r2,経理,二階\r")));
    f.close();
    EmpImportOptions o;
    const ImportOutcome out = EmpImport(o).Run(path, host);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(out.message, QStringLiteral("2件の部署をインポートしました。"));
    EXPECT_EQ(Rows("m_emp", {"emp_id", "emp_name", "emp_bikou"}, "emp_id", "emp_id <> '00000'"),
              QStringList({"00001|\"営業部|本社", "00002|経理|二階"}));
}

TEST_F(ImportTest, ACharacterBeyondTheBasicPlaneIsRefusedNotStoredGarbled)
{
    // On SQLite such a character used to reach the database as the low bytes of every character of
    // its row. A server database stores it intact, and takes it.
    UserImportOptions o;
    o.emp = false;
    ImportOutcome out = Users({"1,김철수 Café,KIM,,1", "2,𠮷野 太郎,YOSHINO,,1"}, o, Enc::Utf8);
    if (!site.pgDatabase().isEmpty()) {
        ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
        EXPECT_EQ(UserRows().value(1), QStringLiteral("0000000002|𠮷野 太郎|YOSHINO|00000||1"));
        return;
    }
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    EXPECT_TRUE(out.message.startsWith(QStringLiteral("2件目のデータ：")));
    EXPECT_EQ(Last(out), QStringLiteral("ユーザ名に使用できない文字が含まれています。インポートを中止します。"));
    EXPECT_TRUE(UserRows().isEmpty());
    out = Users({"1,김철수 Café,KIM,,1"}, o, Enc::Utf8);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(UserRows(), QStringList({"0000000001|김철수 Café|KIM|00000||1"}));

    GateImportOptions g;
    out = GateImport(g).Run(File({"1,本社,正面,10.0.0.1,10001,扉🚪,1"}, Enc::Utf8), host);
    EXPECT_EQ(Last(out), QStringLiteral("備考に使用できない文字が含まれています。インポートを中止します。"));

    // Bytes the file's encoding cannot read (here after a UTF-8 byte-order mark) are refused too.
    const QString bad = tmp.filePath(QStringLiteral("bad.csv"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("\xEF\xBB\xBF" "5,\xFF\xFE,NAME,,1\r\n");
    f.close();
    out = UserImport(o).Run(bad, host);
    EXPECT_EQ(Last(out), QStringLiteral("ユーザ名に使用できない文字が含まれています。インポートを中止します。"));
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_user"), QStringLiteral("1"));
}

TEST_F(ImportTest, Departments)
{
    ImportOutcome out = Emps({"1,営業部,本社", "00000,無所属,"});
    EXPECT_EQ(Last(out), QStringLiteral("部署ID=00000（無所属）はインポートできません。インポートを中止します。"));
    EXPECT_EQ(host.confirmations.value(0),
              QStringLiteral("1件目のデータ：\r\n  部署ID\t\t: 1\r\n  部署名\t\t: 営業部\r\n  備考\t\t: 本社\r\n\r\n"
                             "部署のインポートを開始します。インポートしますか？"));
    out = Emps({"1,営業部,本社", "2,総務部,", "001,経理部,"});
    EXPECT_TRUE(out.message.contains(QStringLiteral("インポートファイル内の 1件目と 3件目の部署IDが重複しています。")));

    site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou, refix_dt) VALUES ('00002', '総務部', '', '2001/01/01')");
    out = Emps({"1,営業部,本社", "2,総務部,"});
    EXPECT_EQ(Last(out), QStringLiteral("部署IDが既に使用されています。インポートを中止します。"));
    EmpImportOptions o;
    o.overwrite = true;
    out = Emps({"1,営業部,本社", "2,総務部,", "3,経理部,"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(out.message, QStringLiteral("3件の部署をインポートしました。"));
    EXPECT_EQ(Rows("m_emp", {"emp_id", "emp_name", "emp_bikou", "refix_dt"}, "emp_id", "emp_id <> '00000'"),
              QStringList({"00001|営業部|本社|" + TodayText(), "00002|総務部||2001/01/01", "00003|経理部||" + TodayText()}));
    out = Emps({"1,営業一部,支社"}, o);
    EXPECT_EQ(site.value("SELECT emp_name || emp_bikou FROM m_emp WHERE emp_id = '00001'"), QStringLiteral("営業一部支社"));
}

TEST_F(ImportTest, GatesNormalisedWithDefaultsAndLockRows)
{
    GateImportOptions o;
    o.port = o.direction = false;
    ImportOutcome out = Gates({"1,本館,正面入口,192.168.001.010,", "2,本館,裏口,10.0.0.2,備考"}, o);
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(out.message, QStringLiteral("2件のゲートをインポートしました。"));
    EXPECT_EQ(host.confirmations.value(0),
              QStringLiteral("1件目のデータ：\r\n  ゲートID\t\t: 1\r\n  ゾーン\t\t: 本館\r\n  ゲート名\t\t: 正面入口\r\n"
                             "  IPアドレス\t: 192.168.001.010\r\n  ポート番号\t: 10001（省略時設定）\r\n  備考\t\t: \r\n"
                             "  入退室区分\t: 1（省略時設定）\r\n\r\nゲートのインポートを開始します。インポートしますか？"));
    EXPECT_EQ(Rows("m_gate", {"gate_id", "zone_name", "gate_name", "ip_addr", "port_no", "gate_bikou", "gate_mode"}, "gate_id"),
              QStringList({"00001|本館|正面入口|192.168.1.10|10001||1", "00002|本館|裏口|10.0.0.2|10001|備考|1"}));
    // Each imported gate can be visited by the log collector once it is put in use.
    EXPECT_EQ(Rows("lock_gate", {"gate_id", "lock_flg"}, "gate_id"), QStringList({"00001|0", "00002|0"}));

    out = Gates({"3,Z,N,10.0.0.3,49151,,2", "4,Z,N,10.0.0.4,0049151,,1"});
    ASSERT_EQ(out.kind, ImportOutcome::Kind::Done) << out.message.toStdString();
    EXPECT_EQ(site.value("SELECT port_no FROM m_gate WHERE gate_id = '00004'"), QStringLiteral("49151"));
}

TEST_F(ImportTest, GateRefusals)
{
    site.exec("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr) VALUES ('00009', 'Z', 'G', '10.9.9.9')");
    struct Case
    {
        QStringList lines;
        QString last;
    } cases[] = {
        {{"1,Z,N,10.0.0.1,10001,,1", "2,Z,N,10.0.0.2,49152,,1"},
         "ポート番号が0～49151の範囲を超えています。インポートを中止します。"},
        {{"1,Z,N,10.0.1,10001,,1"}, "IPアドレスの値が不正です。インポートを中止します。"},
        {{"1,Z,N,10.0.0.256,10001,,1"}, "IPアドレスの4番目の値が0～255の範囲を超えています。インポートを中止します。"},
        {{"9,Z,N,10.0.0.1,10001,,1"}, "ゲートIDが既に使用されています。インポートを中止します。"},
        {{"1,Z,N,10.9.9.9,10001,,1"}, "IPアドレスが既に使用されています。インポートを中止します。"},
        {{"1,Z,N,10.0.0.1,10001,,3"}, "入退室区分に1, 2以外の値が入力されています。インポートを中止します。"},
    };
    for (const Case &c : cases) {
        const ImportOutcome out = Gates(c.lines);
        EXPECT_EQ(Last(out), c.last) << c.lines.join('/').toStdString();
    }
    const ImportOutcome out = Gates({"1,Z,N,10.0.0.1,10001,,1", "2,Z,N,10.0.0.2,10001,,1", "3,Z,N,10.000.0.2,10001,,1"});
    EXPECT_TRUE(out.message.endsWith(QStringLiteral("インポートファイル内の 2件目と 3件目のIPアドレスが重複しています。\r\n"
                                                    "インポートを中止します。")));
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_gate"), QStringLiteral("1"));
}

TEST_F(ImportTest, MissingFileAndRefusedOptions)
{
    ImportOutcome out = UserImport({}).Run(tmp.filePath("none.csv"), host);
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Failed);
    EXPECT_EQ(out.message, QStringLiteral("ファイルのオープンに失敗しました。"));
    out = UserImport({}).Run(QString(), host);
    EXPECT_EQ(out.kind, ImportOutcome::Kind::Refused);
    EXPECT_EQ(out.message, QStringLiteral("インポートファイルを指定してください。"));
    UserImportOptions o;
    o.empId = o.empName = false;
    out = Users({"1,A,A"}, o);
    EXPECT_EQ(out.message, QStringLiteral("部署をインポート項目に含める場合、部署ID・部署名のどちらか、または両方をONにして下さい。"));
    EXPECT_TRUE(host.confirmations.isEmpty());
}

TEST(FirstIdTest, TheIdBoxReadsItsLeadingNumber)
{
    EXPECT_EQ(FormatFirstId(QStringLiteral("5"), 10), QStringLiteral("0000000005"));
    EXPECT_EQ(FormatFirstId(QStringLiteral("12.6"), 5), QStringLiteral("00013"));
    EXPECT_EQ(FormatFirstId(QString(), 5), QStringLiteral("00000"));
}

} // namespace
