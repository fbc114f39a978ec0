// The gate device library (libtcpcom.so, libhostcom.so) against a real gatesim process over
// real TCP (and a pty for the serial twin), plus fake gates that send broken frames.

#include "GateFrame.h"
#include "SimProcess.h"
#include "gatelib.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <random>
#include <sstream>
#include <thread>
#include <unistd.h>

using testsupport::SimProcess;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point t0)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

class GateLib : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim = std::make_unique<SimProcess>(std::vector<std::string>{"--gate", "00001=127.0.0.1:0", "--gate",
                                                                    "00002=127.0.0.1:0,users=2,masters=1"});
        ASSERT_TRUE(sim->ok());
        ASSERT_TRUE(sim->alive());
        tcp_SetIdStringFormat(1);
        tcp_SetTimeoutMs(400);
    }
    void TearDown() override
    {
        tcp_DisConnectDevice();
        tcp_SetTimeoutMs(0);
        tcp_SetUploadAcknowledgement(0);
    }
    int Connect(const std::string &gate)
    {
        const auto &g = sim->gate(gate);
        return tcp_ConnectDevice(g.address.c_str(), g.port);
    }
    int ConnectAndPoll(const std::string &gate)
    {
        int rc = Connect(gate);
        return rc ? rc : tcp_PollDevice(&unit);
    }
    std::unique_ptr<SimProcess> sim;
    GateUnit unit{};
};

GateCardProfile CardProfile(const char *id, int admin)
{
    GateCardProfile p{};
    std::strncpy(p.user_id, id, GATE_ID_LEN - 1);
    p.admin_flag = admin;
    return p;
}

} // namespace

TEST(GateTime, SundayIsSevenAnd2009IsNine)
{
    const GateTime t = gate_MakeTime(2009, 4, 5, 8, 30, 15); // a Sunday
    EXPECT_EQ(t.weekday, 7);
    EXPECT_EQ(t.year, 9);
    EXPECT_EQ(t.month, 4);
    EXPECT_EQ(t.day, 5);
    EXPECT_EQ(t.hour, 8);
    EXPECT_EQ(t.minute, 30);
    EXPECT_EQ(t.second, 15);
    EXPECT_EQ(t.zero, 0);
    EXPECT_EQ(gate_Weekday(2009, 4, 6), 1); // Monday
    EXPECT_EQ(gate_Weekday(2024, 2, 29), 4);
    EXPECT_EQ(offsetof(GateLogRecord, seq), 48u);
    EXPECT_EQ(offsetof(GateLogRecord, log_type), 56u);
    EXPECT_EQ(offsetof(GateLogRecord, time), 80u);
}

TEST(GateFrameCodec, RoundTripAndRandomBytesNeverCrash)
{
    gateproto::Frame f;
    f.command = gateproto::CmdSummary;
    f.seq = 77;
    f.status = 3725;
    f.payload = {1, 2, 3};
    const auto bytes = gateproto::Encode(f);
    gateproto::Decoder d;
    d.Append(bytes.data(), 5);
    gateproto::Frame g;
    EXPECT_EQ(d.Next(g), gateproto::Decoder::NeedMore);
    d.Append(bytes.data() + 5, bytes.size() - 5);
    ASSERT_EQ(d.Next(g), gateproto::Decoder::Complete);
    EXPECT_EQ(g.seq, 77);
    EXPECT_EQ(g.status, 3725u);
    EXPECT_EQ(g.payload, f.payload);

    auto bad = bytes;
    bad[bad.size() - 1] ^= 1;
    gateproto::Decoder d2;
    d2.Append(bad.data(), bad.size());
    EXPECT_EQ(d2.Next(g), gateproto::Decoder::Malformed);

    std::mt19937 rng(42);
    for (int i = 0; i < 2000; ++i) {
        std::vector<uint8_t> junk(rng() % 64);
        for (auto &b : junk)
            b = uint8_t(rng());
        if (i % 2 && junk.size() > 4) {
            junk[0] = 'K';
            junk[1] = 'G';
            junk[2] = 1;
            junk[3] = 'A';
        }
        gateproto::Decoder dj;
        dj.Append(junk.data(), junk.size());
        gateproto::Frame out;
        (void)dj.Next(out);
    }
}

