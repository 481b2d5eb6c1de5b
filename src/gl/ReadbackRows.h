#pragma once

#include <cstddef>
#include <cstdint>

// Turns pixels read back from a GL colour buffer (RGBA bytes, bottom row first,
// rows of width x 4 bytes without gaps) into an opaque image: top row first, each
// destination row `destinationStride` bytes apart, alpha set to 255 (the screen
// shows no transparency; nothing on the surface is blended).
void copyReadbackRows(const std::uint8_t* bottomUp, int width, int height, std::uint8_t* topDown,
                      std::size_t destinationStride);
