// The log list's queries on a large log (not a test: it prints figures).
//   logs_bench [ROWS] [--keep FILE] [--rounds N] [--now-only] [--user PREFIX]
//   default 1000000 rows, 2 rounds, user name prefix "user12" ("" for none: the period leads and
//   the query stops at the list's 100,000 rows)
// Fills log_telmar_plus of a temporary site with ROWS rows spread over 90 days (5000 users), then
// times, as the screen runs them through the access component:
//  - the monitor query (21 newest of the last week) of every log kind;
//  - the manual query of all kinds over 90 days with a user-name prefix, with its grid fill: as the
//    screen does it now (the narrowest filter leads, each row read as one text into the list's
//    model, shown by a view) and, in the same run, as it did before (the period leads, rows into a
//    widget grid cell by cell); beside them the query read cell by cell into a plain list, with
//    either leading.
// --now-only times the screen's way alone (for profiling it). With --keep FILE (SQLite only) the filled database is copied to FILE, and a later run on the same
// day with the same FILE starts from a copy of it instead of filling again (the fill takes minutes).

#include "MsfGrid.h"
#include "ServiceDb.h"
#include "TestControls.h"
#include "TestSite.h"
#include "logs/LogGridModel.h"
#include "logs/ui/LogGridView.h"
#include "logs/LogListLogic.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>

#include <ctime>

using namespace orvel;

namespace {
// Processor time of the whole process (the database and its driver run in it), in ms: on a
// loaded machine it varies far less than the elapsed time.
double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    QString keep;
    if (const qsizetype k = args.indexOf(QStringLiteral("--keep")); k >= 0 && k + 1 < args.size()) {
        keep = args[k + 1];
        args.remove(k, 2);
    }
    int rounds = 2;
    if (const qsizetype k = args.indexOf(QStringLiteral("--rounds")); k >= 0 && k + 1 < args.size()) {
        rounds = args[k + 1].toInt();
        args.remove(k, 2);
    }
    QString userPrefix = QStringLiteral("user12");
    if (const qsizetype k = args.indexOf(QStringLiteral("--user")); k >= 0 && k + 1 < args.size()) {
        userPrefix = args[k + 1];
        args.remove(k, 2);
    }
    const bool nowOnly = args.removeAll(QStringLiteral("--now-only")) > 0;
    const int rows = args.isEmpty() ? 1000000 : args[0].toInt();
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
    const bool sqlite = !test::OnPostgreSql();
    if (sqlite && !keep.isEmpty() && QFile::exists(keep)) {
        rdo_cntl db;
        db.Term();
        QFile::remove(site.path(QStringLiteral("telmar.db")));
        if (!QFile::copy(keep, site.path(QStringLiteral("telmar.db"))) ||
            !db.InitMDB(QStringLiteral("telmar_mdb"), QStringLiteral("vrn_operator"), QStringLiteral("curator63918zzz"))) {
            out << "cannot use " << keep << "\n";
            return 1;
        }
        out << "copied the filled log from " << keep << " in " << fill.elapsed() << " ms\n";
    } else {
        ServiceDb db(QStringLiteral("fill"));
        db.Open();
        const QString insert = QStringLiteral(
            "INSERT INTO log_telmar_plus VALUES(?, ?, ?, 'm', 'G', ?, ?, '00001', ?, ?, ?, ?, '127.0.0.2', 'Z', 'IC', 2, "
            "?, ?)");
        for (int i = 0; i < rows;) {
            db.Begin();
            for (int j = 0; j < 5000 && i < rows; ++j, ++i) {
                const QString t = start.addSecs(qint64(i) * 90 * 86400 / rows).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
                db.ExecBound(insert, {i + 1, t, types[i % 12], QStringLiteral("%1").arg(i % 5000 + 1, 10, 10, QLatin1Char('0')),
                                      QStringLiteral("user%1").arg(i % 5000), QStringLiteral("dept%1").arg(i % 20),
                                      QStringLiteral("%1").arg(i % 50 + 1, 5, 10, QLatin1Char('0')),
                                      QStringLiteral("gate%1").arg(i % 50),
                                      i % 2 ? QStringLiteral("退室") : QStringLiteral("入室"), t, t});
            }
            db.Commit();
        }
        db.Exec(QStringLiteral("ANALYZE"));
        db.Close();
        out << "filled " << rows << " rows in " << fill.elapsed() << " ms\n";
        if (sqlite && !keep.isEmpty() && !QFile::copy(site.path(QStringLiteral("telmar.db")), keep))
            out << "cannot keep a copy in " << keep << "\n";
    }
    out.flush();

