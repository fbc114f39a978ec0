#pragma once

// Start-up and the timers of the log collector program. With a display it shows the small
// window; without one (no DISPLAY/WAYLAND_DISPLAY, QT_QPA_PLATFORM=offscreen, or --headless) it
// does the same work with no window.

namespace harvester {

// Runs the program; the exit code: 0 after a stop, 1 when another collector already runs,
// 2 when the gate library is missing.
int RunHarvester(int argc, char **argv, int edition);

// Whether the program runs without a window, from its arguments and environment.
bool WantsHeadless(int argc, char **argv);

} // namespace harvester
