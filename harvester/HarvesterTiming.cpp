#include "HarvesterTiming.h"

#include <QByteArray>

namespace harvester {
namespace {
int EnvMs(const char *name, int def)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v >= 0 ? v : def;
}
} // namespace

HarvesterTiming HarvesterTiming::FromEnvironment()
{
    HarvesterTiming t;
    t.startDelayMs = EnvMs("ORVEL_HARVESTER_START_DELAY_MS", t.startDelayMs);
    t.firstTickMs = EnvMs("ORVEL_HARVESTER_FIRST_TICK_MS", t.firstTickMs);
    t.unlockRetryMs = EnvMs("ORVEL_HARVESTER_UNLOCK_RETRY_MS", t.unlockRetryMs);
    t.unlockGiveUpMs = EnvMs("ORVEL_HARVESTER_UNLOCK_GIVEUP_MS", t.unlockGiveUpMs);
    return t;
}

} // namespace harvester
