// The console program itself: a second start on the same site ends at once.
#include "ConsoleTestUtil.h"

#include "TestSite.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// The process holding the kernel's lock on the file, from /proc/locks ("" when nobody holds it).
QString LockHolder(const QString &lockPath)
{
    struct stat st;
    if (::stat(QFile::encodeName(lockPath).constData(), &st) != 0)
        return QString();
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return QString();
    // "1: FLOCK  ADVISORY  WRITE 4711 08:01:1234 0 EOF"
    const QString inode = QStringLiteral(":%1").arg(quint64(st.st_ino));
    for (const QByteArray &line : locks.readAll().split('\n')) {
        const QStringList f = QString::fromLatin1(line).split(u' ', Qt::SkipEmptyParts);
        if (f.size() >= 6 && f[1] == QLatin1String("FLOCK") && f[5].endsWith(inode))
            return f[4];
    }
    return QString();
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
    ASSERT_TRUE(QTest::qWaitFor([&] { return LockHolder(lock) == QString::number(first.processId()); }, 15000))
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
    EXPECT_EQ(LockHolder(lock), QString::number(first.processId()));

    // A console that died without cleaning up does not block the next start.
    first.kill();
    ASSERT_TRUE(first.waitForFinished(5000));
    QProcess third;
    Start(third, site.dir());
    ASSERT_TRUE(third.waitForStarted(5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return LockHolder(lock) == QString::number(third.processId()); }, 15000));
    Stop(third);
}

// A lock file left behind (empty, as by a console killed while it created the file, or naming a
// process that is alive now) keeps no console out: only a live holder of the lock does.
TEST(SingleInstance, ALeftoverLockFileKeepsNoConsoleOut)
{
    orvel::test::TestSite site;
    ASSERT_TRUE(site.ok()) << site.error().toStdString();
    const QString lock = site.path("Orvel.lock");
    const QByteArray leftovers[] = {QByteArray(), QByteArray::number(qint64(::getpid())) + "\nOrvel\n" +
                                                      QSysInfo::machineHostName().toUtf8() + "\n"};
    for (const QByteArray &left : leftovers) {
        QFile f(lock);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(left);
        f.close();
        QProcess p;
        Start(p, site.dir());
        ASSERT_TRUE(p.waitForStarted(5000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return LockHolder(lock) == QString::number(p.processId()); }, 15000))
            << p.readAllStandardError().toStdString();
        EXPECT_EQ(p.state(), QProcess::Running);
        Stop(p);
        EXPECT_TRUE(LockHolder(lock).isEmpty()); // a killed console holds nothing
    }
}
