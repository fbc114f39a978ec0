// A console of another PC for the multi-PC tests, as a process of its own (the console's database
// connection is one per process). ORVEL_HOME names its site folder.
//   multipc_console send IP PORT USER_ID GUSER_ID   sends one card user to the gate; exit 0 when done
//   multipc_console hold GATE                        takes the gate's lock across PCs, prints "held"
//                                                    and waits to be killed
//   multipc_console dept ID NAME                     registers a department as the department
//                                                    screen does (bound fields, InsertBind)
#include "ConsoleTiming.h"
#include "OrvelDefs.h"
#include "PcGateLock.h"
#include "SiteFolder.h"
#include "TestControls.h"
#include "gatecomm/GUserCtrl.h"
#include "rdo_cntl.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    orvel::UseSiteOdbcIni();
    if (args.value(0) == QLatin1String("hold") && args.size() == 2) {
        orvel::PcGateLock lock;
        if (!lock.TryLock(args[1].toInt()))
            return 1;
        std::printf("held\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    rdo_cntl db;
    if (!db.InitMDB(QLatin1String(orvel::kDsn), QLatin1String(orvel::kDbUser), QLatin1String(orvel::kDbPassword)))
        return 3;
    if (args.value(0) == QLatin1String("dept") && args.size() == 3) {
        orvel::test::TextBox id, name, bikou, regist, refix;
        id.setText(args[1]);
        name.setText(args[2]);
        regist.setText(QStringLiteral("2026/12/07"));
        refix.setText(QStringLiteral("2026/12/07"));
        rdo_cntl write;
        write.setDataSource(QStringLiteral("telmar_v1.m_emp"));
        write.SetBind(QStringLiteral("emp_id"), &id, true, true);
        write.SetBind(QStringLiteral("emp_name"), &name);
        write.SetBind(QStringLiteral("emp_bikou"), &bikou);
        write.SetBind(QStringLiteral("regist_dt"), &regist);
        write.SetBind(QStringLiteral("refix_dt"), &refix);
        const bool ok = write.InsertBind(false);
        db.Term();
        return ok ? 0 : 1;
    }
    if (args.value(0) != QLatin1String("send") || args.size() != 5)
        return 2;
    Timing().userReqPollMs = 5;
    Timing().userReqPassWaitMs = 1;
    Timing().userReqTimeoutMs = 30000;
    GUserRecord user;
    user.user_id = args[3];
    user.guser_id = args[4];
    user.gauth_type = orvel::gauth_type::Card;
    const bool ok = SendUserRequest(kRequestWrite, args[1], args[2], QStringLiteral("00001"), user, false);
    db.Term();
    return ok ? 0 : 1;
}
