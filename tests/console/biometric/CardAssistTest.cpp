// The card reading window frmCardAssist with MifareApi, over the real libraries: the simulated
// reader cardsim, and a real pcscd with the virtual reader in both editions. A small test screen
// is the current screen and records what is handed to CARD_SetCardId.

#include "biometric/CardLib.h"
#include "biometric/CardReading.h"
#include "CardTestEnv.h"
#include "../ConsoleTestUtil.h"
#include "ConsoleTiming.h"
#include "CurrentScreen.h"
#include "biometric/MifareApi.h"
#include "Public.h"
#include "SiteSetup.h"
#include "biometric/ui/frmCardAssist.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace cardtest;

namespace {

class TestScreen : public QWidget, public CurrentScreen
{
public:
    QStringList ids;
    void CARD_SetCardId(const QString &cardId) override { ids << cardId; }
};

// Counting stand-ins in front of the loaded library's entry points.
struct Calls
{
    CardLib::FelicaFunctions felica;
    CardLib::MifareFunctions mifare;
    std::vector<int> mifarePorts;
    std::vector<int> mifareSpeeds;
    int closeCommPort = 0;
    int usbPortClose = 0;
    int term = 0;
} g_calls;

int CountGetMifareCardID(int port, int baud, uint8_t *status, int32_t *serial)
{
    g_calls.mifarePorts.push_back(port);
    g_calls.mifareSpeeds.push_back(baud);
    return g_calls.mifare.GetMifareCardID(port, baud, status, serial);
}
int CountCloseCommPort()
{
    ++g_calls.closeCommPort;
    return g_calls.mifare.CloseCommPort();
}
int CountUsbPortClose()
{
    ++g_calls.usbPortClose;
    return g_calls.felica.UsbPortClose();
}
int CountTermFelicaDll()
{
    ++g_calls.term;
    return g_calls.felica.TermFelicaDll();
}

QColor InfoColour(QWidget *w)
{
    return w->findChild<QLabel *>(QStringLiteral("lblInfo"))->palette().color(QPalette::WindowText);
}
QString Text(QWidget *w, const char *name)
{
    return w->findChild<QLabel *>(QLatin1String(name))->text();
}
QTimer *Timer(QWidget *w, const char *name)
{
    return w->findChild<QTimer *>(QLatin1String(name));
}

class CardAssist : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = Timing();
        Timing().cardInitializeMs = 10;
        Timing().cardPollMs = 20;
        Timing().cardReadOkMs = 100;
        MifareApi::Reset();
        SetCurrentScreen(&m_screen);
        WriteIni("SIM");
        // Both libraries are loaded once per run; counting stand-ins go in front of them.
        QString message;
        ASSERT_TRUE(CardLib::Load(1, &message)) << message.toStdString();
        ASSERT_TRUE(CardLib::Load(2, &message)) << message.toStdString();
        const CardLib::FelicaFunctions felica = CardLib::Felica();
        const CardLib::MifareFunctions mifare = CardLib::Mifare();
        g_calls = Calls();
        g_calls.felica = felica;
        g_calls.mifare = mifare;
        CardLib::Felica().UsbPortClose = CountUsbPortClose;
        CardLib::Felica().TermFelicaDll = CountTermFelicaDll;
        CardLib::Mifare().GetMifareCardID = CountGetMifareCardID;
        CardLib::Mifare().CloseCommPort = CountCloseCommPort;
    }
    void TearDown() override
    {
        CardLib::Felica() = g_calls.felica;
        CardLib::Mifare() = g_calls.mifare;
        SetCurrentScreen(nullptr);
        SetBusyOff();
        Timing() = m_saved;
    }

    void WriteIni(const QString &backend)
    {
        m_site.write(QStringLiteral("Orvel.ini"),
                     QStringLiteral("[FILE]\r\nF_GATELOCK=GateLock.dat\r\nF_TEMPLATE=template.dat\r\n"
                                    "[CARD READER]\r\nREADER_BACKEND=%1\r\nSIM_SOCKET=reader.sock\r\n")
                         .arg(backend)
                         .toUtf8());
    }
    std::string Socket() const { return m_site.path(QStringLiteral("reader.sock")).toStdString(); }

    // Reads as a caller does: busy flag, modal window, wait. A window still open after 10 s is
    // stopped, so that a fault fails the test instead of hanging it.
    void ReadModal()
    {
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [] {
            for (QWidget *w : QApplication::topLevelWidgets())
                if (auto *d = qobject_cast<frmCardAssist *>(w))
                    d->reject();
        });
        guard.start(10000);
        frmCardAssist::Open(nullptr);
        EXPECT_TRUE(guard.isActive()) << "the window did not close by itself";
        EXPECT_FALSE(IsBusy());
    }

    consoletest::BareSite m_site;
    TestScreen m_screen;
    ConsoleTiming m_saved;
};

} // namespace

