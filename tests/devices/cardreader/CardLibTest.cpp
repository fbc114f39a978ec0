// libgfi2.so and libmifaredrv.so through the simulated reader and through a real pcscd with the
// virtual reader driver, the test playing the card.

#include "CardReader.h"
#include "CardTestEnv.h"
#include "cardlib.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <unistd.h>

using namespace cardtest;

namespace {

// A folder of the test's own for the simulator's socket.
struct TempFolder
{
    std::string path;
    TempFolder()
    {
        std::string tmpl = "/tmp/cardlib-XXXXXX";
        path = ::mkdtemp(tmpl.data()) ? tmpl : std::string();
    }
    ~TempFolder() { std::system(("rm -rf '" + path + "'").c_str()); }
    std::string socket() const { return path + "/reader.sock"; }
};

void UseBackend(const char *backend, const std::string &socket = "/nonexistent/reader.sock")
{
    ASSERT_EQ(FelicaSetOption("READER_BACKEND", backend), CARD_OK);
    ASSERT_EQ(MifareSetOption("READER_BACKEND", backend), CARD_OK);
    ASSERT_EQ(FelicaSetOption("SIM_SOCKET", socket.c_str()), CARD_OK);
    ASSERT_EQ(MifareSetOption("SIM_SOCKET", socket.c_str()), CARD_OK);
}

std::string HexOf(const uint8_t *b, size_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[b[i] >> 4];
        s += digits[b[i] & 15];
    }
    return s;
}

// Polls f until it returns true, as the console's timer does (pcscd sees a card 0.3-0.5 s after
// it arrives).
bool PollUntil(const std::function<bool()> &f, int timeoutMs = 5000)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (f())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

struct FelicaSession
{
    int init, open;
    FelicaSession()
        : init(InitFelicaDll())
        , open(init == CARD_OK ? UsbPortOpen() : -1)
    {
    }
    ~FelicaSession()
    {
        UsbPortClose();
        TermFelicaDll();
    }
};

int ReadMifare(int port, uint8_t *status, int32_t *serial)
{
    const int rc = GetMifareCardID(port, 38400, status, serial);
    CloseCommPort();
    return rc;
}

} // namespace

// ---- the simulated reader ---------------------------------------------------------------------------

TEST(CardLibSim, FelicaSessionReadsTheCardOnTheReaderAndOnlyAFelicaCard)
{
    TempFolder dir;
    UseBackend("SIM", dir.socket());
    {
        // No simulator running: no reader attached.
        FelicaSession s;
        EXPECT_EQ(s.init, CARD_OK);
        EXPECT_EQ(s.open, CARD_E_NO_READER);
        uint8_t idm[8], pmm[8];
        EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NOT_OPEN);
    }
    CardSimProcess sim(dir.socket());
    ASSERT_TRUE(sim.ok());
    FelicaSession s;
    ASSERT_EQ(s.open, CARD_OK);
    uint8_t idm[8], pmm[8];
    EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NO_CARD);
    EXPECT_EQ(GetIDmPmm(nullptr, pmm), CARD_E_ARGUMENT);

    ASSERT_TRUE(sim.CtlOk("felica 012E4C0011223344 0120220427674EFF"));
    ASSERT_EQ(GetIDmPmm(idm, pmm), CARD_OK);
    EXPECT_EQ(HexOf(idm, 8), "012E4C0011223344");
    EXPECT_EQ(HexOf(pmm, 8), "0120220427674EFF");

    ASSERT_TRUE(sim.CtlOk("mifare 12345"));
    EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NO_CARD);
    ASSERT_TRUE(sim.CtlOk("felica 0102030405060708090A0B0C0D0E0F10"));
    ASSERT_EQ(GetIDmPmm(idm, pmm), CARD_OK);
    EXPECT_EQ(HexOf(pmm, 8), "090A0B0C0D0E0F10");

    ASSERT_TRUE(sim.CtlOk("unplug"));
    EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NO_READER);
    EXPECT_EQ(UsbPortOpen(), CARD_E_NO_READER);

    const auto stats = sim.Ctl("stats");
    ASSERT_GE(stats.size(), 2u);
    EXPECT_EQ(stats[0], "felica-open 2");
    EXPECT_EQ(stats[1], "felica-read 5");
}

