#pragma once

// Module ShellCtrl_Orvel: starts the edition's service programs from the console's own folder
// with the site folder as working directory, and kills them again. Only a process this console
// started is ever killed: its record keeps the pid with the process's start time, and a pid that
// no longer names that same process is left alone.

#include <QString>

namespace ShellCtrl_Orvel {

void StartHarvester();
void KillHarvester();
void StartCourier();
void KillCourier();

// The pid kept for server 1 (log collector) or 2 (provisioning service); 0 when none.
qint64 ProcessId(int serverId);
// Folder the programs are started from; empty = QCoreApplication::applicationDirPath().
void SetProgramFolder(const QString &folder);
// The program file of a service for the current edition ("Harvester1", "CourierMF1", ...).
QString ProgramName(int serverId);

} // namespace ShellCtrl_Orvel
