#include "SiteMedia.h"

#include "SynthFinger.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QtEndian>

#include <cmath>
#include <vector>

namespace orvel {
namespace {

constexpr int kRate = 22050;

struct Note {
    double hz;  // 0: silence
    int ms;
};

// Both file formats keep their header numbers little-endian.
template <typename T>
void AppendLittleEndian(QByteArray &out, T v)
{
    char b[sizeof(T)];
    qToLittleEndian(v, b);
    out.append(b, sizeof(T));
}

// 16-bit mono PCM; each note fades in and out over 8 ms so that it does not click.
QByteArray Wave(const std::vector<Note> &notes)
{
    QByteArray pcm;
    for (const Note &n : notes) {
        const int count = kRate * n.ms / 1000, fade = kRate * 8 / 1000;
        for (int i = 0; i < count; ++i) {
            double v = 0;
            if (n.hz > 0) {
                const double env = std::min({1.0, double(i) / fade, double(count - 1 - i) / fade});
                const double t = double(i) / kRate;
                // A fundamental with a little of its octave: a soft, clearly audible beep.
                v = env * 0.45 * (std::sin(2 * M_PI * n.hz * t) + 0.25 * std::sin(4 * M_PI * n.hz * t));
            }
            const qint16 s = qint16(std::lround(v * 32767 / 1.25));
            pcm.append(char(s & 0xFF)).append(char((s >> 8) & 0xFF));
        }
    }
    QByteArray out;
    const auto u32 = [&out](quint32 v) { AppendLittleEndian(out, v); };
    const auto u16 = [&out](quint16 v) { AppendLittleEndian(out, v); };
    out.append("RIFF");
    u32(quint32(36 + pcm.size()));
    out.append("WAVEfmt ");
    u32(16);
    u16(1); // PCM
    u16(1); // mono
    u32(kRate);
    u32(kRate * 2);
    u16(2);
    u16(16);
    out.append("data");
    u32(quint32(pcm.size()));
    return out + pcm;
}

// A 24-bit bottom-up BMP of a synthetic finger, dark blue ridges on white.
QByteArray FingerBitmap(int width, int height)
{
    // Drawn at three times the size and averaged down, so that the fine ridges do not alias.
    constexpr int k = 3;
    std::vector<uint8_t> big(size_t(width * k * height * k)), grey(size_t(width * height));
    fp::RenderPlain(fp::MakeFinger("finger-4"), width * k, height * k, big.data());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            int sum = 0;
            for (int j = 0; j < k; ++j)
                for (int i = 0; i < k; ++i)
                    sum += big[size_t((y * k + j) * width * k + x * k + i)];
            grey[size_t(y * width + x)] = uint8_t(sum / (k * k));
        }
    const int rowBytes = (width * 3 + 3) & ~3;
    QByteArray out;
    const auto u32 = [&out](quint32 v) { AppendLittleEndian(out, v); };
    const auto u16 = [&out](quint16 v) { AppendLittleEndian(out, v); };
    out.append("BM");
    u32(quint32(54 + rowBytes * height));
    u32(0);
    u32(54);
    u32(40);
    u32(quint32(width));
    u32(quint32(height));
    u16(1);
    u16(24);
    u32(0);
    u32(quint32(rowBytes * height));
    u32(2835);
    u32(2835);
    u32(0);
    u32(0);
    for (int y = height - 1; y >= 0; --y) {
        QByteArray row(rowBytes, '\0');
        for (int x = 0; x < width; ++x) {
            const int g = grey[size_t(y * width + x)];
            row[3 * x] = char(g + (255 - g) * 11 / 20); // blue
            row[3 * x + 1] = char(g + (255 - g) * 3 / 20);
            row[3 * x + 2] = char(g);
        }
        out.append(row);
    }
    return out;
}

bool Write(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

} // namespace

QStringList SiteSoundNames()
{
    return {QStringLiteral("1.wav"), QStringLiteral("2.wav"), QStringLiteral("5.wav"), QStringLiteral("6.wav"),
            QStringLiteral("11.wav")};
}

bool WriteSiteMedia(const QString &dir, QString *error)
{
    const QDir d(dir);
    if (!d.mkpath(QStringLiteral("wav"))) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(d.filePath(QStringLiteral("wav")));
        return false;
    }
    const std::vector<std::vector<Note>> sounds = {
        {{660, 110}, {0, 50}, {880, 140}},                  // 1: place your finger
        {{880, 110}, {0, 40}, {587, 160}},                  // 2: remove your finger
        {{1047, 90}, {1319, 90}, {1568, 180}},              // 5: matched
        {{330, 180}, {0, 60}, {247, 260}},                  // 6: not matched
        {{1047, 90}, {1319, 90}, {1568, 90}, {2093, 240}},  // 11: stored
    };
    const QStringList names = SiteSoundNames();
    for (int i = 0; i < names.size(); ++i)
        if (!Write(d.filePath(QStringLiteral("wav/") + names[i]), Wave(sounds[size_t(i)]), error))
            return false;
    return Write(d.filePath(QStringLiteral("FpImage.bmp")), FingerBitmap(72, 96), error);
}

} // namespace orvel
