#pragma once
// The one matcher of the system, used by the scanner library (verification and login) and by
// the gate simulator: minutiae sets are aligned by a vote over rotation and translation, then
// paired within a distance and angle tolerance; a pair of sets matches when enough minutiae
// pair up, both in number and as a share of the minutiae the two prints have in common.

#include "FpTypes.h"

namespace fp {

struct MatchParams {
    float distTolerance = 8;       // pixels
    float angleTolerance = 0.20f;  // radians (about 11 degrees)
    float maxRotation = 0.6f;      // radians (34 degrees) between two touches
    bool sameType = true;          // an ending pairs only with an ending
    int minPaired = 13;            // paired minutiae needed ...
    float minScore = 0.15f;        // ... and paired^2 / (common_a * common_b) needed
};

struct MatchResult {
    int paired = 0;
    float score = 0; // 0-1
    bool match = false;
};

MatchResult MatchMinutiae(const Minutiae &a, const Minutiae &b, const MatchParams &params = MatchParams());

// Both as 800-byte templates; false when either is not a template.
MatchResult MatchTemplates(const uint8_t *a, const uint8_t *b, const MatchParams &params = MatchParams());

} // namespace fp
