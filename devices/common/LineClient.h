#pragma once
// Client side of a simulated device's line protocol over a Unix-domain socket: one command per
// line, answered by zero or more data lines and then "OK" or "ERR message". Used by the device
// libraries to reach their simulator and by a simulator's "ctl" subcommand. Plain C++, no Qt.

#include <string>
#include <vector>

namespace devsim {

struct LineReply
{
    enum Result { Ok, Err, Unreachable };
    Result result = Unreachable;
    std::vector<std::string> lines; // data lines before OK / ERR
    std::string error;              // text after "ERR ", or why the simulator could not be reached
};

// Connects to socketPath, sends command (a newline is added), reads the answer and closes.
// Unreachable: no simulator listens there (no file, refused, path too long) or it did not
// answer within timeoutMs.
LineReply LineCall(const std::string &socketPath, const std::string &command, int timeoutMs);

} // namespace devsim
