// The SQL dialect layer, CSV fields, Shift_JIS text and the log categories.

#include "Csv.h"
#include "LogCategories.h"
#include "OrvelDefs.h"
#include "Sjis.h"
#include "SqlDialect.h"

#include <gtest/gtest.h>

using namespace orvel;

TEST(SqlDialect, DateLiteralsBecomeIsoTextOutsideQuotesOnly)
{
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT * FROM t WHERE d >= #2009/4/1 8:30:00# AND e < #2009/04/02#"),
                           DbBackend::SQLite),
              QStringLiteral("SELECT * FROM t WHERE d >= '2009-04-01 08:30:00' AND e < '2009-04-02 00:00:00'"));
    // A "#" inside a value is the value's own.
    EXPECT_EQ(TranslateSql(QStringLiteral("UPDATE t SET n = 'room #2009/4/1#' WHERE d = #2009/4/1#"), DbBackend::SQLite),
              QStringLiteral("UPDATE t SET n = 'room #2009/4/1#' WHERE d = '2009-04-01 00:00:00'"));
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT 'it''s #1#', 3 # 4"), DbBackend::SQLite),
              QStringLiteral("SELECT 'it''s #1#', 3 # 4"));
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT [m_user].[user_id] FROM m_user"), DbBackend::SQLite),
              QStringLiteral("SELECT [m_user].[user_id] FROM m_user"));
}

// PostgreSQL folds unquoted names to lower case and compares LIKE by case: names in brackets stay
// the names they were created as (v_user_plus2_M), and LIKE keeps the system's case-blind match.
TEST(SqlDialect, PostgreSqlNamesLikeAndColumnTypes)
{
    const auto pg = [](const char *sql) { return TranslateSql(QString::fromUtf8(sql), DbBackend::PostgreSQL); };
    EXPECT_EQ(pg("SELECT [m_user].[user_id], [odd name] FROM [v_user_plus2_M]"),
              QStringLiteral("SELECT m_user.user_id, \"odd name\" FROM v_user_plus2_M"));
    EXPECT_EQ(pg("SELECT * FROM t WHERE name like 'ab%' AND x NOT LIKE '%LIKE%' AND unlike = 1 AND like_it = 2"),
              QStringLiteral("SELECT * FROM t WHERE name ILIKE 'ab%' AND x NOT ILIKE '%LIKE%' AND unlike = 1 AND "
                             "like_it = 2"));
    EXPECT_EQ(pg("ALTER TABLE m_gate ADD COLUMN port_no TEXT (10)"),
              QStringLiteral("ALTER TABLE m_gate ADD COLUMN port_no VARCHAR (10)"));
    EXPECT_EQ(pg("SELECT text FROM t WHERE \"LIKE\" = 'TEXT(1)'"),
              QStringLiteral("SELECT text FROM t WHERE \"LIKE\" = 'TEXT(1)'"));
    EXPECT_EQ(pg("SELECT * FROM t WHERE d < #2009/4/1#"), QStringLiteral("SELECT * FROM t WHERE d < '2009-04-01 00:00:00'"));
    // SQLite takes all of these as they are.
    EXPECT_EQ(TranslateSql(QStringLiteral("SELECT a FROM t WHERE a LIKE 'x%' AND b TEXT(10)"), DbBackend::SQLite),
              QStringLiteral("SELECT a FROM t WHERE a LIKE 'x%' AND b TEXT(10)"));
}

TEST(SqlDialect, EscapingDoublesTheEnclosingCharacter)
{
    EXPECT_EQ(SqlText(QStringLiteral("O'Brien")), QStringLiteral("'O''Brien'"));
    EXPECT_EQ(SqlEscape(QStringLiteral("a\"b'c"), QStringLiteral("\"")), QStringLiteral("a\"\"b'c"));
    EXPECT_EQ(SqlEscape(QStringLiteral("12'3"), QString()), QStringLiteral("12'3"));
    // Text in double quotes is text, never a column of that name.
    EXPECT_EQ(SqlLiteral(QStringLiteral("emp_name"), QStringLiteral("\"")), QStringLiteral("'emp_name'"));
    EXPECT_EQ(SqlLiteral(QStringLiteral("it's \"x\""), QStringLiteral("\"")), QStringLiteral("'it''s \"x\"'"));
    EXPECT_EQ(SqlLiteral(QStringLiteral("7"), QString()), QStringLiteral("7"));
    EXPECT_EQ(SqlLiteral(QStringLiteral("a#b"), QStringLiteral("#")), QStringLiteral("#a##b#"));
}

