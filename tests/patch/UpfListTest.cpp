// The update list and its decisions, on real files with real versions and times.
#include "PatchTestUtil.h"
#include "Public.h"
#include "UpfList.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace patchtest;

namespace {
const QDateTime kT0(QDate(2024, 5, 1), QTime(12, 0, 30));

// One replacement file against one installed file (no installed file when dst is null).
bool Decide(const FileMade &src, const std::optional<FileMade> &dst)
{
    Folders f;
    MakeFile(f.patchFile("lib.so"), src);
    if (dst)
        MakeFile(f.installed("lib.so"), *dst);
    const QList<patch::UpfEntry> list = patch::MakeUpfList(f.patchFile(), f.installDir());
    EXPECT_EQ(list.size(), 1);
    return !list.isEmpty() && list[0].copy;
}
} // namespace

TEST(UpfList, VersionsDecidePartByPartBeforeTimes)
{
    // A higher major version is copied even with an older time stamp.
    EXPECT_TRUE(Decide({"3.0.0.0", kT0.addDays(-10)}, FileMade{"2.9.9.9", kT0}));
    // A lower version is not, even when newer; the first differing part decides.
    EXPECT_FALSE(Decide({"2.0.0.9", kT0.addDays(10)}, FileMade{"2.0.1.0", kT0}));
    EXPECT_TRUE(Decide({"2.0.1.0", kT0.addDays(-10)}, FileMade{"2.0.0.9", kT0}));
    // Against an installed file without version any versioned replacement is higher.
    EXPECT_TRUE(Decide({"0.0.0.1", kT0.addDays(-10)}, FileMade{"", kT0}));
}

TEST(UpfList, EqualVersionsGoByTimeStampsWithTheirMargin)
{
    // Five seconds either way are within the margin: copied.
    EXPECT_TRUE(Decide({"2.0.0.1", kT0.addSecs(5)}, FileMade{"2.0.0.1", kT0}));
    EXPECT_TRUE(Decide({"2.0.0.1", kT0.addSecs(-5)}, FileMade{"2.0.0.1", kT0}));
    // An installed file one minute newer ("yyyymmddhhmmss" difference 100) stays.
    EXPECT_FALSE(Decide({"2.0.0.1", kT0.addSecs(-60)}, FileMade{"2.0.0.1", kT0}));
    EXPECT_TRUE(Decide({"2.0.0.1", kT0.addSecs(60)}, FileMade{"2.0.0.1", kT0}));
    // A replacement without version goes by time, whatever version the installed file has.
    EXPECT_TRUE(Decide({"", kT0.addSecs(60)}, FileMade{"9.9.9.9", kT0}));
    EXPECT_FALSE(Decide({"", kT0.addSecs(-60)}, FileMade{"", kT0}));
}

TEST(UpfList, AFileWithoutInstalledCounterpartIsCopied)
{
    EXPECT_TRUE(Decide({"", kT0.addYears(-5)}, std::nullopt));
}

TEST(UpfList, EveryFileOfThePatchFolderIsListedInNameOrder)
{
    Folders f;
    for (int i = 0; i < 150; ++i)
        MakeFile(f.patchFile(QString("f%1.dat").arg(i, 3, 10, QChar('0'))), {});
    MakeFile(f.patchFile(".hidden"), {});
    QDir().mkpath(f.patchFile("sub"));
    MakeFile(f.patchFile("sub/inner.dat"), {});
    const QList<patch::UpfEntry> list = patch::MakeUpfList(f.patchFile(), f.installDir());
    ASSERT_EQ(list.size(), 150);
    EXPECT_TRUE(list.first().srcPath.endsWith("/f000.dat"));
    EXPECT_TRUE(list.last().srcPath.endsWith("/f149.dat"));
    EXPECT_EQ(list.last().dstPath, f.installed("f149.dat"));
}

TEST(VersDat, EditionAndVersionAsTwoValues)
{
    Folders f;
    auto read = [&](const QByteArray &content) {
        f.WriteVersDat(content);
        return patch::ReadVersDat(f.patchDir());
    };
    for (const QByteArray &ok : {QByteArray("\"Felica\",\"2.0.1.0\"\r\n"), QByteArray("Felica\r\n2.0.1.0\r\n"),
                                 QByteArray("  Felica , 2.0.1.0"), QByteArray("\xEF\xBB\xBF" "Felica\n\n2.0.1.0")}) {
        const auto data = read(ok);
        ASSERT_TRUE(data) << ok.constData();
        EXPECT_EQ(data->edition, "Felica");
        EXPECT_EQ(data->version, "2.0.1.0") << ok.constData();
    }
    EXPECT_EQ(read("Mifare,3.0")->edition, "Mifare");
    for (const QByteArray &bad : {QByteArray(""), QByteArray("felica,2.0"), QByteArray("FeliCa\r\n2.0"),
                                  QByteArray("2.0.1.0\r\nFelica"), QByteArray("Other,1")})
        EXPECT_FALSE(read(bad)) << bad.constData();
    QFile::remove(f.patchFile("Vers.dat"));
    EXPECT_FALSE(patch::ReadVersDat(f.patchDir()));
}

TEST(DesktopEntry, ExecProgramUndoesQuotingAndDropsArguments)
{
    EXPECT_EQ(patch::ExecProgram("/opt/belmoor/orvel/Orvel"), "/opt/belmoor/orvel/Orvel");
    EXPECT_EQ(patch::ExecProgram("/opt/x/Orvel %U --flag"), "/opt/x/Orvel");
    EXPECT_EQ(patch::ExecProgram("\"/opt/a b/Orvel\" %f"), "/opt/a b/Orvel");
    // The string escape (\\ in the file) comes first, then the Exec quoting (\" \$).
    EXPECT_EQ(patch::ExecProgram("\"/opt/q\\\\\"x\\\\$/Orvel\""), "/opt/q\"x$/Orvel");
    // An escaped blank outside quotes still separates arguments.
    EXPECT_EQ(patch::ExecProgram("/opt/a\\sb/Orvel"), "/opt/a");
    EXPECT_EQ(patch::ExecProgram(""), "");
}
