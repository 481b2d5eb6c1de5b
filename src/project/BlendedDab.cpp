#include "project/BlendedDab.h"

#include <algorithm>
#include <cmath>

namespace BlendedDab {

namespace {

// 255 at t = 0 falling smoothly to 0 at t = 1.
std::uint8_t falloff(float t)
{
    const float s = 1.0f - t;
    const float v = 255.0f * (s * s * (3.0f - 2.0f * s));
    return std::uint8_t(std::clamp(int(v + 0.5f), 0, 255));
}

// Coverage of a pixel at distance d (inside the dab) with the inner radius `inner`.
std::uint8_t coverageAt(float d, float radius, float inner)
{
    if (d <= inner)
        return 255;
    if (!(d < radius))
        return 0;
    return falloff((d - inner) / (radius - inner));
}

}  // namespace

std::uint8_t coverage(const BrushDab::Dab& dab, int hardness, int x, int y)
{
    const float dx = float(x) - dab.centre.x;
    const float dy = float(y) - dab.centre.y;
    const float inner = dab.radius * (float(std::clamp(hardness, 0, 100)) / 100.0f);
    if (dab.shape == BrushDab::Square) {
        if (hardness >= 100)
            return 255;
        return coverageAt(std::max(std::fabs(dx), std::fabs(dy)), dab.radius, inner);
    }
    if (dab.shape != BrushDab::Round)
        return 0;
    const float d2 = dy * dy + dx * dx;
    if (!(d2 < dab.radius * dab.radius))
        return 0;
    if (hardness >= 100)
        return 255;
    return coverageAt(std::sqrt(d2), dab.radius, inner);
}

void rowShares(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& box, int y,
               std::uint8_t* shares)
{
    const unsigned alpha = unsigned(std::clamp(reveal.alpha, 0, 255));
    for (int x = box.xs; x <= box.xe; ++x) {
        const unsigned c = coverage(dab, reveal.hardness, x, y);
        shares[x - box.xs] = std::uint8_t((c * alpha + 127u) / 255u);
    }
}

namespace {

void layRows(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& box, const std::uint8_t* source,
             int sourceFirstRow, std::uint8_t* working, StrokeMask& mask)
{
    const std::size_t stride = std::size_t(dab.bufferWidth) * 4;
    std::vector<std::uint8_t> shares(std::size_t(box.xe - box.xs + 1));
    for (int y = box.ys; y <= box.ye; ++y) {
        rowShares(dab, reveal, box, y, shares.data());
        mask.reveal(y, box.xs, box.xe, shares.data(), source + stride * std::size_t(y - sourceFirstRow), working);
    }
}

}  // namespace

void paintRows(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& rows,
               const std::uint8_t* source, int sourceFirstRow, std::uint8_t* working, StrokeMask& mask)
{
    if (!source || !working || rows.empty() || rows.ys < sourceFirstRow)
        return;
    layRows(dab, reveal, rows, source, sourceFirstRow, working, mask);
}

bool paint(const BrushDab::Dab& dab, const Reveal& reveal, const std::uint8_t* source, std::uint8_t* working,
           StrokeMask& mask, BrushDab::Box* painted)
{
    if (painted)
        *painted = BrushDab::Box{};
    if (!source || !working || dab.bufferWidth <= 0 || dab.bufferHeight <= 0)
        return false;
    if (dab.shape != BrushDab::Round && dab.shape != BrushDab::Square)
        return false;
    const BrushDab::Box box = BrushDab::boundingBox(dab.centre, dab.radius, dab.picsize, dab.bufferWidth, dab.bufferHeight);
    if (box.empty())
        return false;
    if (painted)
        *painted = box;
    layRows(dab, reveal, box, source, 0, working, mask);
    return true;
}

int alphaForStrength(int percent)
{
    return (std::clamp(percent, 0, 100) * 255 + 50) / 100;
}

int alphaWithPressure(int alpha, float pressure)
{
    const float p = std::isfinite(pressure) ? std::clamp(pressure, 0.0f, 1.0f) : 1.0f;
    const int bytePressure = int(p * 255.0f + 0.5f);
    return std::max(1, (std::clamp(alpha, 0, 255) * bytePressure + 127) / 255);
}

}  // namespace BlendedDab
