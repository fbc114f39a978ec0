#pragma once
// Starts build/bin/gatesim as a child process and talks to its control port.

#include <map>
#include <string>
#include <vector>

#include <sys/types.h>

namespace testsupport {

struct SimGate {
    std::string transport; // "tcp" or "serial"
    std::string address;   // IP address or tty path
    int port = 0;
};

class SimProcess {
public:
    // args: gatesim arguments (without --control, which is added with port 0).
    explicit SimProcess(const std::vector<std::string> &args);
    ~SimProcess();
    bool ok() const { return ready_; }
    const SimGate &gate(const std::string &number) { return gates_[number]; }
    // Sends one control line; returns the answer lines (the last is "OK" or "ERR ...").
    std::vector<std::string> control(const std::string &line);
    // control() and asserts-free check that the last line is OK.
    bool controlOk(const std::string &line);
    bool alive();
    pid_t pid() const { return pid_; }
    int controlPort() const { return controlPort_; }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    bool ready_ = false;
    int controlPort_ = 0;
    std::map<std::string, SimGate> gates_;
};

// Raw TCP helpers for tests that play the gate or the PC themselves.
int ListenLoopback(int *port);
int ConnectLoopback(const std::string &address, int port);

} // namespace testsupport
