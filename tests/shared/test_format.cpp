// The display format language used by grids, CSV files and bound list codes.

#include "Format.h"

#include <QDateTime>

#include <gtest/gtest.h>

using orvel::FormatValue;

TEST(Format, NumberPatternsPadAndGroup)
{
    EXPECT_EQ(FormatValue(7, QStringLiteral("00000")), QStringLiteral("00007"));
    EXPECT_EQ(FormatValue(QStringLiteral("00007"), QStringLiteral("00000")), QStringLiteral("00007"));
    EXPECT_EQ(FormatValue(QStringLiteral("123456"), QStringLiteral("00000")), QStringLiteral("123456"));
    EXPECT_EQ(FormatValue(1234567890LL, QStringLiteral("0000000000")), QStringLiteral("1234567890"));
    EXPECT_EQ(FormatValue(7, QStringLiteral("0#")), QStringLiteral("07"));
    EXPECT_EQ(FormatValue(23, QStringLiteral("0#")), QStringLiteral("23"));
    EXPECT_EQ(FormatValue(0, QStringLiteral("#0")), QStringLiteral("0"));
    EXPECT_EQ(FormatValue(1, QStringLiteral("#")), QStringLiteral("1"));
    EXPECT_EQ(FormatValue(0, QStringLiteral("#")), QString());
    EXPECT_EQ(FormatValue(1234567, QStringLiteral("#,##0")), QStringLiteral("1,234,567"));
    EXPECT_EQ(FormatValue(2.5, QStringLiteral("0.00")), QStringLiteral("2.50"));
    EXPECT_EQ(FormatValue(-42, QStringLiteral("00000")), QStringLiteral("-00042"));
    // Text that is no number, and empty values, pass through unchanged.
    EXPECT_EQ(FormatValue(QStringLiteral("abc"), QStringLiteral("00000")), QStringLiteral("abc"));
    EXPECT_EQ(FormatValue(QVariant(), QStringLiteral("00000")), QString());
    EXPECT_EQ(FormatValue(QStringLiteral("x,y"), QString()), QStringLiteral("x,y"));
}

TEST(Format, DatePatternsReadMinutesFromTheirNeighbours)
{
    const QDateTime dt(QDate(2009, 4, 1), QTime(8, 5, 9));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("yyyy/mm/dd hh:mm:ss")), QStringLiteral("2009/04/01 08:05:09"));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("yyyy/mm/dd HH:MM:SS")), QStringLiteral("2009/04/01 08:05:09"));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("yyyy/mm/dd")), QStringLiteral("2009/04/01"));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("hh:nn")), QStringLiteral("08:05"));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("yymmdd")), QStringLiteral("090401"));
    EXPECT_EQ(FormatValue(dt, QStringLiteral("m/d")), QStringLiteral("4/1"));
    // Dates stored as text, in either separator style, with or without fractions of a second.
    EXPECT_EQ(FormatValue(QStringLiteral("2009-04-01 08:30:00.000"), QStringLiteral("yyyy/mm/dd hh:mm:ss")),
              QStringLiteral("2009/04/01 08:30:00"));
    EXPECT_EQ(FormatValue(QStringLiteral("2009/4/1"), QStringLiteral("yyyy/mm/dd")), QStringLiteral("2009/04/01"));
    EXPECT_EQ(FormatValue(QStringLiteral("not a date"), QStringLiteral("yyyy/mm/dd")), QStringLiteral("not a date"));
}

TEST(Format, WeeksStartOnSundayAndWeekOneHoldsTheFirstOfJanuary)
{
    // 1 January 2009 was a Thursday; Sunday 4 January starts week 2.
    EXPECT_EQ(FormatValue(QDate(2009, 1, 1), QStringLiteral("ww")), QStringLiteral("1"));
    EXPECT_EQ(FormatValue(QDate(2009, 1, 3), QStringLiteral("ww")), QStringLiteral("1"));
    EXPECT_EQ(FormatValue(QDate(2009, 1, 4), QStringLiteral("ww")), QStringLiteral("2"));
    EXPECT_EQ(FormatValue(QDate(2009, 1, 4), QStringLiteral("w")), QStringLiteral("1")); // Sunday
    EXPECT_EQ(FormatValue(QDate(2009, 1, 10), QStringLiteral("w")), QStringLiteral("7")); // Saturday
    EXPECT_EQ(FormatValue(QDate(2009, 12, 31), QStringLiteral("ww")), QStringLiteral("53"));
}
