#pragma once

// "The screen became active / stopped being active", for screens that work only while the
// operator looks at them (the log list's refresh, the lists reloaded on activation). A screen
// inside the main window is a sub-window with its own activation; a screen shown on its own
// (tests, tools) is a window. Showing a screen counts as activating it.

#include <functional>

class QWidget;

void WatchActivation(QWidget *screen, std::function<void(bool active)> handler);
