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

// The same within the picture's own memory: `pixels` holds a packed width x
// height picture (a stride of `width`) and afterwards its upright picture, packed
// too, with the sides exchanged for the quarter turns. Each pixel moves once,
// along the cycles of the turn; a note of one bit a pixel marks the moved ones
// (none for Up, which moves nothing). False, with the pixels untouched, when that
// note cannot be had. Throws as orientPixels does.
bool orientPixelsInPlace(std::uint32_t* pixels, int width, int height, int orientation);

// True for the tags whose upright picture has width and height exchanged.
bool orientationSwapsSides(int orientation);
