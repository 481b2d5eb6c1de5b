#pragma once

#include <cstdint>
#include <vector>

#include "project/BrushDab.h"
#include "project/StrokeMask.h"

// The dab of a soft or partial brush: over the same box as the hard dab
// (BrushDab::boundingBox), each pixel gets a share of the source, 0..255, that
// the stroke's mask blends in (StrokeMask). The share is the dab's coverage of
// the pixel times the dab's alpha, rounded to nearest:
//     share = (coverage x alpha + 127) / 255.
//
// Coverage, from the pixel's squared distance d2 to the centre (Euclidean for
// the round brush; the square of the larger axis distance d for the square one),
// in float: none at the radius or beyond; inside, the step
//     q = min(int(d2 x (kFalloffSteps / r^2)), kFalloffSteps - 1)
// picks the hardness's falloff table (falloffTable): 255 up to the inner radius
// radius x hardness / 100, then smoothstep down towards 0 at the radius. A round
// pixel counts as inside exactly when the hard dab covers it ((y - cy)^2 +
// (x - cx)^2 < r^2, the same float operations), a square one when d < r; at
// hardness 100 every pixel the hard dab covers gets 255 and no other pixel
// anything, for both shapes.
namespace BlendedDab {

// Hardness in percent (0 fully soft .. 100 the hard edge), alpha 0..255.
struct Reveal {
    int hardness = 100;
    int alpha = 255;
    bool plain() const { return hardness >= 100 && alpha >= 255; }
};

constexpr int kFalloffSteps = 1024;
// The falloff of a hardness (0..100): for step q, 255 where sqrt((q + 0.5) /
// kFalloffSteps) is at most hardness / 100, else round(255 x smoothstep(s)), s
// being 1 - (that - inner) / (1 - inner), in double.
const std::uint8_t* falloffTable(int hardness);

// The coverage of the pixel at (x, y) by the dab (0 outside its box's shape).
std::uint8_t coverage(const BrushDab::Dab& dab, int hardness, int x, int y);

// The shares of pixels box.xs..box.xe of row y, into shares[0 ..].
void rowShares(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& box, int y,
               std::uint8_t* shares);

// Lays the dab through the stroke's mask (active, over buffers of the dab's
// geometry), source into working. Answers whether the dab reaches the picture
// (its box is not empty), which is when it is recorded; `painted`, when given,
// receives that box.
bool paint(const BrushDab::Dab& dab, const Reveal& reveal, const std::uint8_t* source, std::uint8_t* working,
           StrokeMask& mask, BrushDab::Box* painted = nullptr);

// What every row of dabs of one hardness and alpha uses: the share of each
// falloff step (kFalloffSteps + 1 of them, the last 0 for outside the dab) and
// of full coverage. Made once for many dabs.
struct Shares {
    explicit Shares(const Reveal& reveal);
    Reveal reveal;
    std::uint8_t inside = 0;
    std::uint8_t ofStep[1025] = {};
    int flatSteps = 0;  // the steps from the first whose share is `inside`
};

// The shares of the rows of `rows` only (a part of the dab's box) marked in the
// stroke's mask with the dab's source (0..2), to be blended at the mask's
// flush (StrokeMask::mark): laying a record again.
void markRows(const BrushDab::Dab& dab, const Shares& shares, const BrushDab::Box& rows, int source,
              StrokeMask& mask);

// The strength in percent (10 .. 100) as an alpha: percent x 255 / 100 rounded
// to nearest (50 % is 128).
int alphaForStrength(int percent);
// The alpha scaled by a pen's pressure (0..1): alpha x round(pressure x 255) / 255
// rounded to nearest, at least 1.
int alphaWithPressure(int alpha, float pressure);

}  // namespace BlendedDab
