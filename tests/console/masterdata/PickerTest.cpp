// The four pickers hold the main window while they are open and give it back however they are
// left: Escape, the title bar's close button, their own close button, or a choice with
// auto-close. A picker that kept the busy flag up would leave the console frozen for good.
#include "MasterdataTestUtil.h"

#include "frmAssistBase.h"
#include "frmGateAssist.h"
#include "frmJobAssist.h"
#include "frmUserAssist.h"
#include "frmUserAssist_Job.h"

#include "CurrentScreen.h"
#include "TestSite.h"

#include <QCheckBox>
#include <QWindow>

using namespace mdtest;

namespace {

enum class Leave { Escape, TitleBar, CloseButton, SelectAndClose };

const char *LeaveName(Leave how)
{
    switch (how) {
    case Leave::Escape: return "Escape";
    case Leave::TitleBar: return "title bar";
    case Leave::CloseButton: return "cmdClose";
    case Leave::SelectAndClose: return "cmdSelect with auto-close";
    }
    return "";
}

struct Reported : QWidget, CurrentScreen
{
    QStringList ids;
    void EMP_SetEmpId(const QString &id) override { ids << id; }
    void USER_SetUserId(const QString &id) override { ids << id; }
    void GATE_SetGateId(const QString &id) override { ids << id; }
};

class PickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        site.exec("INSERT INTO m_emp (emp_id, emp_name) VALUES ('00001', '総務部')");
        site.exec("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, gauth_type, delete_flag) VALUES "
                  "('0000000001', '山田', 'yamada', '00000', 2, 0)");
        site.exec("INSERT INTO m_gate (gate_id, gate_name, ip_addr, port_no, use_flag) VALUES "
                  "('00001', '正面玄関', '127.0.0.2', '10001', 1)");
        SetCurrentScreen(&screen);
        MsgBox::TakeShown();
    }
    void TearDown() override
    {
        SetBusyEventPump(nullptr);
        SetCurrentScreen(nullptr);
        MainWindow()->setEnabled(true);
        SetBusyOff();
    }

    // Opens the picker as the screens do and leaves it the given way. Returns whether the main
    // window was given back; a picker that keeps the flag is caught after a while instead of
    // hanging the test.
    bool OpenAndLeave(frmAssistBase *picker, Leave how)
    {
        QPointer<frmAssistBase> p = picker;
        int roundsAfter = 0;
        bool left = false;
        bool stuck = false;
        SetBusyEventPump([&] {
            QApplication::processEvents();
            if (!left) {
                EXPECT_FALSE(MainWindow()->isEnabled()) << "held while the picker is open";
                left = true;
                switch (how) {
                case Leave::Escape:
                    QTest::keyClick(p, Qt::Key_Escape);
                    break;
                case Leave::TitleBar:
                    p->windowHandle()->close();
                    break;
                case Leave::CloseButton:
                    W<QAbstractButton>(p, "cmdClose")->click();
                    break;
                case Leave::SelectAndClose:
                    W<QCheckBox>(p, "chbAutoClose")->setChecked(true);
                    if (auto *g = p->findChild<MsfGrid *>())
                        g->setCurrentRow(g->rows() - 1);
                    W<QAbstractButton>(p, "cmdSelect")->click();
                    break;
                }
                return;
            }
            if (++roundsAfter > 200) {
                stuck = true;
                SetBusyOff();
            }
        });
        frmAssistBase::Open(picker);
        SetBusyEventPump(nullptr);
        QApplication::processEvents();
        return !stuck && !IsBusy() && MainWindow()->isEnabled() && (p.isNull() || !p->isVisible());
    }

    orvel::test::TestSite site;
    Reported screen;
};

} // namespace

TEST_F(PickerTest, EveryWayOutOfEveryPickerGivesTheMainWindowBack)
{
    const Leave ways[] = {Leave::Escape, Leave::TitleBar, Leave::CloseButton, Leave::SelectAndClose};
    for (Leave how : ways) {
        SCOPED_TRACE(LeaveName(how));
        screen.ids.clear();
        EXPECT_TRUE(OpenAndLeave(new frmJobAssist, how)) << "frmJobAssist";
        EXPECT_TRUE(OpenAndLeave(new frmUserAssist_Job(QStringLiteral("00001")), how)) << "frmUserAssist_Job";
        EXPECT_TRUE(OpenAndLeave(new frmUserAssist, how)) << "frmUserAssist";
        EXPECT_TRUE(OpenAndLeave(new frmGateAssist(QStringLiteral("use_flag = 1"), QString()), how)) << "frmGateAssist";
        if (how == Leave::SelectAndClose) // each picker reported its one row before it closed
            EXPECT_EQ(screen.ids, QStringList({"00001", "0000000001", "0000000001", "00001"}));
        else
            EXPECT_TRUE(screen.ids.isEmpty());
    }
}

TEST_F(PickerTest, AutoCloseChoiceIsKeptHoweverThePickerIsLeft)
{
    bool first = true;
    SetBusyEventPump([&] {
        QApplication::processEvents();
        for (QWidget *w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("frmJobAssist") && w->isVisible() && first) {
                first = false;
                W<QCheckBox>(w, "chbAutoClose")->setChecked(true);
                QTest::keyClick(w, Qt::Key_Escape);
            }
    });
    frmAssistBase::Open(new frmJobAssist);
    SetBusyEventPump(nullptr);
    auto *again = new frmJobAssist;
    EXPECT_TRUE(W<QCheckBox>(again, "chbAutoClose")->isChecked());
    delete again;
}
