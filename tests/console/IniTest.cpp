#include "ConsoleTestUtil.h"

#include "IniRead.h"
#include "MsgBox.h"
#include "Public.h"

#include "ErrorLog.h"
#include "IniFile.h"
#include "Sjis.h"

#include <QDateTime>

#include <gtest/gtest.h>

using orvel::IniFile;

TEST(IniFile, NamesCompareCaseInsensitivelyAndTheFirstMatchWins)
{
    const IniFile ini = IniFile::FromText(QStringLiteral("[file]\r\n"
                                                         "f_gatelock=first.dat\r\n"
                                                         "F_GATELOCK=second.dat\r\n"
                                                         "[FILE]\r\n"
                                                         "F_GATELOCK=third.dat\r\n"
                                                         "F_TEMPLATE=tpl.dat\r\n"));
    EXPECT_EQ(ini.Value("FILE", "F_GATELOCK"), "first.dat");
    EXPECT_EQ(ini.Value("File", "f_GateLock"), "first.dat");
    // A key only in a repeated section header is still found.
    EXPECT_EQ(ini.Value("file", "F_TEMPLATE"), "tpl.dat");
    EXPECT_FALSE(ini.Contains("OTHER", "F_GATELOCK"));
}

TEST(IniFile, CommentsTrimmingQuotesAndDefaults)
{
    const IniFile ini = IniFile::FromText(QStringLiteral("; leading comment\n"
                                                         "orphan=before any section\n"
                                                         "  [ ICON SECTION ]  \n"
                                                         ";DISP_ICON_IN_SYSTEM_TRAY=DISP\n"
                                                         "   DISP_ICON_IN_SYSTEM_TRAY   =   NO_DISP   \n"
                                                         "QUOTED = \" spaced value \"\n"
                                                         "EMPTY=\n"
                                                         "INLINE=a;b\n"
                                                         "no equals sign\n"));
    EXPECT_EQ(ini.Value("ICON SECTION", "DISP_ICON_IN_SYSTEM_TRAY"), "NO_DISP");
    EXPECT_EQ(ini.Value("icon section", "QUOTED"), " spaced value ");
    EXPECT_TRUE(ini.Contains("ICON SECTION", "EMPTY"));
    EXPECT_EQ(ini.Value("ICON SECTION", "EMPTY", "dflt"), "");
    EXPECT_EQ(ini.Value("ICON SECTION", "MISSING", "dflt"), "dflt");
    EXPECT_EQ(ini.Value("ICON SECTION", "INLINE"), "a;b"); // only whole lines are comments
    EXPECT_FALSE(ini.Contains("", "orphan"));
}

TEST(IniFile, IntegersReadTheLeadingDigits)
{
    const IniFile ini = IniFile::FromText(
        QStringLiteral("[INTERVAL]\nWAIT_SEC=250ms\nLOG_WAIT_INTERVAL=abc\nNEG=-3\nHUGE=99999999999\n"));
    EXPECT_EQ(ini.IntValue("INTERVAL", "WAIT_SEC", 1000), 250);
    EXPECT_EQ(ini.IntValue("INTERVAL", "LOG_WAIT_INTERVAL", 5), 0);
    EXPECT_EQ(ini.IntValue("INTERVAL", "NEG", 0), -3);
    // Too large for its type: unreadable, so the default, never a clamped extreme.
    EXPECT_EQ(ini.IntValue("INTERVAL", "HUGE", 7), 7);
    EXPECT_EQ(ini.IntValue("INTERVAL", "WAIT_SEC", 1000, 1, 200), 1000);
    EXPECT_EQ(ini.IntValue("INTERVAL", "WAIT_SEC", 1000, 1, 250), 250);
    EXPECT_EQ(ini.IntValue("INTERVAL", "MISSING", 7), 7);
}

TEST(IniFile, ServicesFallBackToTheirDefaults)
{
    const auto empty = orvel::ReadServiceIni(IniFile());
    EXPECT_EQ(empty.gateLockFile, "GateLock.dat");
    EXPECT_EQ(empty.templateFile, "template.dat");
    EXPECT_EQ(empty.waitSec, 1000);
    EXPECT_EQ(empty.logWaitInterval, 5);
    EXPECT_FALSE(empty.ShowTrayIcon());
    EXPECT_FALSE(empty.HasStartDate());

    const auto s = orvel::ReadServiceIni(IniFile::FromText(
        QStringLiteral("[FILE]\nF_GATELOCK=\nF_TEMPLATE=t2.dat\n[INTERVAL]\nWAIT_SEC=0\nLOG_WAIT_INTERVAL=3\n"
                       "[ICON SECTION]\nDISP_ICON_IN_SYSTEM_TRAY=DISP\n"
                       "[LOG SECTION]\nSTART_YEAR=2024\nSTART_MONTH=4\nSTART_DAY=0\n")));
    EXPECT_EQ(s.gateLockFile, "GateLock.dat"); // empty name: default, never an empty path
    EXPECT_EQ(s.templateFile, "t2.dat");
    EXPECT_EQ(s.waitSec, 1000);                // a zero interval would spin
    EXPECT_EQ(s.logWaitInterval, 3);
    EXPECT_TRUE(s.ShowTrayIcon());
    EXPECT_FALSE(s.HasStartDate());            // all three parts or none
}

