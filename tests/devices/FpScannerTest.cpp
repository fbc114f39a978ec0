// The scanner library libafpusb.so and the image library libFpImage.so against the real scanner
// simulator fpsim on a socket of the test's own; gatesim's sim: touches with the same matcher.

#include "FpSimProcess.h"
#include "SimProcess.h"

#include "Extract.h"
#include "SynthFinger.h"
#include "Template.h"
#include "fplib.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testsupport::FpSimProcess;

namespace {

class FpScannerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        socket = tmp.filePath(QStringLiteral("fpsim.sock"));
        ASSERT_EQ(AFP_SetBackend("SIM", QFile::encodeName(socket).constData()), AFP_OK);
    }
    void StartSim()
    {
        sim = std::make_unique<FpSimProcess>(socket);
        ASSERT_TRUE(sim->ok());
    }
    // One image from the scanner, waiting at most wait x 10 ms.
    bool Image(int wait = 5)
    {
        return AFP_GetImageWait(device, image.data(), wait) != 0;
    }
    QByteArray Template()
    {
        QByteArray tpl(AFP_TEMPLATE_BYTES, '\0');
        unsigned short ok = 0;
        EXPECT_EQ(AFP_CreateTemplate(device, reinterpret_cast<unsigned char *>(tpl.data()), &ok), AFP_OK);
        EXPECT_EQ(ok, 1);
        return tpl;
    }
    bool Matches(const QByteArray &tpl)
    {
        unsigned short match = 7;
        EXPECT_EQ(AFP_VerifyMatch(device, reinterpret_cast<const unsigned char *>(tpl.constData()), &match), AFP_OK);
        return match != 0;
    }

    QTemporaryDir tmp;
    QString socket;
    std::unique_ptr<FpSimProcess> sim;
    unsigned char device = 0;
    std::vector<unsigned char> image = std::vector<unsigned char>(AFP_IMAGE_BYTES);
};

} // namespace

TEST_F(FpScannerTest, NoSimulatorMeansNoScanner)
{
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_E_NO_SCANNER);
    EXPECT_NE(std::string(AFP_LastError()).find("fpsim.sock"), std::string::npos) << AFP_LastError();
    EXPECT_FALSE(Image());
    // A stale socket file of a killed simulator is taken over by the next one.
    {
        FpSimProcess first(socket);
        ASSERT_TRUE(first.ok());
        FpSimProcess second(socket); // refused while the first one serves
        EXPECT_FALSE(second.ok());
    }
    QFile stale(socket);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_E_NO_SCANNER);
    StartSim();
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_OK);
    EXPECT_EQ(device, 1);
}

TEST_F(FpScannerTest, TemplatesMadeFromOneFingerMatchItsLaterTouchesOnly)
{
    StartSim();
    ASSERT_EQ(AFP_ScannforDevice(1, &device), AFP_OK);
    EXPECT_FALSE(Image()); // nobody touches it
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u7-left-index")));
    ASSERT_TRUE(Image());
    EXPECT_GT(int(image[AFP_IMAGE_BYTES - 1]), 30); // quality byte
    const QByteArray tpl = Template();
    EXPECT_TRUE(Matches(tpl)); // against the image it was made from

    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u7-left-index")));
    ASSERT_TRUE(Image());
    EXPECT_TRUE(Matches(tpl));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch u8-left-index")));
    ASSERT_TRUE(Image());
    EXPECT_FALSE(Matches(tpl));
    EXPECT_FALSE(Matches(QByteArray(AFP_TEMPLATE_BYTES, '\0'))); // an empty record never matches

    // A finger resting on the sensor gives a fresh touch to every request until it is lifted.
    ASSERT_TRUE(sim->controlOk(QStringLiteral("place u7-left-index")));
    ASSERT_TRUE(Image());
    const std::vector<unsigned char> first = image;
    ASSERT_TRUE(Image());
    EXPECT_NE(first, image);
    EXPECT_TRUE(Matches(tpl));
    ASSERT_TRUE(sim->controlOk(QStringLiteral("lift")));
    EXPECT_FALSE(Image());
}

TEST_F(FpScannerTest, ATouchAfterEmptyWaitsArrivesOnItsTurn)
{
    StartSim();
    ASSERT_EQ(AFP_ScannforDevice(1, &device), AFP_OK);
    ASSERT_TRUE(sim->controlOk(QStringLiteral("touch late-finger after=2")));
    EXPECT_FALSE(Image(1));
    EXPECT_FALSE(Image(1));
    EXPECT_TRUE(Image(1));
    EXPECT_FALSE(Image(1));
    const QStringList status = sim->control(QStringLiteral("status"));
    EXPECT_TRUE(status.join(u'\n').contains(QStringLiteral("images=1 empty=3"))) << status.join(u'\n').toStdString();
}

