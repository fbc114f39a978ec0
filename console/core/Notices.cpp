#include "Notices.h"

namespace notices {
namespace {
Sinks &Installed()
{
    static Sinks sinks;
    return sinks;
}
} // namespace

void Tell(const QString &text, Tone tone)
{
    if (Installed().tell)
        Installed().tell(text, tone);
}

void GateFailed(const QString &gateId)
{
    if (Installed().gateFailed)
        Installed().gateFailed(gateId);
}

void SetSinks(Sinks sinks)
{
    Installed() = std::move(sinks);
}

} // namespace notices
