#pragma once

// What logic below the windows has to bring to the operator's attention while it runs, at the
// moment it happens (a request the provisioning service refused, a service error, a gate that
// stopped answering). Logic reports it here; the console's windows show it
// (the message boxes and the gate error window plug in at start-up), and a program or test
// without windows may plug in nothing, in which case nothing is shown.
//
// Rules that end with an outcome return it instead; this is only for news in the middle of work.

#include <QString>

#include <functional>

namespace notices {

enum class Tone
{
    Information,
    Warning,
    Critical,
};

// A message for the operator.
void Tell(const QString &text, Tone tone = Tone::Warning);
// A gate that stopped answering: the gate error window is shown for it (modal; returns when the
// operator has dealt with it).
void GateFailed(const QString &gateId);

struct Sinks
{
    std::function<void(const QString &text, Tone tone)> tell;
    std::function<void(const QString &gateId)> gateFailed;
};
void SetSinks(Sinks sinks);

} // namespace notices