TEST(IniFile, ServicesTakeTheDefaultForEveryNumberOutOfItsRange)
{
    const auto s = orvel::ReadServiceIni(IniFile::FromText(
        QStringLiteral("[INTERVAL]\nWAIT_SEC=99999999999\nLOG_WAIT_INTERVAL=-2\n"
                       "[LOG SECTION]\nSTART_YEAR=9\nSTART_MONTH=13\nSTART_DAY=1\n")));
    EXPECT_EQ(s.waitSec, 1000);        // not a tick every 25 days
    EXPECT_EQ(s.logWaitInterval, 5);
    EXPECT_EQ(s.startMonth, 0);        // no 13th month: the start date is not used
    EXPECT_FALSE(s.HasStartDate());
    const auto longest = orvel::ReadServiceIni(IniFile::FromText(
        QStringLiteral("[INTERVAL]\nWAIT_SEC=60000\nLOG_WAIT_INTERVAL=3600\n"
                       "[LOG SECTION]\nSTART_YEAR=9\nSTART_MONTH=4\nSTART_DAY=1\n")));
    EXPECT_EQ(longest.waitSec, 60000);
    EXPECT_EQ(longest.logWaitInterval, 3600);
    EXPECT_TRUE(longest.HasStartDate());
    EXPECT_EQ(orvel::ReadServiceIni(IniFile::FromText(QStringLiteral("[INTERVAL]\nWAIT_SEC=60001\n"))).waitSec, 1000);
}

TEST(IniFile, ReadsShiftJisAndUtf8Files)
{
    consoletest::BareSite site;
    site.write("sjis.ini", orvel::ToSjis(QStringLiteral("[FILE]\r\nF_TEMPLATE=指紋.dat\r\n")));
    site.write("utf8.ini", QStringLiteral("\xFEFF[FILE]\nF_TEMPLATE=指紋.dat\n").toUtf8());
    EXPECT_EQ(IniFile::Load(site.path("sjis.ini")).Value("FILE", "F_TEMPLATE"), "指紋.dat");
    EXPECT_EQ(IniFile::Load(site.path("utf8.ini")).Value("FILE", "F_TEMPLATE"), "指紋.dat");
    EXPECT_EQ(IniFile::Load(site.path("missing.ini")).Value("FILE", "F_TEMPLATE", "d"), "d");
}

class ReadIniTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MsgBox::SetScripted(true);
        SetGateLockFileName(QString());
        SetTemplateFileName(QString());
    }
    consoletest::BareSite site;
};

TEST_F(ReadIniTest, StoresBothNames)
{
    site.write("Orvel.ini", "[file]\r\n f_gatelock = GateLock.dat \r\nF_TEMPLATE=template.dat\r\n");
    EXPECT_TRUE(ReadIni());
    EXPECT_EQ(GateLockFileName(), "GateLock.dat");
    EXPECT_EQ(TemplateFileName(), "template.dat");
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
}

TEST_F(ReadIniTest, EmptyGateLockStopsBeforeTheTemplateName)
{
    site.write("Orvel.ini", "[FILE]\r\nF_GATELOCK=\r\nF_TEMPLATE=template.dat\r\n");
    EXPECT_FALSE(ReadIni());
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Orvel.INIファイルの記述が不正です。(F_GATELOCK)");
    EXPECT_TRUE(TemplateFileName().isEmpty());
}

TEST_F(ReadIniTest, MissingFileOrTemplateIsReported)
{
    EXPECT_FALSE(ReadIni());
    EXPECT_EQ(MsgBox::TakeShown().value(0).text, "Orvel.INIファイルの記述が不正です。(F_GATELOCK)");

    site.write("Orvel.ini", "[FILE]\r\nF_GATELOCK=GateLock.dat\r\n");
    EXPECT_FALSE(ReadIni());
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0].text, "Orvel.INIファイルの記述が不正です。(F_TEMPLATE)");
}

TEST(ErrorLog, LinesInCallOrderShareTheSecond)
{
    consoletest::BareSite site;
    const QString path = site.path("errorlog.txt");
    orvel::SetErrorLogPath(path);
    QStringList lines;
    // Two entries written in the same second carry the same stamp; retry if a second boundary
    // fell between them.
    for (int attempt = 0; attempt < 5; ++attempt) {
        QFile::remove(path);
        orvel::WriteErrorLog(9002, QStringLiteral("稼動停止"));
        orvel::WriteErrorLog(9001, QStringLiteral("ゲート接続エラー[00001]"));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QString text = orvel::FromSjis(f.readAll());
        ASSERT_TRUE(text.endsWith("\r\n"));
        lines = text.split("\r\n", Qt::SkipEmptyParts);
        ASSERT_EQ(lines.size(), 2);
        if (lines[0].left(19) == lines[1].left(19))
            break;
    }
    orvel::SetErrorLogPath(QString());
    const QDateTime stamp = QDateTime::fromString(lines[0].left(19), "yyyy/MM/dd,hh:mm:ss");
    EXPECT_TRUE(stamp.isValid()) << lines[0].toStdString();
    EXPECT_EQ(lines[0].left(19), lines[1].left(19));
    EXPECT_EQ(lines[0].mid(19), ",9002,稼動停止");
    EXPECT_EQ(lines[1].mid(19), ",9001,ゲート接続エラー[00001]");
}
