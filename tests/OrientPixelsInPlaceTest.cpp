// Turning a picture upright within its own memory: every tag and shape against
// the placement of each stored pixel written out plainly.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "project/OrientPixels.h"
#include "imageio/Image.h"

namespace {

// Where stored pixel (u, v) of a w x h picture lands, and the upright width.
struct Landing {
    int x, y, outWidth;
};

Landing landing(int tag, int u, int v, int w, int h)
{
    switch (tag) {
    case ImageOrientationUp:            return {u, v, w};
    case ImageOrientationDown:          return {w - 1 - u, h - 1 - v, w};
    case ImageOrientationLeft:          return {v, w - 1 - u, h};
    case ImageOrientationRight:         return {h - 1 - v, u, h};
    case ImageOrientationUpMirrored:    return {w - 1 - u, v, w};
    case ImageOrientationDownMirrored:  return {u, h - 1 - v, w};
    case ImageOrientationLeftMirrored:  return {v, u, h};
    default:                            return {h - 1 - v, w - 1 - u, h};  // RightMirrored
    }
}

}  // namespace

TEST(OrientPixelsInPlace, EveryTagAndShapeLandsEachPixelWhereTheTurnSays)
{
    struct Shape {
        int w, h;
    };
    // Single pixels, lines, odd and even sides, squares (cycles of four and
    // fixed points) and long pictures (long cycles).
    const Shape shapes[] = {{1, 1}, {1, 7}, {7, 1}, {2, 2}, {5, 3}, {3, 5}, {6, 6}, {7, 7}, {64, 37}, {37, 64}, {130, 3}};
    for (int tag = ImageOrientationUp; tag <= ImageOrientationRightMirrored; ++tag)
        for (const Shape& shape : shapes) {
            SCOPED_TRACE(testing::Message() << "tag " << tag << ", " << shape.w << " x " << shape.h);
            std::vector<std::uint32_t> pixels(std::size_t(shape.w) * shape.h);
            for (std::size_t i = 0; i < pixels.size(); ++i)
                pixels[i] = std::uint32_t(i * 2654435761u);  // all different
            std::vector<std::uint32_t> expected(pixels.size());
            for (int v = 0; v < shape.h; ++v)
                for (int u = 0; u < shape.w; ++u) {
                    const Landing at = landing(tag, u, v, shape.w, shape.h);
                    expected[std::size_t(at.y) * at.outWidth + at.x] = pixels[std::size_t(v) * shape.w + u];
                }
            ASSERT_TRUE(orientPixelsInPlace(pixels.data(), shape.w, shape.h, tag));
            ASSERT_EQ(pixels, expected);
        }
}

TEST(OrientPixelsInPlace, AnUnknownTagIsRefusedAndTouchesNothing)
{
    std::vector<std::uint32_t> pixels{1, 2, 3, 4, 5, 6};
    EXPECT_ANY_THROW(orientPixelsInPlace(pixels.data(), 3, 2, 8));
    EXPECT_EQ(pixels, (std::vector<std::uint32_t>{1, 2, 3, 4, 5, 6}));
}
