// Benchmark (not a test): imports N users (default 10,000) from a Shift_JIS file into a new
// SQLite site, registering their 100 departments automatically, and prints the time taken.
//   build/bin/import_bench [N]
#include "MasterImports.h"
#include "OrvelDefs.h"
#include "SiteSetup.h"
#include "Sjis.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <ctime>

namespace {
class CountingHost : public impexp::ImportHost
{
public:
    bool Confirm(const QString &) override { return true; }
    void Warn(const QString &) override { ++warnings; }
    void Progress(int, int) override
    {
        if (firstBatchMs < 0)
            firstBatchMs = clock.elapsed();
    }
    QElapsedTimer clock;
    qint64 firstBatchMs = -1; // the check pass and the first batch of the write pass
    int warnings = 0;
};
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    const int users = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTemporaryDir tmp;
    const QString site = tmp.filePath(QStringLiteral("site"));
    QString error;
    if (!orvel::CreateSite(site, orvel::SiteOptions(), &error)) {
        out << "cannot create the site: " << error << "\n";
        return 1;
    }
    orvel::UseSiteOdbc(site);
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword))) {
        out << "cannot open the site database\n";
        return 1;
    }

    QString text;
    for (int i = 1; i <= users; ++i) {
        const int emp = 100 + i % 100;
        text += QStringLiteral("%1,利用者%1,USER %1,%2,部署%2,備考 %1,%3\r\n").arg(i).arg(emp).arg(1 + i % 2);
    }
    const QString file = tmp.filePath(QStringLiteral("users.csv"));
    QFile f(file);
    if (!f.open(QIODevice::WriteOnly) || f.write(orvel::ToSjis(text)) < 0)
        return 1;
    f.close();

    impexp::UserImportOptions options;
    options.autoEmp = true;
    CountingHost host;
    const std::clock_t cpuStart = std::clock();
    host.clock.start();
    const impexp::ImportOutcome outcome = impexp::UserImport(options).Run(file, host);
    const qint64 ms = host.clock.elapsed();
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    if (outcome.kind != impexp::ImportOutcome::Kind::Done) {
        out << "import failed: " << outcome.message << "\n";
        return 1;
    }
    out << "import of " << outcome.records << " users with automatic registration of " << outcome.registeredEmps
        << " departments: " << QString::number(ms / 1000.0, 'f', 2) << " s (target 10 s for 10,000 users)\n"
        << "  check pass and first batch: " << QString::number(host.firstBatchMs / 1000.0, 'f', 2)
        << " s; processor time of this program: " << QString::number(cpu, 'f', 2)
        << " s (wall-clock time above it is time spent waiting for the processor or the disk)\n";
    db.Term();
    return 0;
}
