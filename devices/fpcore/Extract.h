#pragma once
// Minutiae extraction from a scanner image: segmentation of the finger from the background,
// local binarisation, thinning, crossing numbers, removal of the artefacts thinning leaves
// (spurs, bridges, breaks, the rim of the contact area) and a direction for each minutia traced
// along its ridge.

#include "FpTypes.h"

namespace fp {

struct Extraction {
    Minutiae minutiae;
    int quality = 0;    // 0-100: share of the image that holds a usable print
};

// image: kImagePixels grey pixels (kImageWidth x kImageHeight).
Extraction ExtractMinutiae(const uint8_t *image);

} // namespace fp
