#pragma once

// Console-wide state and helpers that every screen uses: the edition, the application title,
// the busy flag held while an assist window is open, the current screen, the settings object
// and the file names read from Orvel.ini.

#include "ConsoleState.h"

#include <QString>

#include <functional>

class QWidget;
class CurrentScreen;
class clSettingInfo;

// The title strip's mode display of the main window (lblSubTitle_1); does nothing without a
// main window. mode 0-3; an empty caption or a colour of 0 takes the mode's default.
void SetSubTitle(int mode, const QString &caption = QString(), quint32 colour = 0);

// ---- main window, busy flag -------------------------------------------------------------------
void SetMainWindow(QWidget *w);
QWidget *MainWindow();

void SetBusyOn();  // disables the main window while an assist window is open
void SetBusyOff(); // the assist window calls it when it unloads
bool IsBusy();
// Lets events run until the busy flag drops, then brings the main window to the top and enables
// it. Code after the call therefore runs only once the assist window has gone.
void WaitBusyOff();
// One round of event processing inside WaitBusyOff; tests replace it to drive the wait.
void SetBusyEventPump(std::function<void()> pump);
// Shows an assist window under the busy flag and returns once it has gone: SetBusyOn, show,
// WaitBusyOff. The flag drops however the window goes away (its own buttons, the title bar,
// Escape, being deleted), so the main window can never stay disabled behind a closed window.
void OpenUnderBusy(QWidget *window);

// ---- current screen ----------------------------------------------------------------------------
// The window assist windows report to. A widget that does not implement CurrentScreen clears it;
// a destroyed widget is forgotten automatically.
void SetCurrentScreen(QWidget *screen);
QWidget *GetCurrentScreenWidget();

// ---- settings object ---------------------------------------------------------------------------
void SetSettings(clSettingInfo *settings); // owned by the main window
clSettingInfo *Settings();

// ---- window tool -------------------------------------------------------------------------------
// Places a window at the top of the Z order without moving or resizing it, and shows it.
class clWinTool
{
public:
    static void SetWinOrder(QWidget *w);
};

// Installs the access component's busy pointer and message hooks.
void InstallRdoHooks();
