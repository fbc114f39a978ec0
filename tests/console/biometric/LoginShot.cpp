// login_shot OUT.png: a picture of the administrator login after a card that is no administrator's,
// for screenshots (scripts/screenshot-login runs it under Xvfb). The site is $ORVEL_HOME with its
// simulated card reader holding that card; the picture is taken once the card window has gone.

#include "IniRead.h"
#include "Public.h"
#include "frmLogin.h"

#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ORVEL_HOME=SITE login_shot OUT.png   (the site's cardsim holding a card)\n");
        return 2;
    }
    orvel::UseSiteOdbcIni();
    SetEdition(1);
    rdo_cntl db;
    if (!ReadIni() || !db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword))) {
        std::fprintf(stderr, "login_shot: cannot open the site %s\n", qPrintable(orvel::SiteFolder()));
        return 1;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    int rc = 1;
    auto *w = new frmLogin;
    w->move(440, 300);
    w->show();
    QTimer::singleShot(800, w, [&] {
        w->findChild<QPushButton *>(QStringLiteral("cmdICLogin"))->click(); // returns once the card was read
        std::printf("login: %s\n", qPrintable(w->findChild<QLabel *>(QStringLiteral("lblInfo"))->text()));
        QTimer::singleShot(500, w, [&] {
            rc = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), out});
            QCoreApplication::exit(0); // quit() would ask the login window, which refuses to close
        });
    });
    QTimer::singleShot(60000, &app, [] { QCoreApplication::exit(1); });
    app.exec();
    delete w;
    return rc;
}
