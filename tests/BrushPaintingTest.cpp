#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <vector>

#include "project/BrushDab.h"
#include "support/CanvasTestAccess.h"
#include "support/GlContextTest.h"
#include "support/PaintTestCanvas.h"

using namespace BrushDab;

namespace {

// A source of 0xAA bytes and a working buffer of 0x11 bytes.
struct Buffers {
    int width, height;
    std::vector<std::uint8_t> source, working;
    Buffers(int w, int h)
        : width(w), height(h), source(std::size_t(w) * h * 4, 0xAA), working(std::size_t(w) * h * 4, 0x11)
    {
    }
    bool painted(int x, int y) const { return working[(std::size_t(y) * width + x) * 4] == 0xAA; }
    int count() const
    {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                n += painted(x, y);
        return n;
    }
    bool paint(float px, float py, float r, int shape, FloatSize picture, std::vector<ColumnRun>& runs)
    {
        return BrushDab::paint(Dab{{px, py}, r, shape, picture, width, height}, source.data(), working.data(), runs);
    }
};

}  // namespace

TEST(BrushDab, TouchMapsToPicturePixelsAndTheRadiusKeepsItsScreenSize)
{
    // A 640 x 390 picture at zoom 0.5 centred on (160, 195) in a view 390 points high.
    const Placement p{0.5f, 160, 195, {640, 390}, 390};
    EXPECT_EQ(centreInPicture({0, 0}, p), (FloatPoint{0, -195}));
    EXPECT_EQ(centreInPicture({160, 195}, p), (FloatPoint{320, 195}));
    EXPECT_EQ(centreInPicture({320, 292.5f}, p), (FloatPoint{640, 390}));

    EXPECT_EQ(radiusInPixels(0, 0.5f), 20.0f);
    EXPECT_EQ(radiusInPixels(0, 2.0f), 5.0f);
    EXPECT_EQ(radiusInPixels(-1, 1.0f), 5.0f);
    EXPECT_EQ(radiusInPixels(3, 0.32768f), float(25.0 / double(0.32768f)));
}

TEST(BrushDab, RoundBrushPaintsStrictlyInsideTheRadiusOneRunPerColumn)
{
    Buffers b(32, 32);
    std::vector<ColumnRun> runs;
    ASSERT_TRUE(b.paint(10, 10, 5, Round, {32, 32}, runs));
    EXPECT_EQ(b.count(), 69);  // lattice points with dx^2 + dy^2 < 25
    EXPECT_FALSE(b.painted(15, 10));  // exactly at distance r
    EXPECT_FALSE(b.painted(10, 5));
    EXPECT_FALSE(b.painted(13, 14));  // 9 + 16 = 25
    EXPECT_TRUE(b.painted(14, 10));
    EXPECT_TRUE(b.painted(13, 13));
    // Columns 5 and 15 of the box hold no painted pixel and report no run.
    ASSERT_EQ(runs.size(), 9u);
    EXPECT_EQ(runs.front(), (ColumnRun{6, 8, 12}));
    EXPECT_EQ(runs[4], (ColumnRun{10, 6, 14}));
}

TEST(BrushDab, BoxLimitsTruncateTowardZero)
{
    std::vector<ColumnRun> runs;
    // Centre left of the picture with px + r = -0.5: column 0 is still in the box.
    Buffers a(32, 32);
    ASSERT_TRUE(a.paint(-5.5f, 20, 5, Square, {32, 32}, runs));
    EXPECT_EQ(runs, (std::vector<ColumnRun>{{0, 15, 25}}));
    // Likewise row 0 for a centre above the picture.
    Buffers b(32, 32);
    ASSERT_TRUE(b.paint(20, -5.5f, 5, Square, {32, 32}, runs));
    EXPECT_EQ(runs.size(), 11u);
    EXPECT_EQ(runs.front(), (ColumnRun{15, 0, 0}));
    EXPECT_EQ(b.count(), 11);
    // The round brush decides by distance: 5.5 > 5.
    EXPECT_FALSE(a.paint(-5.5f, 20, 5, Round, {32, 32}, runs));
    // px + r = -1.5 truncates to -1: nothing.
    EXPECT_FALSE(a.paint(-6.5f, 20, 5, Square, {32, 32}, runs));
    EXPECT_TRUE(runs.empty());
}

