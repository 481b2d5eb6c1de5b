#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <iostream>
#include <memory>
#include <vector>

#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/PaintTestCanvas.h"

using PaintTestCanvas::surfaceRgb;

namespace {

// The touch that lands on picture pixel (px, py) of a picture viewed in the
// 390-point-high canvas.
FloatPoint touchAt(const CanvasView& c, float px, float py)
{
    const float z = c.zoomLevel();
    const float left = float(c.centerX()) - z * c.pictureSize().width * 0.5f;
    const float top = float(c.centerY()) + z * c.pictureSize().height * 0.5f;
    return {left + px * z, 390.0f - top + py * z};
}

// Paints dabs of every shape, size and source over the middle and across every
// edge and corner of a 300 x 350 picture.
void paintAround(CanvasView& canvas, SegmentedControl& size, SegmentedControl& shape)
{
    const float spots[][2] = {{150, 175}, {0, 0}, {299, 0}, {0, 349}, {299, 349}, {-6, 120}, {305, 60},
                              {140, -7},  {90, 356}, {37.3f, 211.6f}, {255.5f, 99.5f}};
    int i = 0;
    for (const auto& s : spots) {
        size.setSelectedSegmentIndex(i % 4);
        shape.setSelectedSegmentIndex(i % 2);
        canvas.DrawCanvas(touchAt(canvas, s[0], s[1]), i % 3);
        ++i;
    }
}

}  // namespace

TEST(CanvasScreen, FullRedrawPlacesThePictureRectangle)
{
    // A 640 x 390 picture at zoom 0.5 centred on (160, 195) covers (0, 97.5) to
    // (320, 292.5): surface rows 97.5 to 292.5 from the top.
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    ASSERT_TRUE(CanvasTestAccess::installProject(*canvas, 1024, 512, {640, 390},
                                                 [](int, int, int) { return 0xFF4080C0u; }));
    CanvasTestAccess::setView(*canvas, 160, 195, 0.5f);
    canvas->UpdateScreen();
    const QImage& shown = canvas->presentedImage();
    ASSERT_EQ(shown.size(), QSize(320, 390));
    for (int y = 0; y < 390; ++y) {
        if (y == 97 || y == 292)
            continue;
        const std::uint32_t want = y >= 98 && y <= 291 ? 0x4080C0u : 0u;
        for (int x = 0; x < 320; ++x)
            ASSERT_EQ(surfaceRgb(shown, x, y), want) << x << "," << y;
    }
}

TEST(CanvasScreen, SmallPictureShowsEveryPixelInPlaceInsideBlackMargins)
{
    // 100 x 80 at zoom 1 centred on (160, 195): pixel (x, y) lands on (110 + x, 155 + y).
    std::unique_ptr<CanvasView> canvas = PaintTestCanvas::make(128, 128, {100, 80}, 160, 195, 1.0f);
    if (!canvas)
        NO_GL_CONTEXT();
    // What an earlier redraw at another place and zoom showed is cleared away.
    CanvasTestAccess::setView(*canvas, 60, 300, 2.0f);
    canvas->UpdateScreen();
    CanvasTestAccess::setView(*canvas, 160, 195, 1.0f);
    canvas->UpdateScreen();
    const QImage& shown = canvas->presentedImage();
    for (int y = 0; y < 390; ++y)
        for (int x = 0; x < 320; ++x) {
            const bool inside = x >= 110 && x < 210 && y >= 155 && y < 235;
            const std::uint32_t want = inside ? PaintTestCanvas::patternPixel(3, x - 110, y - 155) & 0xFFFFFFu : 0u;
            ASSERT_EQ(surfaceRgb(shown, x, y), want) << x << "," << y;
        }
}

TEST(CanvasScreen, PatchDrawsTheNamedTexelsOnlyAndNeitherClearsNorPresents)
{
    // 300 x 350 in 512 x 512 at zoom 1 centred on (160, 195): pixel (x, y) on (10 + x, 20 + y).
    std::unique_ptr<CanvasView> canvas = PaintTestCanvas::make(512, 512, {300, 350}, 160, 195, 1.0f);
    if (!canvas)
        NO_GL_CONTEXT();
    canvas->UpdateScreen();
    const QImage before = canvas->presentedImage().copy();
    const qint64 key = canvas->presentedImage().cacheKey();
    canvas->UpdateScreenRect(1, 10, 20, 11, 25);
    EXPECT_EQ(canvas->presentedImage().cacheKey(), key);
    canvas->swapBuffers();
    const QImage& after = canvas->presentedImage();
    for (int y = 20; y < 25; ++y)
        EXPECT_EQ(surfaceRgb(after, 20, 20 + y), PaintTestCanvas::patternPixel(1, 10, y) & 0xFFFFFFu) << y;
    EXPECT_EQ(PaintTestCanvas::differingPixels(before, after), 5);
}

TEST(CanvasScreen, WithoutAProjectNothingIsDrawnAndTheSurfaceIsBlack)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        NO_GL_CONTEXT();
    canvas->UpdateScreenRect(0, 0, 0, 1, 1);
    EXPECT_FALSE(canvas->DrawCanvas({160, 195}, 1));
    canvas->UpdateScreen();
    const QImage& shown = canvas->presentedImage();
    ASSERT_FALSE(shown.isNull());
    for (int y = 0; y < shown.height(); y += 13)
        for (int x = 0; x < shown.width(); x += 7)
            ASSERT_EQ(surfaceRgb(shown, x, y), 0u);
}