    auto time = [&](const logs::LogFilter &f, const QString &lead, RdoGridControl &grid, bool packed = false) {
        rdo_cntl db;
        logs::DeclareLogGridFields(db);
        logs::ApplyLogFilter(f, db, true, lead);
        if (packed)
            logs::UsePackedLogRows(db, f.listType);
        QElapsedTimer t;
        t.start();
        const int loaded = db.LoadGrid(&grid, -1) - 1;
        return std::make_pair(loaded, t.nsecsElapsed() / 1e6);
    };
    logs::LogFilter f;
    f.from = QDate::currentDate().addDays(-7).toString(QStringLiteral("yyyy/MM/dd"));
    f.to = QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    f.monitor = true;
    for (int kind = 0; kind < 4; ++kind) {
        f.listType = kind;
        test::Grid g(1, 10);
        const auto [n, ms] = time(f, QString(), g);
        LogGridModel model(10);
        model.SetPackedFormats(logs::LogGridFormats());
        const auto [n2, packedMs] = time(f, QString(), model, true);
        out << "monitor " << logs::LogKind(kind).name << ": " << n << " rows in " << QString::number(ms, 'f', 1)
            << " ms cell by cell, " << n2 << " in " << QString::number(packedMs, 'f', 1)
            << " ms into the list's model\n";
    }
    out.flush();

    f.monitor = false;
    f.listType = 3;
    f.userName = userPrefix;
    f.from = QDate::currentDate().addDays(-90).toString(QStringLiteral("yyyy/MM/dd"));
    const QString label = QStringLiteral("manual, all logs of 90 days, user name '%1%'").arg(userPrefix);
    for (int round = 0; round < rounds; ++round) {
        const double cpu0 = CpuMs();
        QElapsedTimer choose;
        choose.start();
        const QString lead = logs::ChooseLeadColumn(f);
        const double chooseMs = choose.nsecsElapsed() / 1e6;
        // Now: the list's model, shown by its view.
        LogGridModel model(10);
        model.SetPackedFormats(logs::LogGridFormats());
        LogGridView view(&model);
        QElapsedTimer shown;
        const auto [n3, now] = time(f, lead, model, true);
        shown.start();
        view.resize(1000, 600);
        view.show();
        QCoreApplication::processEvents();
        const double showMs = shown.nsecsElapsed() / 1e6;
        const double cpuMs = CpuMs() - cpu0;
        out << label << " (round " << round + 1 << "): with the grid fill "
            << QString::number(now + chooseMs + showMs, 'f', 0) << " ms now (target 300; choosing the lead "
            << QString::number(chooseMs, 'f', 1) << " ms, reading " << QString::number(now, 'f', 0)
            << " ms, showing " << QString::number(showMs, 'f', 0) << " ms; processor time "
            << QString::number(cpuMs, 'f', 0) << " ms)";
        if (nowOnly) {
            out << "; rows " << n3 << "\n";
            out.flush();
            continue;
        }
        // Before: the period leading, a widget grid filled cell by cell; beside it the query alone,
        // rows read cell by cell into a plain list, with either leading.
        MsfGrid widgetGrid;
        widgetGrid.setCols(10);
        const auto [n2, before] = time(f, QString(), widgetGrid);
        test::Grid byPeriod(1, 10), byChoice(1, 10);
        const auto [n0, sql0] = time(f, QString(), byPeriod);
        const auto [n1, sql1] = time(f, lead, byChoice);
        out << ", " << QString::number(before, 'f', 0) << " ms before; read cell by cell into a list "
            << QString::number(sql1, 'f', 0) << " ms with '" << (lead.isEmpty() ? QStringLiteral("log_dt") : lead)
            << "' leading, " << QString::number(sql0, 'f', 0) << " ms with the period leading; rows " << n1 << " / "
            << n0 << " / " << n3 << " / " << n2
            << (n0 == n1 && n1 == n2 && n2 == n3 ? "" : " (counts differ!)") << "\n";
        out.flush();
    }
    return 0;
}