TEST(GateLibExports, EveryEntryPointFoundByName)
{
    const char *names[] = {"SetIdStringFormat", "ConnectDevice", "PollDevice", "DisConnectDevice",
                           "ConfigureEEPROMSetting", "SetDeviceTime", "ReadDeviceProperties", "SetDeviceProperties",
                           "SetUploadLogRecordStartDate", "UploadUserProfileLogRecord", "QueryRecordsSummary",
                           "GetUserProfileIdByIndex", "GetMasterProfileIdByIndex", "QueryUserProfileExistence",
                           "DeleteWholeUserProfileRecord", "DownloadUserProfileCardOnly",
                           "DownloadUserProfileFingerprintTemplate", "DeleteAllUnassignUserId", "SetTimeoutMs",
                           "DropConnection", "SetUploadAcknowledgement", "AcknowledgeLogRecords"};
    const std::pair<const char *, const char *> libs[] = {{TCPCOM_PATH, "tcp_"}, {HOSTCOM_PATH, "serial_"}};
    for (const auto &[path, prefix] : libs) {
        void *h = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(h, nullptr) << dlerror();
        for (const char *n : names)
            EXPECT_NE(dlsym(h, (std::string(prefix) + n).c_str()), nullptr) << prefix << n;
        auto fmt = reinterpret_cast<GATELIB_SetIdStringFormat_FN>(dlsym(h, (std::string(prefix) + "SetIdStringFormat").c_str()));
        EXPECT_EQ(fmt(1), 0);
        dlclose(h);
    }
}

TEST_F(GateLib, PollFillsUnitHandle)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(unit.unit_code & 0xFF, 1);
    EXPECT_STREQ(unit.name, "00001");
    EXPECT_NE(unit.session, 0u);
    EXPECT_EQ(tcp_DisConnectDevice(), 0);
    ASSERT_EQ(ConnectAndPoll("00002"), 0);
    EXPECT_EQ(unit.unit_code & 0xFF, 2);
    EXPECT_EQ(unit.user_capacity, 2);
}

TEST_F(GateLib, GateAnswersOnThirdPoll)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 silent poll 2"));
    ASSERT_EQ(Connect("00001"), 0);
    auto t0 = Clock::now();
    EXPECT_EQ(tcp_PollDevice(&unit), GATE_E_TIMEOUT);
    EXPECT_EQ(tcp_PollDevice(&unit), GATE_E_TIMEOUT);
    EXPECT_EQ(tcp_PollDevice(&unit), 0);
    EXPECT_LT(MsSince(t0), 2000);
    EXPECT_GE(MsSince(t0), 700);
    EXPECT_EQ(unit.unit_code, 1);
}

TEST_F(GateLib, GateThatNeverAnswersGivesBoundedNonZeroStatus)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 silent any 0"));
    ASSERT_EQ(Connect("00001"), 0);
    auto t0 = Clock::now();
    GateUnit u{};
    EXPECT_EQ(tcp_PollDevice(&u), GATE_E_TIMEOUT);
    GateSummary s;
    EXPECT_EQ(tcp_QueryRecordsSummary(&u, &s), GATE_E_TIMEOUT);
    GateLogRecord r;
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&u, &r), GATE_E_TIMEOUT);
    EXPECT_LT(MsSince(t0), 3 * 400 + 600);
    EXPECT_EQ(tcp_DisConnectDevice(), 0);
    EXPECT_EQ(tcp_PollDevice(&u), GATE_E_NOT_CONNECTED);
}

TEST_F(GateLib, EnvironmentTimeOutIsUsed)
{
    tcp_SetTimeoutMs(0);
    setenv("ORVEL_GATE_TIMEOUT_MS", "150", 1);
    ASSERT_TRUE(sim->controlOk("fault 00001 silent poll 1"));
    ASSERT_EQ(Connect("00001"), 0);
    auto t0 = Clock::now();
    EXPECT_EQ(tcp_PollDevice(&unit), GATE_E_TIMEOUT);
    const auto ms = MsSince(t0);
    unsetenv("ORVEL_GATE_TIMEOUT_MS");
    EXPECT_GE(ms, 140);
    EXPECT_LT(ms, 1000);
}

TEST_F(GateLib, RefusedConnection)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 refuse on"));
    auto t0 = Clock::now();
    EXPECT_EQ(Connect("00001"), GATE_E_CONNECT);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_EQ(tcp_PollDevice(&unit), GATE_E_NOT_CONNECTED);
    ASSERT_TRUE(sim->controlOk("fault 00001 refuse off"));
    EXPECT_EQ(ConnectAndPoll("00001"), 0);
}

TEST_F(GateLib, DropMidFrameThenNotConnected)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 drop summary"));
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateSummary s;
    auto t0 = Clock::now();
    EXPECT_EQ(tcp_QueryRecordsSummary(&unit, &s), GATE_E_CLOSED);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_EQ(tcp_QueryRecordsSummary(&unit, &s), GATE_E_NOT_CONNECTED);
    EXPECT_EQ(ConnectAndPoll("00001"), 0); // a new connection works again
    EXPECT_EQ(tcp_QueryRecordsSummary(&unit, &s), 0);
}

TEST_F(GateLib, CorruptChecksumIsFrameError)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 garbage readprops"));
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateProperties p;
    EXPECT_EQ(tcp_ReadDeviceProperties(&unit, &p), GATE_E_FRAME);
    EXPECT_EQ(tcp_ReadDeviceProperties(&unit, &p), GATE_E_NOT_CONNECTED);
}

