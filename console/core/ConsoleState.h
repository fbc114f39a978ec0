#pragma once

// Console-wide state that logic and windows share, without widgets: the edition and the
// application title, the file names read from Orvel.ini, and the end of the program.

#include <QString>

class QObject;
class CurrentScreen;

#include <functional>

// ---- edition and titles ------------------------------------------------------------------------
void SetEdition(int edition); // once, when the main window initialises
int GetEdition();
// "Kavrin Manager 2 (Felica)" or "(Mifare)" once the main window has loaded.
QString AppTitle();
void SetAppTitle(const QString &title);

// 0-5 name the six enrollable fingers; anything else is "不明".
QString GetFingerName(int n);

// ---- Orvel.ini values ---------------------------------------------------------------------------
QString GateLockFileName();
QString TemplateFileName();
void SetGateLockFileName(const QString &name);
void SetTemplateFileName(const QString &name);

// ---- ending the program -----------------------------------------------------------------------
// Ends the console at once, as when start-up fails or the login is abandoned: the main window is
// not unloaded (no service stop). Tests install a handler to observe it instead.
void EndProgram();
bool IsProgramEnding();
void SetEndProgramHandler(std::function<void()> handler);
void ResetProgramEnding(); // tests: start a fresh run

// ---- the current screen -------------------------------------------------------------------------
// The window on which assist windows (pickers, card and fingerprint windows) call back. Held
// weakly: a screen that goes away is no longer current.
void SetCurrentScreenObject(QObject *screen);
QObject *GetCurrentScreenObject();
CurrentScreen *GetCurrentScreen(); // nullptr when there is none or it answers no routine