// Rows packed several to a value carry their numbers: the reader takes each row's place from its
// number, whatever order the database joined them in, and a part without a number is refused.
TEST(SqlDialect, PackedRowsAreReadByTheirNumbers)
{
    const QString rs{QChar(kPackedRowSeparator)}, us{QChar(kPackedNumberSeparator)};
    QList<std::pair<qint64, QString>> rows;
    ASSERT_TRUE(SplitPackedRows(QStringLiteral("3") + us + QStringLiteral("c") + rs + QStringLiteral("1") + us +
                                    QStringLiteral("a") + us + QStringLiteral("x") + rs + QStringLiteral("2") + us,
                                &rows));
    const QList<std::pair<qint64, QString>> expected = {
        {3, QStringLiteral("c")}, {1, QStringLiteral("a") + us + QStringLiteral("x")}, {2, QString()}};
    EXPECT_EQ(rows, expected);
    for (const QString &broken : {QString(), QStringLiteral("abc"), QStringLiteral("x") + us + QStringLiteral("a"),
                                  QStringLiteral("1") + us + QStringLiteral("a") + rs + QStringLiteral("b"),
                                  QStringLiteral("0") + us + QStringLiteral("a")})
        EXPECT_FALSE(SplitPackedRows(broken, &rows)) << broken.toStdString();

    // An order by column position names no key to number the rows by: not packed.
    EXPECT_TRUE(PackedRowsSelect(DbBackend::SQLite, QStringLiteral("t"), QStringLiteral("s"), QString(),
                                 QStringLiteral("a, 2 DESC"), 0, 10)
                    .isEmpty());
    EXPECT_FALSE(PackedRowsSelect(DbBackend::PostgreSQL, QStringLiteral("t"), QStringLiteral("s"), QString(),
                                  QStringLiteral("f(a, 2) DESC NULLS LAST, 'x,y'"), 0, 10)
                     .isEmpty());
}

TEST(Csv, OnlyFieldsThatWouldShiftColumnsAreQuoted)
{
    EXPECT_EQ(CsvField(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(CsvField(QStringLiteral("a,b")), QStringLiteral("\"a,b\""));
    EXPECT_EQ(CsvField(QStringLiteral("say \"hi\"")), QStringLiteral("\"say \"\"hi\"\"\""));
    EXPECT_EQ(CsvField(QStringLiteral("two\r\nlines")), QStringLiteral("\"two\r\nlines\""));
    EXPECT_EQ(CsvField(QString()), QString());
    const QStringList back = CsvSplitLine(QStringLiteral("x,\"a,b\",\"say \"\"hi\"\"\",,end"));
    EXPECT_EQ(back, QStringList({QStringLiteral("x"), QStringLiteral("a,b"), QStringLiteral("say \"hi\""), QString(),
                                 QStringLiteral("end")}));
}

TEST(Sjis, JapaneseRoundTripsAndUnmappableCharactersDoNotLoseTheLine)
{
    const QString text = QStringLiteral("無所属,ｶﾅ,入室しました。");
    const QByteArray bytes = ToSjis(text);
    EXPECT_EQ(bytes.left(2), QByteArray("\x96\xb3"));
    EXPECT_EQ(FromSjis(bytes), text);
    EXPECT_EQ(FromSjis(ToSjis(QStringLiteral("a😀b"))), QStringLiteral("a?b"));
}

TEST(LogCategories, ModesSelectTheirTypes)
{
    EXPECT_TRUE(LogModeIncludes(1, 1));
    EXPECT_FALSE(LogModeIncludes(1, 28));
    EXPECT_TRUE(LogModeIncludes(2, 36));
    EXPECT_TRUE(LogModeIncludes(2, 166));
    EXPECT_FALSE(LogModeIncludes(2, 163));
    EXPECT_TRUE(LogModeIncludes(3, 250));
    EXPECT_FALSE(LogModeIncludes(0, 1));
    EXPECT_TRUE(LogModeIncludes(4, 254));
    EXPECT_FALSE(LogModeIncludes(4, 255));
    EXPECT_TRUE(LogModeIncludes(9, 255));
    // Every type a category names has a message.
    for (LogKind k : {LogKind::Authentication, LogKind::Operation, LogKind::Error})
        for (int t : LogTypesOf(k))
            EXPECT_TRUE(std::any_of(KnownLogTypes().begin(), KnownLogTypes().end(),
                                    [t](const LogTypeText &x) { return x.logType == t; }))
                << t;
}

TEST(Identifiers, PlaceholdersOfBothEditions)
{
    EXPECT_EQ(PlaceholderGuserId(EditionFelica, QStringLiteral("42")),
              QStringLiteral("00000000000000000000000000000042"));
    EXPECT_EQ(PlaceholderGuserId(EditionMifare, QStringLiteral("0000000042")), QStringLiteral("9999999990000000042"));
    EXPECT_TRUE(IsPlaceholderGuserId(EditionMifare, QStringLiteral("9999999990000000000")));
    EXPECT_FALSE(IsPlaceholderGuserId(EditionMifare, QStringLiteral("9999999989999999999")));
    EXPECT_EQ(PadId(QStringLiteral("7"), kEmpIdWidth), QStringLiteral("00007"));
}