TEST_F(CardAssist, CaptionsFollowTheEdition)
{
    SetEdition(1);
    {
        frmCardAssist w;
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Felica ID読み取り"));
        EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("fraTitle"))->title(), QStringLiteral("フェリカ ＩＤ"));
        EXPECT_EQ(w.findChild<QPushButton *>(QStringLiteral("cmdStopExit"))->text(), QStringLiteral("読み取り中止"));
        EXPECT_EQ(Timer(&w, "timInitialize")->interval(), 10);
        EXPECT_TRUE(Timer(&w, "timInitialize")->isActive());
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
        EXPECT_FALSE(Timer(&w, "timReadOK")->isActive());
    }
    SetEdition(2);
    frmCardAssist w;
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Mifare ID読み取り"));
    EXPECT_EQ(w.findChild<QGroupBox *>(QStringLiteral("fraTitle"))->title(), QStringLiteral("マイフェア ＩＤ"));
}

TEST_F(CardAssist, FelicaIdIsHandedOverAs32CharactersAndTheLibraryClosed)
{
    SetEdition(1);
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("felica 012E4C0011223344 0120220427674EFF"));
    ReadModal();
    ASSERT_EQ(m_screen.ids.size(), 1);
    EXPECT_EQ(m_screen.ids[0], QStringLiteral("012E4C00112233440120220427674EFF"));
    EXPECT_EQ(g_calls.usbPortClose, 1);
    EXPECT_EQ(g_calls.term, 1);
}

TEST_F(CardAssist, ReadIdIsShownForAWhileBeforeTheHandOver)
{
    SetEdition(1);
    Timing().cardReadOkMs = 400;
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    frmCardAssist w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Text(&w, "lblInfo") == QStringLiteral("カードをかざして下さい。"); }, 5000));
    EXPECT_TRUE(Timer(&w, "timCard")->isActive());
    EXPECT_EQ(InfoColour(&w), QColor(0, 0, 255));
    EXPECT_TRUE(Text(&w, "lblIDm").isEmpty());

    ASSERT_TRUE(sim.CtlOk("felica 0102030405060708 A0B0C0D0E0F01020"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Timer(&w, "timReadOK")->isActive(); }, 5000));
    EXPECT_EQ(Text(&w, "lblIDm"), QStringLiteral("0102030405060708A0B0C0D0E0F01020"));
    EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("IDの読み取りに成功しました。"));
    EXPECT_FALSE(Timer(&w, "timCard")->isActive());
    EXPECT_TRUE(m_screen.ids.isEmpty()); // not before the display time is over
    EXPECT_EQ(w.BeepCount(), 0);

    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("0102030405060708A0B0C0D0E0F01020")});
}

TEST_F(CardAssist, StopReadingNeverHandsOver)
{
    SetEdition(1);
    Timing().cardReadOkMs = 300;
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    SetBusyOn();
    {
        // Stopped while polling.
        frmCardAssist w;
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Timer(&w, "timCard")->isActive(); }, 5000));
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdStopExit")), Qt::LeftButton);
        EXPECT_FALSE(w.isVisible());
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
        EXPECT_FALSE(IsBusy());
        EXPECT_EQ(g_calls.term, 1);
    }
    // Stopped in the second between the read and the hand-over.
    ASSERT_TRUE(sim.CtlOk("felica 012E4C0011223344 0120220427674EFF"));
    frmCardAssist w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Timer(&w, "timReadOK")->isActive(); }, 5000));
    QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdStopExit")), Qt::LeftButton);
    EXPECT_FALSE(w.isVisible());
    QTest::qWait(600);
    EXPECT_TRUE(m_screen.ids.isEmpty());
    EXPECT_EQ(g_calls.term, 2);
}