TEST(BrushDab, DabsStayInsideThePictureAreaOfTheBuffer)
{
    Buffers b(64, 64);  // a 50 x 40 picture; the rest of the buffer is spare
    std::vector<ColumnRun> runs;
    for (int shape : {Round, Square})
        for (FloatPoint c : {FloatPoint{-3, -3}, {52, -3}, {-3, 42}, {52, 42}, {25, 20}})
            EXPECT_TRUE(b.paint(c.x, c.y, 12, shape, {50, 40}, runs));
    for (FloatPoint corner : {FloatPoint{0, 0}, {49, 0}, {0, 39}, {49, 39}})
        EXPECT_TRUE(b.painted(int(corner.x), int(corner.y)));
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            if (x >= 50 || y >= 40) {
                ASSERT_FALSE(b.painted(x, y)) << x << "," << y;
            }
}

TEST(BrushDab, OtherShapesAndUnusableGeometryPaintNothing)
{
    Buffers b(32, 32);
    std::vector<ColumnRun> runs;
    EXPECT_FALSE(b.paint(10, 10, 5, 2, {32, 32}, runs));
    EXPECT_FALSE(b.paint(10, 10, 5, -1, {32, 32}, runs));
    // A zoom of 0 gives an infinite radius and a centre that is not a number.
    const Placement zero{0.0f, 160, 195, {32, 32}, 390};
    EXPECT_FALSE(b.paint(centreInPicture({160, 195}, zero).x, 10, radiusInPixels(0, 0.0f), Square, {32, 32}, runs));
    // Far beyond the int range.
    EXPECT_FALSE(b.paint(3e10f, -3e10f, 1e10f, Square, {32, 32}, runs));
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(b.count(), 0);
}

namespace {

// The dab as described pixel by pixel, straight from the float arithmetic.
std::vector<ColumnRun> referenceDab(float px, float py, float r, int shape, FloatSize pic, Buffers& b)
{
    std::vector<ColumnRun> runs;
    const int xs = std::max(0, int(px - r)), ys = std::max(0, int(py - r));
    const int xe = int(std::min(float(int(px + r)), pic.width - 1.0f));
    const int ye = int(std::min(float(int(py + r)), pic.height - 1.0f));
    for (int x = xs; x <= xe; ++x) {
        const float dx2 = (float(x) - px) * (float(x) - px);
        int first = -1, last = -1;
        for (int y = ys; y <= ye; ++y) {
            const float d2 = (float(y) - py) * (float(y) - py) + dx2;
            if ((shape == Round && d2 < r * r) || shape == Square) {
                first = first == -1 ? y : first;
                last = y;
                const std::size_t at = (std::size_t(y) * b.width + x) * 4;
                std::copy_n(&b.source[at], 4, &b.working[at]);
            }
        }
        if (first != -1)
            runs.push_back({x, first, last});
    }
    return runs;
}

}  // namespace

TEST(BrushDab, PaintsExactlyThePixelsOfThePerPixelTest)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> position(-30.0f, 80.0f), zoom(0.2f, 4.0f);
    std::vector<ColumnRun> runs;
    for (int i = 0; i < 3000; ++i) {
        Buffers fast(64, 64), slow(64, 64);
        for (std::size_t k = 0; k < fast.source.size(); ++k)
            fast.source[k] = slow.source[k] = std::uint8_t(k * 31 + 1);
        const float px = position(random), py = position(random), r = radiusInPixels(i % 5 - 1, zoom(random));
        const int shape = i % 2;
        fast.paint(px, py, r, shape, {50, 40}, runs);
        ASSERT_EQ(runs, referenceDab(px, py, r, shape, {50, 40}, slow)) << px << "," << py << " r " << r;
        ASSERT_EQ(fast.working, slow.working) << px << "," << py << " r " << r;
    }
}

// Runs of any lengths, columns skipped between them, rows entered and left again:
// each row's span is still its outermost columns.
TEST(BrushDab, RowSpansAreTheOuterColumnsOfEveryRow)
{
    std::mt19937 random(11);
    const Box box{3, 2, 40, 17};
    for (int i = 0; i < 2000; ++i) {
        std::vector<ColumnRun> runs;
        for (int x = box.xs; x <= box.xe; ++x) {
            const int a = box.ys + int(random() % 16), b = box.ys + int(random() % 16);
            if (random() % 3 != 0)
                runs.push_back({x, std::min(a, b), std::max(a, b)});
        }
        std::vector<int> wantLeft(16, INT_MAX), wantRight(16, INT_MIN), left, right;
        for (const ColumnRun& run : runs)
            for (int y = run.first; y <= run.last; ++y) {
                wantLeft[std::size_t(y - box.ys)] = std::min(wantLeft[std::size_t(y - box.ys)], run.x);
                wantRight[std::size_t(y - box.ys)] = std::max(wantRight[std::size_t(y - box.ys)], run.x);
            }
        rowSpans(runs, box, left, right);
        ASSERT_EQ(left, wantLeft);
        ASSERT_EQ(right, wantRight);
    }
}

