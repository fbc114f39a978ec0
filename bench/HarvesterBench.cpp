// Throughput of the log processing on a new SQLite site, beside the baselines of the same data
// source measured in the same run: one-row autocommit INSERTs and INSERTs in transactions of 500
// rows (prepared statements both).
//
//   harvester_bench [N ...] [--users U ...] [--log-mode M] [--batch ROWS] [--no-baseline]
//
// Defaults: N = 10000 100000, U = 10 10000, log_mode 4 (every record gets a file line), the
// processing's own batch size. For each
// N and U a new site gets U users and N raw records (cards of those users), and the processing
// resolves them all in batches as the collector does. Prints records/s, and bytes written per
// record (/proc/self/io).

#include "LogProcessor.h"
#include "OrvelDefs.h"
#include "ServiceDb.h"
#include "SqlDialect.h"
#include "TestSite.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QVariant>

#include <cstdio>
#include <sys/resource.h>

using namespace orvel;

namespace {

qint64 BytesWritten()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : io.readAll().split('\n'))
        if (line.startsWith("write_bytes:"))
            return line.mid(12).trimmed().toLongLong();
    return 0;
}

// CPU seconds of this process (user and system).
double CpuSeconds()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return r.ru_utime.tv_sec + r.ru_utime.tv_usec / 1e6 + r.ru_stime.tv_sec + r.ru_stime.tv_usec / 1e6;
}

QString Card(int user)
{
    return QStringLiteral("CARD%1").arg(user, 12, 10, QLatin1Char('0'));
}

const QString kRaw = QStringLiteral("Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) Values(?, ?, ?, ?)");

QString Time(int i)
{
    return IsoDateTimeText(2024, 1 + (i / 2419200) % 12, 1 + (i / 86400) % 28, (i / 3600) % 24, (i / 60) % 60, i % 60);
}

// Rows per second of one-row autocommit INSERTs and of INSERTs in transactions of 500 rows,
// prepared (bound values) or as statement text (the values written into it).
void Baselines(double *autocommit, double *batched, bool prepared)
{
    test::TestSite site;
    ServiceDb db(QStringLiteral("baseline"));
    if (!site.ok() || !db.Open()) {
        *autocommit = *batched = 0;
        return;
    }
    const int single = 5000, inBatches = 50000;
    const auto insert = [&](int i) {
        if (prepared)
            return db.ExecBound(kRaw, {QStringLiteral("00001"), Card(i % 10 + 1), 1, Time(i)});
        return db.Exec(QStringLiteral("Insert Into log_telmar (gate_id, guser_id, log_type, log_dt) "
                                      "Values('00001', '%1', 1, '%2')")
                           .arg(Card(i % 10 + 1), Time(i)));
    };
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < single; ++i)
        insert(i);
    *autocommit = single / (t.nsecsElapsed() / 1e9);
    t.restart();
    for (int i = 0; i < inBatches;) {
        db.Begin();
        for (int j = 0; j < 500; ++j, ++i)
            insert(i);
        db.Commit();
    }
    *batched = inBatches / (t.nsecsElapsed() / 1e9);
}

struct Figure
{
    int processed = 0;
    double seconds = 0;
    double cpu = 0;
    double bytesPerRecord = 0;
    QString error;
};

