#include "Template.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace fp {

namespace {

constexpr uint8_t kMark[4] = {'K', 'M', 'F', 'T'};
constexpr uint8_t kVersion = 1;

uint32_t Checksum(const uint8_t *t)
{
    uint32_t h = 0x811C9DC5u;
    for (int i = 0; i < kTemplateBytes; ++i) {
        if (i >= 12 && i < 16)
            continue;
        h ^= t[i];
        h *= 0x01000193u;
    }
    return h;
}

} // namespace

void EncodeTemplate(const Minutiae &minutiae, int quality, uint8_t *out)
{
    std::memset(out, 0, kTemplateBytes);
    std::memcpy(out, kMark, 4);
    out[4] = kVersion;
    const int n = std::min<int>(int(minutiae.size()), kMaxMinutiae);
    out[5] = uint8_t(n);
    out[6] = uint8_t(kImageWidth & 0xFF);
    out[7] = uint8_t(kImageWidth >> 8);
    out[8] = uint8_t(kImageHeight & 0xFF);
    out[9] = uint8_t(kImageHeight >> 8);
    out[10] = uint8_t(std::clamp(quality, 0, 100));
    for (int i = 0; i < n; ++i) {
        const Minutia &m = minutiae[size_t(i)];
        uint8_t *p = out + kTemplateHeaderBytes + 4 * i;
        p[0] = uint8_t(std::clamp(int(std::lround(m.x)), 0, kImageWidth - 1));
        p[1] = uint8_t(std::clamp(int(std::lround(m.y)), 0, kImageHeight - 1));
        p[2] = uint8_t(int(std::lround(NormAngle(m.angle) / kTwoPi * 256)) & 0xFF);
        p[3] = uint8_t((m.type ? 0x80 : 0) | std::min<int>(m.quality, 100));
    }
    const uint32_t c = Checksum(out);
    for (int i = 0; i < 4; ++i)
        out[12 + i] = uint8_t(c >> (8 * i));
}

bool DecodeTemplate(const uint8_t *in, Minutiae *minutiae, int *quality)
{
    if (std::memcmp(in, kMark, 4) != 0 || in[4] != kVersion || in[5] > kMaxMinutiae)
        return false;
    uint32_t stored = 0;
    for (int i = 0; i < 4; ++i)
        stored |= uint32_t(in[12 + i]) << (8 * i);
    if (stored != Checksum(in))
        return false;
    if (minutiae) {
        minutiae->clear();
        for (int i = 0; i < in[5]; ++i) {
            const uint8_t *p = in + kTemplateHeaderBytes + 4 * i;
            Minutia m;
            m.x = p[0];
            m.y = p[1];
            m.angle = p[2] * kTwoPi / 256;
            m.type = (p[3] & 0x80) ? 1 : 0;
            m.quality = p[3] & 0x7F;
            minutiae->push_back(m);
        }
    }
    if (quality)
        *quality = in[10];
    return true;
}

} // namespace fp