TEST(CardLibSim, MifareReaderAnswersOnlyAtItsPortAndSpeed)
{
    TempFolder dir;
    UseBackend("SIM", dir.socket());
    uint8_t status = 9;
    int32_t serial = 7;
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_E_NO_READER); // no simulator

    CardSimProcess sim(dir.socket(), {"--port", "3"});
    ASSERT_TRUE(sim.ok());
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_E_NO_READER);
    ASSERT_EQ(ReadMifare(3, &status, &serial), CARD_OK);
    EXPECT_EQ(status, MIFARE_NO_CARD);

    ASSERT_TRUE(sim.CtlOk("mifare 4294967295"));
    ASSERT_EQ(ReadMifare(3, &status, &serial), CARD_OK);
    EXPECT_EQ(status, MIFARE_CARD_READ);
    EXPECT_EQ(serial, -1); // handed over as a signed 32-bit value
    ASSERT_TRUE(sim.CtlOk("mifare 0x80000000"));
    ASSERT_EQ(ReadMifare(3, &status, &serial), CARD_OK);
    EXPECT_EQ(uint32_t(serial), 0x80000000u);

    // Only the console's line speed reaches the reader; bad arguments are refused.
    EXPECT_EQ(GetMifareCardID(3, 9600, &status, &serial), CARD_E_SPEED);
    EXPECT_EQ(GetMifareCardID(0, 38400, &status, &serial), CARD_E_ARGUMENT);
    EXPECT_EQ(GetMifareCardID(3, 38400, nullptr, &serial), CARD_E_ARGUMENT);

    ASSERT_TRUE(sim.CtlOk("felica 012E4C0011223344 0120220427674EFF"));
    ASSERT_EQ(ReadMifare(3, &status, &serial), CARD_OK);
    EXPECT_EQ(status, MIFARE_NO_CARD);

    ASSERT_TRUE(sim.CtlOk("plug 1"));
    EXPECT_EQ(ReadMifare(3, &status, &serial), CARD_E_NO_READER);
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_OK);
    ASSERT_TRUE(sim.CtlOk("unplug"));
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_E_NO_READER);
    ASSERT_TRUE(sim.CtlOk("plug"));
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_OK); // plugged in again at the same port

    const auto stats = sim.Ctl("stats");
    ASSERT_EQ(stats.size(), 4u);
    EXPECT_EQ(stats[3], "mifare-ports 1 3 3 3 3 3 1 1 1");
}

TEST(CardLibSim, ControlCommandsRefuseBadInputAndChangeNothing)
{
    TempFolder dir;
    CardSimProcess sim(dir.socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 42"));
    for (const char *bad : {"felica 012E4C", "felica 012E4C00112233XX 0120220427674EFF", "mifare 4294967296",
                            "mifare -1", "mifare", "plug 0", "plug x", "mifare-read 0", "stats now", "frobnicate"})
        EXPECT_FALSE(sim.CtlOk(bad)) << bad;
    const auto status = sim.Ctl("status");
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0], "reader plugged port=1 card=mifare serial=42");
    ASSERT_TRUE(sim.CtlOk("remove"));
    EXPECT_EQ(sim.Ctl("status")[0], "reader plugged port=1 card=none");
    // Anyone may ask for the command list.
    EXPECT_GT(sim.Ctl("help").size(), 5u);
}

TEST(CardLibSim, SecondSimulatorOnTheSameSocketRefusesToStart)
{
    TempFolder dir;
    CardSimProcess first(dir.socket());
    ASSERT_TRUE(first.ok());
    CardSimProcess second(dir.socket());
    EXPECT_FALSE(second.ok());
    EXPECT_TRUE(first.CtlOk("status"));
}

