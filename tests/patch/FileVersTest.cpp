// File versions: what the build puts into every program and library, and how it is read.
#include "PatchTestUtil.h"

#include <QProcess>

#include <gtest/gtest.h>

using namespace patchtest;

namespace {
void Write(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}
} // namespace

TEST(FileVers, EveryBuiltProgramAndLibraryCarriesItsVersion)
{
    for (const char *file : {ORVEL_PATCH_PATH, ORVELCTL_PATH, SHARED_LIB_PATH, TCPCOM_LIB_PATH})
        EXPECT_EQ(orvel::GetFileVers(file), ORVEL_PROJECT_VERSION) << file;
    // A target may carry its own version.
    EXPECT_EQ(orvel::GetFileVers(VERSIONED_FIXTURE_PATH), "3.1.4.15");
}

TEST(FileVers, TheFirstWellFormedWhatStringIsTheVersion)
{
    QTemporaryDir dir;
    const QString f = dir.filePath("f");
    const QByteArray m("@(#)ORVEL_VERSION ");

    Write(f, "x" + m + "1.2.3.4" + '\0' + m + "5.6.7.8");
    orvel::FileVers v;
    EXPECT_TRUE(orvel::ReadFileVers(f, &v));
    EXPECT_EQ(orvel::FileVersText(v), "1.2.3.4");

    // Texts that only look like one are passed over.
    Write(f, m + "1.2.3" + '\0' + m + "1.2.3.4.5 " + m + "70000.0.0.1 " + m + "x " + m + "9.8.7.6");
    EXPECT_EQ(orvel::GetFileVers(f), "9.8.7.6");

    // At the very end of the file, and the largest parts.
    Write(f, "abc" + m + "65535.0.10.65535");
    EXPECT_EQ(orvel::GetFileVers(f), "65535.0.10.65535");

    // No version: 0.0.0.0, whether the file has none, is empty or is missing.
    Write(f, "plain text " + m);
    EXPECT_FALSE(orvel::ReadFileVers(f, &v));
    EXPECT_EQ(orvel::GetFileVers(f), "0.0.0.0");
    Write(f, "");
    EXPECT_EQ(orvel::GetFileVers(f), "0.0.0.0");
    EXPECT_EQ(orvel::GetFileVers(dir.filePath("missing")), "0.0.0.0");
}

TEST(FileVers, OrvelctlPrintsTheVersionOfAFile)
{
    QTemporaryDir dir;
    auto run = [](const QStringList &args, QString *out) {
        QProcess p;
        p.start(ORVELCTL_PATH, QStringList{"file-version"} + args);
        p.waitForFinished(30000);
        *out = QString::fromLocal8Bit(p.readAllStandardOutput());
        return p.exitCode();
    };
    QString out;
    EXPECT_EQ(run({ORVEL_PATCH_PATH}, &out), 0);
    EXPECT_EQ(out, QString(ORVEL_PROJECT_VERSION) + "\n");
    Write(dir.filePath("text"), "no version here");
    EXPECT_EQ(run({dir.filePath("text")}, &out), 0);
    EXPECT_EQ(out, "0.0.0.0\n");
    EXPECT_EQ(run({dir.filePath("missing")}, &out), 1);
    EXPECT_EQ(out, "");
    EXPECT_EQ(run({}, &out), 2);
}