TEST_F(CardAssist, ClosingTheWindowAnyOtherWayNeverHandsOverEither)
{
    SetEdition(2);
    Timing().cardReadOkMs = 300;
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 77"));
    frmCardAssist w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Timer(&w, "timReadOK")->isActive(); }, 5000));
    w.close(); // the title bar's close button
    QTest::qWait(600);
    EXPECT_TRUE(m_screen.ids.isEmpty());
}

TEST_F(CardAssist, MifareAllOnesIsHandedOverAsUnsignedDecimal)
{
    SetEdition(2);
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 4294967295"));
    ReadModal();
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("4294967295")});
    // Every call at the readers' line speed, each followed by a close.
    EXPECT_EQ(g_calls.closeCommPort, int(g_calls.mifarePorts.size()));
    for (int speed : g_calls.mifareSpeeds)
        EXPECT_EQ(speed, 38400);
}

TEST_F(CardAssist, MifareSerialZeroIsNoCard)
{
    SetEdition(2);
    CardSimProcess sim(Socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 0"));
    frmCardAssist w;
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return g_calls.mifarePorts.size() >= 5; }, 5000));
    EXPECT_TRUE(Timer(&w, "timCard")->isActive());
    EXPECT_TRUE(Text(&w, "lblIDm").isEmpty());
    EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("カードをかざして下さい。"));
    EXPECT_EQ(MifareApi::SerialText(0), QString());
    EXPECT_EQ(MifareApi::SerialText(-2), QStringLiteral("4294967294"));

    ASSERT_TRUE(sim.CtlOk("mifare 1"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.isVisible(); }, 5000));
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("1")});
}

TEST_F(CardAssist, MifareWithNoReaderProbes256PortsThenAsksToConnect)
{
    SetEdition(2);
    frmCardAssist w; // no simulator runs: no reader answers
    w.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Text(&w, "lblInfo").contains(QStringLiteral("初期化中")) &&
                                             !Text(&w, "lblInfo").isEmpty(); },
                                5000));
    EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("Mifareを接続してやり直して下さい。"));
    EXPECT_EQ(InfoColour(&w), QColor(255, 0, 0));
    EXPECT_EQ(w.BeepCount(), 1);
    ASSERT_EQ(g_calls.mifarePorts.size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(g_calls.mifarePorts[size_t(i)], i + 1);
    EXPECT_EQ(g_calls.closeCommPort, 256);
    EXPECT_EQ(MifareApi::Port(), 0);
    // No polling and no retry: the window waits for the stop button.
    QTest::qWait(100);
    EXPECT_FALSE(Timer(&w, "timCard")->isActive());
    EXPECT_EQ(g_calls.mifarePorts.size(), 256u);
}

TEST_F(CardAssist, SecondOpeningInOneRunProbesOnlyTheRememberedPort)
{
    SetEdition(2);
    CardSimProcess sim(Socket(), {"--port", "3"});
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 99"));
    ReadModal();
    ASSERT_EQ(m_screen.ids, QStringList{QStringLiteral("99")});
    EXPECT_EQ(MifareApi::Port(), 3);
    ASSERT_GE(g_calls.mifarePorts.size(), 4u);
    EXPECT_EQ(std::vector<int>(g_calls.mifarePorts.begin(), g_calls.mifarePorts.begin() + 3),
              (std::vector<int>{1, 2, 3}));

    g_calls.mifarePorts.clear();
    ReadModal();
    ASSERT_EQ(m_screen.ids.size(), 2);
    ASSERT_FALSE(g_calls.mifarePorts.empty());
    for (int port : g_calls.mifarePorts)
        EXPECT_EQ(port, 3);

    // The reader moved: the remembered port, then the search from port 1.
    ASSERT_TRUE(sim.CtlOk("plug 2"));
    g_calls.mifarePorts.clear();
    ReadModal();
    ASSERT_EQ(m_screen.ids.size(), 3);
    EXPECT_EQ(std::vector<int>(g_calls.mifarePorts.begin(), g_calls.mifarePorts.begin() + 3),
              (std::vector<int>{3, 1, 2}));
    EXPECT_EQ(MifareApi::Port(), 2);
}

TEST_F(CardAssist, FelicaWithNoReaderAsksToConnectAndTerminatesTheLibraryOnClose)
{
    SetEdition(1);
    {
        frmCardAssist w; // no simulator runs
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.BeepCount() > 0; }, 5000));
        EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("Felicaを接続してやり直して下さい。"));
        EXPECT_EQ(InfoColour(&w), QColor(255, 0, 0));
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
        QTest::mouseClick(w.findChild<QPushButton *>(QStringLiteral("cmdStopExit")), Qt::LeftButton);
    }
    EXPECT_EQ(g_calls.term, 1);
    EXPECT_EQ(g_calls.usbPortClose, 0);
    EXPECT_TRUE(m_screen.ids.isEmpty());
}