TEST(CardLibOptions, UnknownKeysAndValuesAreRefused)
{
    EXPECT_EQ(FelicaSetOption("READER_BACKEND", "USB"), CARD_E_ARGUMENT);
    EXPECT_EQ(MifareSetOption("NO_SUCH_KEY", "1"), CARD_E_ARGUMENT);
    EXPECT_EQ(MifareSetOption("SIM_SOCKET", ""), CARD_E_ARGUMENT);
    EXPECT_EQ(MifareSetOption("SIM_TIMEOUT_MS", "0"), CARD_E_ARGUMENT);
    EXPECT_EQ(MifareSetOption(nullptr, "1"), CARD_E_ARGUMENT);
    EXPECT_EQ(FelicaSetOption("reader_backend", "sim"), CARD_OK); // keys and values as in Orvel.ini
    EXPECT_EQ(MifareSetOption("SIM_TIMEOUT_MS", "250"), CARD_OK);
}

TEST(CardLibConversions, MifareSerialIsTheLastFourUidBytesLowestFirst)
{
    uint32_t serial = 0;
    ASSERT_TRUE(cardreader::MifareSerialOfUid(Hex("04A2B3C4"), &serial));
    EXPECT_EQ(serial, 0xC4B3A204u);
    ASSERT_TRUE(cardreader::MifareSerialOfUid(Hex("04112233445566"), &serial));
    EXPECT_EQ(serial, 0x66554433u);
    ASSERT_TRUE(cardreader::MifareSerialOfUid(Hex("FFFFFFFF"), &serial));
    EXPECT_EQ(serial, 0xFFFFFFFFu);
    EXPECT_FALSE(cardreader::MifareSerialOfUid(Hex("012E4C0011223344"), &serial)); // a FeliCa IDm
    EXPECT_FALSE(cardreader::MifareSerialOfUid({}, &serial));
}

// ---- PC/SC through pcscd ----------------------------------------------------------------------------

class CardLibPcsc : public ::testing::Test
{
protected:
    void SetUp() override
    {
        const std::string why = PcscUnavailable();
        if (!why.empty())
            GTEST_SKIP() << why;
        m_pcscd = std::make_unique<PcscDaemon>();
        ASSERT_TRUE(m_pcscd->ok()) << m_pcscd->error();
    }
    std::unique_ptr<PcscDaemon> m_pcscd;
};

TEST_F(CardLibPcsc, FelicaCardIsReadWithItsPmmOrZerosWhereTheReaderGivesNone)
{
    UseBackend("PCSC");
    FelicaSession s;
    ASSERT_EQ(s.init, CARD_OK);
    ASSERT_EQ(s.open, CARD_OK); // the virtual reader is attached, with no card yet
    uint8_t idm[8], pmm[8];
    EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NO_CARD);
    {
        VirtualCard card(0, {Hex("012E4C0011223344"), Hex("0120220427674EFF")});
        ASSERT_TRUE(card.ok());
        ASSERT_TRUE(PollUntil([&] { return GetIDmPmm(idm, pmm) == CARD_OK; }));
        EXPECT_EQ(HexOf(idm, 8), "012E4C0011223344");
        EXPECT_EQ(HexOf(pmm, 8), "0120220427674EFF");
    }
    // Taken away, then a card on the second slot whose reader refuses the PMm.
    ASSERT_TRUE(PollUntil([&] { return GetIDmPmm(idm, pmm) == CARD_E_NO_CARD; }));
    VirtualCard card(1, {Hex("0123456789ABCDEF"), {}});
    ASSERT_TRUE(PollUntil([&] { return GetIDmPmm(idm, pmm) == CARD_OK; }));
    EXPECT_EQ(HexOf(idm, 8), "0123456789ABCDEF");
    EXPECT_EQ(HexOf(pmm, 8), "0000000000000000");
}

TEST_F(CardLibPcsc, FelicaLibraryIgnoresACardThatIsNotFelica)
{
    UseBackend("PCSC");
    FelicaSession s;
    ASSERT_EQ(s.open, CARD_OK);
    VirtualCard card(0, {Hex("04A2B3C4"), {}});
    uint8_t idm[8], pmm[8];
    int rc = -1;
    // Once the reader has seen the card and asked it for its UID, it is still no card here.
    ASSERT_TRUE(PollUntil([&] {
        rc = GetIDmPmm(idm, pmm);
        return card.apdus() > 0;
    }));
    EXPECT_EQ(rc, CARD_E_NO_CARD);
    EXPECT_EQ(GetIDmPmm(idm, pmm), CARD_E_NO_CARD);
}

