// The drawing painted again from its record: which pixels a round dab covers in
// the replay (strictly inside the radius, so a pixel exactly at it stays out), at
// the project's size and on a photo whose two axes are scaled differently.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "project/BrushDab.h"
#include "project/FullResolutionRender.h"

namespace {

// A photo whose red is always below its green, so that no pixel equals the grey
// black sketch drawn over it.
std::vector<std::uint8_t> photo(int w, int h)
{
    std::vector<std::uint8_t> pixels(std::size_t(w) * std::size_t(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = &pixels[(std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4];
            p[0] = std::uint8_t((x * 7 + y * 3) & 127);
            p[1] = std::uint8_t(128 + ((x * x + y * 5) & 127));
            p[2] = std::uint8_t((x * 13) ^ (y * 11));
            p[3] = 255;
        }
    return pixels;
}

struct Case {
    const char* what;
    FloatSize project;
    int photoWidth, photoHeight;
    StrokeHistory::Dab dab;  // in project pixels
    // The dab on the photo, whole numbers so that the test below is exact.
    int centreX, centreY, radius;
};

}  // namespace

TEST(DrawingReplay, ARoundDabCoversThePixelsStrictlyInsideItsRadiusAndNotThoseOnIt)
{
    const Case cases[] = {
        // Pixels at distance exactly 5: (25, 15), (20, 10), (23, 19), (17, 11) ...
        {"own size", {40, 30}, 40, 30, {{20, 15}, 5.0f, BrushDab::Round, 0}, 20, 15, 5},
        {"own size, cut by the corner", {40, 30}, 40, 30, {{3, 4}, 5.0f, BrushDab::Round, 0}, 3, 4, 5},
        // x 3 both ways: centre (10.5 x 3 - 0.5) = 31, radius 15: (40, 43) is on it.
        {"3 x 3", {20, 20}, 60, 60, {{10, 10}, 5.0f, BrushDab::Round, 0}, 31, 31, 15},
        // x 3 across, x 75 down: radius 1 x sqrt(3 x 75) = 15, centre (6.5 x 3 - 0.5,
        // 1.5 x 75 - 0.5) = (19, 112); (28, 124) and (34, 112) are on it.
        {"3 x 75", {20, 4}, 60, 300, {{6, 1}, 1.0f, BrushDab::Round, 0}, 19, 112, 15},
        // x 27 across, x 3 down: radius 9, centre (40, 31).
        {"27 x 3", {4, 20}, 108, 60, {{1, 10}, 1.0f, BrushDab::Round, 0}, 40, 31, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int w = c.photoWidth, h = c.photoHeight;
        const FloatSize picsize{float(w), float(h)};
        const std::vector<std::uint8_t> original = photo(w, h);
        // The black sketch at this scale: the picture started from it, no dabs.
        std::vector<std::uint8_t> black = original;
        const std::vector<StrokeHistory::Dab> none;
        ASSERT_TRUE(renderFullResolution({black.data(), w, h, picsize, c.project, 0, &none, 7}));
        // The photo, and one dab of the black sketch over it.
        std::vector<std::uint8_t> drawn = original;
        const std::vector<StrokeHistory::Dab> dabs{c.dab};
        ASSERT_TRUE(renderFullResolution({drawn.data(), w, h, picsize, c.project, 2, &dabs, 7}));

        int covered = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int dx = x - c.centreX, dy = y - c.centreY;
                const bool inside = dx * dx + dy * dy < c.radius * c.radius;
                covered += inside;
                const std::size_t at = (std::size_t(y) * std::size_t(w) + std::size_t(x)) * 4;
                const std::vector<std::uint8_t>& want = inside ? black : original;
                ASSERT_EQ(std::memcmp(&drawn[at], &want[at], 4), 0)
                    << "pixel " << x << "," << y << (inside ? " inside" : " outside");
            }
        EXPECT_GT(covered, 20);
    }
}

TEST(DrawingReplay, ScaledDabsKeepPixelCentresAndScaleTheRadiusByTheMeanOfTheAxes)
{
    struct Scaling {
        StrokeHistory::Dab dab;
        double scaleX, scaleY;
        StrokeHistory::Dab want;
    };
    const Scaling table[] = {
        {{{10, 10}, 3.0f, 0, 1}, 2, 8, {{20.5f, 83.5f}, 12.0f, 0, 1}},
        {{{0, 0}, 2.5f, 1, 2}, 3, 12, {{1, 5.5f}, 15.0f, 1, 2}},
        {{{6, 1}, 1.0f, 0, 0}, 3, 75, {{19, 112}, 15.0f, 0, 0}},
        {{{-1.5f, 7.25f}, 4.0f, 0, 0}, 0.5, 2, {{-1, 15}, 4.0f, 0, 0}},
        {{{1.1f, 2.2f}, 3.3f, 0, 0}, 1, 1, {{1.1f, 2.2f}, 3.3f, 0, 0}},  // unchanged at 1
    };
    for (const Scaling& s : table) {
        const StrokeHistory::Dab got = scaledDab(s.dab, s.scaleX, s.scaleY);
        EXPECT_EQ(got, s.want) << s.scaleX << " x " << s.scaleY << ": centre " << got.centre.x << ","
                               << got.centre.y << " radius " << got.radius;
    }
}
