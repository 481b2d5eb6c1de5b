#pragma once

#include <QImage>
#include <cstdint>

#include "base/Geometry.h"
#include "base/PixelMemory.h"

// Pixel layouts of an unpacked picture: the numbers of the texture formats of the
// same layout, so that a picture goes to a texture as it is.
constexpr int kUnpackedRGBA8888 = 1;
constexpr int kUnpackedA8 = 3;

// A picture unpacked into a texture-shaped pixel buffer.
struct UnpackedPicture {
    PixelBlock buffer;         // width x height pixels; empty when the allocation failed
    int pixelFormat = 0;       // kUnpackedRGBA8888 (4 bytes R, G, B, A) or kUnpackedA8 (1 byte)
    std::uint32_t width = 0;   // power of two, at most 1024
    std::uint32_t height = 0;  // power of two, at most 1024
    FloatSize imageSize;       // the picture's size inside the buffer, from the top-left corner
};

// Smallest power of two not below n (1 stays 1).
std::uint32_t texturePowerOfTwo(std::uint32_t n);

// Unpacks `bitmap` into a cleared buffer whose sides are powers of two: the picture
// at the top-left, rows top to bottom, premultiplied R, G, B, A bytes (an opaque
// bitmap gets A = 255); an alpha-only bitmap (Format_Alpha8) gives one alpha byte
// per pixel. Sides above 1024 are halved, with the picture scaled along, until both
// fit. A null bitmap gives an empty result with pixel format 0.
UnpackedPicture unpackPicture(const QImage& bitmap);
