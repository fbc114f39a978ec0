#include "Extract.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace fp {

namespace {

constexpr int W = kImageWidth;
constexpr int H = kImageHeight;
constexpr int kBlock = 8;
constexpr int kBlocksX = (W + kBlock - 1) / kBlock;
constexpr int kBlocksY = (H + kBlock - 1) / kBlock;
constexpr int kBorder = 9;        // minutiae this close to the background are the print's rim
constexpr float kPairDistance = 8; // two minutiae this close are a thinning artefact
constexpr int kTraceSteps = 9;

// Neighbours in circular order, starting east, counter-clockwise on screen.
constexpr int kDx[8] = {1, 1, 0, -1, -1, -1, 0, 1};
constexpr int kDy[8] = {0, -1, -1, -1, 0, 1, 1, 1};

// Working images live on the heap: the extractor also runs inside the console's window thread.
using FloatImage = std::vector<float>;

struct Grid {
    std::vector<uint8_t> v = std::vector<uint8_t>(size_t(W * H), 0);
    uint8_t at(int x, int y) const { return (x < 0 || y < 0 || x >= W || y >= H) ? 0 : v[size_t(y * W + x)]; }
    uint8_t &ref(int x, int y) { return v[size_t(y * W + x)]; }
};

void Blur(const uint8_t *in, FloatImage &out)
{
    // [1 2 1] x [1 2 1] / 16, clamped at the edges.
    FloatImage tmp(size_t(W * H));
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int l = std::max(x - 1, 0), r = std::min(x + 1, W - 1);
            tmp[size_t(y * W + x)] = (in[y * W + l] + 2.0f * in[y * W + x] + in[y * W + r]) / 4;
        }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int t = std::max(y - 1, 0), b = std::min(y + 1, H - 1);
            out[size_t(y * W + x)] = (tmp[size_t(t * W + x)] + 2 * tmp[size_t(y * W + x)] + tmp[size_t(b * W + x)]) / 4;
        }
}

// Blocks whose grey levels vary like ridges do; isolated blocks are dropped, holes filled.
void Segment(const FloatImage &img, Grid &mask)
{
    std::array<uint8_t, kBlocksX * kBlocksY> fg{}, smooth{};
    for (int by = 0; by < kBlocksY; ++by)
        for (int bx = 0; bx < kBlocksX; ++bx) {
            double sum = 0, sq = 0;
            int n = 0;
            for (int y = by * kBlock; y < std::min(H, (by + 1) * kBlock); ++y)
                for (int x = bx * kBlock; x < std::min(W, (bx + 1) * kBlock); ++x) {
                    const double g = img[size_t(y * W + x)];
                    sum += g;
                    sq += g * g;
                    ++n;
                }
            const double mean = sum / n, var = sq / n - mean * mean;
            fg[size_t(by * kBlocksX + bx)] = var > 22.0 * 22.0 ? 1 : 0;
        }
    for (int by = 0; by < kBlocksY; ++by)
        for (int bx = 0; bx < kBlocksX; ++bx) {
            int count = 0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i) {
                    const int x = bx + i, y = by + j;
                    if (x >= 0 && y >= 0 && x < kBlocksX && y < kBlocksY)
                        count += fg[size_t(y * kBlocksX + x)];
                }
            smooth[size_t(by * kBlocksX + bx)] = count >= 5 ? 1 : 0;
        }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            mask.ref(x, y) = smooth[size_t((y / kBlock) * kBlocksX + x / kBlock)];
}

// Chamfer distance (in pixels, roughly) of every pixel to the nearest background pixel or the
// image's edge.
void DistanceToBackground(const Grid &mask, std::vector<int16_t> &dist)
{
    constexpr int16_t kFar = 10000;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            dist[size_t(y * W + x)] = mask.at(x, y) ? kFar : 0;
    auto d = [&](int x, int y) -> int { return (x < 0 || y < 0 || x >= W || y >= H) ? 0 : dist[size_t(y * W + x)]; };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int v = dist[size_t(y * W + x)];
            v = std::min({v, d(x - 1, y) + 3, d(x, y - 1) + 3, d(x - 1, y - 1) + 4, d(x + 1, y - 1) + 4});
            dist[size_t(y * W + x)] = int16_t(v);
        }
    for (int y = H - 1; y >= 0; --y)
        for (int x = W - 1; x >= 0; --x) {
            int v = dist[size_t(y * W + x)];
            v = std::min({v, d(x + 1, y) + 3, d(x, y + 1) + 3, d(x + 1, y + 1) + 4, d(x - 1, y + 1) + 4});
            dist[size_t(y * W + x)] = int16_t(v);
        }
    for (auto &v : dist)
        v = int16_t(v / 3);
}

