// Benchmark of the log list's queries on a large log (not a test: it prints figures).
//   logs_bench [ROWS]   default 1000000
// Fills log_telmar_plus of a temporary site with ROWS rows spread over 90 days, then times the
// monitor-mode query (21 newest of the last week) of every log kind and a manual-mode query
// with a user-name filter, each as the screen runs it (LoadGrid through the access component).

#include "logs/LogListLogic.h"
#include "TestControls.h"
#include "TestSite.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QTextStream>

using namespace orvel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 1000000;
    QTextStream out(stdout);
    test::TestSite site;
    if (!site.ok()) {
        out << "cannot create a site: " << site.error() << "\n";
        return 1;
    }
    const int types[] = {1, 1, 1, 1, 1, 1, 1, 28, 36, 160, 250, 18};
    const QDateTime start = QDateTime(QDate::currentDate().addDays(-90), QTime(0, 0));
    QElapsedTimer fill;
    fill.start();
    rdo_cntl db;
    const int batch = 5000;
    for (int i = 0; i < rows;) {
        db.BeginTrans();
        for (int j = 0; j < batch && i < rows; ++j, ++i) {
            const QDateTime t = start.addSecs(qint64(i) * 90 * 86400 / rows);
            const int type = types[i % 12];
            site.exec(QStringLiteral("INSERT INTO log_telmar_plus VALUES(%1, '%2', %3, 'm', 'G', '%4', 'user%5', "
                                     "'00001', 'dept%6', '%7', 'gate%8', '%9', '127.0.0.2', 'Z', 'IC', 2, '%2', '%2')")
                          .arg(i + 1)
                          .arg(t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                          .arg(type)
                          .arg(i % 5000 + 1, 10, 10, QLatin1Char('0'))
                          .arg(i % 5000)
                          .arg(i % 20)
                          .arg(i % 50 + 1, 5, 10, QLatin1Char('0'))
                          .arg(i % 50)
                          .arg(i % 2 ? QStringLiteral("退室") : QStringLiteral("入室")));
        }
        db.CommitTrans();
    }
    site.exec(QStringLiteral("ANALYZE"));
    out << "filled " << rows << " rows in " << fill.elapsed() << " ms\n";

    auto run = [&](const char *label, logs::LogFilter f) {
        rdo_cntl grid;
        logs::DeclareLogGridFields(grid);
        logs::ApplyLogFilter(f, grid, true);
        test::Grid g(1, 10);
        QElapsedTimer t;
        t.start();
        const int loaded = grid.LoadGrid(&g, -1) - 1;
        out << label << ": " << loaded << " rows in " << t.nsecsElapsed() / 1000 << " us\n";
        out.flush();
    };
    logs::LogFilter f;
    f.from = QDate::currentDate().addDays(-7).toString(QStringLiteral("yyyy/MM/dd"));
    f.to = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    f.monitor = true;
    for (int kind = 0; kind < 4; ++kind) {
        f.listType = kind;
        run(("monitor " + logs::LogKind(kind).name.toStdString()).c_str(), f);
    }
    f.monitor = false;
    f.listType = 3;
    f.userName = QStringLiteral("user12");
    f.from = QDate::currentDate().addDays(-90).toString(QStringLiteral("yyyy/MM/dd"));
    run("manual, all logs of 90 days, user name 'user12%'", f);
    return 0;
}
