#include "Match.h"

#include "Template.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace fp {

namespace {

constexpr int kAngleSteps = 256;
constexpr float kCentreX = kImageWidth / 2.0f;
constexpr float kCentreY = kImageHeight / 2.0f;

// Vote space: rotation in steps of 8 angle units (11.25 degrees), translation in 8-pixel steps
// within the shifts two touches of one finger can have.
constexpr int kRotStep = 8;
constexpr int kRotBins = 16;     // covers +-64 units (90 degrees), more than maxRotation
constexpr int kShiftStep = 8;
constexpr int kTxBins = 26;      // +-104 pixels
constexpr int kTyBins = 32;      // +-128 pixels
constexpr int kCells = kRotBins * kTxBins * kTyBins;

struct Trig {
    std::array<float, kAngleSteps> c{}, s{};
    Trig()
    {
        for (int i = 0; i < kAngleSteps; ++i) {
            c[size_t(i)] = std::cos(i * kTwoPi / kAngleSteps);
            s[size_t(i)] = std::sin(i * kTwoPi / kAngleSteps);
        }
    }
};
const Trig &T()
{
    static const Trig t;
    return t;
}

struct Point {
    float x, y; // relative to the image centre
    int a;      // angle in steps
    int type;
};

std::vector<Point> Prepare(const Minutiae &m)
{
    std::vector<Point> out;
    out.reserve(m.size());
    for (const Minutia &p : m)
        out.push_back({p.x - kCentreX, p.y - kCentreY, int(std::lround(NormAngle(p.angle) / kTwoPi * kAngleSteps)) & 255, p.type});
    return out;
}

struct Vote {
    int16_t ri, xi, yi; // cell
    int16_t rot;        // signed angle steps
    float tx, ty;
};

struct Box {
    float x0 = 1e9f, y0 = 1e9f, x1 = -1e9f, y1 = -1e9f;
    void Add(float x, float y)
    {
        x0 = std::min(x0, x);
        y0 = std::min(y0, y);
        x1 = std::max(x1, x);
        y1 = std::max(y1, y);
    }
    bool Holds(float x, float y, float margin) const
    {
        return x >= x0 - margin && x <= x1 + margin && y >= y0 - margin && y <= y1 + margin;
    }
};

struct Alignment {
    float rot = 0; // radians
    float tx = 0, ty = 0;
};

struct Pairing {
    MatchResult result;
    std::vector<std::pair<int, int>> pairs;
};

Pairing PairUp(const std::vector<Point> &a, const std::vector<Point> &b, const Alignment &al, const MatchParams &p)
{
    const float c = std::cos(al.rot), s = std::sin(al.rot);
    const int rotSteps = int(std::lround(al.rot / kTwoPi * kAngleSteps));
    thread_local std::vector<Point> moved;
    moved.resize(a.size());
    for (size_t i = 0; i < a.size(); ++i)
        moved[i] = {c * a[i].x - s * a[i].y + al.tx, s * a[i].x + c * a[i].y + al.ty, (a[i].a + rotSteps) & 255,
                    a[i].type};

    const float tol2 = p.distTolerance * p.distTolerance;
    const int angleTol = int(p.angleTolerance / kTwoPi * kAngleSteps);
    struct Cand {
        float cost;
        int i, j;
    };
    thread_local std::vector<Cand> cands;
    cands.clear();
    // b is sorted by x: only a narrow slice of it can lie within the tolerance of a point.
    for (size_t i = 0; i < moved.size(); ++i) {
        const float lo = moved[i].x - p.distTolerance;
        size_t j = size_t(std::lower_bound(b.begin(), b.end(), lo, [](const Point &q, float x) { return q.x < x; }) -
                          b.begin());
        for (; j < b.size() && b[j].x <= moved[i].x + p.distTolerance; ++j) {
            const float dx = moved[i].x - b[j].x, dy = moved[i].y - b[j].y;
            const float d2 = dx * dx + dy * dy;
            if (d2 > tol2)
                continue;
            int da = std::abs(moved[i].a - b[j].a);
            da = std::min(da, kAngleSteps - da);
            if (da > angleTol)
                continue;
            if (p.sameType && moved[i].type != b[j].type)
                continue;
            cands.push_back({d2 / tol2 + float(da) / float(angleTol), int(i), int(j)});
        }
    }
    std::sort(cands.begin(), cands.end(), [](const Cand &x, const Cand &y) { return x.cost < y.cost; });
    thread_local std::vector<char> usedA, usedB;
    usedA.assign(a.size(), 0);
    usedB.assign(b.size(), 0);
    Pairing out;
    for (const Cand &k : cands) {
        if (usedA[size_t(k.i)] || usedB[size_t(k.j)])
            continue;
        usedA[size_t(k.i)] = usedB[size_t(k.j)] = 1;
        out.pairs.emplace_back(k.i, k.j);
    }
    out.result.paired = int(out.pairs.size());
    // Minutiae the two prints have in common: those of each that fall within the other's extent.
    Box boxA, boxB;
    for (const Point &m : moved)
        boxA.Add(m.x, m.y);
    for (const Point &m : b)
        boxB.Add(m.x, m.y);
    int commonA = 0, commonB = 0;
    for (const Point &m : moved)
        commonA += boxB.Holds(m.x, m.y, p.distTolerance);
    for (const Point &m : b)
        commonB += boxA.Holds(m.x, m.y, p.distTolerance);
    const float floor = float(p.minPaired);
    const float paired = float(out.result.paired);
    out.result.score = std::min(1.0f, paired * paired / (std::max(float(commonA), floor) * std::max(float(commonB), floor)));
    return out;
}

// The rigid motion that best carries the paired minutiae of a onto those of b (least squares).
Alignment Refine(const std::vector<Point> &a, const std::vector<Point> &b, const std::vector<std::pair<int, int>> &pairs)
{
    double ax = 0, ay = 0, bx = 0, by = 0;
    for (const auto &[i, j] : pairs) {
        ax += a[size_t(i)].x;
        ay += a[size_t(i)].y;
        bx += b[size_t(j)].x;
        by += b[size_t(j)].y;
    }
    const double n = double(pairs.size());
    ax /= n;
    ay /= n;
    bx /= n;
    by /= n;
    double sxx = 0, sxy = 0;
    for (const auto &[i, j] : pairs) {
        const double px = a[size_t(i)].x - ax, py = a[size_t(i)].y - ay;
        const double qx = b[size_t(j)].x - bx, qy = b[size_t(j)].y - by;
        sxx += px * qx + py * qy;
        sxy += px * qy - py * qx;
    }
    Alignment al;
    al.rot = float(std::atan2(sxy, sxx));
    const float c = std::cos(al.rot), s = std::sin(al.rot);
    al.tx = float(bx - (c * ax - s * ay));
    al.ty = float(by - (s * ax + c * ay));
    return al;
}

} // namespace

