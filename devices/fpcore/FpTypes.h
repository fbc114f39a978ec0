#pragma once
// Sizes and records of the fingerprint pipeline shared by the scanner library, the scanner
// simulator, the gate simulator and the benchmark. Plain C++ without Qt.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace fp {

// One scanner image: 152 x 200 grey pixels (0 black ridge ... 255 white), row by row, followed by
// one byte that carries the image's quality (0-100) as the scanner judged it.
inline constexpr int kImageWidth = 152;
inline constexpr int kImageHeight = 200;
inline constexpr int kImagePixels = kImageWidth * kImageHeight;
inline constexpr int kImageBytes = kImagePixels + 1;

// A template is one 800-byte record of the template file: a 16-byte header and up to 196
// minutiae of 4 bytes each.
inline constexpr int kTemplateBytes = 800;
inline constexpr int kTemplateHeaderBytes = 16;
inline constexpr int kMaxMinutiae = (kTemplateBytes - kTemplateHeaderBytes) / 4;

// A ridge ending or bifurcation in image pixel coordinates. The angle (radians, 0..2pi) points
// from the ridge (for a bifurcation: from its stem) towards the free side.
struct Minutia {
    float x = 0;
    float y = 0;
    float angle = 0;
    uint8_t type = 0;    // 0 ending, 1 bifurcation
    uint8_t quality = 0; // 0-100
};

using Minutiae = std::vector<Minutia>;

inline constexpr float kPi = 3.14159265358979323846f;
inline constexpr float kTwoPi = 2 * kPi;

// Angle brought into [0, 2pi).
float NormAngle(float a);
// Signed difference a - b brought into (-pi, pi].
float AngleDiff(float a, float b);

} // namespace fp
