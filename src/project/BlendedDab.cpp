#include "project/BlendedDab.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "project/ShareLookup.h"

namespace BlendedDab {

const std::uint8_t* falloffTable(int hardness)
{
    // Every hardness's table, made once: 101 x kFalloffSteps bytes, in double
    // precision (exact IEEE operations, the same on every machine).
    static const std::vector<std::uint8_t> tables = [] {
        std::vector<std::uint8_t> t(std::size_t(101) * kFalloffSteps);
        for (int h = 0; h <= 100; ++h)
            for (int q = 0; q < kFalloffSteps; ++q) {
                const double u = std::sqrt((double(q) + 0.5) / double(kFalloffSteps));
                const double inner = double(h) / 100.0;
                double c = 255.0;
                if (u > inner) {
                    const double s = 1.0 - (u - inner) / (1.0 - inner);
                    c = std::floor(255.0 * (s * s * (3.0 - 2.0 * s)) + 0.5);
                }
                t[std::size_t(h) * kFalloffSteps + std::size_t(q)] = std::uint8_t(c);
            }
        return t;
    }();
    return tables.data() + std::size_t(std::clamp(hardness, 0, 100)) * kFalloffSteps;
}

namespace {

// The step of a squared distance d2 inside a dab of squared radius r2, scale
// being kFalloffSteps / r2: truncated, at most the last step.
inline int falloffStep(float d2, float scale)
{
    const int q = int(d2 * scale);
    return q < kFalloffSteps - 1 ? q : kFalloffSteps - 1;
}

}  // namespace

std::uint8_t coverage(const BrushDab::Dab& dab, int hardness, int x, int y)
{
    const float dx = float(x) - dab.centre.x;
    const float dy = float(y) - dab.centre.y;
    const float r2 = dab.radius * dab.radius;
    const float scale = float(kFalloffSteps) / r2;
    if (dab.shape == BrushDab::Square) {
        if (hardness >= 100)
            return 255;
        const float d = std::max(std::fabs(dx), std::fabs(dy));
        return d < dab.radius ? falloffTable(hardness)[falloffStep(d * d, scale)] : 0;
    }
    if (dab.shape != BrushDab::Round)
        return 0;
    const float d2 = dy * dy + dx * dx;
    if (!(d2 < r2))
        return 0;
    if (hardness >= 100)
        return 255;
    return falloffTable(hardness)[falloffStep(d2, scale)];
}

static_assert(sizeof(Shares::ofStep) == kFalloffSteps + 1);

Shares::Shares(const Reveal& r) : reveal(r)
{
    const unsigned alpha = unsigned(std::clamp(reveal.alpha, 0, 255));
    const auto share = [alpha](unsigned c) { return std::uint8_t((c * alpha + 127u) / 255u); };
    inside = share(255);
    if (reveal.hardness >= 100)
        return;
    const std::uint8_t* table = falloffTable(reveal.hardness);
    for (int q = 0; q < kFalloffSteps; ++q)
        ofStep[q] = share(table[q]);
    while (flatSteps < kFalloffSteps && ofStep[flatSteps] == inside)
        ++flatSteps;
}

namespace {

// The shares of m steps: looked up one by one, unless all lie within the inner
// radius or past the radius.
inline __attribute__((always_inline)) void sharesOfSteps(const int* steps, int m, const Shares& of,
                                                         std::uint8_t* shares)
{
    int least = kFalloffSteps, most = 0;
    for (int i = 0; i < m; ++i) {
        least = std::min(least, steps[i]);
        most = std::max(most, steps[i]);
    }
    if (most < of.flatSteps)
        std::fill(shares, shares + m, of.inside);
    else if (least == kFalloffSteps)
        std::fill(shares, shares + m, std::uint8_t(0));
    else
        ShareLookup::lookUp(of.ofStep, steps, m, shares);
}

// Made twice, for processors with AVX2 (eight floats a step) and for any other,
// the one to run chosen when the program loads; both the same IEEE operations.
__attribute__((target_clones("avx2", "default")))
void sharesOfRow(const BrushDab::Dab& dab, bool hard, const Shares& of, const BrushDab::Box& box, int y,
                 std::uint8_t* shares)
{
    const int n = box.xe - box.xs + 1;
    // The numbers in locals: a store into the bytes may not be taken to change them.
    const float dy = float(y) - dab.centre.y;
    const float r = dab.radius;
    const float r2 = r * r;
    const float scale = float(kFalloffSteps) / r2;
    const float cx = dab.centre.x;
    const int xs = box.xs;
    if (dab.shape == BrushDab::Square) {
        if (hard) {
            std::fill(shares, shares + n, of.inside);
            return;
        }
        const float ady = std::fabs(dy);
        int steps[StrokeMask::kTileSide * 8];
        for (int first = 0; first < n; first += int(std::size(steps))) {
            const int m = std::min(n - first, int(std::size(steps)));
            for (int i = 0; i < m; ++i) {
                const float adx = std::fabs(float(xs + first + i) - cx);
                const float d = adx > ady ? adx : ady;
                const int q = falloffStep(d * d, scale);
                steps[i] = d < r ? q : kFalloffSteps;
            }
            sharesOfSteps(steps, m, of, shares + first);
        }
        return;
    }
    if (dab.shape != BrushDab::Round) {
        std::fill(shares, shares + n, std::uint8_t(0));
        return;
    }
    const float dy2 = dy * dy;
    if (hard) {
        const std::uint8_t inside = of.inside;
        for (int i = 0; i < n; ++i) {
            const float dx = float(xs + i) - cx;
            shares[i] = dy2 + dx * dx < r2 ? inside : std::uint8_t(0);
        }
        return;
    }
    // The steps first, a vector at a time (outside the dab: the step past the
    // last, whose share is 0), then their shares, without branches.
    int steps[StrokeMask::kTileSide * 8];
    for (int first = 0; first < n; first += int(std::size(steps))) {
        const int m = std::min(n - first, int(std::size(steps)));
        for (int i = 0; i < m; ++i) {
            const float dx = float(xs + first + i) - cx;
            const float d2 = dy2 + dx * dx;
            const int q = falloffStep(d2, scale);
            steps[i] = d2 < r2 ? q : kFalloffSteps;
        }
        sharesOfSteps(steps, m, of, shares + first);
    }
}

}  // namespace

void rowShares(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& box, int y,
               std::uint8_t* shares)
{
    sharesOfRow(dab, reveal.hardness >= 100, Shares(reveal), box, y, shares);
}

namespace {

// The columns of row y of the box that may hold a pixel of a round dab: from
// where the circle crosses the row, worked out in double, a column more either
// way (the float test of each pixel decides); all of them for a square dab.
BrushDab::Box rowReach(const BrushDab::Dab& dab, const BrushDab::Box& box, int y)
{
    BrushDab::Box row{box.xs, y, box.xe, y};
    if (dab.shape != BrushDab::Round)
        return row;
    const double dy = double(y) - double(dab.centre.y);
    const double half = std::sqrt(std::max(double(dab.radius) * double(dab.radius) - dy * dy, 0.0));
    row.xs = int(std::max(double(box.xs), std::floor(double(dab.centre.x) - half) - 1.0));
    row.xe = int(std::min(double(box.xe), std::ceil(double(dab.centre.x) + half) + 1.0));
    return row;
}

void layRows(const BrushDab::Dab& dab, const Reveal& reveal, const BrushDab::Box& box, const std::uint8_t* source,
             std::uint8_t* working, StrokeMask& mask)
{
    const std::size_t stride = std::size_t(dab.bufferWidth) * 4;
    std::vector<std::uint8_t> shares(std::size_t(box.xe - box.xs + 1));
    const Shares of(reveal);
    for (int y = box.ys; y <= box.ye; ++y) {
        const BrushDab::Box row = rowReach(dab, box, y);
        if (row.empty())
            continue;
        sharesOfRow(dab, reveal.hardness >= 100, of, row, y, shares.data());
        mask.reveal(y, row.xs, row.xe, shares.data(), source + stride * std::size_t(y), working);
    }
}

}  // namespace

namespace {

// One row of a dab: the share of each of its pixels, by the same float
// operations as sharesOfRow, and the largest share of a stretch of it.
class DabRow {
public:
    DabRow(const BrushDab::Dab& dab, bool hard, const Shares& of, int y)
        : mOf(of), mShape(dab.shape), mHard(hard), mCx(dab.centre.x), mR(dab.radius)
    {
        const float dy = float(y) - dab.centre.y;
        mDy2 = dy * dy;
        mAdy = std::fabs(dy);
        mR2 = mR * mR;
        mScale = float(kFalloffSteps) / mR2;
        mBelow = int(std::floor(double(mCx)));
    }

