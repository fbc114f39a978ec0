#pragma once
// The PC side of the gate protocol: one connection (TCP socket or tty), request/answer calls
// with time-outs. Used by libtcpcom.so and libhostcom.so; each library owns one instance.

#include "GateFrame.h"

#include <cstddef>
#include <cstdint>

namespace gateproto {

class GateClient {
public:
    GateClient() = default;
    ~GateClient() { Close(); }
    GateClient(const GateClient &) = delete;
    GateClient &operator=(const GateClient &) = delete;

    int ConnectTcp(const char *address, int port);
    int ConnectSerial(const char *device, int baud);
    // Sends "bye" (without waiting for its answer) and closes. Returns 0, or
    // GATE_E_NOT_CONNECTED when nothing was open.
    int Disconnect();
    // Closes without the bye. Returns 0, or GATE_E_NOT_CONNECTED when nothing was open.
    int Abort();
    bool IsOpen() const { return fd_ >= 0; }

    // One request and its answer. When the gate answers status 0 the answer payload must be
    // exactly answerLen bytes (copied to answer). Returns the gate's status or a library error.
    int Call(uint16_t command, const void *request, size_t requestLen, void *answer, size_t answerLen);

    void SetTimeoutMs(int ms) { timeoutOverride_ = ms > 0 ? ms : 0; }
    int TimeoutMs() const;
    int ConnectTimeoutMs() const;
    uint32_t Session() const { return session_; }

private:
    void Close();
    int SendAll(const uint8_t *data, size_t len, int deadlineMs);
    int fd_ = -1;
    bool isSocket_ = false;
    uint16_t seq_ = 0;
    uint32_t session_ = 0;
    int timeoutOverride_ = 0;
    Decoder decoder_;
};

} // namespace gateproto
