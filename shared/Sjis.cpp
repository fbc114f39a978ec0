#include "Sjis.h"

#include <iconv.h>

#include <cerrno>

namespace orvel {
namespace {

// One conversion through iconv. An unconvertible input character is replaced by `bad` and
// skipped, so a single odd character never loses the rest of the line.
QByteArray Convert(const char *to, const char *from, const QByteArray &in, const QByteArray &bad,
                   int badInputWidth)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return in;
    QByteArray out;
    out.reserve(in.size() * 2 + 8);
    char *src = const_cast<char *>(in.constData());
    size_t srcLeft = static_cast<size_t>(in.size());
    char buf[4096];
    while (srcLeft > 0) {
        char *dst = buf;
        size_t dstLeft = sizeof buf;
        const size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<qsizetype>(dst - buf));
        if (rc == static_cast<size_t>(-1)) {
            if (errno == E2BIG)
                continue;
            // EILSEQ or EINVAL: replace the offending input and go on.
            out.append(bad);
            int skip = badInputWidth;
            if (badInputWidth == 0) {
                // UTF-8: skip one whole character.
                const unsigned char c = static_cast<unsigned char>(*src);
                skip = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
            }
            const size_t n = std::min(srcLeft, static_cast<size_t>(skip));
            src += n;
            srcLeft -= n;
        }
    }
    iconv_close(cd);
    return out;
}

} // namespace

QByteArray ToSjis(const QString &text)
{
    return Convert("CP932", "UTF-8", text.toUtf8(), "?", 0);
}

QString FromSjis(const QByteArray &bytes)
{
    return QString::fromUtf8(Convert("UTF-8", "CP932", bytes, "\xEF\xBF\xBD", 1));
}

} // namespace orvel
