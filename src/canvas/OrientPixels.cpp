#include "canvas/OrientPixels.h"

#include "platform/Image.h"
#include "platform/InternalInconsistency.h"

namespace {

// Output pixel (X, Y) reads source pixel base + X * stepX + Y * stepY.
struct SourceWalk {
    std::ptrdiff_t base;
    std::ptrdiff_t stepX;
    std::ptrdiff_t stepY;
};

SourceWalk sourceWalk(int orientation, std::ptrdiff_t w, std::ptrdiff_t h, std::ptrdiff_t stride)
{
    const std::ptrdiff_t lastRow = (h - 1) * stride;
    const std::ptrdiff_t lastColumn = w - 1;
    switch (orientation) {
    case ImageOrientationUp:            return {0, 1, stride};
    case ImageOrientationDown:          return {lastRow + lastColumn, -1, -stride};
    case ImageOrientationLeft:          return {lastColumn, stride, -1};           // u = W-1-Y, v = X
    case ImageOrientationRight:         return {lastRow, -stride, 1};              // u = Y, v = H-1-X
    case ImageOrientationUpMirrored:    return {lastColumn, -1, stride};
    case ImageOrientationDownMirrored:  return {lastRow, 1, -stride};
    case ImageOrientationLeftMirrored:  return {0, stride, 1};                     // u = Y, v = X
    case ImageOrientationRightMirrored: return {lastRow + lastColumn, -stride, -1}; // u = W-1-Y, v = H-1-X
    default: throw InternalInconsistency("Invalid image orientation");
    }
}

}  // namespace

bool orientationSwapsSides(int orientation)
{
    return orientation == ImageOrientationLeft || orientation == ImageOrientationRight ||
           orientation == ImageOrientationLeftMirrored || orientation == ImageOrientationRightMirrored;
}

void orientPixels(const std::uint32_t* src, int width, int height, std::ptrdiff_t srcStride, int orientation,
                  std::uint32_t* dst, std::ptrdiff_t dstStride)
{
    const SourceWalk walk = sourceWalk(orientation, width, height, srcStride);
    if (width <= 0 || height <= 0)
        return;
    const bool swapped = orientationSwapsSides(orientation);
    const int outWidth = swapped ? height : width;
    const int outHeight = swapped ? width : height;
    if (walk.stepX == 1 || walk.stepX == -1) {
        // Rows stay rows: walk both pictures row by row.
        for (int y = 0; y < outHeight; ++y) {
            const std::uint32_t* s = src + walk.base + y * walk.stepY;
            std::uint32_t* d = dst + y * dstStride;
            for (int x = 0; x < outWidth; ++x, s += walk.stepX)
                d[x] = *s;
        }
        return;
    }
    // Quarter turns read columns: go in tiles so that the rows touched stay cached.
    constexpr int kTile = 32;
    for (int ty = 0; ty < outHeight; ty += kTile) {
        const int yEnd = ty + kTile < outHeight ? ty + kTile : outHeight;
        for (int tx = 0; tx < outWidth; tx += kTile) {
            const int xEnd = tx + kTile < outWidth ? tx + kTile : outWidth;
            for (int y = ty; y < yEnd; ++y) {
                const std::uint32_t* s = src + walk.base + y * walk.stepY + tx * walk.stepX;
                std::uint32_t* d = dst + y * dstStride;
                for (int x = tx; x < xEnd; ++x, s += walk.stepX)
                    d[x] = *s;
            }
        }
    }
}