// DrawCanvas on a canvas: a 100 x 80 picture at zoom 1 centred on (160, 195), so
// the view centre touches picture pixel (50, 40).
class DrawCanvasTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        canvas = PaintTestCanvas::make(128, 128, {100, 80}, 160, 195, 1.0f);
        if (!canvas)
            NO_GL_CONTEXT();
        size.setTitles({"10", "15", "20", "25"});
        shape.setTitles({"round", "square", "other"});
        canvas->UpdateScreen();
    }
    int countEqualTo(int source) const
    {
        int n = 0;
        for (int y = 0; y < 128; ++y)
            for (int x = 0; x < 128; ++x)
                n += PaintTestCanvas::bufferPixel(canvas->workingBuffer(), 128, x, y) ==
                     PaintTestCanvas::patternPixel(source, x, y);
        return n;
    }
    qint64 presentKey() const { return canvas->presentedImage().cacheKey(); }

    std::unique_ptr<CanvasView> canvas;
    SegmentedControl size, shape;
};

TEST_F(DrawCanvasTest, DabThatPaintsNoPixelNeitherDrawsNorPresents)
{
    const std::vector<std::uint8_t> before(canvas->workingBuffer(), canvas->workingBuffer() + 128 * 128 * 4);
    const QImage shown = canvas->presentedImage().copy();
    const qint64 key = presentKey();
    EXPECT_FALSE(canvas->DrawCanvas({10, 10}, 0));  // far outside
    EXPECT_FALSE(canvas->DrawCanvas({102, 147}, 1));  // box reaches pixel (0, 0), the circle does not
    canvas->setBrushshape(&shape);
    for (int index : {2, -1}) {
        shape.setSelectedSegmentIndex(index);
        EXPECT_FALSE(canvas->DrawCanvas({160, 195}, 2));
    }
    EXPECT_EQ(presentKey(), key);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), canvas->workingBuffer()));
    canvas->swapBuffers();
    EXPECT_EQ(PaintTestCanvas::differingPixels(shown, canvas->presentedImage()), 0);
}

TEST_F(DrawCanvasTest, ControlsChooseSizeAndShapeAndZoomScalesTheRadius)
{
    // Without controls: the round brush of 10 points.
    ASSERT_TRUE(canvas->DrawCanvas({160, 195}, 0));
    EXPECT_EQ(countEqualTo(0), 305);  // lattice points with dx^2 + dy^2 < 100

    canvas->setBrushsize(&size);
    canvas->setBrushshape(&shape);
    size.setSelectedSegmentIndex(0);
    shape.setSelectedSegmentIndex(1);
    CanvasTestAccess::setView(*canvas, 160, 195, 0.5f);  // radius 20 pixels
    ASSERT_TRUE(canvas->DrawCanvas({160, 195}, 1));
    EXPECT_EQ(countEqualTo(1), 41 * 41);
    CanvasTestAccess::setView(*canvas, 160, 195, 2.0f);  // radius 5 pixels
    ASSERT_TRUE(canvas->DrawCanvas({160, 195}, 2));
    EXPECT_EQ(countEqualTo(2), 11 * 11);
    size.setSelectedSegmentIndex(2);  // 20 points at zoom 2: radius 10
    ASSERT_TRUE(canvas->DrawCanvas({160, 195}, 2));
    EXPECT_EQ(countEqualTo(2), 21 * 21);
}

TEST_F(DrawCanvasTest, DabOverPixelsAlreadyCopiedStillDrawsAndPresents)
{
    ASSERT_TRUE(canvas->DrawCanvas({180, 200}, 1));
    const qint64 key = presentKey();
    EXPECT_TRUE(canvas->DrawCanvas({180, 200}, 1));
    EXPECT_NE(presentKey(), key);
}