TEST_F(CardLibPcsc, MifarePortIsTheNthReader)
{
    UseBackend("PCSC");
    uint8_t status = 9;
    int32_t serial = 0;
    // One reader entry gives two readers: ports 1 and 2; nothing at 3.
    ASSERT_EQ(ReadMifare(1, &status, &serial), CARD_OK);
    EXPECT_EQ(status, MIFARE_NO_CARD);
    ASSERT_EQ(ReadMifare(2, &status, &serial), CARD_OK);
    EXPECT_EQ(ReadMifare(3, &status, &serial), CARD_E_NO_READER);
    EXPECT_EQ(ReadMifare(256, &status, &serial), CARD_E_NO_READER);

    {
        VirtualCard card(1, {Hex("FFFFFFFF"), {}});
        ASSERT_TRUE(PollUntil([&] { return ReadMifare(2, &status, &serial) == CARD_OK && status == MIFARE_CARD_READ; }));
        EXPECT_EQ(serial, -1);
        ASSERT_EQ(ReadMifare(1, &status, &serial), CARD_OK);
        EXPECT_EQ(status, MIFARE_NO_CARD);
    }
    VirtualCard seven(0, {Hex("04112233445566"), {}});
    ASSERT_TRUE(PollUntil([&] { return ReadMifare(1, &status, &serial) == CARD_OK && status == MIFARE_CARD_READ; }));
    EXPECT_EQ(uint32_t(serial), 0x66554433u);
}

TEST_F(CardLibPcsc, MifareCardWithAnUnusableUidIsUnreadable)
{
    UseBackend("PCSC");
    VirtualCard card(0, {Hex("0102030405"), {}});
    uint8_t status = 0;
    int32_t serial = 0;
    ASSERT_TRUE(PollUntil([&] { return ReadMifare(1, &status, &serial) == CARD_OK && status != MIFARE_NO_CARD; }));
    EXPECT_EQ(status, MIFARE_UNREADABLE);
}

TEST_F(CardLibPcsc, AutoPrefersAnAttachedReaderOverTheSimulator)
{
    TempFolder dir;
    CardSimProcess sim(dir.socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("mifare 42"));
    UseBackend("AUTO", dir.socket());
    VirtualCard card(0, {Hex("2A000001"), {}});
    uint8_t status = 0;
    int32_t serial = 0;
    ASSERT_TRUE(PollUntil([&] { return ReadMifare(1, &status, &serial) == CARD_OK && status == MIFARE_CARD_READ; }));
    EXPECT_EQ(serial, 0x0100002A);
    EXPECT_EQ(sim.Ctl("stats")[2], "mifare-read 0");
}

TEST(CardLibNoService, PcscChosenWithoutTheServiceFailsAndAutoFallsBackToTheSimulator)
{
    // No pcscd runs in this process's namespace (where there is none, the machine's own may).
    if (!PcscUnavailable().empty())
        GTEST_SKIP() << PcscUnavailable();
    TempFolder dir;
    UseBackend("PCSC", dir.socket());
    EXPECT_EQ(InitFelicaDll(), CARD_E_NO_SERVICE);
    EXPECT_EQ(UsbPortOpen(), CARD_E_NOT_INITIALISED);
    uint8_t status = 0;
    int32_t serial = 0;
    EXPECT_EQ(ReadMifare(1, &status, &serial), CARD_E_NO_SERVICE);

    UseBackend("AUTO", dir.socket());
    CardSimProcess sim(dir.socket());
    ASSERT_TRUE(sim.ok());
    ASSERT_TRUE(sim.CtlOk("felica 012E4C0011223344 0120220427674EFF"));
    FelicaSession s;
    ASSERT_EQ(s.open, CARD_OK);
    uint8_t idm[8], pmm[8];
    ASSERT_EQ(GetIDmPmm(idm, pmm), CARD_OK);
    EXPECT_EQ(HexOf(idm, 3), "012E4C");
}

int main(int argc, char **argv)
{
    const std::string ns = EnterPrivateNamespace();
    ::testing::InitGoogleTest(&argc, argv);
    if (!ns.empty())
        std::fprintf(stderr, "pcscd tests will be skipped: %s\n", ns.c_str());
    return RUN_ALL_TESTS();
}
