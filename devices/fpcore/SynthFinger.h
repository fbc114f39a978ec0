#pragma once
// Synthetic fingers. A finger identity (any text, "u7-left-index") determines a ridge pattern and a
// set of minutiae; every touch of that finger is a fresh, noisy impression of it (shifted, rotated,
// slightly distorted, some minutiae missing or spurious, positions jittered, uneven pressure and
// contact area), and the scanner image is rendered from the impression.
//
// Ridges are drawn as the cosine of a phase field: a smooth carrier (whorl or arch) plus one
// spiral term per minutia, so that every minutia is a real ridge ending or bifurcation in the
// picture, where an extractor finds it.

#include "FpTypes.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fp {

struct SynthMinutia {
    float x = 0; // finger coordinates: origin at the pad's centre, pixels
    float y = 0;
    int polarity = 1; // +1 / -1: which way the ridge count changes around it
};

struct Finger {
    std::string identity;
    uint64_t seed = 0;
    int pattern = 0;      // 0 whorl, 1 arch
    float period = 8;     // ridge period, pixels
    float coreX = 0, coreY = 0;
    float shapeA = 1;     // whorl: vertical stretch; arch: height of the arch
    float shapeB = 1;     // arch: width of the arch
    float phase0 = 0;
    std::vector<SynthMinutia> minutiae;
};

// A smooth displacement of the skin on the sensor: one sinusoid of the image coordinates.
struct SkinWave {
    float ampX = 0, ampY = 0; // pixels
    float kx = 0, ky = 0;     // wave vector, radians per pixel
    float phase = 0;
};

// A dry spot or crease: ridges do not print inside the ellipse (finger coordinates).
struct DryPatch {
    float x = 0, y = 0, a = 0, b = 0, angle = 0;
};

// How one touch lies on the sensor, and what it lost or gained.
struct Impression {
    float dx = 0, dy = 0;   // shift of the pad's centre from the image centre, pixels
    float rotation = 0;     // radians
    float pressure = 1;     // ridge contrast 0.5-1
    float contactX = 0, contactY = 0, contactA = 70, contactB = 95; // contact ellipse in the image
    float noise = 10;       // pixel noise, grey levels
    std::vector<SkinWave> skin; // elastic distortion and the local jitter of positions
    uint64_t noiseSeed = 0;
    // Spots of dirt or sweat over some of the finger's minutiae: the picture there is noise, and
    // the minutia is lost to the extractor (finger coordinates, radius in pixels).
    struct Smudge {
        float x = 0, y = 0, radius = 4;
    };
    std::vector<Smudge> smudges;
    std::vector<DryPatch> dryPatches; // spurious ridge endings around their rims
};

// Noise of touches; the defaults are those of the simulated scanner.
struct TouchNoise {
    float maxShift = 12;        // pixels, each axis
    float maxRotation = 0.21f;  // radians (12 degrees)
    float jitter = 0.8f;        // pixels: local displacement of the skin
    float dropRate = 0.08f;     // share of minutiae missing from a touch
    float spuriousMean = 1.0f;  // dry spots per touch, each with a few spurious endings
    float noise = 12;           // grey levels
};

Finger MakeFinger(const std::string &identity);
Impression MakeImpression(const Finger &finger, uint64_t touchSeed, const TouchNoise &noise = TouchNoise());
// Renders the impression into image (kImagePixels bytes) and returns its quality (0-100).
int Render(const Finger &finger, const Impression &impression, uint8_t *image);

// A finger's whole picture in its own coordinates without noise (for the finger bitmap of the
// user screen): width x height grey pixels.
void RenderPlain(const Finger &finger, int width, int height, uint8_t *image);

} // namespace fp
