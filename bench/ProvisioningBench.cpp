// The provisioning round trip as the console sees it: SendUserRequest (a card user written to a
// simulated gate) against the real Courier1 on its default tick, back to back and at random
// moments. Beside it, in the same run, the gate work alone (the connections and operations the
// service makes for such a request, through libtcpcom) and the tick the service would otherwise
// wait for.
//
//   provisioning_bench [REQUESTS]     default 40 back to back and 40 at random moments

#include "ConsoleTiming.h"
#include "MsgBox.h"
#include "OrvelDefs.h"
#include "SimProcess.h"
#include "TestSite.h"
#include "Wakeup.h"
#include "gatecomm/GUserCtrl.h"
#include "gatelib.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

using namespace orvel;

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

double Mean(const std::vector<double> &v)
{
    double s = 0;
    for (double x : v)
        s += x;
    return v.empty() ? 0 : s / double(v.size());
}

// What the service does with the gate for a card user: two deletes and the write, each on its own
// connection (connect, poll, operation, disconnect).
double GateWorkMs(const testsupport::SimGate &g, int n)
{
    tcp_SetIdStringFormat(1);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < n; ++i) {
        for (int step = 0; step < 3; ++step) {
            if (tcp_ConnectDevice(g.address.c_str(), g.port) != 0)
                return -1;
            GateUnit u{};
            tcp_PollDevice(&u);
            if (step < 2) {
                tcp_QueryUserProfileExistence(&u, "BASELINE");
                tcp_DeleteWholeUserProfileRecord(&u, "BASELINE");
            } else {
                GateCardProfile p{};
                std::snprintf(p.user_id, sizeof p.user_id, "BASELINE");
                tcp_QueryUserProfileExistence(&u, p.user_id);
                tcp_DownloadUserProfileCardOnly(&u, &p);
            }
            tcp_DisConnectDevice();
        }
    }
    return t.nsecsElapsed() / 1e6 / n;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    MsgBox::SetScripted(true);
    test::TestSite site;
    if (!site.ok()) {
        std::fprintf(stderr, "no site: %s\n", site.error().toUtf8().constData());
        return 1;
    }
    testsupport::SimProcess sim({"--gate", "00001=127.0.0.2:0"});
    if (!sim.ok()) {
        std::fprintf(stderr, "gatesim did not start\n");
        return 1;
    }
    const auto &g = sim.gate("00001");
    const QString ip = QString::fromStdString(g.address), port = QString::number(g.port);
    const double gateWork = GateWorkMs(g, 20);

    QProcess courier; // default tick
    courier.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    courier.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Courier1"), {});
    if (!courier.waitForStarted()) {
        std::fprintf(stderr, "Courier1 did not start\n");
        return 1;
    }
    QElapsedTimer up;
    up.start();
    while (!HasWakeListener(QLatin1String(kWakeUserRequest)) && up.elapsed() < 10000)
        QThread::msleep(10);

    auto roundTrip = [&](int i) {
        GUserRecord user{PadId(QString::number(i), kUserIdWidth), QStringLiteral("CARD%1").arg(i), 1, 2};
        QElapsedTimer t;
        t.start();
        const bool ok = SendUserRequest(1, ip, port, QStringLiteral("00001"), user, false);
        return ok ? t.nsecsElapsed() / 1e6 : -1.0;
    };
    std::vector<double> backToBack, random;
    bool ok = true;
    for (int i = 1; i <= requests; ++i) {
        const double ms = roundTrip(i);
        ok = ok && ms >= 0;
        backToBack.push_back(ms);
    }
    std::mt19937 rng(12345);
    for (int i = 1; i <= requests; ++i) {
        QThread::msleep(std::uniform_int_distribution<int>(0, 1500)(rng)); // somewhere in the service's tick
        const double ms = roundTrip(1000 + i);
        ok = ok && ms >= 0;
        random.push_back(ms);
    }
    courier.kill();
    courier.waitForFinished();
    const int onGate = int(sim.control("users 00001").size()) - 1; // less the OK
    ok = ok && onGate == 2 * requests + 1; // and the gate-work user

    std::printf("provisioning round trip, default tick %d ms: back to back mean %.1f ms, median %.1f ms, max %.1f ms "
                "(target 60); at random moments median %.1f ms, max %.1f ms (target 100 median); gate work alone, "
                "same run: %.1f ms per request; users on the gate %d%s\n",
                1000, Mean(backToBack), Median(backToBack), *std::max_element(backToBack.begin(), backToBack.end()),
                Median(random), *std::max_element(random.begin(), random.end()), gateWork, onGate,
                ok ? "" : " (some requests failed)");
    return ok ? 0 : 1;
}
