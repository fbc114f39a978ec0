// The collector's window over a real collector (offscreen): the interval label, the settings
// boxes and their refusals, and the close question.

#include "Collector.h"
#include "GateLibLoader.h"
#include "HarvesterInput.h"
#include "HarvesterMessages.h"
#include "HarvesterTestUtil.h"
#include "HarvesterWindow.h"
#include "ServiceDb.h"
#include "TestSite.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

using namespace harvester;

namespace {

TEST(HarvesterWindow, SettingsBoxesChangeTheRunningValuesAndRefuseBadInput)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok());
    orvel::ServiceDb db(QStringLiteral("window"));
    ASSERT_TRUE(test::OpenShort(db));
    orvel::GateLibFunctions none;
    CollectorSettings s;
    s.logWaitInterval = 5;
    Collector collector(db, none, s);
    QStringList shown;
    bool answer = false;
    Messages::SetHook([&](const QString &text) {
        shown << text;
        return answer;
    });

    HarvesterWindow w(collector, 1000, false);
    auto *label = w.findChild<QLabel *>(QStringLiteral("lblInterval"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("リクエスト発行間隔[5000] ㍉秒   ログ取得間隔[1000] ㍉秒"));

    int newWait = 0;
    QObject::connect(&w, &HarvesterWindow::waitSecChanged, [&](int ms) { newWait = ms; });
    for (const char *bad : {"0", "-5", "abc", ""})
        EXPECT_FALSE(w.ApplyWaitSec(QString::fromLatin1(bad))) << bad;
    EXPECT_EQ(shown.count(QStringLiteral("入力された値が範囲を超えています！")), 4);
    EXPECT_EQ(newWait, 0);
    EXPECT_TRUE(w.ApplyWaitSec(QStringLiteral(" 200 ")));
    EXPECT_EQ(newWait, 200);
    EXPECT_TRUE(w.ApplyLogWaitInterval(QStringLiteral("3")));
    EXPECT_EQ(collector.LogWaitInterval(), 3);
    EXPECT_EQ(label->text(), QStringLiteral("リクエスト発行間隔[600] ㍉秒   ログ取得間隔[200] ㍉秒"));
    EXPECT_FALSE(w.ApplyLogWaitInterval(QStringLiteral("x")));
    EXPECT_EQ(collector.LogWaitInterval(), 3);

    EXPECT_TRUE(w.ApplyStartDate(QStringLiteral("2009/04/01")));
    EXPECT_TRUE(collector.HasStartDate());
    EXPECT_FALSE(w.ApplyStartDate(QStringLiteral("2009/02/30")));
    EXPECT_TRUE(collector.HasStartDate());
    EXPECT_TRUE(w.ApplyStartDate(QString())); // cleared
    EXPECT_FALSE(collector.HasStartDate());

    w.show();
    shown.clear();
    answer = false;
    w.close();
    EXPECT_EQ(shown, QStringList{QStringLiteral("システムを終了してよろしいですか？")});
    EXPECT_TRUE(w.isVisible());
    answer = true;
    w.close();
    EXPECT_FALSE(w.isVisible());
    Messages::SetHook(nullptr);
}

TEST(HarvesterInput, StartDateIsKeptCountedFrom2000)
{
    int y = -1, m = -1, d = -1;
    ASSERT_TRUE(ParseStartDateInput(QStringLiteral("2009/4/1"), &y, &m, &d));
    EXPECT_EQ(y * 10000 + m * 100 + d, 90401);
    EXPECT_FALSE(ParseStartDateInput(QStringLiteral("1999/04/01"), &y, &m, &d));
    EXPECT_FALSE(ParseStartDateInput(QStringLiteral("2009-04-01"), &y, &m, &d));
}

} // namespace

int main(int argc, char **argv)
{
    // No display needed, also when CTest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