TEST_F(GateLib, InjectedStatusIsReportedAsIs)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 status card 3269 3"));
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    const GateCardProfile p = CardProfile("CARD42", 0);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &p), 3269);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &p), 3269);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &p), 3269);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &p), 0);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "CARD42"), 0);
}

TEST_F(GateLib, LateAnswerIsSkippedBySequence)
{
    ASSERT_TRUE(sim->controlOk("fault 00001 slow summary 700"));
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateSummary s;
    EXPECT_EQ(tcp_QueryRecordsSummary(&unit, &s), GATE_E_TIMEOUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the late answer arrives now
    EXPECT_EQ(tcp_PollDevice(&unit), 0);
    EXPECT_EQ(tcp_QueryRecordsSummary(&unit, &s), 0);
}

TEST_F(GateLib, CardPresentedLogUploadedOnceThen3725)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    const GateCardProfile p = CardProfile("0123456789ABCDEF", 0);
    ASSERT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &p), 0);
    ASSERT_EQ(tcp_DisConnectDevice(), 0);

    auto ans = sim->control("card 00001 0123456789ABCDEF");
    ASSERT_EQ(ans.back(), "OK");
    EXPECT_NE(ans[0].find("type=1 "), std::string::npos) << ans[0];
    ans = sim->control("card 00001 FFFF");
    EXPECT_NE(ans[0].find("type=28 "), std::string::npos) << ans[0];

    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateLogRecord r;
    std::memset(&r, 0, sizeof r);
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_STREQ(r.user_id, "0123456789ABCDEF");
    EXPECT_EQ(r.log_type, 1);
    EXPECT_EQ(r.seq, 1);
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_STREQ(r.user_id, "FFFF");
    EXPECT_EQ(r.log_type, 28);
    EXPECT_EQ(r.seq, 2);
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), GATE_ST_LOG_NO_MORE);
    ASSERT_EQ(tcp_DisConnectDevice(), 0);
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), GATE_ST_LOG_NO_MORE);
    GateSummary s;
    ASSERT_EQ(tcp_QueryRecordsSummary(&unit, &s), 0);
    EXPECT_EQ(s.log_count, 2);
    EXPECT_EQ(s.log_new, 0);
}

// ---- Acknowledged upload: a record leaves the gate only once the PC holds it ---------------

namespace {
int UploadSeq(GateUnit *unit, int *seq, uint32_t *epoch = nullptr)
{
    GateLogRecord r;
    std::memset(&r, 0, sizeof r);
    const int rc = tcp_UploadUserProfileLogRecord(unit, &r);
    *seq = rc == 0 ? r.seq : -1;
    if (epoch)
        *epoch = r.log_epoch;
    return rc;
}
} // namespace