TEST_F(FpScannerTest, AnUnpluggedScannerIsNotFound)
{
    StartSim();
    ASSERT_TRUE(sim->controlOk(QStringLiteral("unplug")));
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_E_NO_SCANNER);
    ASSERT_TRUE(sim->controlOk(QStringLiteral("plug")));
    ASSERT_EQ(AFP_ScannforDevice(1, &device), AFP_OK);
    // Pulled out while a capture waits: the wait ends without an image.
    QProcess ctl;
    ctl.start(QStringLiteral(FPSIM_PATH), {QStringLiteral("ctl"), QStringLiteral("--socket"), socket, QStringLiteral("unplug")});
    EXPECT_FALSE(Image(300));
    EXPECT_STREQ(AFP_LastError(), "no scanner");
    ctl.waitForFinished(5000);
    EXPECT_EQ(ctl.exitCode(), 0);
    EXPECT_TRUE(sim->control(QStringLiteral("bogus")).constLast().startsWith(QStringLiteral("ERR unknown command")));
    EXPECT_TRUE(sim->control(QStringLiteral("touch")).constLast().startsWith(QStringLiteral("ERR usage")));
}

TEST_F(FpScannerTest, BackEndsAndCallsWithoutAnImage)
{
    StartSim();
    EXPECT_EQ(AFP_SetBackend("NONE", ""), AFP_E_DISABLED);
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_E_DISABLED);
    EXPECT_EQ(AFP_SetBackend("usb-x", ""), AFP_E_BACKEND);
    EXPECT_EQ(AFP_ScannforDevice(1, &device), AFP_E_BACKEND);
    EXPECT_EQ(AFP_SetBackend("sim", QFile::encodeName(socket).constData()), AFP_OK);
    ASSERT_EQ(AFP_ScannforDevice(1, &device), AFP_OK);
    EXPECT_EQ(AFP_ScannforDevice(1, nullptr), AFP_E_ARGUMENT);
    unsigned short ok = 9;
    unsigned char tpl[AFP_TEMPLATE_BYTES];
    EXPECT_EQ(AFP_CreateTemplate(2, tpl, &ok), AFP_E_ARGUMENT);
}

TEST(FpImageLib, DrawsTheImageScaledIntoTheBox)
{
    // Left half black, right half white, drawn into a box twice as wide as needed.
    std::vector<unsigned char> img(AFP_IMAGE_BYTES, 255);
    for (int y = 0; y < AFP_IMAGE_HEIGHT; ++y)
        for (int x = 0; x < AFP_IMAGE_WIDTH / 2; ++x)
            img[size_t(y * AFP_IMAGE_WIDTH + x)] = 0;
    std::vector<uint32_t> box(size_t(400 * 200), 0x12345678);
    FpImageTarget t{box.data(), 400, 200, 400 * 4};
    ASSERT_EQ(ShowFpBitmapX(&t, img.data(), AFP_IMAGE_WIDTH, AFP_IMAGE_HEIGHT), 0);
    // 152 x 200 fits at scale 1, centred: x 124..275.
    EXPECT_EQ(box[100 * 400 + 10], 0xFFFFFFFFu);  // margin
    EXPECT_EQ(box[100 * 400 + 130], 0xFF000000u); // left half of the image
    EXPECT_EQ(box[100 * 400 + 260], 0xFFFFFFFFu); // right half
    EXPECT_NE(ShowFpBitmapX(nullptr, img.data(), AFP_IMAGE_WIDTH, AFP_IMAGE_HEIGHT), 0);
    t.stride = 10;
    EXPECT_NE(ShowFpBitmapX(&t, img.data(), AFP_IMAGE_WIDTH, AFP_IMAGE_HEIGHT), 0);
}

// gatesim's sensor takes fresh touches of the same synthetic fingers and matches them against the
// templates the gate holds, with the same matcher.
TEST(FpGateTouch, AGateAdmitsTheEnrolledFingerAndRefusesOthers)
{
    const fp::Finger finger = fp::MakeFinger("u7-right-index");
    std::vector<uint8_t> image(fp::kImageBytes);
    fp::Render(finger, fp::MakeImpression(finger, 1), image.data());
    const fp::Extraction ex = fp::ExtractMinutiae(image.data());
    QByteArray tpl(fp::kTemplateBytes, '\0');
    fp::EncodeTemplate(ex.minutiae, ex.quality, reinterpret_cast<uint8_t *>(tpl.data()));

    QTemporaryDir tmp;
    QFile file(tmp.filePath(QStringLiteral("template.dat")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(fp::kTemplateBytes, 'x') + tpl); // record 2
    file.close();

    testsupport::SimProcess gates({"--gate", "00001=127.0.0.2:0"});
    ASSERT_TRUE(gates.ok());
    ASSERT_TRUE(gates.controlOk("adduser 00001 CARD7 tpl=" + tpl.toHex().toStdString()));
    auto present = [&](const std::string &what) { return gates.control("finger 00001 " + what).front(); };
    EXPECT_NE(present("sim:u7-right-index").find("type=1 id=CARD7"), std::string::npos);
    EXPECT_NE(present("sim:u7-right-index").find("type=1 id=CARD7"), std::string::npos);
    EXPECT_NE(present("sim:u8-right-index").find("type=29 id=-"), std::string::npos);
    // The template itself, as hex or as a record of a template file, still works.
    EXPECT_NE(present(tpl.toHex().toStdString()).find("type=1 id=CARD7"), std::string::npos);
    EXPECT_NE(present("@" + file.fileName().toStdString() + ":2").find("type=1 id=CARD7"), std::string::npos);
    EXPECT_NE(present("@" + file.fileName().toStdString() + ":1").find("type=29"), std::string::npos);
    EXPECT_EQ(gates.control("finger 00001 sim:").back().rfind("ERR", 0), 0u);
}
