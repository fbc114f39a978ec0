// orvelctl import and export: exit codes, standard output and error, the site's edition, and a
// round trip of every column through export and import into a fresh site.
#include "ImportTestUtil.h"

#include "OrvelDefs.h"
#include "SiteSetup.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace ietest;

namespace {

TEST(OrvelctlTest, UsageErrorsExitWith2)
{
    const QList<QStringList> cases = {
        {"import", "people", "f.csv"},
        {"import", "users"},
        {"import", "gates", "f.csv", "--overwrite"},
        {"import", "departments", "f.csv", "--register-departments"},
        {"import", "gates", "f.csv", "--edition", "2"},
        {"import", "users", "f.csv", "--edition", "3"},
        {"import", "users", "f.csv", "--columns", "emp_id,phone"},
        {"import", "users", "f.csv", "--auto-id", "x1"},
        {"export", "users", "f.csv", "--auto-id", "1"},
        {"export", "gates", "f.csv", "--columns", "port"},
    };
    for (const QStringList &args : cases) {
        const CtlResult r = Orvelctl(QStringList(args) << "--site" << "/nonexistent");
        EXPECT_EQ(r.rc, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("usage"))) << r.err.toStdString();
    }
    QProcessEnvironment noSite = QProcessEnvironment::systemEnvironment();
    noSite.remove(QStringLiteral("ORVEL_HOME"));
    EXPECT_EQ(Orvelctl({"export", "users", "f.csv"}, noSite).rc, 2);
}

class OrvelctlSiteTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(site.ok()) << site.error().toStdString(); }
    QString File(const QString &name, const QStringList &lines) { return WriteLines(tmp.filePath(name), lines); }
    CtlResult Ctl(QStringList args) { return Orvelctl(args << "--site" << site.dir()); }

    orvel::test::TestSite site;
    QTemporaryDir tmp;
};

TEST_F(OrvelctlSiteTest, ASiteWhoseDatabaseFileIsGoneIsNotGivenAnEmptyOne)
{
    if (!site.pgDatabase().isEmpty())
        GTEST_SKIP() << "the database is no file of the site on PostgreSQL";
    for (const char *name : {"telmar.db", "telmar.db-wal", "telmar.db-shm"})
        QFile::remove(site.path(QString::fromLatin1(name)));
    const CtlResult r = Ctl({"export", "users", tmp.filePath(QStringLiteral("u.csv"))});
    EXPECT_EQ(r.rc, 1);
    EXPECT_FALSE(r.err.isEmpty());
    // An empty database left behind would be taken for the site's by every later start.
    EXPECT_FALSE(QFileInfo::exists(site.path(QStringLiteral("telmar.db"))));
}

TEST_F(OrvelctlSiteTest, ReportOnStdoutFirstErrorOnStderr)
{
    CtlResult r = Ctl({"import", "departments", File("d.csv", {"1,営業部,本社", "2,総務部,"})});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("2件の部署をインポートしました。\n"));
    EXPECT_EQ(site.value("SELECT emp_name FROM m_emp WHERE emp_id = '00002'"), QStringLiteral("総務部"));

    r = Ctl({"import", "gates", File("g.csv", {"1,Z,N,10.0.0.1", "2,Z,N,10.0.1"}), "--columns", ""});
    EXPECT_EQ(r.rc, 1);
    EXPECT_TRUE(r.out.isEmpty());
    EXPECT_EQ(r.err, QStringLiteral("2件目のデータ：\n  ゲートID\t\t: 2\n  ゾーン\t\t: Z\n  ゲート名\t\t: N\n"
                                    "  IPアドレス\t: 10.0.1\n  ポート番号\t: 10001（省略時設定）\n  備考\t\t: \n"
                                    "  入退室区分\t: 1（省略時設定）\n\nインポートファイルの 2件目にエラーがありました。\n"
                                    "IPアドレスの値が不正です。インポートを中止します。\n"));
    EXPECT_EQ(site.value("SELECT COUNT(*) FROM m_gate"), QStringLiteral("0"));

    // --register-departments without both department columns: the screen's own refusal.
    r = Ctl({"import", "users", File("u.csv", {"1,A,A,営業部"}), "--columns", "emp_name", "--register-departments"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QStringLiteral("部署の自動登録をおこなう場合、部署IDと部署名をインポート項目に含める必要があります。\n"));

    r = Ctl({"import", "users", File("a.csv", {"山田,YAMADA,00001,1"}), "--auto-id", "41", "--columns", "emp_id,authority"});
    EXPECT_EQ(r.rc, 0) << r.err.toStdString();
    EXPECT_EQ(site.value("SELECT user_id || emp_id FROM m_user"), QStringLiteral("000000004100001"));
    EXPECT_EQ(Ctl({"import", "users", tmp.filePath("none.csv")}).err, QStringLiteral("ファイルのオープンに失敗しました。\n"));
}