TEST_F(GateLib, LostDamagedOrUnacknowledgedAnswerSendsTheSameRecordAgain)
{
    for (int i = 1; i <= 4; ++i)
        ASSERT_TRUE(sim->controlOk("addlog 00001 1 CARD" + std::to_string(i) + " 2009-04-01T08:00:0" + std::to_string(i)));
    int seq = 0;
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    ASSERT_EQ(UploadSeq(&unit, &seq), 0);
    EXPECT_EQ(seq, 1);

    // The answer carrying record 2 is cut off: the request acknowledged 1, and 2 comes again.
    ASSERT_TRUE(sim->controlOk("fault 00001 drop upload"));
    EXPECT_EQ(UploadSeq(&unit, &seq), GATE_E_CLOSED);
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    ASSERT_EQ(UploadSeq(&unit, &seq), 0);
    EXPECT_EQ(seq, 2);

    // A damaged answer: 3 comes again, not 4.
    ASSERT_TRUE(sim->controlOk("fault 00001 garbage upload"));
    EXPECT_EQ(UploadSeq(&unit, &seq), GATE_E_FRAME);
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    ASSERT_EQ(UploadSeq(&unit, &seq), 0);
    EXPECT_EQ(seq, 3);

    // An answer that comes too late: the connection stays, the next request gets 3 again.
    ASSERT_TRUE(sim->controlOk("fault 00001 slow upload 700"));
    EXPECT_EQ(UploadSeq(&unit, &seq), GATE_E_TIMEOUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ASSERT_EQ(UploadSeq(&unit, &seq), 0);
    EXPECT_EQ(seq, 4);
    ASSERT_TRUE(sim->controlOk("fault 00001 clear"));

    // Record 4 in hand, the connection ends without an acknowledgement (a crash, or the caller
    // could not keep it): 4 comes again.
    ASSERT_EQ(tcp_DropConnection(), 0);
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    ASSERT_EQ(UploadSeq(&unit, &seq), 0);
    EXPECT_EQ(seq, 4);
    // A disconnect acknowledges what the caller took.
    ASSERT_EQ(tcp_DisConnectDevice(), 0);
    EXPECT_EQ(sim->control("logs 00001 new").size(), 1u); // only "OK"
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(UploadSeq(&unit, &seq), GATE_ST_LOG_NO_MORE);
}

// A caller that stores records in groups acknowledges them itself: until it does, the gate hands
// out the records after each other and keeps them all.
TEST_F(GateLib, CallerAcknowledgedRecordsStayUntilTheCallerAcknowledgesThem)
{
    for (int i = 1; i <= 6; ++i)
        ASSERT_TRUE(sim->controlOk("addlog 00001 1 CARD" + std::to_string(i)));
    ASSERT_EQ(tcp_SetUploadAcknowledgement(1), 0);
    int seq = 0;
    auto take = [&](int n) {
        std::vector<int> got;
        for (int i = 0; i < n && UploadSeq(&unit, &seq) == 0; ++i)
            got.push_back(seq);
        return got;
    };
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(take(3), std::vector<int>({1, 2, 3}));
    ASSERT_EQ(tcp_DisConnectDevice(), 0); // acknowledges nothing in this mode
    EXPECT_EQ(sim->control("logs 00001 new").size(), 7u);
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(take(3), std::vector<int>({1, 2, 3}));
    EXPECT_EQ(tcp_AcknowledgeLogRecords(&unit), 0);
    EXPECT_EQ(sim->control("logs 00001 new").size(), 4u);

    // An answer that comes too late: the next request asks again for what follows record 3.
    ASSERT_TRUE(sim->controlOk("fault 00001 slow upload 700"));
    EXPECT_EQ(UploadSeq(&unit, &seq), GATE_E_TIMEOUT);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(take(5), std::vector<int>({4, 5, 6}));
    EXPECT_EQ(tcp_AcknowledgeLogRecords(&unit), 0);
    ASSERT_EQ(tcp_DisConnectDevice(), 0);
    EXPECT_EQ(sim->control("logs 00001 new").size(), 1u);
    EXPECT_EQ(tcp_AcknowledgeLogRecords(&unit), GATE_E_NOT_CONNECTED);
}

TEST_F(GateLib, ClearedLogMemoryNumbersAgainUnderANewEpoch)
{
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 OLD1"));
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 OLD2"));
    int seq = 0;
    uint32_t epoch1 = 0, epoch2 = 0;
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    ASSERT_EQ(UploadSeq(&unit, &seq, &epoch1), 0);
    EXPECT_EQ(seq, 1);
    EXPECT_NE(epoch1, 0u);

    // The memory is replaced while record 1 of the old memory waits for its acknowledgement: that
    // acknowledgement must not pass over record 1 of the new one.
    ASSERT_TRUE(sim->controlOk("logclear 00001"));
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 NEW1"));
    GateLogRecord r;
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_EQ(r.seq, 1);
    EXPECT_STREQ(r.user_id, "NEW1");
    epoch2 = r.log_epoch;
    EXPECT_NE(epoch2, epoch1);
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), GATE_ST_LOG_NO_MORE);

    // A time record the gate's clock made up is sent as it stands.
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 BAD @2009-42-140T08:30:00"));
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_EQ(r.seq, 2);
    EXPECT_EQ(r.time.month, 42);
    EXPECT_EQ(r.time.day, 140);
    EXPECT_EQ(r.time.year, 9);
}

TEST_F(GateLib, UploadStartDate3726And3727)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(tcp_SetUploadLogRecordStartDate(&unit, 1, 4, 9), GATE_ST_LOG_NO_NEW); // empty log
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 AAA 2009-03-30T10:00:00"));
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 BBB 2009-03-31T23:59:59"));
    EXPECT_EQ(tcp_SetUploadLogRecordStartDate(&unit, 1, 5, 9), GATE_ST_LOG_NONE_SINCE); // all before 2009-05-01
    EXPECT_EQ(tcp_SetUploadLogRecordStartDate(&unit, 1, 4, 9), GATE_ST_LOG_NO_NEW);     // passed over for good
    GateLogRecord r;
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), GATE_ST_LOG_NO_MORE);

    ASSERT_TRUE(sim->controlOk("addlog 00001 1 CCC 2009-03-31T08:00:00"));
    ASSERT_TRUE(sim->controlOk("addlog 00001 1 DDD 2009-04-01T00:00:00"));
    ASSERT_TRUE(sim->controlOk("addlog 00001 28 EEE 2009-04-02T12:00:00"));
    EXPECT_EQ(tcp_SetUploadLogRecordStartDate(&unit, 1, 4, 9), 0);
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_STREQ(r.user_id, "DDD");
    EXPECT_EQ(r.seq, 4);
    EXPECT_EQ(r.time.year, 9);
    EXPECT_EQ(r.time.month, 4);
    EXPECT_EQ(r.time.day, 1);
    EXPECT_EQ(r.time.weekday, 3); // Wednesday
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_STREQ(r.user_id, "EEE");
    EXPECT_EQ(r.log_type, 28);
    EXPECT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), GATE_ST_LOG_NO_MORE);
    EXPECT_EQ(tcp_SetUploadLogRecordStartDate(&unit, 31, 2, 9), GATE_ST_BAD_ARGUMENT);
}

