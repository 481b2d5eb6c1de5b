#pragma once

#include <QImage>
#include <cstdint>
#include <memory>

#include "canvas/CanvasView.h"

// A canvas of the application's size (320 x 390 points at (0, 70)) with its GL
// surface and a project of distinct, position-dependent pixels in every buffer,
// for tests that paint and read the surface back.
namespace PaintTestCanvas {

// Buffer 0 black sketch, 1 colour sketch, 2 original, 3 working: every pixel
// differs from its neighbours and from the same pixel of the other buffers;
// opaque, 0xAABBGGRR.
std::uint32_t patternPixel(int buffer, int x, int y);

// The canvas with the pattern project of a bufferWidth x bufferHeight buffer
// holding a picture of picsize, viewed at (centerx, centery) and zoom. Null when
// there is no GL.
std::unique_ptr<CanvasView> make(int bufferWidth, int bufferHeight, FloatSize picsize, int centerx, int centery,
                                 float zoom);

// The 4 bytes of pixel (x, y) of a buffer.
std::uint32_t bufferPixel(const std::uint8_t* buffer, int bufferWidth, int x, int y);

// Pixel (x, y) of an image read from the surface (rows from the top), as
// 0x00BBGGRR: the surface is opaque, alpha is left out.
std::uint32_t surfaceRgb(const QImage& image, int x, int y);

// Number of pixels in which two surface images differ (all when their sizes do).
long differingPixels(const QImage& a, const QImage& b);

// Every texture of the canvas samples its nearest texel (instead of blending
// neighbours); for the working texture, call again after each ReloadCanvas.
void sampleNearest(const CanvasView& canvas);

}  // namespace PaintTestCanvas
