#include "ConsoleTiming.h"

#include <QString>
#include <QStringList>

namespace {
// Every duration by its name in ConsoleTiming.
struct Named
{
    const char *name;
    int ConsoleTiming::*field;
};
constexpr Named kNamed[] = {
    {"startMs", &ConsoleTiming::startMs},
    {"srvChkSendMs", &ConsoleTiming::srvChkSendMs},
    {"dayMainteMs", &ConsoleTiming::dayMainteMs},
    {"autoReadMs", &ConsoleTiming::autoReadMs},
    {"mainteStartMs", &ConsoleTiming::mainteStartMs},
    {"loginMs", &ConsoleTiming::loginMs},
    {"gateRetryWaitMs", &ConsoleTiming::gateRetryWaitMs},
    {"gateLockSecondMs", &ConsoleTiming::gateLockSecondMs},
    {"userReqPollMs", &ConsoleTiming::userReqPollMs},
    {"userReqTimeoutMs", &ConsoleTiming::userReqTimeoutMs},
    {"userReqPassWaitMs", &ConsoleTiming::userReqPassWaitMs},
    {"srvExitWaitMs", &ConsoleTiming::srvExitWaitMs},
    {"srvExitPasses", &ConsoleTiming::srvExitPasses},
    {"srvRestartWaitMs", &ConsoleTiming::srvRestartWaitMs},
    {"cardInitializeMs", &ConsoleTiming::cardInitializeMs},
    {"cardPollMs", &ConsoleTiming::cardPollMs},
    {"cardReadOkMs", &ConsoleTiming::cardReadOkMs},
};

void ApplyEnvironment(ConsoleTiming &t)
{
    const QStringList items = qEnvironmentVariable("ORVEL_TIMING").split(u',', Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const QString name = item.section(u'=', 0, 0).trimmed();
        bool ok = false;
        const int value = item.section(u'=', 1).trimmed().toInt(&ok);
        if (!ok || value <= 0)
            continue;
        for (const Named &n : kNamed)
            if (name == QLatin1String(n.name))
                t.*(n.field) = value;
    }
}
} // namespace

ConsoleTiming &Timing()
{
    static ConsoleTiming timing = [] {
        ConsoleTiming t;
        ApplyEnvironment(t);
        return t;
    }();
    return timing;
}
