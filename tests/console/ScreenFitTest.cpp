// Every window of the console as an administrator sees it on a 1280x800 display: nothing lies
// outside its window or on top of another control, the screens open inside the main window's
// document area, every list shows all its columns, and every input field has a name a screen
// reader can say. Checked from the widgets' geometries, screen by screen.
#include "ConsoleTestUtil.h"

#include "ConsoleTiming.h"
#include "MsgBox.h"
#include "MsfGrid.h"
#include "Public.h"
#include "ScreenRegistry.h"
#include "SrvSupervision.h"
#include "mdifVantr.h"

#include "TestSite.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScrollArea>
#include <QTableView>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

constexpr QSize kDisplay(1280, 800);

bool IsControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLineEdit *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractItemView *>(w) ||
           qobject_cast<const QLabel *>(w) || qobject_cast<const QGroupBox *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w);
}

// Widgets whose children belong to Qt's own drawing of the widget.
bool IsComposite(const QWidget *w)
{
    return qobject_cast<const QAbstractItemView *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QLineEdit *>(w);
}

QString Name(const QWidget *w)
{
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    else if (auto *l = qobject_cast<const QLabel *>(w))
        text = l->text();
    else if (auto *g = qobject_cast<const QGroupBox *>(w))
        text = g->title();
    return QStringLiteral("%1 %2 \"%3\"").arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(), text);
}

// Every visible control lies inside its parent (a scroll area's content may be larger than the
// area: it scrolls), and no two visible controls of one parent overlap.
void CheckInside(QWidget *parent, QStringList *faults)
{
    const auto kids = parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    QList<QWidget *> shown;
    for (QWidget *k : kids) {
        if (!k->isVisible() || k->isWindow())
            continue;
        shown << k;
        const bool scrolled = qobject_cast<QScrollArea *>(parent->parentWidget()) &&
                              static_cast<QScrollArea *>(parent->parentWidget())->viewport() == parent;
        if (!scrolled && IsControl(k) && !parent->rect().contains(k->geometry()))
            *faults << QStringLiteral("%1 sticks out of %2 (%3,%4 %5x%6 in %7x%8)")
                           .arg(Name(k), Name(parent))
                           .arg(k->x())
                           .arg(k->y())
                           .arg(k->width())
                           .arg(k->height())
                           .arg(parent->width())
                           .arg(parent->height());
        if (!IsComposite(k))
            CheckInside(k, faults);
    }
    if (IsComposite(parent))
        return;
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            if (IsControl(shown[i]) && IsControl(shown[j]) && shown[i]->geometry().intersects(shown[j]->geometry()))
                *faults << QStringLiteral("%1 overlaps %2").arg(Name(shown[i]), Name(shown[j]));
}

// Lists show every column they do not hide without scrolling sideways.
void CheckColumns(QWidget *window, QStringList *faults)
{
    // Every grid is a table view (MsfGrid, or the log list's view over its model).
    for (QTableView *g : window->findChildren<QTableView *>()) {
        if (!g->isVisible() || !g->model())
            continue;
        int total = 0;
        for (int c = 0; c < g->model()->columnCount(); ++c)
            if (!g->isColumnHidden(c))
                total += g->columnWidth(c);
        const int room = g->viewport()->width() + (g->verticalScrollBar()->isVisible() ? 0 : 0);
        if (total > room)
            *faults << QStringLiteral("%1: columns %2 px wide in %3 px").arg(g->objectName()).arg(total).arg(room);
    }
}

// Input fields carry a name a screen reader says (their label's text; the label is their buddy
// where the field has one of its own).
void CheckNames(QWidget *window, QStringList *faults)
{
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || w->isWindow())
            continue;
        const bool input = qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                           qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QAbstractItemView *>(w);
        if (!input || qobject_cast<QHeaderView *>(w) || qobject_cast<QComboBox *>(w->parentWidget()) ||
            qobject_cast<QAbstractSpinBox *>(w->parentWidget()))
            continue;
        if (w->accessibleName().isEmpty())
            *faults << QStringLiteral("%1 has no accessible name").arg(Name(w));
    }
}

QStringList Faults(QWidget *window)
{
    QStringList faults;
    CheckInside(window, &faults);
    CheckColumns(window, &faults);
    CheckNames(window, &faults);
    return faults;
}

struct NoSupervision : SrvSupervision
{
    void SendSrvCheck() override {}
    void SendSrvExit() override {}
};

class ScreenFitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(site.ok()) << site.error().toStdString();
        MsgBox::SetScripted(true);
        ResetProgramEnding();
        SetEndProgramHandler([] {});
        Timing() = ConsoleTiming{};
        Timing().startMs = 1;
        Timing().mainteStartMs = 3600000; // the start-up and maintenance windows never start work
        SetSrvSupervisionFactory([](mdifVantr &) { return std::make_unique<NoSupervision>(); });
        // Some rows, so that lists and their scroll bars are as an administrator meets them.
        for (int i = 1; i <= 40; ++i) {
            site.exec(QStringLiteral("INSERT INTO m_emp (emp_id, emp_name) VALUES ('%1', '営業第%2課')")
                          .arg(i, 5, 10, QLatin1Char('0'))
                          .arg(i));
            site.exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, user_yomi, emp_id, gauth_type, "
                                     "gauthority, delete_flag) VALUES ('%1', '山田 太郎%2', 'Yamada Taro', '00001', 2, 1, 0)")
                          .arg(i, 10, 10, QLatin1Char('0'))
                          .arg(i));
            site.exec(QStringLiteral("INSERT INTO m_gate (gate_id, zone_name, gate_name, ip_addr, port_no, gate_mode, "
                                     "use_flag) VALUES ('%1', '本社ビル', '正面玄関%2', '127.0.0.%2', '10001', 1, 0)")
                          .arg(i, 5, 10, QLatin1Char('0'))
                          .arg(i + 1));
            site.exec(QStringLiteral("INSERT INTO t_gate_permit VALUES ('%1', '00001', 1, 1)").arg(i, 10, 10, QLatin1Char('0')));
        }
        ScreenRegistry::Register("frmStartChk", [](QWidget *p) -> QWidget * {
            auto *d = new QDialog(p);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        });
        main = std::make_unique<mdifVantr>(1);
        main->Load();
        ASSERT_TRUE(QTest::qWaitFor([&] { return main->timDayMainte()->isActive(); }, 5000));
        main->timDayMainte()->stop();
        main->timSrvChkSend()->stop();
        main->showNormal();
        main->setGeometry(QRect(QPoint(0, 0), kDisplay));
        QApplication::processEvents();
    }
    void TearDown() override
    {
        main.reset();
        ScreenRegistry::Unregister("frmStartChk");
        SetSrvSupervisionFactory({});
        SetEndProgramHandler({});
        Timing() = ConsoleTiming{};
        // The real start-up window goes back into the table for the next test.
    }
    orvel::test::TestSite site;
    std::unique_ptr<mdifVantr> main;
};

} // namespace

TEST_F(ScreenFitTest, MenuScreensOpenInsideTheDocumentAreaWithEveryControlInReach)
{
    ASSERT_EQ(main->size(), kDisplay);
    EXPECT_EQ(Faults(main.get()), QStringList());
    for (int i = 0; i < 4; ++i) {
        main->cmdMenu_Click(i);
        QApplication::processEvents();
        QMdiSubWindow *sub = main->MdiArea()->activeSubWindow();
        ASSERT_NE(sub, nullptr) << i;
        const QString name = sub->widget()->objectName();
        EXPECT_TRUE(main->MdiArea()->viewport()->rect().contains(sub->geometry()))
            << name.toStdString() << " at " << sub->geometry().x() << "," << sub->geometry().y() << " "
            << sub->width() << "x" << sub->height();
        EXPECT_EQ(Faults(sub->widget()), QStringList()) << name.toStdString();

        // A larger window gives the lists more room (a screen taller than its window by nature
        // scrolls instead, until the window holds all of it).
        auto *list = sub->widget()->findChild<QTableView *>();
        ASSERT_NE(list, nullptr);
        auto *scroll = sub->widget()->findChild<QScrollArea *>();
        const bool scrolls = scroll && scroll->widget()->height() > scroll->viewport()->height();
        // A tall screen scrolls down, never sideways as well: its width fits the document area.
        if (scroll)
            EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0) << name.toStdString();
        const QSize before = list->size();
        sub->resize(sub->size() + QSize(0, 40));
        QApplication::processEvents();
        if (!scrolls)
            EXPECT_GT(list->height(), before.height()) << name.toStdString();
        else
            EXPECT_GE(list->height(), before.height()) << name.toStdString();
        sub->close();
    }
}

TEST_F(ScreenFitTest, GateScreenPermitButtonsAreReachableAtThisSize)
{
    main->cmdMenu_Click(2);
    QApplication::processEvents();
    QWidget *gate = main->Screen("frmGateMan");
    ASSERT_NE(gate, nullptr);
    auto *scroll = gate->findChild<QScrollArea *>();
    ASSERT_NE(scroll, nullptr);
    for (const char *name : {"cmdAddGateUser", "cmdDeleteGateUser", "cmdSendGUser"}) {
        auto *b = gate->findChild<QAbstractButton *>(name);
        ASSERT_NE(b, nullptr) << name;
        scroll->ensureWidgetVisible(b);
        QApplication::processEvents();
        const QRect inViewport(b->mapTo(scroll->viewport(), QPoint(0, 0)), b->size());
        EXPECT_TRUE(scroll->viewport()->rect().contains(inViewport)) << name;
    }
}

TEST_F(ScreenFitTest, DialogsFitTheDisplayWithEveryControlInReach)
{
    for (const char *name : {"frmST_DayMainte", "frmST_AutoLog", "frmIK_GUser", "frmIK_GTime", "frmAbout",
                             "frmJobAssist", "frmUserAssist", "frmGateAssist", "frmGateError", "frmDayMainte",
                             "frmListUserAuth", "frmIK_ImportUser", "frmIK_ImportEmp", "frmIK_ImportGate",
                             "frmIK_ExportUser", "frmIK_ExportEmp", "frmIK_ExportGate", "frmCardAssist"}) {
        SCOPED_TRACE(name);
        QWidget *w = ScreenRegistry::Create(QString::fromLatin1(name), main.get());
        ASSERT_NE(w, nullptr);
        w->setWindowFlag(Qt::Window, true);
        w->show();
        QApplication::processEvents();
        EXPECT_LE(w->width(), kDisplay.width());
        EXPECT_LE(w->height(), kDisplay.height());
        EXPECT_EQ(Faults(w), QStringList());
        delete w;
    }
}
