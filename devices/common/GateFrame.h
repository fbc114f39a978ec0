#pragma once
// Frames of the gate protocol (devices/PROTOCOL.md): encoding and a stream decoder.
// Plain C++ without Qt; used by libtcpcom, libhostcom and the gate simulator.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace gateproto {

inline constexpr uint8_t kMagic0 = 'K';
inline constexpr uint8_t kMagic1 = 'G';
inline constexpr uint8_t kVersion = 1;
inline constexpr uint8_t kKindRequest = 'Q';
inline constexpr uint8_t kKindAnswer = 'A';
inline constexpr size_t kHeaderSize = 16;
inline constexpr size_t kTrailerSize = 4;
inline constexpr uint32_t kMaxPayload = 4096;

enum Command : uint16_t {
    CmdPoll = 0x01,
    CmdBye = 0x02,
    CmdEeprom = 0x03,
    CmdSetTime = 0x04,
    CmdReadProps = 0x05,
    CmdWriteProps = 0x06,
    CmdUploadStart = 0x07,
    CmdUploadLog = 0x08,
    CmdSummary = 0x09,
    CmdUserIdByIndex = 0x0A,
    CmdMasterIdByIndex = 0x0B,
    CmdExists = 0x0C,
    CmdDelete = 0x0D,
    CmdCardProfile = 0x0E,
    CmdFingerProfile = 0x0F,
    CmdDeleteUnassigned = 0x10,
    CmdAck = 0x11,
};

// Payload of an ack request, and the start of an upload request: the last log record the PC holds
// safely (sequence number 0 = none), little-endian.
struct UploadAck {
    int32_t seq = 0;
    uint32_t epoch = 0;
};
inline constexpr size_t kUploadAckSize = 8;

// Payload of an upload request: the acknowledgement, then the last record the PC received on this
// connection (0 = none): the gate sends the first unacknowledged record numbered above it.
struct UploadRequest {
    UploadAck ack;
    int32_t afterSeq = 0;
    uint32_t afterEpoch = 0;
};
inline constexpr size_t kUploadRequestSize = 16;

// Name used by the simulator's control interface ("poll", "upload", ...); empty if unknown.
std::string CommandName(uint16_t cmd);
// Command of a name (also accepts a number); -1 if unknown, 0 for "any".
int CommandFromName(const std::string &name);

struct Frame {
    uint8_t kind = kKindRequest;
    uint16_t command = 0;
    uint16_t seq = 0;
    uint32_t status = 0;
    std::vector<uint8_t> payload;
};

uint32_t Crc32(const uint8_t *data, size_t len, uint32_t crc = 0);

std::vector<uint8_t> Encode(const Frame &f);

// Incremental decoder: append received bytes, then take frames out one by one.
class Decoder {
public:
    enum Result { NeedMore, Complete, Malformed };
    void Append(const uint8_t *data, size_t len) { buf_.insert(buf_.end(), data, data + len); }
    // Takes the next frame when one is complete. Malformed: bad magic/version/kind, a length
    // over kMaxPayload, or a checksum mismatch; the stream cannot be resynchronised then.
    Result Next(Frame &out, std::string *why = nullptr);
    bool HasPartial() const { return !buf_.empty(); }
    void Clear() { buf_.clear(); }

private:
    std::vector<uint8_t> buf_;
};

} // namespace gateproto