TEST(OrvelctlEditionTest, InitSiteRecordsTheEditionThatUserImportsUse)
{
    QTemporaryDir tmp;
    const QString dir = tmp.filePath("mifare");
    ASSERT_EQ(Orvelctl({"init-site", dir, "--edition", "2"}).rc, 0);
    EXPECT_TRUE(ReadBytes(dir + "/Orvel.ini").contains("[SITE]\r\nEDITION=2\r\n"));
    const QString file = WriteLines(tmp.filePath("u.csv"), {"1,A,A", "2,B,B"});
    const QString second = WriteLines(tmp.filePath("u2.csv"), {"3,C,C"});
    ASSERT_EQ(Orvelctl({"import", "users", file, "--site", dir, "--columns", ""}, SiteEnv(dir)).rc, 0);
    ASSERT_EQ(Orvelctl({"import", "users", second, "--site", dir, "--columns", "", "--edition", "1"}, SiteEnv(dir)).rc, 0);

    orvel::UseSiteOdbc(dir);
    rdo_cntl db;
    ASSERT_TRUE(db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword)));
    EXPECT_EQ(Rows("m_user", {"guser_id"}, "user_id"),
              QStringList({"9999999990000000001", "9999999990000000002", "00000000000000000000000000000003"}));
    db.Term();
}

TEST_F(OrvelctlSiteTest, EveryColumnRoundTripsIntoAFreshSite)
{
    site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00100', '営業部', '東京, 本社')");
    site.exec("INSERT INTO m_emp (emp_id, emp_name, emp_bikou) VALUES ('00200', '\"開発\"部', '')");
    site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, user_bikou, gauthority, delete_flag) VALUES "
              "('0000000123', '髙橋 さくら', 'TAKAHASHI', '00100', '在宅, 週3日', 2, 0)");
    site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, user_bikou, gauthority, delete_flag) VALUES "
              "('0000000124', 'ﾀﾅｶ', 'ﾀﾅｶ', '00200', '', 1, 0)");
    site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, delete_flag) VALUES "
              "('0000000125', '退職', 'TAISHOKU', '00100', 1)");
    site.exec("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_bikou, gate_mode) VALUES "
              "('00007', '本館', '正面, 東', '10.0.0.7', '3001', '', 2)");

    const QString fresh = tmp.filePath("fresh");
    ASSERT_EQ(Orvelctl({"init-site", fresh}).rc, 0);
    // The fresh site's empty gate table exports an empty file.
    CtlResult r = Orvelctl({"export", "gates", tmp.filePath("empty.csv"), "--site", fresh}, SiteEnv(fresh));
    EXPECT_EQ(r.out, QStringLiteral("0件のゲートをエクスポートしました。\n"));
    EXPECT_TRUE(ReadBytes(tmp.filePath("empty.csv")).isEmpty());

    QMap<QString, QByteArray> exported;
    for (const char *kind : {"departments", "users", "gates"}) {
        const QString file = tmp.filePath(QStringLiteral("a_%1.csv").arg(kind));
        r = Ctl({"export", kind, file});
        ASSERT_EQ(r.rc, 0) << r.err.toStdString();
        exported[kind] = ReadBytes(file);
        r = Orvelctl({"import", kind, file, "--site", fresh}, SiteEnv(fresh));
        ASSERT_EQ(r.rc, 0) << kind << r.err.toStdString();
    }
    EXPECT_EQ(exported["departments"], orvel::ToSjis("00100,営業部,\"東京, 本社\"\r\n00200,\"\"\"開発\"\"部\",\r\n"));
    EXPECT_EQ(exported["users"], orvel::ToSjis("0000000123,髙橋 さくら,TAKAHASHI,00100,営業部,\"在宅, 週3日\",2\r\n"
                                               "0000000124,ﾀﾅｶ,ﾀﾅｶ,00200,\"\"\"開発\"\"部\",,1\r\n"));
    EXPECT_EQ(exported["gates"], orvel::ToSjis("00007,本館,\"正面, 東\",10.0.0.7,3001,,2\r\n"));
    for (const char *kind : {"departments", "users", "gates"}) {
        const QString file = tmp.filePath(QStringLiteral("b_%1.csv").arg(kind));
        ASSERT_EQ(Orvelctl({"export", kind, file, "--site", fresh}, SiteEnv(fresh)).rc, 0);
        EXPECT_EQ(ReadBytes(file), exported[kind]) << kind;
    }

    r = Ctl({"export", "users", tmp.filePath("two.csv"), "--columns", "emp_id,user_id"});
    EXPECT_EQ(r.out, QStringLiteral("2件のユーザをエクスポートしました。\n"));
    EXPECT_EQ(ReadBytes(tmp.filePath("two.csv")), QByteArray("0000000123,00100\r\n0000000124,00200\r\n"));
    r = Ctl({"export", "users", tmp.filePath("none.csv"), "--columns", ""});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.err, QStringLiteral("エクスポートする項目を選択して下さい。\n"));
}

} // namespace
