#include "ConsoleTestUtil.h"

#include "CurrentScreen.h"
#include "DayMainteTrigger.h"
#include "MsfGrid.h"
#include "MsgBox.h"
#include "Public.h"
#include "ScreenLook.h"

#include <QApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

TEST(Public, FingerNames)
{
    EXPECT_EQ(GetFingerName(0), "左手 中指");
    EXPECT_EQ(GetFingerName(2), "左手 親指");
    EXPECT_EQ(GetFingerName(3), "右手 親指");
    EXPECT_EQ(GetFingerName(5), "右手 中指");
    EXPECT_EQ(GetFingerName(6), "不明");
    EXPECT_EQ(GetFingerName(-1), "不明");
}

TEST(Public, WaitBusyOffReturnsOnceTheAssistWindowHasGone)
{
    QWidget main;
    main.show();
    SetMainWindow(&main);
    SetBusyOn();
    EXPECT_FALSE(main.isEnabled());
    EXPECT_TRUE(IsBusy());
    int rounds = 0;
    SetBusyEventPump([&] {
        if (++rounds == 3)
            SetBusyOff(); // the assist window unloads
    });
    WaitBusyOff();
    SetBusyEventPump({});
    SetMainWindow(nullptr);
    EXPECT_EQ(rounds, 3);
    EXPECT_FALSE(IsBusy());
    EXPECT_TRUE(main.isEnabled());
}

namespace {
struct Screen : QWidget, CurrentScreen
{
    QString emp;
    void EMP_SetEmpId(const QString &id) override { emp = id; }
};
} // namespace

TEST(Public, CurrentScreenIsForgottenWhenItCloses)
{
    auto *s = new Screen;
    SetCurrentScreen(s);
    ASSERT_EQ(GetCurrentScreen(), s);
    GetCurrentScreen()->EMP_SetEmpId("00012");
    GetCurrentScreen()->USER_SetUserId("0000000001"); // not answered: nothing happens
    EXPECT_EQ(s->emp, "00012");
    delete s;
    EXPECT_EQ(GetCurrentScreen(), nullptr);

    QWidget plain; // a window that answers nothing is not a current screen
    SetCurrentScreen(&plain);
    EXPECT_EQ(GetCurrentScreen(), nullptr);
    SetCurrentScreen(nullptr);
}

TEST(MsgBoxService, ScriptedAnswersAndDefaults)
{
    MsgBox::SetScripted(true);
    SetAppTitle("Kavrin Manager 2 (Felica)");
    EXPECT_EQ(MsgBox::Show("a"), QMessageBox::Ok);
    EXPECT_EQ(MsgBox::Show("b", QMessageBox::Yes | QMessageBox::No, QMessageBox::Question, "T", QMessageBox::No),
              QMessageBox::No);
    MsgBox::QueueAnswer(QMessageBox::Yes);
    EXPECT_EQ(MsgBox::Show("c", QMessageBox::Yes | QMessageBox::No), QMessageBox::Yes);
    const auto shown = MsgBox::TakeShown();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_EQ(shown[0].title, "Kavrin Manager 2 (Felica)");
    EXPECT_EQ(shown[1].title, "T");
    EXPECT_EQ(shown[1].defaultButton, QMessageBox::No);
    EXPECT_EQ(shown[2].text, "c");
    EXPECT_TRUE(MsgBox::TakeShown().isEmpty());
}

TEST(DayMainteTriggerTest, FiresAtMostOncePerMinute)
{
    QDateTime now(QDate(2024, 5, 1), QTime(3, 0, 0));
    DayMainteTrigger trigger([&] { return now; });
    QString configured = "0300";
    int reads = 0;
    auto read = [&] {
        ++reads;
        return configured;
    };
    EXPECT_TRUE(trigger.Tick(read));
    EXPECT_EQ(trigger.LastStamp(), "202405010300");
    for (int s = 6; s < 60; s += 6) { // later ticks of the same minute
        now = now.addSecs(6);
        EXPECT_FALSE(trigger.Tick(read));
    }
    EXPECT_EQ(reads, 1);
    now = QDateTime(QDate(2024, 5, 1), QTime(3, 1, 0));
    EXPECT_FALSE(trigger.Tick(read));
    now = QDateTime(QDate(2024, 5, 2), QTime(3, 0, 30));
    EXPECT_TRUE(trigger.Tick(read)); // next day, same minute
}

TEST(DayMainteTriggerTest, TimeChangedToTheMinuteAlreadyTestedWaitsForTheNextDay)
{
    QDateTime now(QDate(2024, 5, 1), QTime(10, 15, 2));
    DayMainteTrigger trigger([&] { return now; });
    QString configured = "0300";
    auto read = [&] { return configured; };
    EXPECT_FALSE(trigger.Tick(read));
    configured = "1015"; // the operator sets the current minute
    now = now.addSecs(6);
    EXPECT_FALSE(trigger.Tick(read));
    now = QDateTime(QDate(2024, 5, 1), QTime(10, 16, 0));
    EXPECT_FALSE(trigger.Tick(read));
    now = QDateTime(QDate(2024, 5, 2), QTime(10, 15, 0));
    EXPECT_TRUE(trigger.Tick(read));
}

TEST(ScreenLookTest, LockedFieldLook)
{
    QLineEdit e;
    SetFieldLocked(&e, true);
    EXPECT_TRUE(e.isReadOnly());
    EXPECT_EQ(e.palette().color(QPalette::Base), QColor(0xF0, 0xF0, 0xF0));
    SetFieldLocked(&e, false);
    EXPECT_FALSE(e.isReadOnly());
    EXPECT_EQ(e.palette().color(QPalette::Base), QApplication::palette(&e).color(QPalette::Base));
}

TEST(ScreenLookTest, RowHighlightMovesAndSparesColumnZero)
{
    MsfGrid g;
    g.setCols(3);
    g.setRows(4); // header + rows 1..3
    int prev = -1;
    HighlightRow(g, 1, prev);
    EXPECT_EQ(prev, 1);
    EXPECT_FALSE(g.cellBackColor(1, 0).isValid());
    EXPECT_EQ(g.cellBackColor(1, 1), QColor(255, 192, 255));
    EXPECT_EQ(g.cellBackColor(1, 2), QColor(255, 192, 255));
    HighlightRow(g, 3, prev);
    EXPECT_FALSE(g.cellBackColor(1, 1).isValid());
    EXPECT_EQ(g.cellBackColor(3, 2), QColor(255, 192, 255));
    // Out of range (the grid was reloaded shorter): only the old highlight goes.
    g.setRows(2);
    HighlightRow(g, 5, prev);
    EXPECT_EQ(prev, 5);
    HighlightRow(g, 0, prev); // the header row is never painted
    EXPECT_FALSE(g.cellBackColor(1, 1).isValid());
}
