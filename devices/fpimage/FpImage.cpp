// libFpImage.so: draws a scanner image into a box of pixels, scaled to fit and centred.

#include "fplib.h"

#include <algorithm>

#define FPIMAGE_EXPORT extern "C" __attribute__((visibility("default")))

FPIMAGE_EXPORT int ShowFpBitmapX(FpImageTarget *target, const unsigned char *image, int width, int height)
{
    if (!target || !target->pixels || !image || width <= 0 || height <= 0 || target->width <= 0 ||
        target->height <= 0 || target->stride < target->width * 4)
        return 1;
    // Largest scale at which the whole image fits; area averaging when it shrinks.
    const double scale = std::min(double(target->width) / width, double(target->height) / height);
    const int w = std::max(1, int(width * scale)), h = std::max(1, int(height * scale));
    const int x0 = (target->width - w) / 2, y0 = (target->height - h) / 2;
    for (int y = 0; y < target->height; ++y) {
        uint32_t *row = reinterpret_cast<uint32_t *>(reinterpret_cast<unsigned char *>(target->pixels) + size_t(y) * size_t(target->stride));
        for (int x = 0; x < target->width; ++x) {
            unsigned grey = 255;
            if (x >= x0 && x < x0 + w && y >= y0 && y < y0 + h) {
                const int sx0 = (x - x0) * width / w, sx1 = std::max(sx0 + 1, (x - x0 + 1) * width / w);
                const int sy0 = (y - y0) * height / h, sy1 = std::max(sy0 + 1, (y - y0 + 1) * height / h);
                unsigned sum = 0, n = 0;
                for (int sy = sy0; sy < std::min(sy1, height); ++sy)
                    for (int sx = sx0; sx < std::min(sx1, width); ++sx) {
                        sum += image[sy * width + sx];
                        ++n;
                    }
                grey = n ? sum / n : 255;
            }
            row[x] = 0xFF000000u | (grey << 16) | (grey << 8) | grey;
        }
    }
    return 0;
}
