#pragma once

// Console tests that talk to real gates (gatesim) and the real provisioning service: every wait
// of the console, the gate library and the service is shortened, and put back afterwards.

#include "ConsoleTiming.h"
#include "ShellCtrl_Orvel.h"
#include "gatelib.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <cstdlib>

namespace consoletest {

// servicesProgram: a service program file; its folder is where the console starts the services.
inline void UseFastServices(const char *servicesProgram)
{
    tcp_SetTimeoutMs(300);
    ::setenv("ORVEL_COURIER_TICK_MS", "20", 1);
    ::setenv("ORVEL_GATE_TIMEOUT_MS", "300", 1);
    ConsoleTiming &t = Timing();
    t.gateRetryWaitMs = 1;
    t.gateLockSecondMs = 5;
    t.userReqPollMs = 5;
    t.userReqPassWaitMs = 1;
    t.userReqTimeoutMs = 20000;
    t.mainteStartMs = 1;
    t.srvExitWaitMs = 10;
    t.srvRestartWaitMs = 1;
    ShellCtrl_Orvel::SetProgramFolder(QFileInfo(QString::fromUtf8(servicesProgram)).absolutePath());
}

// Stops the services the test started and restores the defaults.
inline void StopFastServices()
{
    // Starting a service makes the site folder current; it is deleted with the test.
    QDir::setCurrent(QDir::tempPath());
    ShellCtrl_Orvel::KillCourier();
    ShellCtrl_Orvel::KillHarvester();
    ShellCtrl_Orvel::SetProgramFolder(QString());
    tcp_SetTimeoutMs(0);
    Timing() = ConsoleTiming{};
}

} // namespace consoletest
