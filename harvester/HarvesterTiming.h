#pragma once

// Durations of the log collector that Orvel.ini does not carry. The defaults are the service's
// own; the environment may shorten them (tests, demos): ORVEL_HARVESTER_START_DELAY_MS,
// ORVEL_HARVESTER_FIRST_TICK_MS, ORVEL_HARVESTER_UNLOCK_RETRY_MS, ORVEL_HARVESTER_UNLOCK_GIVEUP_MS.

namespace harvester {

struct HarvesterTiming
{
    int startDelayMs = 500;     // after start-up, before the window hides and ticking starts
    int firstTickMs = 1000;     // the first tick; later ticks come every WAIT_SEC
    int unlockRetryMs = 50;     // pause between attempts to release a gate's access lock
    int unlockGiveUpMs = 60000; // a lock file that stays unwritable must not hang the service

    static HarvesterTiming FromEnvironment();
};

} // namespace harvester
