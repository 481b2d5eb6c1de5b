#pragma once

#include <QImage>
#include <cstdint>

// The top-left columns x rows pixels of a buffer of 4-byte pixels (R, G, B, A;
// bufferWidth pixels a row) as an opaque RGB image of its own: each pixel's
// stored R, G and B, the fourth byte left out. This is what the painting program
// shows of a buffer, since it draws its pictures without blending. A null image
// when there is no buffer, no area or no memory.
QImage opaqueRgbImage(const std::uint8_t* buffer, int bufferWidth, int columns, int rows);