    std::uint8_t share(int x) const
    {
        const float dx = float(x) - mCx;
        if (mShape == BrushDab::Square) {
            if (mHard)
                return mOf.inside;
            const float adx = std::fabs(dx);
            const float d = adx > mAdy ? adx : mAdy;
            return d < mR ? mOf.ofStep[falloffStep(d * d, mScale)] : 0;
        }
        if (mShape != BrushDab::Round)
            return 0;
        const float d2 = mDy2 + dx * dx;
        if (!(d2 < mR2))
            return 0;
        return mHard ? mOf.inside : mOf.ofStep[falloffStep(d2, mScale)];
    }

    // The share falls with the distance from the centre column: the largest of
    // pixels x0..x1 is at the end nearer the centre, or at a neighbour of it.
    int most(int x0, int x1) const
    {
        if (x1 <= mBelow)
            return share(x1);
        if (x0 > mBelow)
            return share(x0);
        return std::max<int>(share(mBelow), x1 > mBelow ? share(mBelow + 1) : 0);
    }

private:
    const Shares& mOf;
    int mShape;
    bool mHard;
    float mCx, mR, mDy2 = 0, mAdy = 0, mR2 = 0, mScale = 0;
    int mBelow = 0;
};

}  // namespace

void markRows(const BrushDab::Dab& dab, const Shares& of, const BrushDab::Box& rows, int source,
              StrokeMask& mask)
{
    if (rows.empty())
        return;
    const bool hard = of.reveal.hardness >= 100;
    // Soft round rows a tile's row at a time with the processor's widest loops.
    const bool wide = !hard && dab.shape == BrushDab::Round && ShareLookup::hasRoundRows();
    for (int y = rows.ys; y <= rows.ye; ++y) {
        const BrushDab::Box row = rowReach(dab, rows, y);
        if (row.empty())
            continue;
        const DabRow dabRow(dab, hard, of, y);
        const auto most = [&](int x, int length) { return dabRow.most(x, x + length - 1); };
        if (wide) {
            const float dy = float(y) - dab.centre.y;
            const float r2 = dab.radius * dab.radius;
            const ShareLookup::RoundRow round{dab.centre.x, dy * dy, r2, float(kFalloffSteps) / r2};
            mask.mark(y, row.xs, row.xe, source, most, [&](int x, int length, std::uint8_t* shares) {
                ShareLookup::roundRow(round, of.ofStep, x, x % StrokeMask::kTileSide, length, shares);
            });
            continue;
        }
        mask.mark(y, row.xs, row.xe, source, most, [&](int x, int length, std::uint8_t* shares) {
            std::fill(shares, shares + StrokeMask::kTileSide, std::uint8_t(0));
            sharesOfRow(dab, hard, of, BrushDab::Box{x, y, x + length - 1, y}, y,
                        shares + x % StrokeMask::kTileSide);
        });
    }
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
    layRows(dab, reveal, box, source, working, mask);
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
