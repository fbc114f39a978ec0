// The console program itself: a second start on the same site ends at once.
#include "ConsoleTestUtil.h"

#include "TestSite.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace {
QString LockPid(const QString &lockPath)
{
    QFile f(lockPath);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLatin1(f.readLine()).trimmed();
}

void Start(QProcess &p, const QString &site)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ORVEL_HOME", site);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ORVEL_FELICA_PATH), {});
}

void Stop(QProcess &p)
{
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(5000);
    }
}
} // namespace

TEST(SingleInstance, SecondStartEndsAtOnceAndSilently)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    const QString lock = site.path("Orvel.lock");

    QProcess first;
    Start(first, site.dir());
    ASSERT_TRUE(first.waitForStarted(5000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return LockPid(lock) == QString::number(first.processId()); }, 15000))
        << first.readAllStandardError().toStdString();

    QProcess second;
    Start(second, site.dir());
    ASSERT_TRUE(second.waitForStarted(5000));
    const bool finished = second.waitForFinished(15000);
    Stop(second);
    EXPECT_TRUE(finished);
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running); // the first console is untouched
    EXPECT_EQ(LockPid(lock), QString::number(first.processId()));

    // A console that died without cleaning up does not block the next start.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    QProcess third;
    Start(third, site.dir());
    ASSERT_TRUE(third.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return LockPid(lock) == QString::number(third.processId()); }, 15000));
    Stop(third);
}
