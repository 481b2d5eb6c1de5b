#include "project/ThumbnailGeometry.h"

#include <cmath>

namespace ThumbnailGeometry {

namespace {

int wholePixels(float side)
{
    // Clamped while still a float: a tiny picture side makes the other one huge,
    // even infinite, which no int can hold.
    if (!(side >= 1.0f))  // also NaN
        return 1;
    if (side >= kSide)
        return int(kSide);
    return int(std::floor(side + 0.5f));
}

}  // namespace

float scale(FloatSize picsize)
{
    const float a = kSide / picsize.width;
    const float b = kSide / picsize.height;
    return a < b ? a : b;
}

FloatSize size(FloatSize picsize)
{
    const float s = scale(picsize);
    return FloatSize{picsize.width * s, picsize.height * s};
}

PixelSize pixelSize(FloatSize picsize)
{
    const FloatSize exact = size(picsize);
    return PixelSize{wholePixels(exact.width), wholePixels(exact.height)};
}

}  // namespace ThumbnailGeometry
