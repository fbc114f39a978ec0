#include "SynthFinger.h"

#include "Prng.h"

#include <algorithm>
#include <cmath>

namespace fp {

namespace {

// Region of the pad that carries minutiae, in finger coordinates: large enough that every shift
// and rotation of a touch still finds minutiae under the whole contact area.
constexpr float kPadA = 100;
constexpr float kPadB = 128;
constexpr float kMinSpacing = 12; // two ridge periods: closer minutiae would merge in the picture
constexpr int kMinutiaeWanted = 140;

// atan2 to about 1e-5 radians, several times faster than the library's; the renderer calls it
// once per pixel and minutia.
inline float FastAtan2(float y, float x)
{
    const float ax = std::fabs(x), ay = std::fabs(y);
    const float mx = std::max(ax, ay), mn = std::min(ax, ay);
    const float a = mn / (mx + 1e-20f);
    const float s = a * a;
    float r = ((-0.0464964749f * s + 0.15931422f) * s - 0.327622764f) * s * a + a;
    if (ay > ax)
        r = 1.57079637f - r;
    if (x < 0)
        r = 3.14159274f - r;
    return y < 0 ? -r : r;
}

bool InPad(float x, float y)
{
    return (x * x) / (kPadA * kPadA) + (y * y) / (kPadB * kPadB) < 1.0f;
}

bool FarFromAll(const std::vector<SynthMinutia> &ms, float x, float y, float spacing)
{
    for (const auto &m : ms)
        if ((m.x - x) * (m.x - x) + (m.y - y) * (m.y - y) < spacing * spacing)
            return false;
    return true;
}

// Ridge phase at a point of the finger.
float Phase(const Finger &f, float x, float y)
{
    const float dx = x - f.coreX, dy = y - f.coreY;
    float g;
    if (f.pattern == 0)
        g = std::sqrt(dx * dx + f.shapeA * f.shapeA * dy * dy);
    else
        g = dy + f.shapeA * std::exp(-dx * dx / (2 * f.shapeB * f.shapeB));
    float phase = kTwoPi / f.period * g + f.phase0;
    for (const auto &m : f.minutiae)
        phase += float(m.polarity) * FastAtan2(y - m.y, x - m.x);
    return phase;
}

} // namespace

float NormAngle(float a)
{
    a = std::fmod(a, kTwoPi);
    return a < 0 ? a + kTwoPi : a;
}

float AngleDiff(float a, float b)
{
    float d = std::fmod(a - b, kTwoPi);
    if (d > kPi)
        d -= kTwoPi;
    else if (d <= -kPi)
        d += kTwoPi;
    return d;
}

Finger MakeFinger(const std::string &identity)
{
    Finger f;
    f.identity = identity;
    f.seed = HashText(identity);
    Prng r(f.seed);
    f.pattern = r.Chance(0.6) ? 0 : 1;
    f.period = float(r.Uniform(7.6, 8.6));
    f.coreX = float(r.Uniform(-25, 25));
    f.coreY = float(r.Uniform(-35, 25));
    if (f.pattern == 0) {
        f.shapeA = float(r.Uniform(0.75, 1.0));
    } else {
        f.shapeA = float(r.Uniform(22, 42));
        f.shapeB = float(r.Uniform(34, 52));
    }
    f.phase0 = float(r.Uniform(0, kTwoPi));
    // Dart throwing: minutiae spread over the pad, never closer than two ridges, none right at
    // the centre of a whorl where the rings are too small to carry one.
    for (int attempt = 0; attempt < 20000 && int(f.minutiae.size()) < kMinutiaeWanted; ++attempt) {
        const float x = float(r.Uniform(-kPadA, kPadA)), y = float(r.Uniform(-kPadB, kPadB));
        if (!InPad(x, y) || !FarFromAll(f.minutiae, x, y, kMinSpacing))
            continue;
        if (f.pattern == 0 && std::hypot(x - f.coreX, y - f.coreY) < 14)
            continue;
        f.minutiae.push_back({x, y, 1});
    }
    // Half of them of each polarity, so that far from them the ridges keep their flow.
    for (size_t i = 0; i < f.minutiae.size(); ++i)
        f.minutiae[i].polarity = (i % 2) ? -1 : 1;
    for (size_t i = f.minutiae.size(); i > 1; --i)
        std::swap(f.minutiae[i - 1].polarity, f.minutiae[size_t(r.Below(int(i)))].polarity);
    return f;
}

Impression MakeImpression(const Finger &finger, uint64_t touchSeed, const TouchNoise &n)
{
    Prng r(touchSeed * 0x2545F4914F6CDD1Dull ^ finger.seed);
    Impression im;
    im.dx = float(r.Uniform(-n.maxShift, n.maxShift));
    im.dy = float(r.Uniform(-n.maxShift, n.maxShift));
    im.rotation = float(r.Uniform(-n.maxRotation, n.maxRotation));
    im.pressure = float(r.Uniform(0.65, 1.0));
    im.contactX = float(r.Uniform(-6, 6));
    im.contactY = float(r.Uniform(-6, 6));
    im.contactA = float(r.Uniform(64, 73));
    im.contactB = float(r.Uniform(88, 98));
    im.noise = n.noise * float(r.Uniform(0.7, 1.2));
    // Elastic distortion of the whole pad, then finer waves that move nearby minutiae a little
    // each, independently of minutiae farther away.
    const float big = float(r.Uniform(0, 1.5));
    for (int i = 0; i < 2; ++i) {
        const float len = float(r.Uniform(150, 250)), dir = float(r.Uniform(0, kTwoPi));
        im.skin.push_back({big * float(r.Uniform(-1, 1)), big * float(r.Uniform(-1, 1)), kTwoPi / len * std::cos(dir),
                           kTwoPi / len * std::sin(dir), float(r.Uniform(0, kTwoPi))});
    }
    for (int i = 0; i < 4; ++i) {
        const float len = float(r.Uniform(25, 50)), dir = float(r.Uniform(0, kTwoPi));
        im.skin.push_back({n.jitter * float(r.Normal()) / 2, n.jitter * float(r.Normal()) / 2,
                           kTwoPi / len * std::cos(dir), kTwoPi / len * std::sin(dir), float(r.Uniform(0, kTwoPi))});
    }
    im.noiseSeed = r.Next();
    // Taking a minutia out of the ridge flow would shift the ridges of the whole print (each one
    // winds the ridge phase once around itself), so a missing one is hidden under a smudge.
    for (const auto &m : finger.minutiae)
        if (r.Chance(n.dropRate))
            im.smudges.push_back({m.x + float(r.Normal()), m.y + float(r.Normal()), float(r.Uniform(4, 5.5))});
    const int patches = r.Poisson(n.spuriousMean);
    for (int i = 0; i < patches; ++i) {
        DryPatch d;
        d.x = float(r.Uniform(-kPadA * 0.7, kPadA * 0.7));
        d.y = float(r.Uniform(-kPadB * 0.7, kPadB * 0.7));
        d.a = float(r.Uniform(5, 7));
        d.b = float(r.Uniform(9, 16));
        d.angle = float(r.Uniform(0, kPi));
        im.dryPatches.push_back(d);
    }
    return im;
}

int Render(const Finger &finger, const Impression &im, uint8_t *image)
{
    Prng noise(im.noiseSeed);
    const float c = std::cos(-im.rotation), s = std::sin(-im.rotation);
    const float cx = kImageWidth / 2.0f + im.contactX, cy = kImageHeight / 2.0f + im.contactY;
    int contact = 0;
    for (int v = 0; v < kImageHeight; ++v) {
        for (int u = 0; u < kImageWidth; ++u) {
            const float ex = (u - cx) / im.contactA, ey = (v - cy) / im.contactB;
            const float e = ex * ex + ey * ey;
            float grey = 238;
            if (e < 1) {
                ++contact;
                // Firm in the middle, fading towards the rim of the contact area.
                const float rim = std::min(1.0f, (1 - e) / 0.18f);
                float uw = float(u), vw = float(v);
                for (const SkinWave &w : im.skin) {
                    const float sn = std::sin(w.kx * u + w.ky * v + w.phase);
                    uw += w.ampX * sn;
                    vw += w.ampY * sn;
                }
                const float px = uw - kImageWidth / 2.0f - im.dx, py = vw - kImageHeight / 2.0f - im.dy;
                const float x = c * px - s * py, y = s * px + c * py;
                float ridge = 0.5f + 0.5f * std::cos(Phase(finger, x, y));
                for (const DryPatch &d : im.dryPatches) {
                    const float ca = std::cos(d.angle), sa = std::sin(d.angle);
                    const float qx = (ca * (x - d.x) + sa * (y - d.y)) / d.a, qy = (-sa * (x - d.x) + ca * (y - d.y)) / d.b;
                    const float e2 = qx * qx + qy * qy;
                    if (e2 < 1.3f)
                        ridge *= std::clamp((e2 - 1.0f) / 0.3f, 0.0f, 1.0f);
                }
                for (const auto &sm : im.smudges)
                    if ((x - sm.x) * (x - sm.x) + (y - sm.y) * (y - sm.y) < sm.radius * sm.radius)
                        ridge = float(noise.Uniform());
                const float press = im.pressure * (0.88f + 0.12f * std::sin(0.05f * u + 0.03f * v)) * rim;
                grey = 238 - 200 * press * ridge;
            }
            grey += float(noise.Normal()) * im.noise;
            image[v * kImageWidth + u] = uint8_t(std::clamp(grey, 0.0f, 255.0f) + 0.5f);
        }
    }
    const int quality = int(100.0f * im.pressure * std::min(1.0f, contact / (0.62f * kImagePixels)) + 0.5f);
    return std::clamp(quality, 0, 100);
}

void RenderPlain(const Finger &finger, int width, int height, uint8_t *image)
{
    // The pad scaled into the picture, with an oval outline like a print on paper.
    const float scale = std::max((2 * kPadA) / float(width), (2 * kPadB) / float(height)) * 0.7f;
    for (int v = 0; v < height; ++v) {
        for (int u = 0; u < width; ++u) {
            const float x = (u - width / 2.0f) * scale, y = (v - height / 2.0f) * scale;
            const float ex = (u - width / 2.0f) / (width * 0.48f), ey = (v - height / 2.0f) / (height * 0.48f);
            const float e = ex * ex + ey * ey;
            float grey = 255;
            if (e < 1) {
                const float rim = std::min(1.0f, (1 - e) / 0.2f);
                grey = 250 - 190 * rim * (0.5f + 0.5f * std::cos(Phase(finger, x, y)));
            }
            image[v * width + u] = uint8_t(std::clamp(grey, 0.0f, 255.0f));
        }
    }
}

} // namespace fp
