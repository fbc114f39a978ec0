// fp_enroll_shot OUT.png: a picture of frmFpEnroll at the end of a successful enrolment, with both
// captured images, for screenshots (scripts/screenshot-fp-enroll runs it under Xvfb). The site is
// $ORVEL_HOME with its scanner simulator running; the window's report to the current screen is
// the moment the picture is taken, just before the window closes.

#include "biometric/ui/frmFpEnroll.h"

#include "CurrentScreen.h"
#include "IniRead.h"
#include "Public.h"

#include "FpSettings.h"
#include "LineClient.h"
#include "OrvelDefs.h"
#include "SiteFolder.h"
#include "rdo_cntl.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <cstdio>

namespace {

class ShotScreen : public QWidget, public CurrentScreen
{
public:
    explicit ShotScreen(QString out) : m_out(std::move(out)) {}
    void FP_SetTplId(bool ok, qint16 tplNo) override
    {
        if (!ok)
            return;
        QCoreApplication::processEvents();
        m_rc = QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), m_out});
        std::printf("enrolled as template %d; picture %s\n", tplNo, qPrintable(m_out));
    }
    int rc() const { return m_rc; }

private:
    QString m_out;
    int m_rc = 1;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: ORVEL_HOME=SITE fp_enroll_shot OUT.png   (the site's fpsim running)\n");
        return 2;
    }
    orvel::UseSiteOdbcIni();
    rdo_cntl db;
    if (!ReadIni() || !db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword))) {
        std::fprintf(stderr, "fp_enroll_shot: cannot open the site %s\n", qPrintable(orvel::SiteFolder()));
        return 1;
    }
    ShotScreen screen(QString::fromLocal8Bit(argv[1]));
    SetCurrentScreen(&screen);
    // The finger rests on the scanner for both captures.
    const std::string socket = QFile::encodeName(orvel::ReadFpScannerSettings().socketPath).toStdString();
    if (!(devsim::LineCall(socket, "place demo-u1-right-index", 5000).result == devsim::LineReply::Ok)) {
        std::fprintf(stderr, "fp_enroll_shot: no scanner simulator at %s\n", socket.c_str());
        return 1;
    }
    auto *w = new frmFpEnroll;
    w->SetFpInfo(QStringLiteral("0000000001"), 4, QStringLiteral("山田 太郎"), GetFingerName(4));
    w->move(420, 200);
    w->show();
    QObject::connect(w, &QObject::destroyed, &app, &QCoreApplication::quit);
    QTimer::singleShot(800, w, [w] { w->StartEnroll(); });
    QTimer::singleShot(60000, &app, &QCoreApplication::quit);
    app.exec();
    devsim::LineCall(socket, "lift", 5000);
    return screen.rc();
}
