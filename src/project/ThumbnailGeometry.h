#pragma once

#include "base/Geometry.h"

// The thumbnail of a picture fits 80 x 80 and keeps the picture's proportions: the
// longer side becomes 80, the shorter one follows, a smaller picture is enlarged.
namespace ThumbnailGeometry {

constexpr float kSide = 80.0f;

// The scale s = min(80 / width, 80 / height) in single-precision floats, and the
// exact thumbnail size picsize x s (e.g. 53.33 x 80 for a 320 x 480 picture).
float scale(FloatSize picsize);
FloatSize size(FloatSize picsize);

// The bitmap's size in whole pixels: each side of size() rounded to the nearest
// whole number (halves up), at least 1 and never above 80. A 320 x 480 picture
// gives 53 x 80.
struct PixelSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};
PixelSize pixelSize(FloatSize picsize);

}  // namespace ThumbnailGeometry
