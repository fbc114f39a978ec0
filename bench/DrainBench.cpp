// A collect-now drain: G simulated gates holding R log records each, collected, stored and
// processed by the real Harvester1 on collect-now requests, as the console sends them (one takes
// at most 5000 records from a gate, so 10000 records take two). Prints
// records/s from the request to its answer, beside what the gates' upload alone gives in the same
// run (one gate drained through libtcpcom without storing anything).
//
//   drain_bench [GATES] [RECORDS]     defaults 10 gates, 10000 records each
//
// The automatic log file is on (log_mode 4), so every record also gets its file line.

#include "OrvelDefs.h"
#include "SimProcess.h"
#include "SqlDialect.h"
#include "TestSite.h"
#include "gatelib.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <unistd.h>
#include <string>
#include <vector>

using namespace orvel;

namespace {

bool WaitAnswer(test::TestSite &site, int deadlineMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < deadlineMs) {
        if (site.value(QStringLiteral("SELECT result FROM t_srv_ctrl WHERE server_id = 1")) != QLatin1String("0"))
            return true;
        QThread::msleep(10);
    }
    return false;
}

void Post(test::TestSite &site, int cmd)
{
    site.exec(QStringLiteral("UPDATE t_srv_ctrl SET req_cmd = %1, result = 0, res_detail = '' WHERE server_id = 1")
                  .arg(cmd));
}

// CPU seconds a process has used (user and system), from /proc.
double CpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return f.size() > 12 ? (f[11].toDouble() + f[12].toDouble()) / double(sysconf(_SC_CLK_TCK)) : 0;
}

// Records per second that one gate's upload gives on its own: every record taken and
// acknowledged, nothing stored.
double UploadAlone(testsupport::SimProcess &sim, const std::string &gate, int records)
{
    sim.controlOk("addlogs " + gate + " " + std::to_string(records) + " 1 U");
    const auto &g = sim.gate(gate);
    QElapsedTimer t;
    t.start();
    if (tcp_ConnectDevice(g.address.c_str(), g.port) != 0)
        return 0;
    GateUnit unit{};
    GateLogRecord rec;
    int n = 0;
    while (tcp_UploadUserProfileLogRecord(&unit, &rec) == 0)
        ++n;
    tcp_DisConnectDevice();
    return n / (t.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int gates = argc > 1 ? std::atoi(argv[1]) : 10;
    const int records = argc > 2 ? std::atoi(argv[2]) : 10000;
    if (gates < 1 || gates > 200 || records < 1) {
        std::fprintf(stderr, "usage: drain_bench [GATES 1-200] [RECORDS]\n");
        return 2;
    }
    test::TestSite site;
    if (!site.ok()) {
        std::fprintf(stderr, "no site: %s\n", site.error().toUtf8().constData());
        return 1;
    }
    std::vector<std::string> args;
    for (int i = 0; i <= gates; ++i) // one more, for the upload-alone figure
        args.insert(args.end(), {"--gate", PadId(QString::number(i + 1), kGateIdWidth).toStdString() + "=127.0.0." +
                                               std::to_string(i + 2) + ":0"});
    testsupport::SimProcess sim(args);
    if (!sim.ok()) {
        std::fprintf(stderr, "gatesim did not start\n");
        return 1;
    }
    for (int i = 0; i < gates; ++i) {
        const QString id = PadId(QString::number(i + 1), kGateIdWidth);
        const auto &g = sim.gate(id.toStdString());
        site.exec(QStringLiteral("INSERT INTO m_gate VALUES (%1, 'Zone', %2, %3, %4, '', 1, 1, 0, '', '', 0, '')")
                      .arg(SqlText(id), SqlText(QStringLiteral("Gate ") + id), SqlText(QString::fromStdString(g.address)),
                           SqlText(QString::number(g.port))));
        site.exec(QStringLiteral("INSERT INTO lock_gate VALUES (%1, 0, 0, '', '')").arg(SqlText(id)));
        sim.controlOk("addlogs " + id.toStdString() + " " + std::to_string(records) + " 1 G" + std::to_string(i));
    }
    site.exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = 4, file_path = %1")
                  .arg(SqlText(site.path(QStringLiteral("autolog.txt")))));

    const double uploadAlone =
        UploadAlone(sim, PadId(QString::number(gates + 1), kGateIdWidth).toStdString(), qMin(records, 10000));

    QProcess harvester;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ORVEL_HARVESTER_START_DELAY_MS"), QStringLiteral("0"));
    env.insert(QStringLiteral("ORVEL_HARVESTER_FIRST_TICK_MS"), QStringLiteral("10"));
    harvester.setProcessEnvironment(env);
    harvester.setStandardOutputFile(QProcess::nullDevice());
    harvester.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    harvester.start(QCoreApplication::applicationDirPath() + QStringLiteral("/Harvester1"), {QStringLiteral("--headless")});
    if (!harvester.waitForStarted()) {
        std::fprintf(stderr, "Harvester1 did not start\n");
        return 1;
    }
    Post(site, srv::HarvesterStatus); // up and answering before the clock starts
    if (!WaitAnswer(site, 30000)) {
        std::fprintf(stderr, "Harvester1 does not answer\n");
        return 1;
    }
    // A collect-now request takes at most 5000 records from a gate: requests follow each other, as
    // an operator would repeat them, until every record is stored and processed.
    const int total = gates * records;
    const double cpuBefore = CpuSeconds(harvester.processId()), simBefore = CpuSeconds(sim.pid());
    QElapsedTimer t;
    t.start();
    bool answered = true;
    int requests = 0, stored = 0;
    while (answered && stored < total && requests < 1 + total / 5000 * 2) {
        Post(site, srv::HarvesterCollectNow);
        answered = WaitAnswer(site, 600000);
        ++requests;
        stored = site.value(QStringLiteral("SELECT COUNT(*) FROM log_telmar_plus")).toInt();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    const double cpu = CpuSeconds(harvester.processId()) - cpuBefore, simCpu = CpuSeconds(sim.pid()) - simBefore;
    Post(site, srv::HarvesterStop);
    harvester.waitForFinished(30000);

    std::printf("collect-now drain of %d gates x %d records: %d stored and processed in %.2f s with %d requests = "
                "%.0f records/s (target 3500)%s; CPU per record: Harvester1 %.0f us, gatesim %.0f us; upload alone, "
                "same run: %.0f records/s\n",
                gates, records, stored, seconds, requests, stored / seconds, answered ? "" : " (no answer)",
                stored ? cpu * 1e6 / stored : 0, stored ? simCpu * 1e6 / stored : 0, uploadAlone);
    return answered && stored == total ? 0 : 1;
}