// After dabs the surface must show what a full redraw of the refreshed working
// texture shows. The picture is 300 x 350, in a square buffer and in buffers
// wider and taller than high, where texture coordinates over the wrong side
// would fetch other texels.
struct RedrawCase {
    float zoom;
    int bufferWidth;
    int bufferHeight;
};
void PrintTo(const RedrawCase& c, std::ostream* os)
{
    *os << "zoom " << c.zoom << ", " << c.bufferWidth << " x " << c.bufferHeight;
}

class PatchesMatchFullRedraw : public ::testing::TestWithParam<RedrawCase> {
protected:
    // Paints, then keeps the surface after the dabs (`painted`) and after
    // ReloadCanvas and a full redraw (`redrawn`), and which buffer each picture
    // pixel of the working image now comes from.
    bool run(bool nearest)
    {
        const int bufferWidth = GetParam().bufferWidth;
        canvas = PaintTestCanvas::make(bufferWidth, GetParam().bufferHeight, {300, 350}, 160, 195, zoom());
        if (!canvas)
            return false;
        if (nearest)
            PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        canvas->setBrushsize(&size);
        canvas->setBrushshape(&shape);
        paintAround(*canvas, size, shape);
        painted = canvas->presentedImage().copy();
        canvas->ReloadCanvas();
        if (nearest)
            PaintTestCanvas::sampleNearest(*canvas);
        canvas->UpdateScreen();
        redrawn = canvas->presentedImage().copy();
        origin.assign(300 * 350, -1);
        for (int y = 0; y < 350; ++y)
            for (int x = 0; x < 300; ++x)
                for (int b = 0; b < 4; ++b)
                    if (PaintTestCanvas::bufferPixel(canvas->workingBuffer(), bufferWidth, x, y) ==
                        PaintTestCanvas::patternPixel(b, x, y))
                        origin[std::size_t(y) * 300 + x] = b;
        return true;
    }
    float zoom() const { return GetParam().zoom; }
    // Picture coordinates (u, v) of the centre of surface pixel (x, y).
    float u(int x) const { return (float(x) + 0.5f - (160.0f - zoom() * 150.0f)) / zoom(); }
    float v(int y) const { return (195.0f + zoom() * 175.0f - (390.0f - float(y) - 0.5f)) / zoom(); }
    int originAt(int x, int y) const
    {
        return x >= 0 && y >= 0 && x < 300 && y < 350 ? origin[std::size_t(y) * 300 + x] : -1;
    }

    std::unique_ptr<CanvasView> canvas;
    SegmentedControl size{{"10", "15", "20", "25"}};
    SegmentedControl shape{{"round", "square"}};
    QImage painted, redrawn;
    std::vector<int> origin;
};

// Sampling the nearest texel, the patches land exactly where the full redraw puts
// the same texels, except on a surface pixel whose centre lies exactly on a
// border between two texels (zoom 1.25 here). There the rasteriser gives the
// pixel to one patch (GL's y runs up while picture rows run down, so on a row
// border to the upper row), while the full redraw's interpolated coordinate may
// fall on either side of the border.
TEST_P(PatchesMatchFullRedraw, ExactWhenTexelsAreSampledWithoutBlending)
{
    if (!run(true))
        NO_GL_CONTEXT();
    EXPECT_GT(std::count_if(origin.begin(), origin.end(), [](int o) { return o != 3; }), 3000);
    long onTexelBorders = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) {
            if (surfaceRgb(painted, x, y) == surfaceRgb(redrawn, x, y))
                continue;
            ASSERT_TRUE(u(x) == std::floor(u(x)) || v(y) == std::floor(v(y))) << "surface pixel " << x << "," << y;
            ++onTexelBorders;
        }
    std::cout << ::testing::PrintToString(GetParam()) << ": " << onTexelBorders << " pixels on texel borders differ\n";
}

// With the textures' own linear filtering, a full redraw at a zoom that does not
// put pixel centres on texel centres blends each texel with its neighbours, while
// a patch blends texels of its source only. The two differ only where the blend
// reaches across the border of a dab (or of the picture).
TEST_P(PatchesMatchFullRedraw, WithLinearFilteringOnlyAlongTheBordersOfDabs)
{
    if (!run(false))
        NO_GL_CONTEXT();
    long differing = 0;
    for (int y = 0; y < painted.height(); ++y)
        for (int x = 0; x < painted.width(); ++x) {
            if (surfaceRgb(painted, x, y) == surfaceRgb(redrawn, x, y))
                continue;
            ++differing;
            const int px = int(std::floor(u(x))), py = int(std::floor(v(y)));
            bool border = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    border |= originAt(px + dx, py + dy) != originAt(px, py);
            ASSERT_TRUE(border) << "surface pixel " << x << "," << y;
        }
    if (zoom() == 1.0f) {
        EXPECT_EQ(differing, 0);
    }
    std::cout << ::testing::PrintToString(GetParam()) << ": " << differing << " pixels differ along dab borders\n";
}

INSTANTIATE_TEST_SUITE_P(Layouts, PatchesMatchFullRedraw,
                         ::testing::Values(RedrawCase{1.0f, 512, 512}, RedrawCase{0.8f, 512, 512},
                                           RedrawCase{1.25f, 512, 512}, RedrawCase{0.32768f, 512, 512},
                                           RedrawCase{1.0f, 512, 1024}, RedrawCase{0.8f, 1024, 512}));
