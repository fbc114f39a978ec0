// What the console keeps and says around its own start and end: the screens' layouts survive an
// exit with the screens still open, menu entries without a window are greyed out, Qt's standard
// texts are Japanese, and one console per site whatever the edition.
#include "ConsoleTestUtil.h"

#include "ConsoleInstance.h"
#include "ConsoleTiming.h"
#include "MsfGrid.h"

#include <QTableView>
#include "MsgBox.h"
#include "Public.h"
#include "QtTranslation.h"
#include "ScreenRegistry.h"
#include "SrvSupervision.h"
#include "mdifVantr.h"

#include "TestSite.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <vector>

#include <gtest/gtest.h>

namespace {

struct NoSupervision : SrvSupervision
{
    void SendSrvCheck() override {}
    void SendSrvExit() override {}
};

class ConsoleLifeTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        MsgBox::SetScripted(true);
        ResetProgramEnding();
        SetEndProgramHandler([] {});
        Timing() = ConsoleTiming{};
        Timing().startMs = 1;
        SetSrvSupervisionFactory([](mdifVantr &) { return std::make_unique<NoSupervision>(); });
        ScreenRegistry::Register("frmStartChk", [](QWidget *p) -> QWidget * {
            auto *d = new QDialog(p);
            QTimer::singleShot(0, d, &QDialog::accept);
            return d;
        });
    }
    void TearDown() override
    {
        ScreenRegistry::Unregister("frmStartChk");
        SetSrvSupervisionFactory({});
        SetEndProgramHandler({});
        Timing() = ConsoleTiming{};
    }
    // A console started as far as the operator's first click.
    std::unique_ptr<mdifVantr> Start()
    {
        auto w = std::make_unique<mdifVantr>(1);
        w->Load();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w->timDayMainte()->isActive(); }, 5000));
        w->timDayMainte()->stop();
        w->timSrvChkSend()->stop();
        w->showNormal();
        w->resize(1280, 800);
        QApplication::processEvents();
        return w;
    }
};

const char *const kScreens[] = {"frmJobMan", "frmUserMan", "frmGateMan", "frmListMix"};

} // namespace

TEST_F(ConsoleLifeTest, ExitWithScreensOpenKeepsTheirColumnWidthsAndTheGateScreenPosition)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    QMap<QString, QList<int>> widths; // every grid's changed widths, by screen and grid
    {
        auto w = Start();
        for (int i = 0; i < 4; ++i)
            w->cmdMenu_Click(i);
        QApplication::processEvents();
        int n = 0;
        for (const char *name : kScreens) {
            QWidget *screen = w->Screen(QString::fromLatin1(name));
            ASSERT_NE(screen, nullptr) << name;
            for (QTableView *g : screen->findChildren<QTableView *>()) {
                g->setColumnWidth(1, 61 + 3 * n++); // the operator drags a column border
                widths[QString::fromLatin1(name) + u'/' + g->objectName()] = {g->columnWidth(0), g->columnWidth(1)};
            }
        }
        auto *gateSub = qobject_cast<QMdiSubWindow *>(w->Screen("frmGateMan")->parentWidget());
        ASSERT_NE(gateSub, nullptr);
        gateSub->move(45, 60);
        gateSub->resize(900, 560);
        w->close(); // the console ends with every screen still open
        EXPECT_EQ(Settings(), nullptr);
    }
    auto w = Start();
    for (int i = 0; i < 4; ++i)
        w->cmdMenu_Click(i);
    QApplication::processEvents();
    for (const char *name : kScreens) {
        QWidget *screen = w->Screen(QString::fromLatin1(name));
        for (QTableView *g : screen->findChildren<QTableView *>()) {
            const QString key = QString::fromLatin1(name) + u'/' + g->objectName();
            EXPECT_EQ(QList<int>({g->columnWidth(0), g->columnWidth(1)}), widths.value(key)) << key.toStdString();
        }
    }
    const QWidget *gateSub = w->Screen("frmGateMan")->parentWidget();
    EXPECT_EQ(gateSub->pos(), QPoint(45, 60));
    EXPECT_EQ(gateSub->size(), QSize(900, 560));
    w->close();
}