TEST_F(GateLib, ClockSetToSunday2009GivesWeekday7Year9)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    EXPECT_EQ(tcp_ConfigureEEPROMSetting(&unit, GATE_EEPROM_TIME_SYNC, 1), 0);
    EXPECT_EQ(tcp_ConfigureEEPROMSetting(&unit, GATE_EEPROM_TIME_APPLY, 1), 0);
    EXPECT_EQ(tcp_ConfigureEEPROMSetting(&unit, 99, 1), GATE_ST_BAD_ARGUMENT);
    const GateTime t = gate_MakeTime(2009, 4, 5, 9, 15, 0);
    EXPECT_EQ(tcp_SetDeviceTime(&unit, &t), 0);
    auto eeprom = sim->control("eeprom 00001");
    EXPECT_EQ(eeprom[0], "9=1");
    EXPECT_EQ(eeprom[1], "10=1");
    EXPECT_EQ(sim->control("clock 00001")[0].substr(0, 16), "2009-04-05T09:15");

    ASSERT_TRUE(sim->controlOk("card 00001 SOMEONE"));
    GateLogRecord r;
    ASSERT_EQ(tcp_UploadUserProfileLogRecord(&unit, &r), 0);
    EXPECT_EQ(r.time.weekday, 7);
    EXPECT_EQ(r.time.year, 9);
    EXPECT_EQ(r.time.month, 4);
    EXPECT_EQ(r.time.day, 5);
    EXPECT_EQ(r.time.hour, 9);
    EXPECT_EQ(r.time.zero, 0);
}

TEST_F(GateLib, CapacityFullGives3293And3295)
{
    ASSERT_EQ(ConnectAndPoll("00002"), 0); // users=2, masters=1
    GateCardProfile u1 = CardProfile("U1", 0), u2 = CardProfile("U2", 0), u3 = CardProfile("U3", 0);
    GateCardProfile m1 = CardProfile("M1", 1), m2 = CardProfile("M2", 1);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &u1), 0);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &u2), 0);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &u3), GATE_ST_USER_FULL);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &u1), 0); // rewriting an existing user is fine
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &m1), 0);
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &m2), GATE_ST_MASTER_FULL);
    GateFingerprintProfile fp{};
    std::strcpy(fp.user_id, "F1");
    fp.admin_flag = 0;
    fp.enroll_mode = GATE_ENROLL_FINGERPRINT;
    fp.constant2 = 2;
    uint8_t tpl[800] = {1, 2, 3};
    EXPECT_EQ(tcp_DownloadUserProfileFingerprintTemplate(&unit, &fp, tpl, tpl + 400), GATE_ST_USER_FULL);
    fp.admin_flag = 1;
    EXPECT_EQ(tcp_DownloadUserProfileFingerprintTemplate(&unit, &fp, tpl, tpl + 400), GATE_ST_MASTER_FULL);
    GateSummary s;
    ASSERT_EQ(tcp_QueryRecordsSummary(&unit, &s), 0);
    EXPECT_EQ(s.user_count, 2);
    EXPECT_EQ(s.master_count, 1);
    ASSERT_TRUE(sim->controlOk("capacity 00002 3 1"));
    EXPECT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &u3), 0);
}

TEST_F(GateLib, PropertiesOtherBytesKeptAsRead)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateProperties read1;
    ASSERT_EQ(tcp_ReadDeviceProperties(&unit, &read1), 0);
    GateProperties changed = read1;
    changed.bytes[GATE_PROP_DOOR_MODE] = 2;
    changed.bytes[GATE_PROP_SENSOR_ALARM] = 1;
    ASSERT_EQ(tcp_SetDeviceProperties(&unit, &changed), 0);
    GateProperties read2;
    ASSERT_EQ(tcp_ReadDeviceProperties(&unit, &read2), 0);
    EXPECT_EQ(read2.bytes[15], 2);
    EXPECT_EQ(read2.bytes[17], 1);
    for (int i = 0; i < GATE_PROPERTIES_LEN; ++i) {
        if (i != 15 && i != 17) {
            EXPECT_EQ(read2.bytes[i], read1.bytes[i]) << "byte " << i;
        }
    }
    GateProperties bad = read2;
    bad.bytes[GATE_PROP_DOOR_MODE] = 3;
    EXPECT_EQ(tcp_SetDeviceProperties(&unit, &bad), GATE_ST_BAD_ARGUMENT);
    ASSERT_EQ(tcp_ReadDeviceProperties(&unit, &read1), 0);
    EXPECT_EQ(std::memcmp(&read1, &read2, sizeof read1), 0);
}

