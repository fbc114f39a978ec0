// Gate access lock: the lock file format, the console's GateLock module and the
// log collector's lock and unlock, including two processes contending for one gate.

#include "ErrorLog.h"
#include "GateLock.h"
#include "GateLockFile.h"
#include "Sjis.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <sched.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace orvel;

namespace {

class GateLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        lockPath = dir.filePath("GateLock.dat");
        errPath = dir.filePath("errorlog.txt");
        SetErrorLogPath(errPath);
        GateLockHooks hooks;
        hooks.wait = [] {};
        lock = GateLock(lockPath, hooks);
    }
    void TearDown() override { SetErrorLogPath(QString()); }

    QByteArray FileBytes() const
    {
        QFile f(lockPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void WriteRecord(int gate, GateLockRecord r)
    {
        ASSERT_TRUE(GateLockFile(lockPath).Update(gate, [&](GateLockRecord &rec) {
            rec = r;
            return true;
        }));
    }
    GateLockRecord Record(int gate)
    {
        GateLockRecord r;
        EXPECT_TRUE(GateLockFile(lockPath).Read(gate, &r));
        return r;
    }
    int ErrorLines9999() const
    {
        QFile f(errPath);
        if (!f.open(QIODevice::ReadOnly))
            return 0;
        const QString text = FromSjis(f.readAll());
        return int(text.count(QStringLiteral(",9999,ロックデータが不正\r\n")));
    }

    QTemporaryDir dir;
    QString lockPath, errPath;
    GateLock lock;
};

} // namespace

TEST_F(GateLockTest, FirstLockOfGate3Writes32ByteFile)
{
    ASSERT_TRUE(lock.TryLockGate("00003"));
    const QByteArray bytes = FileBytes();
    ASSERT_EQ(bytes.size(), 32);
    EXPECT_EQ(bytes.left(24), QByteArray(24, '\0'));
    EXPECT_EQ(bytes.mid(24), QByteArray("\x03\x00\x00\x00\x01\x00\x03\x00", 8));
    EXPECT_TRUE(lock.IsGateLocked("00003"));
}

TEST_F(GateLockTest, UnwrittenRecordReadsFree)
{
    ASSERT_TRUE(lock.TryLockGate("00003"));
    // Record 1 lies inside the file but was never written; record 9 lies beyond its end.
    EXPECT_EQ(Record(1), GateLockRecord{});
    EXPECT_EQ(Record(9), GateLockRecord{});
    EXPECT_FALSE(lock.IsGateLocked("00000")); // gate 0: zeros carry the matching number 0
    EXPECT_TRUE(CollectorLockGate(lockPath, "00001"));
    EXPECT_TRUE(lock.TryLockGate("00009"));
    EXPECT_EQ(FileBytes().size(), 80);
    EXPECT_EQ(ErrorLines9999(), 0);
    // A missing file reads as free too, and reading does not create it.
    QFile::remove(lockPath);
    EXPECT_EQ(Record(5), GateLockRecord{});
    EXPECT_FALSE(QFile::exists(lockPath));
}

TEST_F(GateLockTest, UnwrittenRecordOfOtherGateIsInvalidForUnlockAndLockedTest)
{
    EXPECT_FALSE(lock.TryUnlockGate("00002"));
    EXPECT_EQ(ErrorLines9999(), 1);
    EXPECT_TRUE(lock.IsGateLocked("00002"));
    EXPECT_EQ(ErrorLines9999(), 2);
    EXPECT_TRUE(lock.TryUnlockGate("00000")); // record 0 carries gate number 0
    EXPECT_EQ(ErrorLines9999(), 2);
}

TEST_F(GateLockTest, ConsoleRelocksItsOwnLockUnchanged)
{
    ASSERT_TRUE(lock.TryLockGate("00004"));
    const QByteArray before = FileBytes();
    const auto mtimeBefore = QFileInfo(lockPath).lastModified();
    EXPECT_TRUE(lock.TryLockGate("00004"));
    EXPECT_TRUE(lock.LockGate("00004", 10));
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(QFileInfo(lockPath).lastModified(), mtimeBefore);
    EXPECT_TRUE(lock.TryUnlockGate("00004"));
    EXPECT_EQ((Record(4)), (GateLockRecord{4, 0, 0}));
    EXPECT_FALSE(lock.IsGateLocked("00004"));
    EXPECT_TRUE(lock.TryUnlockGate("00004")); // already free: still true
}

TEST_F(GateLockTest, AnotherHolderIsRefused)
{
    ASSERT_TRUE(CollectorLockGate(lockPath, "00005"));
    EXPECT_EQ((Record(5)), (GateLockRecord{5, 1, 1}));
    EXPECT_FALSE(lock.TryLockGate("00005"));
    EXPECT_FALSE(lock.TryUnlockGate("00005"));
    EXPECT_TRUE(lock.IsGateLocked("00005"));
    EXPECT_TRUE(CollectorLockGate(lockPath, "00005")); // the collector may take its own again
    EXPECT_TRUE(CollectorUnlockGate(lockPath, "00005"));
    EXPECT_EQ((Record(5)), (GateLockRecord{5, 0, 0}));

    ASSERT_TRUE(lock.TryLockGate("00005"));
    EXPECT_FALSE(CollectorLockGate(lockPath, "00005"));
    EXPECT_FALSE(CollectorUnlockGate(lockPath, "00005"));
    EXPECT_EQ((Record(5)), (GateLockRecord{5, 1, 3}));
    EXPECT_EQ(ErrorLines9999(), 0);
}