// Ridge pixels: darker than the mean of their 11 x 11 neighbourhood, inside the print; then a
// 3 x 3 majority vote against pixel noise.
void Binarise(const FloatImage &img, const Grid &mask, Grid &bin)
{
    std::vector<double> integral(size_t((W + 1) * (H + 1)), 0.0);
    for (int y = 0; y < H; ++y) {
        double row = 0;
        for (int x = 0; x < W; ++x) {
            row += img[size_t(y * W + x)];
            integral[size_t((y + 1) * (W + 1) + x + 1)] = integral[size_t(y * (W + 1) + x + 1)] + row;
        }
    }
    constexpr int R = 5;
    Grid raw;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            if (!mask.at(x, y))
                continue;
            const int x0 = std::max(0, x - R), x1 = std::min(W, x + R + 1);
            const int y0 = std::max(0, y - R), y1 = std::min(H, y + R + 1);
            const double sum = integral[size_t(y1 * (W + 1) + x1)] - integral[size_t(y0 * (W + 1) + x1)] -
                               integral[size_t(y1 * (W + 1) + x0)] + integral[size_t(y0 * (W + 1) + x0)];
            const double mean = sum / ((x1 - x0) * (y1 - y0));
            raw.ref(x, y) = img[size_t(y * W + x)] < mean ? 1 : 0;
        }
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int count = 0;
            for (int j = -1; j <= 1; ++j)
                for (int i = -1; i <= 1; ++i)
                    count += raw.at(x + i, y + j);
            bin.ref(x, y) = (mask.at(x, y) && count >= 5) ? 1 : 0;
        }
}

// Zhang-Suen thinning to one-pixel-wide ridges.
void Thin(Grid &g)
{
    std::vector<int> remove;
    bool changed = true;
    while (changed) {
        changed = false;
        for (int pass = 0; pass < 2; ++pass) {
            remove.clear();
            for (int y = 1; y < H - 1; ++y)
                for (int x = 1; x < W - 1; ++x) {
                    if (!g.at(x, y))
                        continue;
                    // P2..P9 clockwise from north.
                    const int p2 = g.at(x, y - 1), p3 = g.at(x + 1, y - 1), p4 = g.at(x + 1, y),
                              p5 = g.at(x + 1, y + 1), p6 = g.at(x, y + 1), p7 = g.at(x - 1, y + 1),
                              p8 = g.at(x - 1, y), p9 = g.at(x - 1, y - 1);
                    const int b = p2 + p3 + p4 + p5 + p6 + p7 + p8 + p9;
                    if (b < 2 || b > 6)
                        continue;
                    const int seq[9] = {p2, p3, p4, p5, p6, p7, p8, p9, p2};
                    int a = 0;
                    for (int i = 0; i < 8; ++i)
                        a += (seq[i] == 0 && seq[i + 1] == 1);
                    if (a != 1)
                        continue;
                    if (pass == 0 ? (p2 * p4 * p6 != 0 || p4 * p6 * p8 != 0)
                                  : (p2 * p4 * p8 != 0 || p2 * p6 * p8 != 0))
                        continue;
                    remove.push_back(y * W + x);
                }
            for (int i : remove)
                g.v[size_t(i)] = 0;
            changed = changed || !remove.empty();
        }
    }
}

int CrossingNumber(const Grid &g, int x, int y)
{
    int sum = 0;
    for (int i = 0; i < 8; ++i)
        sum += std::abs(int(g.at(x + kDx[i], y + kDy[i])) - int(g.at(x + kDx[(i + 1) % 8], y + kDy[(i + 1) % 8])));
    return sum / 2;
}

// Follows the skeleton from (x, y) through its neighbour (nx, ny) for up to kTraceSteps pixels,
// stopping at a junction; returns the last pixel reached.
std::pair<int, int> Trace(const Grid &g, int x, int y, int nx, int ny)
{
    int px = x, py = y, cx = nx, cy = ny;
    for (int step = 1; step < kTraceSteps; ++step) {
        int count = 0, bx = -1, by = -1;
        for (int i = 0; i < 8; ++i) {
            const int qx = cx + kDx[i], qy = cy + kDy[i];
            if (!g.at(qx, qy))
                continue;
            ++count;
            if ((qx == px && qy == py) || (qx == x && qy == y))
                continue;
            // Prefer a step that moves away from where we came from.
            if (bx < 0 || std::abs(qx - px) + std::abs(qy - py) > std::abs(bx - px) + std::abs(by - py)) {
                bx = qx;
                by = qy;
            }
        }
        if (bx < 0 || count > 3)
            break;
        px = cx;
        py = cy;
        cx = bx;
        cy = by;
    }
    return {cx, cy};
}

