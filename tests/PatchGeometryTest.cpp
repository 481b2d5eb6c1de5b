#include <gtest/gtest.h>

#include "canvas/PatchGeometry.h"

// The surface pixels a present must read after patches of picture pixels: the
// patch's points scaled to pixels, rows counted from the top, a pixel to spare on
// every side, clipped to the surface. A 100 x 80 picture, zoom 1 unless told.
TEST(PatchGeometry, SurfaceRectOfPatchesRoundsOutwardAndClipsAtTheEdges)
{
    const FloatSize view{320, 390};
    const struct {
        const char* what;
        int centerx, centery;
        float zoom;
        QRect picture;
        FloatSize surface;
        QRect expected;
    } cases[] = {
        {"one pixel at ratio 2", 160, 195, 1.0f, QRect(0, 0, 1, 1), {640, 780}, QRect(219, 309, 4, 4)},
        {"half a point a pixel", 160, 195, 0.5f, QRect(3, 5, 2, 2), {640, 780}, QRect(272, 354, 4, 4)},
        {"across the left edge", 0, 195, 1.0f, QRect(45, 0, 10, 10), {640, 780}, QRect(0, 309, 11, 22)},
        {"left of the view", 0, 195, 1.0f, QRect(0, 0, 10, 10), {640, 780}, QRect()},
        {"bottom right, ratio 1.5", 300, 45, 1.0f, QRect(60, 70, 10, 10), {480, 585}, QRect(464, 561, 16, 18)},
        {"no pixels", 160, 195, 1.0f, QRect(5, 5, 0, 3), {640, 780}, QRect()},
    };
    for (const auto& c : cases) {
        const PatchGeometry::Placement p = PatchGeometry::place(c.centerx, c.centery, c.zoom, {100, 80}, 128, 128);
        EXPECT_EQ(PatchGeometry::surfaceRect(p, c.picture, view, c.surface), c.expected) << c.what;
    }
}

// Columns a quarter of a point wide at (37.5 + x / 4, ...), rows from 110 down: a
// patch is drawn when some pixel centre lies within a sixteenth of a pixel of it.
TEST(PatchGeometry, APatchReachingNoPixelCentreIsLeftOut)
{
    const PatchGeometry::Placement p = PatchGeometry::place(50, 100, 0.25f, {100, 80}, 128, 128);
    const struct {
        int x1, y1, x2, y2;
        float ratio;
        bool drawn;
    } cases[] = {
        {0, 0, 1, 8, 1, true},    // 37.5 .. 37.75 holds the centre 37.5
        {1, 0, 2, 8, 1, false},   // 37.75 .. 38
        {2, 0, 3, 8, 1, false},   // 38 .. 38.25
        {3, 0, 4, 8, 1, true},    // 38.25 .. 38.5: the centre 38.5 within the margin
        {1, 0, 2, 8, 2, true},    // 75.5 .. 76 pixels
        {0, 0, 1, 1, 1, false},   // a row of 109.75 .. 110
        {1, 0, 2, 8, 0, true},    // no scale: every patch is drawn
    };
    for (const auto& c : cases)
        EXPECT_EQ(PatchGeometry::reachesPixelCentre(p, c.x1, c.y1, c.x2, c.y2, {c.ratio, c.ratio}), c.drawn)
            << c.x1 << ", " << c.y1 << " at " << c.ratio;
}
