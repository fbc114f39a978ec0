// Benchmark of the fingerprint matcher: false rejection and false acceptance rates over a
// synthetic population, and the time per match. Prints figures; asserts nothing.
//
//   fp_match_bench [--fingers N] [--touches T] [--impostors M]
//
// Every finger gets T touches through the whole pipeline of the simulated scanner (impression,
// image, extraction). Genuine comparisons: every pair of touches of one finger. Impostor
// comparisons: the first touch of each finger against the first touch of every other finger
// (at most M of them).

#include "Extract.h"
#include "Match.h"
#include "SynthFinger.h"
#include "Template.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

using namespace fp;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

// Processor time of this process: steadier than the wall clock on a machine shared with others.
double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Tally {
    long long comparisons = 0;
    long long accepted = 0;
    std::vector<int> paired;
    void Add(const MatchResult &r)
    {
        ++comparisons;
        accepted += r.match ? 1 : 0;
        paired.push_back(r.paired);
    }
    int Percentile(double q)
    {
        if (paired.empty())
            return 0;
        std::sort(paired.begin(), paired.end());
        return paired[std::min(paired.size() - 1, size_t(q * double(paired.size())))];
    }
};

} // namespace

int main(int argc, char **argv)
{
    int fingers = 500, touches = 3;
    long long maxImpostors = 125000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--fingers"))
            fingers = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--touches"))
            touches = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--impostors"))
            maxImpostors = std::atoll(argv[i + 1]);
        else {
            std::fprintf(stderr, "usage: fp_match_bench [--fingers N] [--touches T] [--impostors M]\n");
            return 2;
        }
    }
    if (fingers < 2 || touches < 2) {
        std::fprintf(stderr, "fp_match_bench: at least 2 fingers and 2 touches\n");
        return 2;
    }

    // Touches go through the template format, as they do between the console and the gates.
    std::vector<std::vector<std::vector<uint8_t>>> templates(static_cast<size_t>(fingers));
    std::vector<uint8_t> image(kImageBytes);
    long long minutiaeTotal = 0, failedTemplates = 0;
    double renderSecs = 0, extractSecs = 0;
    for (int f = 0; f < fingers; ++f) {
        const Finger finger = MakeFinger("bench-" + std::to_string(f));
        for (int t = 0; t < touches; ++t) {
            const auto t0 = Clock::now();
            const Impression im = MakeImpression(finger, uint64_t(t) * 1000003u + uint64_t(f) * 7919u + 1);
            image[kImagePixels] = uint8_t(Render(finger, im, image.data()));
            const auto t1 = Clock::now();
            const Extraction ex = ExtractMinutiae(image.data());
            const auto t2 = Clock::now();
            renderSecs += Seconds(t0, t1);
            extractSecs += Seconds(t1, t2);
            minutiaeTotal += (long long)ex.minutiae.size();
            std::vector<uint8_t> tpl(kTemplateBytes);
            EncodeTemplate(ex.minutiae, ex.quality, tpl.data());
            templates[size_t(f)].push_back(tpl);
        }
        if ((f + 1) % 100 == 0) {
            std::fprintf(stderr, "  %d of %d fingers captured\n", f + 1, fingers);
        }
    }
    const int images = fingers * touches;

    std::vector<std::vector<Minutiae>> decoded(static_cast<size_t>(fingers));
    for (int f = 0; f < fingers; ++f)
        for (const auto &tpl : templates[size_t(f)]) {
            Minutiae m;
            if (!DecodeTemplate(tpl.data(), &m))
                ++failedTemplates;
            decoded[size_t(f)].push_back(m);
        }

    Tally genuine, impostor;
    const double cpu0 = CpuSeconds();
    const auto g0 = Clock::now();
    for (int f = 0; f < fingers; ++f)
        for (int a = 0; a < touches; ++a)
            for (int b = a + 1; b < touches; ++b)
                genuine.Add(MatchMinutiae(decoded[size_t(f)][size_t(a)], decoded[size_t(f)][size_t(b)]));
    for (int f = 0; f < fingers && impostor.comparisons < maxImpostors; ++f)
        for (int g = f + 1; g < fingers && impostor.comparisons < maxImpostors; ++g)
            impostor.Add(MatchMinutiae(decoded[size_t(f)][0], decoded[size_t(g)][0]));
    const auto g2 = Clock::now();
    const double matchCpu = CpuSeconds() - cpu0;
    const long long matches = genuine.comparisons + impostor.comparisons;
    const double matchSecs = Seconds(g0, g2);

    const MatchParams p;
    std::printf("fingerprint matcher benchmark\n");
    std::printf("  population           %d synthetic fingers, %d touches each (%d images)\n", fingers, touches, images);
    std::printf("  minutiae per image   %.1f (templates unreadable: %lld)\n", double(minutiaeTotal) / images, failedTemplates);
    std::printf("  decision             paired >= %d and score >= %.2f (tolerance %.0f px, %.0f degrees)\n", p.minPaired,
                double(p.minScore), double(p.distTolerance), double(p.angleTolerance) * 180 / 3.14159265);
    std::printf("  genuine comparisons  %lld, rejected %lld: FRR %.3f %%\n", genuine.comparisons,
                genuine.comparisons - genuine.accepted,
                100.0 * double(genuine.comparisons - genuine.accepted) / double(genuine.comparisons));
    std::printf("  impostor comparisons %lld, accepted %lld: FAR %.4f %%\n", impostor.comparisons, impostor.accepted,
                100.0 * double(impostor.accepted) / double(impostor.comparisons));
    std::printf("  paired minutiae      genuine 1st percentile %d, median %d; impostor median %d, 99.99th percentile %d, max %d\n",
                genuine.Percentile(0.01), genuine.Percentile(0.5), impostor.Percentile(0.5), impostor.Percentile(0.9999),
                impostor.Percentile(1.0));
    std::printf("  time per match       %.1f us of processor time, %.1f us wall clock (%lld matches in %.2f s)\n",
                1e6 * matchCpu / double(matches), 1e6 * matchSecs / double(matches), matches, matchSecs);
    std::printf("  time per image       render %.2f ms, extraction %.2f ms\n", 1e3 * renderSecs / images, 1e3 * extractSecs / images);
    std::printf("  (image times are wall clock: compare runs on one machine only)\n");
    return 0;
}
