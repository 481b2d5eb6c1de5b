#include "project/OrientPixels.h"

#include <new>
#include <vector>

#include "imageio/Image.h"
#include "base/InternalInconsistency.h"

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

bool orientPixelsInPlace(std::uint32_t* pixels, int width, int height, int orientation)
{
    const SourceWalk walk = sourceWalk(orientation, width, height, width);
    if (orientation == ImageOrientationUp || width <= 0 || height <= 0)
        return true;
    const std::size_t count = std::size_t(width) * std::size_t(height);
    std::vector<std::uint64_t> moved;
    try {
        moved.assign((count + 63) / 64, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    const std::size_t outWidth = orientationSwapsSides(orientation) ? std::size_t(height) : std::size_t(width);
    // Upright pixel d = (X, Y) comes from stored pixel base + X * stepX + Y * stepY.
    const auto sourceOf = [&](std::size_t d) {
        const auto x = std::ptrdiff_t(d % outWidth);
        const auto y = std::ptrdiff_t(d / outWidth);
        return std::size_t(walk.base + x * walk.stepX + y * walk.stepY);
    };
    for (std::size_t start = 0; start < count; ++start) {
        if (moved[start / 64] >> (start % 64) & 1)
            continue;
        const std::uint32_t first = pixels[start];
        std::size_t d = start;
        for (;;) {
            moved[d / 64] |= std::uint64_t(1) << (d % 64);
            const std::size_t s = sourceOf(d);
            if (s == start) {
                pixels[d] = first;
                break;
            }
            pixels[d] = pixels[s];
            d = s;
        }
    }
    return true;
}