TEST_F(GateLib, ProfilesByIndexExistenceDeleteAndFingerprint)
{
    ASSERT_EQ(ConnectAndPoll("00001"), 0);
    GateCardProfile a = CardProfile("A", 0), b = CardProfile("B", 0), m = CardProfile("M", 1);
    ASSERT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &a), 0);
    ASSERT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &m), 0);
    ASSERT_EQ(tcp_DownloadUserProfileCardOnly(&unit, &b), 0);
    GateFingerprintProfile fp{};
    std::strcpy(fp.user_id, "0000000000000000000000000007");
    fp.enroll_mode = GATE_ENROLL_FINGERPRINT;
    fp.constant2 = 2;
    uint8_t tpl[800];
    for (int i = 0; i < 800; ++i)
        tpl[i] = uint8_t(i * 7 + 3);
    ASSERT_EQ(tcp_DownloadUserProfileFingerprintTemplate(&unit, &fp, tpl, tpl + 400), 0);
    fp.constant2 = 0;
    EXPECT_EQ(tcp_DownloadUserProfileFingerprintTemplate(&unit, &fp, tpl, tpl + 400), GATE_ST_BAD_ARGUMENT);

    char id[GATE_ID_LEN];
    ASSERT_EQ(tcp_GetUserProfileIdByIndex(&unit, 1, id), 0);
    EXPECT_STREQ(id, "A");
    ASSERT_EQ(tcp_GetUserProfileIdByIndex(&unit, 2, id), 0);
    EXPECT_STREQ(id, "B");
    ASSERT_EQ(tcp_GetUserProfileIdByIndex(&unit, 3, id), 0);
    EXPECT_STREQ(id, "0000000000000000000000000007");
    EXPECT_EQ(tcp_GetUserProfileIdByIndex(&unit, 4, id), GATE_ST_NOT_FOUND);
    ASSERT_EQ(tcp_GetMasterProfileIdByIndex(&unit, 1, id), 0);
    EXPECT_STREQ(id, "M");
    EXPECT_EQ(tcp_GetMasterProfileIdByIndex(&unit, 2, id), GATE_ST_NOT_FOUND);

    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "B"), 0);
    EXPECT_EQ(tcp_DeleteWholeUserProfileRecord(&unit, "B"), 0);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "B"), GATE_ST_NOT_FOUND);
    EXPECT_EQ(tcp_DeleteWholeUserProfileRecord(&unit, "B"), GATE_ST_NOT_FOUND);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, std::string(60, 'x').c_str()), GATE_E_ARGUMENT);

    // The finger presented at the gate matches the template sent.
    std::ostringstream hex;
    for (unsigned char c : tpl) {
        static const char *d = "0123456789abcdef";
        hex << d[c >> 4] << d[c & 15];
    }
    auto ans = sim->control("finger 00001 " + hex.str());
    ASSERT_EQ(ans.back(), "OK");
    EXPECT_NE(ans[0].find("type=1 id=0000000000000000000000000007"), std::string::npos) << ans[0];
    tpl[0] ^= 1;
    hex.str("");
    for (unsigned char c : tpl) {
        static const char *d = "0123456789abcdef";
        hex << d[c >> 4] << d[c & 15];
    }
    ans = sim->control("finger 00001 " + hex.str());
    EXPECT_NE(ans[0].find("type=29 "), std::string::npos) << ans[0];

    // An ID with neither card nor template is "unassigned".
    ASSERT_TRUE(sim->controlOk("adduser 00001 EMPTY"));
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "EMPTY"), 0);
    EXPECT_EQ(tcp_DeleteAllUnassignUserId(&unit), 0);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "EMPTY"), GATE_ST_NOT_FOUND);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&unit, "A"), 0);
}

TEST_F(GateLib, SimulatorSurvivesGarbageFromThePc)
{
    const auto &g = sim->gate("00001");
    for (int i = 0; i < 3; ++i) {
        const int fd = testsupport::ConnectLoopback(g.address, g.port);
        ASSERT_GE(fd, 0);
        const char junk[] = "GET / HTTP/1.0\r\n\r\n";
        (void)!::write(fd, junk, sizeof junk);
        char buf[64];
        EXPECT_LE(::read(fd, buf, sizeof buf), 0); // the gate hangs up
        ::close(fd);
    }
    // Half a request, then the PC goes away.
    const int fd = testsupport::ConnectLoopback(g.address, g.port);
    const char half[] = {'K', 'G', 1, 'Q', 1, 0};
    (void)!::write(fd, half, sizeof half);
    ::close(fd);
    EXPECT_TRUE(sim->alive());
    EXPECT_EQ(ConnectAndPoll("00001"), 0);
}

// ---- A fake gate that sends what the test tells it ------------------------------------------