// The first pixel of each run of skeleton neighbours around (x, y).
std::vector<std::pair<int, int>> Branches(const Grid &g, int x, int y)
{
    std::vector<std::pair<int, int>> out;
    for (int i = 0; i < 8; ++i) {
        const int j = (i + 7) % 8;
        if (g.at(x + kDx[i], y + kDy[i]) && !g.at(x + kDx[j], y + kDy[j]))
            out.emplace_back(x + kDx[i], y + kDy[i]);
    }
    return out;
}

// Ridge orientation (modulo pi) around (x, y), from the structure tensor of the grey-level
// gradients in a window of radius 7: far steadier than the few skeleton pixels next to a
// minutia.
float RidgeOrientation(const FloatImage &img, int x, int y)
{
    double gxx = 0, gyy = 0, gxy = 0;
    for (int j = std::max(1, y - 7); j <= std::min(H - 2, y + 7); ++j)
        for (int i = std::max(1, x - 7); i <= std::min(W - 2, x + 7); ++i) {
            auto at = [&](int u, int v) { return img[size_t(v * W + u)]; };
            const double gx = (at(i + 1, j - 1) + 2 * at(i + 1, j) + at(i + 1, j + 1)) -
                              (at(i - 1, j - 1) + 2 * at(i - 1, j) + at(i - 1, j + 1));
            const double gy = (at(i - 1, j + 1) + 2 * at(i, j + 1) + at(i + 1, j + 1)) -
                              (at(i - 1, j - 1) + 2 * at(i, j - 1) + at(i + 1, j - 1));
            gxx += gx * gx;
            gyy += gy * gy;
            gxy += gx * gy;
        }
    // The gradient runs across the ridges; the ridges run at right angles to it.
    return float(0.5 * std::atan2(2 * gxy, gxx - gyy)) + kPi / 2;
}

} // namespace

Extraction ExtractMinutiae(const uint8_t *image)
{
    Extraction result;
    FloatImage img(size_t(W * H));
    Blur(image, img);
    Grid mask;
    Segment(img, mask);
    int fgPixels = 0;
    for (uint8_t m : mask.v)
        fgPixels += m;
    result.quality = std::min(100, fgPixels * 100 / (W * H * 6 / 10));
    std::vector<int16_t> dist(size_t(W * H));
    DistanceToBackground(mask, dist);
    Grid skel;
    Binarise(img, mask, skel);
    Thin(skel);

    struct Candidate {
        int x, y, type;
        bool keep = true;
    };
    std::vector<Candidate> cands;
    for (int y = 1; y < H - 1; ++y)
        for (int x = 1; x < W - 1; ++x) {
            if (!skel.at(x, y) || dist[size_t(y * W + x)] < kBorder)
                continue;
            const int cn = CrossingNumber(skel, x, y);
            if (cn == 1)
                cands.push_back({x, y, 0});
            else if (cn == 3)
                cands.push_back({x, y, 1});
        }
    // Spurs, bridges, holes and breaks leave minutiae in close pairs (or clusters): drop them all.
    for (size_t i = 0; i < cands.size(); ++i)
        for (size_t j = i + 1; j < cands.size(); ++j) {
            const float dx = float(cands[i].x - cands[j].x), dy = float(cands[i].y - cands[j].y);
            if (dx * dx + dy * dy < kPairDistance * kPairDistance)
                cands[i].keep = cands[j].keep = false;
        }
    for (const Candidate &c : cands) {
        if (!c.keep)
            continue;
        const auto branches = Branches(skel, c.x, c.y);
        Minutia m;
        m.x = float(c.x);
        m.y = float(c.y);
        m.type = uint8_t(c.type);
        m.quality = uint8_t(std::min(100, 40 + 4 * int(dist[size_t(c.y * W + c.x)])));
        // The direction lies along the ridges; its sense comes from the skeleton: away from the
        // ridge at an ending, towards the two forks at a bifurcation.
        const size_t want = c.type == 0 ? 1 : 3;
        if (branches.size() != want)
            continue;
        const float axis = RidgeOrientation(img, c.x, c.y);
        const float ax = std::cos(axis), ay = std::sin(axis);
        int ahead = 0;
        for (const auto &br : branches) {
            const auto end = Trace(skel, c.x, c.y, br.first, br.second);
            if ((end.first - c.x) * ax + (end.second - c.y) * ay > 0)
                ++ahead;
        }
        const bool along = c.type == 0 ? ahead == 0 : ahead >= 2;
        m.angle = NormAngle(along ? axis : axis + kPi);
        result.minutiae.push_back(m);
        if (int(result.minutiae.size()) == kMaxMinutiae)
            break;
    }
    return result;
}

} // namespace fp