Figure Processing(int n, int users, int logMode, int batchRows)
{
    Figure f;
    test::TestSite site;
    ServiceDb db(QStringLiteral("bench"));
    if (!site.ok() || !db.Open()) {
        f.error = QStringLiteral("no site: ") + site.error() + db.LastError();
        return f;
    }
    db.Exec(QStringLiteral("INSERT INTO m_gate VALUES ('00001', 'Z', 'Gate 1', '127.0.0.2', '3001', '', 2, 1, 0, "
                           "'', '', 0, '')"));
    db.Begin();
    for (int u = 1; u <= users; ++u)
        db.ExecBound(QStringLiteral("INSERT INTO m_user (user_id, user_name, emp_id, guser_id, gauth_type) "
                                    "VALUES (?, ?, '00000', ?, 2)"),
                     {PadId(QString::number(u), 10), QStringLiteral("User %1").arg(u), Card(u)});
    db.Commit();
    for (int i = 0; i < n;) {
        db.Begin();
        for (int j = 0; j < 5000 && i < n; ++j, ++i)
            db.ExecBound(kRaw, {QStringLiteral("00001"), Card(i % users + 1), 1, Time(i)});
        db.Commit();
    }
    db.Exec(QStringLiteral("UPDATE t_autolog_info SET log_mode = %1, file_path = %2 WHERE id = 1")
                .arg(logMode)
                .arg(SqlText(site.path(QStringLiteral("autolog.txt")))));
    db.Exec(QStringLiteral("ANALYZE"));

    harvester::LogProcessor processor(db, EditionFelica);
    if (batchRows > 0)
        processor.SetBatchRows(batchRows);
    const qint64 written = BytesWritten();
    QElapsedTimer timer;
    timer.start();
    const double cpu = CpuSeconds();
    for (int done; (done = processor.ProcessBatch()) > 0;)
        f.processed += done;
    f.seconds = timer.nsecsElapsed() / 1e9;
    f.cpu = CpuSeconds() - cpu;
    f.bytesPerRecord = f.processed ? double(BytesWritten() - written) / f.processed : 0;
    f.error = processor.LastError();
    return f;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes, userCounts;
    int logMode = 4, batchRows = 0;
    bool baselines = true;
    const QStringList args = app.arguments();
    QList<int> *into = &sizes;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--users"))
            into = &userCounts;
        else if (args[i] == QLatin1String("--log-mode") && i + 1 < args.size())
            logMode = args[++i].toInt();
        else if (args[i] == QLatin1String("--no-baseline"))
            baselines = false;
        else if (args[i] == QLatin1String("--batch") && i + 1 < args.size())
            batchRows = args[++i].toInt();
        else if (args[i].toInt() > 0)
            into->append(args[i].toInt());
        else {
            std::fprintf(stderr, "usage: harvester_bench [N ...] [--users U ...] [--log-mode M] [--batch ROWS] [--no-baseline]\n");
            return 2;
        }
    }
    if (sizes.isEmpty())
        sizes = {10000, 100000};
    if (userCounts.isEmpty())
        userCounts = {10, 10000};

    double autocommit = 0, batched = 0, textAutocommit = 0, textBatched = 0;
    if (baselines) {
    Baselines(&autocommit, &batched, true);
    Baselines(&textAutocommit, &textBatched, false);
    std::printf("baseline, same data source: one-row autocommit INSERT %.0f rows/s; 500-row transactions %.0f rows/s "
                "(prepared; as statement text %.0f and %.0f)\n",
                autocommit, batched, textAutocommit, textBatched);
    std::fflush(stdout);
    }
    bool ok = true;
    for (int users : userCounts) {
        for (int n : sizes) {
            const Figure f = Processing(n, users, logMode, batchRows);
            const double rate = f.seconds > 0 ? f.processed / f.seconds : 0;
            std::printf("log processing N=%d users=%d log_mode=%d: %d records in %.2f s = %.0f records/s "
                        "(%.2f of the 500-row rate, target 0.33); %.0f us CPU and %.1f KB written per record%s%s\n",
                        n, users, logMode, f.processed, f.seconds, rate, batched > 0 ? rate / batched : 0,
                        f.processed ? f.cpu * 1e6 / f.processed : 0, f.bytesPerRecord / 1024,
                        f.error.isEmpty() ? "" : "; stopped: ", f.error.toUtf8().constData());
            std::fflush(stdout);
            ok = ok && f.processed == n;
        }
    }
    return ok ? 0 : 1;
}