MatchResult MatchMinutiae(const Minutiae &ma, const Minutiae &mb, const MatchParams &p)
{
    MatchResult best;
    if (ma.size() < 3 || mb.size() < 3)
        return best;
    const std::vector<Point> a = Prepare(ma);
    std::vector<Point> b = Prepare(mb);
    std::sort(b.begin(), b.end(), [](const Point &x, const Point &y) { return x.x < y.x; });
    const Trig &trig = T();
    const int maxRot = int(p.maxRotation / kTwoPi * kAngleSteps);

    thread_local std::vector<uint16_t> acc(kCells);
    thread_local std::vector<int> touched;
    thread_local std::vector<Vote> votes;
    votes.clear();
    votes.reserve(a.size() * b.size() / 3);
    touched.clear();
    for (const Point &pa : a)
        for (const Point &pb : b) {
            int rot = (pb.a - pa.a) & 255;
            if (rot >= 128)
                rot -= 256;
            if (std::abs(rot) > maxRot)
                continue;
            const float c = trig.c[size_t(rot & 255)], s = trig.s[size_t(rot & 255)];
            const float tx = pb.x - (c * pa.x - s * pa.y), ty = pb.y - (s * pa.x + c * pa.y);
            const int ri = (rot + kRotBins / 2 * kRotStep) / kRotStep;
            const int xi = int(std::floor(tx / kShiftStep)) + kTxBins / 2;
            const int yi = int(std::floor(ty / kShiftStep)) + kTyBins / 2;
            if (ri < 0 || ri >= kRotBins || xi < 0 || xi >= kTxBins || yi < 0 || yi >= kTyBins)
                continue;
            const int cell = (ri * kTxBins + xi) * kTyBins + yi;
            if (acc[size_t(cell)]++ == 0)
                touched.push_back(cell);
            votes.push_back({int16_t(ri), int16_t(xi), int16_t(yi), int16_t(rot), tx, ty});
        }

    // Peaks: the cells with the most votes in their 3 x 3 x 3 neighbourhood.
    auto neighbourhood = [&](int cell) {
        const int ri = cell / (kTxBins * kTyBins), xi = (cell / kTyBins) % kTxBins, yi = cell % kTyBins;
        int sum = 0;
        for (int r = std::max(0, ri - 1); r <= std::min(kRotBins - 1, ri + 1); ++r)
            for (int x = std::max(0, xi - 1); x <= std::min(kTxBins - 1, xi + 1); ++x)
                for (int y = std::max(0, yi - 1); y <= std::min(kTyBins - 1, yi + 1); ++y)
                    sum += acc[size_t((r * kTxBins + x) * kTyBins + y)];
        return sum;
    };
    auto near = [](int c1, int c2) {
        const int r1 = c1 / (kTxBins * kTyBins), x1 = (c1 / kTyBins) % kTxBins, y1 = c1 % kTyBins;
        const int r2 = c2 / (kTxBins * kTyBins), x2 = (c2 / kTyBins) % kTxBins, y2 = c2 % kTyBins;
        return std::abs(r1 - r2) <= 1 && std::abs(x1 - x2) <= 1 && std::abs(y1 - y2) <= 1;
    };
    constexpr int kPeaks = 4;
    std::array<std::pair<int, int>, kPeaks> peaks; // (sum, cell)
    peaks.fill({0, -1});
    for (int cell : touched) {
        const int sum = neighbourhood(cell);
        if (sum <= peaks[kPeaks - 1].first)
            continue;
        // A cell next to a stronger peak already taken is the same alignment.
        bool shadowed = false;
        for (auto &pk : peaks)
            if (pk.second >= 0 && near(pk.second, cell)) {
                if (sum > pk.first)
                    pk = {sum, cell};
                shadowed = true;
                break;
            }
        if (!shadowed) {
            peaks[kPeaks - 1] = {sum, cell};
        }
        std::sort(peaks.begin(), peaks.end(), [](auto &x, auto &y) { return x.first > y.first; });
    }
    for (int cell : touched)
        acc[size_t(cell)] = 0;

    for (const auto &pk : peaks) {
        if (pk.second < 0 || pk.first < 2)
            continue;
        // The alignment is the mean of the votes around the peak.
        double rs = 0, xs = 0, ys = 0;
        int n = 0;
        const int kr = pk.second / (kTxBins * kTyBins), kx = (pk.second / kTyBins) % kTxBins, ky = pk.second % kTyBins;
        for (const Vote &v : votes)
            if (std::abs(v.ri - kr) <= 1 && std::abs(v.xi - kx) <= 1 && std::abs(v.yi - ky) <= 1) {
                rs += v.rot;
                xs += v.tx;
                ys += v.ty;
                ++n;
            }
        if (n == 0)
            continue;
        // Pair up under the voted alignment, then again under the alignment of those pairs, as
        // long as that pairs more.
        Alignment al{float(rs / n) * kTwoPi / kAngleSteps, float(xs / n), float(ys / n)};
        Pairing pr = PairUp(a, b, al, p);
        for (int round = 0; round < 3 && pr.pairs.size() >= 3; ++round) {
            Pairing next = PairUp(a, b, Refine(a, b, pr.pairs), p);
            if (next.result.paired <= pr.result.paired)
                break;
            pr = std::move(next);
        }
        if (pr.result.paired > best.paired || (pr.result.paired == best.paired && pr.result.score > best.score))
            best = pr.result;
    }
    best.match = best.paired >= p.minPaired && best.score >= p.minScore;
    return best;
}

MatchResult MatchTemplates(const uint8_t *a, const uint8_t *b, const MatchParams &params)
{
    Minutiae ma, mb;
    if (!DecodeTemplate(a, &ma) || !DecodeTemplate(b, &mb))
        return {};
    return MatchMinutiae(ma, mb, params);
}

} // namespace fp