TEST_F(ConsoleLifeTest, EntriesWithoutTheirWindowAreGreyedOutUntilOneIsRegistered)
{
    // The import and export windows are taken out of the table for this test and put back after.
    const char *const windows[] = {"frmIK_ImportUser", "frmIK_ExportUser", "frmIK_ImportEmp",
                                   "frmIK_ExportEmp",  "frmIK_ImportGate", "frmIK_ExportGate"};
    std::vector<std::pair<QString, ScreenRegistry::Factory>> saved;
    for (const char *key : windows) {
        saved.emplace_back(QString::fromLatin1(key), ScreenRegistry::Find(QString::fromLatin1(key)));
        ScreenRegistry::Unregister(QString::fromLatin1(key));
    }
    const auto restore = qScopeGuard([&] {
        for (const auto &[key, factory] : saved)
            if (factory)
                ScreenRegistry::Register(key, factory);
            else
                ScreenRegistry::Unregister(key);
    });
    mdifVantr w(1);
    for (const char *name : {"mnuImportUser", "mnuExportUser", "mnuImportEmp", "mnuExportEmp", "mnuImportGate",
                             "mnuExportGate"})
        EXPECT_FALSE(w.findChild<QAction *>(name)->isEnabled()) << name;
    for (const char *name : {"mnuGSetDate", "mnuGUserUpdate", "mnuDayMainte", "mnuAutoLog", "mnuVers"})
        EXPECT_TRUE(w.findChild<QAction *>(name)->isEnabled()) << name;

    int shown = 0;
    ScreenRegistry::Register("frmIK_ImportUser", [&](QWidget *p) -> QWidget * {
        ++shown;
        auto *d = new QDialog(p);
        QTimer::singleShot(0, d, &QDialog::accept);
        return d;
    });
    auto *menu = w.findChild<QMenu *>("mnuBatch");
    emit menu->aboutToShow(); // as when the operator opens the menu
    QAction *entry = w.findChild<QAction *>("mnuImportUser");
    EXPECT_TRUE(entry->isEnabled());
    entry->trigger();
    EXPECT_EQ(shown, 1);
    // Menus carry access keys.
    EXPECT_TRUE(menu->title().contains(u'&'));
    EXPECT_TRUE(entry->text().contains(u'&'));
}

TEST(QtTranslation, StandardButtonsSpeakJapanese)
{
    ASSERT_TRUE(InstallQtTranslation());
    QMessageBox box(QMessageBox::Question, QStringLiteral("t"), QStringLiteral("?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    const QString yes = box.button(QMessageBox::Yes)->text().remove(u'&');
    const QString no = box.button(QMessageBox::No)->text().remove(u'&');
    const QString cancel = box.button(QMessageBox::Cancel)->text().remove(u'&');
    EXPECT_TRUE(yes.startsWith(QStringLiteral("はい"))) << yes.toStdString();
    EXPECT_TRUE(no.startsWith(QStringLiteral("いいえ"))) << no.toStdString();
    EXPECT_TRUE(cancel.startsWith(QStringLiteral("キャンセル"))) << cancel.toStdString();
}

TEST(ConsoleInstance, SecondStartOnTheSiteIsRefusedAndTheFirstIsTold)
{
    consoletest::BareSite site;
    ConsoleInstance first(site.tmp.path());
    ASSERT_TRUE(first.TryAcquire());
    QSignalSpy told(&first, &ConsoleInstance::secondStartSeen);

    ConsoleInstance second(site.tmp.path());
    EXPECT_FALSE(second.TryAcquire());
    EXPECT_TRUE(second.NotifyRunning());
    EXPECT_TRUE(QTest::qWaitFor([&] { return told.count() == 1; }, 5000));

    consoletest::BareSite other; // another site has a console of its own
    ConsoleInstance elsewhere(other.tmp.path());
    EXPECT_TRUE(elsewhere.TryAcquire());
    QTest::qWait(50);
    EXPECT_EQ(told.count(), 1);
}

TEST(ConsoleInstance, EitherEditionRefusesToStartBesideARunningConsoleOfTheSite)
{
    // The site's console holds the site (as Orvel does at its start); both programs are refused,
    // end at once and make the running console come forward.
    consoletest::BareSite site;
    ConsoleInstance running(site.tmp.path());
    ASSERT_TRUE(running.TryAcquire());
    QSignalSpy told(&running, &ConsoleInstance::secondStartSeen);
    int n = 0;
    for (const char *program : {ORVEL_MIFARE_PATH, ORVEL_FELICA_PATH}) {
        SCOPED_TRACE(program);
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORVEL_HOME", site.tmp.path());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        p.setProcessEnvironment(env);
        p.start(QString::fromLatin1(program), {});
        ASSERT_TRUE(p.waitForStarted(5000));
        // The refused start ends by itself; the running console is told while it waits.
        EXPECT_TRUE(QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 15000));
        if (p.state() != QProcess::NotRunning) {
            p.kill();
            p.waitForFinished(5000);
        }
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return told.count() == n + 1; }, 5000));
        ++n;
    }
}
