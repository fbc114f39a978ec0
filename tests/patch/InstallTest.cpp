// The installation made by `cmake --install`, its desktop entries, and a patch folder made
// from it and applied to an older installation.
#include "PatchTestUtil.h"
#include "Public.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace patchtest;

namespace {

QString Exec(const QString &program, const QStringList &args, int *exitCode = nullptr,
            const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(300000))
        p.kill();
    if (exitCode)
        *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

class InstallTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_root = new QTemporaryDir;
        int rc = -1;
        const QString out = Exec(CMAKE_PATH, {"--install", BUILD_DIR, "--prefix", Inst()}, &rc);
        ASSERT_EQ(rc, 0) << out.toStdString();
    }
    static void TearDownTestSuite() { delete s_root; }
    static QString Root() { return s_root->path(); }
    static QString Inst() { return Root() + "/inst"; }
    // Makes patch folders (Felica/, Mifare/) in out from the installation, as the build's
    // patch_folder target does.
    static QString MakePatchFolders(const QString &out, const QString &base)
    {
        int rc = -1;
        const QString log = Exec(CMAKE_PATH, {"-DSTAGE=" + Inst(), "-DOUT=" + out, "-DBASE=" + base,
                                             "-DVERSION=" ORVEL_PROJECT_VERSION, "-DPATCHER=" ORVEL_PATCH_PATH,
                                             "-DFELICA_ONLY=" FELICA_ONLY, "-DMIFARE_ONLY=" MIFARE_ONLY,
                                             "-P", MAKE_PATCH_FOLDER_SCRIPT}, &rc);
        EXPECT_EQ(rc, 0) << log.toStdString();
        return log;
    }
    static QStringList Files(const QString &dir) { return QDir(dir).entryList(QDir::Files, QDir::Name); }

    static QTemporaryDir *s_root;
};
QTemporaryDir *InstallTest::s_root = nullptr;

TEST_F(InstallTest, OneFlatFolderOfVersionedProgramsThatFindTheirLibraries)
{
    const QStringList files = Files(Inst());
    for (const char *name : {"Orvel", "Orvel_Mifare", "Harvester1", "HarvesterMF1", "Courier1", "CourierMF1", "orvelctl",
                             "libTamrin_rdo.so", "liborvel_shared.so", "libtcpcom.so", "libhostcom.so"}) {
        ASSERT_TRUE(files.contains(name)) << name;
        EXPECT_EQ(orvel::GetFileVers(Inst() + "/" + name), ORVEL_PROJECT_VERSION) << name;
        EXPECT_TRUE(Exec("readelf", {"-d", Inst() + "/" + name}).contains("[$ORIGIN]")) << name;
    }
    // No tests, simulators, benchmarks, nor the patch installer itself (it travels with a patch).
    for (const QString &f : files)
        EXPECT_FALSE(f.contains("test") || f.contains("bench") || f == "gatesim" || f == "Orvel_Patch") << f.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Inst() + "/bin") || QFileInfo::exists(Inst() + "/lib"));

    // An installed program runs with nothing but its folder: the libraries come through $ORIGIN.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("LD_LIBRARY_PATH");
    int rc = -1;
    EXPECT_EQ(Exec(Inst() + "/orvelctl", {"file-version", Inst() + "/libTamrin_rdo.so"}, &rc, env),
              QString(ORVEL_PROJECT_VERSION) + "\n");
    EXPECT_EQ(rc, 0);
}

TEST_F(InstallTest, EachEditionHasAValidDesktopEntryNamingTheInstalledConsole)
{
    for (const QString edition : {"Felica", "Mifare"}) {
        const QString entry = Inst() + "/" + patch::EditionDesktopEntry(edition);
        const QByteArray text = ReadAll(entry);
        EXPECT_TRUE(text.contains("\nExec=" + (Inst() + "/" + patch::EditionProgram(edition)).toUtf8() + "\n")) << text.constData();
        if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
            int rc = -1;
            const QString out = Exec("desktop-file-validate", {entry}, &rc);
            EXPECT_EQ(rc, 0) << out.toStdString();
            EXPECT_EQ(out.trimmed(), "") << out.toStdString();
        }
        // The patch installer finds the installation through it.
        const QString apps = qEnvironmentVariable("XDG_DATA_HOME") + "/applications";
        QDir().mkpath(apps);
        QFile::copy(entry, apps + "/" + patch::EditionDesktopEntry(edition));
        EXPECT_EQ(patch::DesktopEntryFolder(edition), Inst());
        QDir(apps).removeRecursively();
    }
}

TEST_F(InstallTest, APatchFolderCarriesTheChangedFilesAndUpdatesAnOlderInstallation)
{
    // Every file, split by edition.
    MakePatchFolders(Root() + "/full", QString());
    const QStringList felica = Files(Root() + "/full/Felica/PatchFile");
    const QStringList mifare = Files(Root() + "/full/Mifare/PatchFile");
    EXPECT_TRUE(felica.contains("Orvel") && felica.contains("Courier1") && felica.contains("libTamrin_rdo.so"));
    EXPECT_FALSE(felica.contains("Orvel_Mifare") || felica.contains("CourierMF1"));
    EXPECT_TRUE(mifare.contains("Orvel_Mifare") && mifare.contains("HarvesterMF1") && mifare.contains("orvelctl"));
    EXPECT_FALSE(mifare.contains("Orvel") || mifare.contains("Harvester1"));
    EXPECT_TRUE(felica.filter(".desktop").isEmpty());
    EXPECT_EQ(ReadAll(Root() + "/full/Mifare/PatchFile/Vers.dat"), "Mifare\r\n" ORVEL_PROJECT_VERSION "\r\n");

    // An older installation: one file differs. Only that file goes into the patch.
    const QString old = Root() + "/old";
    int rc = -1;
    Exec("cp", {"-a", Inst(), old}, &rc);
    ASSERT_EQ(rc, 0);
    MakeFile(old + "/orvelctl", {"2.0.0.0", QDateTime::currentDateTime().addDays(-7), 0755});
    MakePatchFolders(Root() + "/delta", old);
    EXPECT_EQ(Files(Root() + "/delta/Felica/PatchFile"), QStringList({"Vers.dat", "orvelctl"}));
    ASSERT_TRUE(QFileInfo(Root() + "/delta/Felica/Orvel_Patch").isExecutable());

    const QString out = Exec(Root() + "/delta/Felica/Orvel_Patch", {"--unattended", "--install-dir", old}, &rc);
    EXPECT_EQ(rc, 0) << out.toStdString();
    EXPECT_EQ(ReadAll(old + "/orvelctl"), ReadAll(Inst() + "/orvelctl"));
    EXPECT_EQ(Exec(old + "/orvelctl", {"file-version", old + "/Orvel"}, &rc), QString(ORVEL_PROJECT_VERSION) + "\n");
    EXPECT_EQ(rc, 0);
}

} // namespace