TEST_F(CardAssist, FelicaLibraryThatDoesNotStartIsNotTerminated)
{
    if (!PcscUnavailable().empty())
        GTEST_SKIP() << PcscUnavailable(); // without a namespace of its own the machine's pcscd may answer
    SetEdition(1);
    WriteIni("PCSC"); // and no pcscd runs
    {
        frmCardAssist w;
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.BeepCount() > 0; }, 5000));
        EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("Felicaを初期化出来ません。"));
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
    }
    EXPECT_EQ(g_calls.term, 0);
    EXPECT_EQ(g_calls.usbPortClose, 0);
}

TEST_F(CardAssist, InvalidReaderSettingIsNamedAndNothingIsOpened)
{
    SetEdition(2);
    WriteIni("USB");
    {
        frmCardAssist w;
        w.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return w.BeepCount() > 0; }, 5000));
        EXPECT_EQ(Text(&w, "lblInfo"), QStringLiteral("Orvel.INIファイルの記述が不正です。(READER_BACKEND)"));
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
    }
    EXPECT_TRUE(g_calls.mifarePorts.empty());
}

TEST_F(CardAssist, NewSiteReadsFromTheSimulatorInItsFolderWhenNoReaderIsAttached)
{
    // Orvel.ini as init-site writes it: AUTO, and the socket in the site folder.
    m_site.write(QStringLiteral("Orvel.ini"), orvel::DefaultOrvelIni().toUtf8());
    SetEdition(2);
    CardSimProcess sim(m_site.path(QStringLiteral("cardreader.sock")).toStdString());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 5"));
    ReadModal();
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("5")});
}

TEST(CardAssistLibrary, MissingLibraryOrEntryPointIsNamedOnTheWindow)
{
    consoletest::BareSite site;
    SetEdition(1);
    const QString real = CardLib::LibraryFile(1);
    auto messageOf = [] {
        frmCardAssist w;
        w.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return w.BeepCount() > 0; }, 5000));
        EXPECT_FALSE(Timer(&w, "timCard")->isActive());
        return Text(&w, "lblInfo");
    };
    CardLib::SetLibraryFile(1, QStringLiteral("libnosuchreader.so"));
    EXPECT_EQ(messageOf(), QStringLiteral("カードリーダのライブラリ libnosuchreader.so を読み込めません。"));
    // A library in its place without the FeliCa entry points.
    CardLib::SetLibraryFile(1, QLatin1String(CardLib::MifareLibrary));
    EXPECT_EQ(messageOf(), QStringLiteral("libmifaredrv.so に InitFelicaDll がありません。"));
    CardLib::SetLibraryFile(1, real);
    QString message;
    EXPECT_TRUE(CardLib::Load(1, &message)) << message.toStdString();
}

// ---- through pcscd ------------------------------------------------------------------------------

class CardAssistPcsc : public CardAssist
{
protected:
    void SetUp() override
    {
        const std::string why = PcscUnavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        CardAssist::SetUp();
        WriteIni("PCSC");
        m_pcscd = std::make_unique<PcscDaemon>();
        ASSERT_TRUE(m_pcscd->ok()) << m_pcscd->error();
    }
    std::unique_ptr<PcscDaemon> m_pcscd;
};

TEST_F(CardAssistPcsc, FelicaCardIsReadThroughPcscd)
{
    SetEdition(1);
    VirtualCard card(0, {Hex("012E4C0011223344"), Hex("0120220427674EFF")});
    ASSERT_TRUE(card.ok());
    ReadModal();
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("012E4C00112233440120220427674EFF")});
    EXPECT_EQ(g_calls.term, 1);
}

TEST_F(CardAssistPcsc, MifareCardIsReadThroughPcscd)
{
    SetEdition(2);
    VirtualCard card(0, {Hex("04A2B3C4"), {}});
    ASSERT_TRUE(card.ok());
    ReadModal();
    EXPECT_EQ(m_screen.ids, QStringList{QStringLiteral("3300106756")}); // 0xC4B3A204
    EXPECT_EQ(MifareApi::Port(), 1);
}
