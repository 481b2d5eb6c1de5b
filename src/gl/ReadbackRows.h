#pragma once

#include <cstddef>
#include <cstdint>

// The byte order of pixels read back from a GL colour buffer.
enum class ReadbackOrder { Rgba, Bgra };

// Turns pixels read back from a GL colour buffer (4 bytes each in `order`, bottom
// row first, rows of width x 4 bytes without gaps) into opaque QImage::Format_RGB32
// pixels (words 0xffRRGGBB): top row first, each destination row
// `destinationStride` bytes apart, alpha 255 whatever was read (the screen shows
// no transparency; nothing on the surface is blended).
void copyReadbackRows(const std::uint8_t* bottomUp, ReadbackOrder order, int width, int height,
                      std::uint8_t* topDown, std::size_t destinationStride);
