#include "GateFrame.h"

#include <cstdlib>
#include <cstring>

namespace gateproto {

namespace {
struct Named {
    uint16_t cmd;
    const char *name;
};
const Named kNames[] = {
    {CmdPoll, "poll"},
    {CmdBye, "bye"},
    {CmdEeprom, "eeprom"},
    {CmdSetTime, "settime"},
    {CmdReadProps, "readprops"},
    {CmdWriteProps, "writeprops"},
    {CmdUploadStart, "uploadstart"},
    {CmdUploadLog, "upload"},
    {CmdSummary, "summary"},
    {CmdUserIdByIndex, "userid"},
    {CmdMasterIdByIndex, "masterid"},
    {CmdExists, "exists"},
    {CmdDelete, "delete"},
    {CmdCardProfile, "card"},
    {CmdFingerProfile, "finger"},
    {CmdDeleteUnassigned, "deleteunassigned"},
    {CmdAck, "ack"},
};

void PutU16(std::vector<uint8_t> &v, uint16_t x)
{
    v.push_back(uint8_t(x));
    v.push_back(uint8_t(x >> 8));
}
void PutU32(std::vector<uint8_t> &v, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        v.push_back(uint8_t(x >> (8 * i)));
}
uint16_t GetU16(const uint8_t *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t GetU32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
} // namespace

std::string CommandName(uint16_t cmd)
{
    for (const auto &n : kNames)
        if (n.cmd == cmd)
            return n.name;
    return {};
}

int CommandFromName(const std::string &name)
{
    if (name == "any" || name == "*")
        return 0;
    for (const auto &n : kNames)
        if (name == n.name)
            return n.cmd;
    char *end = nullptr;
    long v = std::strtol(name.c_str(), &end, 0);
    if (!name.empty() && end && *end == 0 && v > 0 && v < 0x10000)
        return int(v);
    return -1;
}

uint32_t Crc32(const uint8_t *data, size_t len, uint32_t crc)
{
    static uint32_t table[256];
    static bool ready = [] {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        return true;
    }();
    (void)ready;
    crc = ~crc;
    for (size_t i = 0; i < len; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::vector<uint8_t> Encode(const Frame &f)
{
    std::vector<uint8_t> v;
    v.reserve(kHeaderSize + f.payload.size() + kTrailerSize);
    v.push_back(kMagic0);
    v.push_back(kMagic1);
    v.push_back(kVersion);
    v.push_back(f.kind);
    PutU16(v, f.command);
    PutU16(v, f.seq);
    PutU32(v, f.status);
    PutU32(v, uint32_t(f.payload.size()));
    v.insert(v.end(), f.payload.begin(), f.payload.end());
    PutU32(v, Crc32(v.data(), v.size()));
    return v;
}

Decoder::Result Decoder::Next(Frame &out, std::string *why)
{
    auto fail = [&](const char *msg) {
        if (why)
            *why = msg;
        return Malformed;
    };
    // Check what is already there, byte by byte, so a bad frame is seen as early as possible.
    if (buf_.size() >= 1 && buf_[0] != kMagic0)
        return fail("bad magic");
    if (buf_.size() >= 2 && buf_[1] != kMagic1)
        return fail("bad magic");
    if (buf_.size() >= 3 && buf_[2] != kVersion)
        return fail("bad version");
    if (buf_.size() >= 4 && buf_[3] != kKindRequest && buf_[3] != kKindAnswer)
        return fail("bad kind");
    if (buf_.size() < kHeaderSize)
        return NeedMore;
    const uint32_t len = GetU32(&buf_[12]);
    if (len > kMaxPayload)
        return fail("payload too long");
    const size_t total = kHeaderSize + len + kTrailerSize;
    if (buf_.size() < total)
        return NeedMore;
    const uint32_t crc = GetU32(&buf_[kHeaderSize + len]);
    if (crc != Crc32(buf_.data(), kHeaderSize + len))
        return fail("checksum mismatch");
    out.kind = buf_[3];
    out.command = GetU16(&buf_[4]);
    out.seq = GetU16(&buf_[6]);
    out.status = GetU32(&buf_[8]);
    out.payload.assign(buf_.begin() + kHeaderSize, buf_.begin() + kHeaderSize + len);
    buf_.erase(buf_.begin(), buf_.begin() + total);
    return Complete;
}

} // namespace gateproto
