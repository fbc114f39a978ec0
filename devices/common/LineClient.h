#pragma once
// The PC side of a simulated device's line protocol over a Unix-domain socket: one command per
// line, answered by data lines and then "OK" or "ERR message". One connection per command, so
// that a simulator that is not running simply means "no device attached". Plain C++ without Qt;
// used by the simulated device libraries and by the simulators' "ctl" commands.

#include <string>
#include <vector>

namespace devline {

struct Answer {
    bool ok = false;               // "OK" came back
    std::vector<std::string> data; // the data lines before it
    std::string error;             // "ERR" text, or why no answer came (connect, time-out ...)
    bool reached = false;          // false: nothing listens on the socket (or it is not one)
};

// Sends line to the socket at path and waits up to timeoutMs for the whole answer.
Answer Transact(const std::string &path, const std::string &line, int timeoutMs);

} // namespace devline