namespace {
void FakeGate(int listenFd, std::vector<uint8_t> answer, bool closeAfter, int holdMs)
{
    const int c = ::accept(listenFd, nullptr, nullptr);
    if (c < 0)
        return;
    uint8_t buf[512];
    (void)::read(c, buf, sizeof buf); // the request
    if (!answer.empty())
        (void)!::write(c, answer.data(), answer.size());
    if (!closeAfter)
        std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
    ::close(c);
}

int RunAgainstFake(std::vector<uint8_t> answer, bool closeAfter, long long *elapsed)
{
    int port = 0;
    const int lfd = testsupport::ListenLoopback(&port);
    std::thread t(FakeGate, lfd, answer, closeAfter, 700);
    tcp_SetTimeoutMs(300);
    int rc = tcp_ConnectDevice("127.0.0.1", port);
    GateUnit u{};
    auto t0 = Clock::now();
    if (rc == 0)
        rc = tcp_PollDevice(&u);
    *elapsed = MsSince(t0);
    tcp_DisConnectDevice();
    t.join();
    ::close(lfd);
    tcp_SetTimeoutMs(0);
    return rc;
}

std::vector<uint8_t> PollAnswer(uint16_t seqGuess)
{
    gateproto::Frame f;
    f.kind = gateproto::kKindAnswer;
    f.command = gateproto::CmdPoll;
    f.seq = seqGuess;
    f.payload.assign(sizeof(GateUnit), 0);
    return gateproto::Encode(f);
}
} // namespace

