// Throughput of the log processing: loads N raw records into a new SQLite site and prints how
// many records per second the processing resolves (raw copy, resolved row, log file line).
// Usage: harvester_bench N [log_mode]   (log_mode default 4: every record gets a file line)
#include "LogProcessor.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

using namespace orvel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int n = args.size() > 1 ? args[1].toInt() : 10000;
    const int logMode = args.size() > 2 ? args[2].toInt() : 4;
    if (n <= 0) {
        std::fprintf(stderr, "usage: harvester_bench N [log_mode]\n");
        return 2;
    }
    test::TestSite site;
    if (!site.ok()) {
        std::fprintf(stderr, "no site: %s\n", site.error().toUtf8().constData());
        return 1;
    }
    ServiceDb db(QStringLiteral("bench"));
    if (!db.Open()) {
        std::fprintf(stderr, "%s\n", db.LastError().toUtf8().constData());
        return 1;
    }
    db.Exec(QStringLiteral("INSERT INTO m_gate VALUES ('00001', 'Z', 'Gate 1', '127.0.0.2', '3001', '', 2, 1, 0, "
                           "'', '', 0, '')"));
    db.Exec(QStringLiteral("INSERT INTO lock_gate VALUES ('00001', 0, 0, '', '')"));
    db.Begin();
    for (int u = 1; u <= 1000; ++u)
        db.Exec(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type) "
                               "VALUES (%1, %2, '00000', %3, 2)")
                    .arg(SqlText(PadId(QString::number(u), 10)), SqlText(QStringLiteral("User %1").arg(u)),
                         SqlText(QStringLiteral("CARD%1").arg(u, 12, 10, QLatin1Char('0')))));
    for (int i = 0; i < n; ++i)
        db.Exec(QStringLiteral("Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) Values('00001', %1, 1, %2)")
                    .arg(SqlText(QStringLiteral("CARD%1").arg(i % 1000 + 1, 12, 10, QLatin1Char('0'))),
                         SqlText(IsoDateTimeText(2024, 1 + i / 2000000, 1 + (i / 86400) % 28, (i / 3600) % 24,
                                                 (i / 60) % 60, i % 60))));
    db.Commit();
    db.Exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = %1, file_path = %2 WHERE id = 1")
                .arg(logMode)
                .arg(SqlText(site.path(QStringLiteral("autolog.txt")))));

    harvester::LogProcessor processor(db, EditionFelica);
    QElapsedTimer timer;
    timer.start();
    int done = 0;
    while (processor.Step())
        ++done;
    const double sec = timer.nsecsElapsed() / 1e9;
    std::printf("N=%d processed=%d log_mode=%d seconds=%.2f records/s=%.0f%s\n", n, done, logMode, sec,
                done / sec, processor.LastError().isEmpty() ? "" : " (stopped by an error)");
    return done == n ? 0 : 1;
}
