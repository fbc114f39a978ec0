#pragma once

// The console's gate access lock: the process-wide GateLock on the site's F_GATELOCK file, with
// window events processed between attempts, the hourglass pointer, and a clock whose second
// lasts Timing().gateLockSecondMs.

namespace orvel {
class GateLock;
}

orvel::GateLock &ConsoleGateLock();