TEST(GateLibBrokenGate, MalformedAndTruncatedFrames)
{
    long long ms = 0;
    // Wrong magic.
    EXPECT_EQ(RunAgainstFake({'X', 'Y', 'Z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, true, &ms), GATE_E_FRAME);
    // Length far over the maximum.
    EXPECT_EQ(RunAgainstFake({'K', 'G', 1, 'A', 1, 0, 1, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F}, false, &ms), GATE_E_FRAME);
    EXPECT_LT(ms, 1000);
    // Header only, then the gate closes (truncated frame).
    std::vector<uint8_t> trunc = PollAnswer(1);
    trunc.resize(20);
    int rc = RunAgainstFake(trunc, true, &ms);
    EXPECT_TRUE(rc == GATE_E_CLOSED || rc == GATE_E_FRAME) << rc;
    // Truncated and the gate stays silent: time-out, bounded.
    rc = RunAgainstFake(trunc, false, &ms);
    EXPECT_EQ(rc, GATE_E_TIMEOUT);
    EXPECT_LT(ms, 1000);
    // Accepts, reads, never answers, then closes after the time-out.
    EXPECT_EQ(RunAgainstFake({}, false, &ms), GATE_E_TIMEOUT);
    EXPECT_LT(ms, 1000);
    // Accepts and closes at once.
    EXPECT_EQ(RunAgainstFake({}, true, &ms), GATE_E_CLOSED);
}

TEST(GateLibBrokenGate, NothingListening)
{
    int port = 0;
    const int lfd = testsupport::ListenLoopback(&port);
    ::close(lfd); // the port is free again, nobody listens
    auto t0 = Clock::now();
    EXPECT_EQ(tcp_ConnectDevice("127.0.0.1", port), GATE_E_CONNECT);
    EXPECT_LT(MsSince(t0), 1000);
    EXPECT_EQ(tcp_ConnectDevice("not-an-address", 1), GATE_E_ARGUMENT);
    EXPECT_EQ(tcp_ConnectDevice(nullptr, 1), GATE_E_ARGUMENT);
    GateUnit u{};
    EXPECT_EQ(tcp_PollDevice(&u), GATE_E_NOT_CONNECTED);
    EXPECT_EQ(tcp_PollDevice(nullptr), GATE_E_ARGUMENT);
    EXPECT_EQ(tcp_DisConnectDevice(), GATE_E_NOT_CONNECTED);
}

// ---- Several gates on their own loopback addresses --------------------------------------------

TEST(GateSimAddresses, GatesOnOwnLoopbackAddresses)
{
    SimProcess sim({"--gate", "00011=127.0.0.2:0", "--gate", "00012=127.0.0.3:0"});
    ASSERT_TRUE(sim.ok());
    EXPECT_EQ(sim.gate("00011").address, "127.0.0.2");
    EXPECT_EQ(sim.gate("00012").address, "127.0.0.3");
    ASSERT_TRUE(sim.controlOk("adduser 00011 ONLY11 card=1"));
    GateUnit u{};
    tcp_SetTimeoutMs(1000);
    ASSERT_EQ(tcp_ConnectDevice("127.0.0.2", sim.gate("00011").port), 0);
    ASSERT_EQ(tcp_PollDevice(&u), 0);
    EXPECT_EQ(u.unit_code, 11);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&u, "ONLY11"), 0);
    tcp_DisConnectDevice();
    ASSERT_EQ(tcp_ConnectDevice("127.0.0.3", sim.gate("00012").port), 0);
    ASSERT_EQ(tcp_PollDevice(&u), 0);
    EXPECT_EQ(u.unit_code, 12);
    EXPECT_EQ(tcp_QueryUserProfileExistence(&u, "ONLY11"), GATE_ST_NOT_FOUND);
    tcp_DisConnectDevice();
    tcp_SetTimeoutMs(0);
}

// ---- Serial twin over a pty pair ----------------------------------------------------------------

TEST(GateLibSerial, SerialGateOverPty)
{
    SimProcess sim({"--serial", "00009,users=1,masters=1"});
    ASSERT_TRUE(sim.ok());
    const std::string tty = sim.gate("00009").address;
    ASSERT_EQ(sim.gate("00009").transport, "serial");
    serial_SetIdStringFormat(1);
    serial_SetTimeoutMs(500);
    ASSERT_EQ(serial_ConnectDevice(tty.c_str(), 115200), 0);
    GateUnit u{};
    ASSERT_EQ(serial_PollDevice(&u), 0);
    EXPECT_EQ(u.unit_code, 9);
    GateCardProfile p = CardProfile("SERIAL1", 0);
    EXPECT_EQ(serial_DownloadUserProfileCardOnly(&u, &p), 0);
    GateCardProfile p2 = CardProfile("SERIAL2", 0);
    EXPECT_EQ(serial_DownloadUserProfileCardOnly(&u, &p2), GATE_ST_USER_FULL);
    ASSERT_TRUE(sim.controlOk("card 00009 SERIAL1"));
    GateLogRecord r;
    ASSERT_EQ(serial_UploadUserProfileLogRecord(&u, &r), 0);
    EXPECT_STREQ(r.user_id, "SERIAL1");
    EXPECT_EQ(r.log_type, 1);
    EXPECT_EQ(serial_UploadUserProfileLogRecord(&u, &r), GATE_ST_LOG_NO_MORE);
    EXPECT_EQ(serial_DisConnectDevice(), 0);

    // Unanswered poll on the line: bounded time-out, the line is still usable afterwards.
    ASSERT_TRUE(sim.controlOk("fault 00009 silent poll 1"));
    ASSERT_EQ(serial_ConnectDevice(tty.c_str(), 0), 0);
    auto t0 = Clock::now();
    EXPECT_EQ(serial_PollDevice(&u), GATE_E_TIMEOUT);
    EXPECT_LT(MsSince(t0), 1500);
    EXPECT_EQ(serial_PollDevice(&u), 0);
    GateSummary s;
    ASSERT_EQ(serial_QueryRecordsSummary(&u, &s), 0);
    EXPECT_EQ(s.user_count, 1);

    // The TCP library's connection is independent of the serial one.
    EXPECT_EQ(tcp_PollDevice(&u), GATE_E_NOT_CONNECTED);
    EXPECT_EQ(serial_DisConnectDevice(), 0);
    EXPECT_EQ(serial_ConnectDevice("/nonexistent/tty", 0), GATE_E_CONNECT);
    serial_SetTimeoutMs(0);
}

// ---- Configuration file and the ctl command line ----------------------------------------------

namespace {
int RunCtl(int port, const std::string &command, std::string *output)
{
    const std::string line = std::string(GATESIM_PATH) + " ctl --control " + std::to_string(port) + " " + command;
    FILE *p = popen(line.c_str(), "r");
    if (!p)
        return -1;
    char buf[512];
    output->clear();
    while (fgets(buf, sizeof buf, p))
        *output += buf;
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

TEST(GateSimCli, ConfigFileAndCtlCommand)
{
    char path[] = "/tmp/gatesim-conf-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    const std::string conf = "# two gates\ngate 00021=127.0.0.1:0,users=5\n\ngate 00022=127.0.0.4:0 # comment\n";
    ASSERT_EQ(::write(fd, conf.data(), conf.size()), ssize_t(conf.size()));
    ::close(fd);
    SimProcess sim({"--config", path});
    ::unlink(path);
    ASSERT_TRUE(sim.ok());
    EXPECT_EQ(sim.gate("00022").address, "127.0.0.4");
    std::string out;
    EXPECT_EQ(RunCtl(sim.controlPort(), "card 00021 CLI-CARD", &out), 0);
    EXPECT_NE(out.find("type=28 id=CLI-CARD"), std::string::npos) << out;
    EXPECT_EQ(RunCtl(sim.controlPort(), "summary 00021", &out), 0);
    EXPECT_NE(out.find("user_capacity=5"), std::string::npos) << out;
    EXPECT_EQ(RunCtl(sim.controlPort(), "bogus 00021", &out), 1);
    EXPECT_NE(out.find("ERR unknown command"), std::string::npos) << out;
    EXPECT_EQ(RunCtl(sim.controlPort(), "card 00099 X", &out), 1);
    EXPECT_EQ(RunCtl(sim.controlPort(), "quit", &out), 0);
    for (int i = 0; i < 50 && sim.alive(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(sim.alive());
}