TEST_F(GateLockTest, WrongGateNumberLogs9999)
{
    WriteRecord(4, GateLockRecord{9, 1, 1});
    EXPECT_FALSE(lock.TryUnlockGate("00004"));
    EXPECT_TRUE(lock.IsGateLocked("00004"));
    EXPECT_EQ(ErrorLines9999(), 2);
    // The collector does not compare the number: a held flag of another holder refuses it...
    WriteRecord(4, GateLockRecord{9, 1, 3});
    EXPECT_FALSE(CollectorLockGate(lockPath, "00004"));
    // ...and the console takes a lock whose record carries another gate number.
    WriteRecord(4, GateLockRecord{9, 1, 1});
    EXPECT_TRUE(lock.TryLockGate("00004"));
    EXPECT_EQ((Record(4)), (GateLockRecord{4, 1, 3}));
    EXPECT_EQ(ErrorLines9999(), 2);
    EXPECT_FALSE(lock.TryLockGate("abc"));
    EXPECT_FALSE(lock.TryLockGate("123456"));
}

TEST_F(GateLockTest, LockGateTimesOutWithInjectedClock)
{
    ASSERT_TRUE(CollectorLockGate(lockPath, "00005"));
    double fakeNow = 50000.0;
    int waits = 0;
    std::vector<bool> pointer;
    GateLockHooks hooks;
    hooks.now = [&] { return fakeNow; };
    hooks.wait = [&] {
        ++waits;
        fakeNow += 1.0;
    };
    hooks.busyPointer = [&](bool on) { pointer.push_back(on); };
    GateLock timed(lockPath, hooks);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(timed.LockGate("00005", 10));
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
    EXPECT_EQ(waits, 10); // start + 10 s is reached after the tenth second
    EXPECT_EQ(pointer, (std::vector<bool>{true, false}));

    pointer.clear();
    EXPECT_TRUE(timed.LockGate("00006", 10));
    EXPECT_EQ(pointer, (std::vector<bool>{true})); // the hourglass stays until UnlockGate
    EXPECT_TRUE(timed.UnlockGate("00006", 60));
    EXPECT_EQ(pointer, (std::vector<bool>{true, true, false}));

    pointer.clear();
    EXPECT_FALSE(timed.UnlockGate("00005", 60));
    EXPECT_EQ(pointer, (std::vector<bool>{true, false}));
}

TEST_F(GateLockTest, LockGateRealClockOneSecond)
{
    ASSERT_TRUE(CollectorLockGate(lockPath, "00005"));
    GateLock real(lockPath); // default hooks: steady clock, 20 ms waits
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(real.LockGate("00005", 1));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 950);
    EXPECT_LT(ms, 2500);
}

TEST_F(GateLockTest, TwoProcessesContendForOneGate)
{
    // The console (this process) and the collector (a child) each take gate 7 a few hundred
    // times and increment a counter in a second file while they hold it. Only an atomic
    // read-modify-write of the record keeps the counter exact.
    const QString counterPath = dir.filePath("counter");
    {
        QFile c(counterPath);
        ASSERT_TRUE(c.open(QIODevice::WriteOnly));
        c.write("0");
    }
    auto bump = [&] {
        QFile c(counterPath);
        if (!c.open(QIODevice::ReadWrite))
            return false;
        const int v = c.readAll().toInt();
        sched_yield();
        c.seek(0);
        c.write(QByteArray::number(v + 1));
        return true;
    };
    constexpr int kRounds = 300;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int bad = 0;
        for (int i = 0; i < kRounds; ++i) {
            while (!CollectorLockGate(lockPath, "00007"))
                sched_yield();
            GateLockRecord r;
            GateLockFile(lockPath).Read(7, &r);
            if (!(r == GateLockRecord{7, 1, 1}))
                ++bad;
            if (!bump())
                ++bad;
            while (!CollectorUnlockGate(lockPath, "00007"))
                sched_yield();
        }
        _exit(bad == 0 ? 0 : 1);
    }
    GateLockHooks hooks;
    hooks.wait = [] { sched_yield(); };
    GateLock console(lockPath, hooks);
    int bad = 0;
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(console.LockGate("00007", 30));
        if (!(Record(7) == GateLockRecord{7, 1, 3}))
            ++bad;
        if (!bump())
            ++bad;
        ASSERT_TRUE(console.UnlockGate("00007", 30));
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(bad, 0);
    QFile c(counterPath);
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.readAll().toInt(), 2 * kRounds);
    EXPECT_EQ((Record(7)), (GateLockRecord{7, 0, 0}));
}
