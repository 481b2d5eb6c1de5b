#pragma once

#include <cstddef>
#include <cstdint>

// Copies a width x height picture of 32-bit pixels into `dst`, turned upright as
// its orientation tag (0..7, see ImageOrientation) says. `dst` is width x height
// for the tags Up, Down, UpMirrored and DownMirrored and height x width for the
// quarter turns Left, Right, LeftMirrored and RightMirrored. Strides count pixels.
// Stored pixel (u, v) of a W x H picture lands at:
//   Up (u, v)             Down (W-1-u, H-1-v)      Left (v, W-1-u)          Right (H-1-v, u)
//   UpMirrored (W-1-u, v) DownMirrored (u, H-1-v)  LeftMirrored (v, u)      RightMirrored (H-1-v, W-1-u)
// Every pixel is copied unchanged. Throws InternalInconsistency("Invalid image
// orientation") for a tag outside 0..7.
void orientPixels(const std::uint32_t* src, int width, int height, std::ptrdiff_t srcStride, int orientation,
                  std::uint32_t* dst, std::ptrdiff_t dstStride);

// True for the tags whose upright picture has width and height exchanged.
bool orientationSwapsSides(int orientation);
