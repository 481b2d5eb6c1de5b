#include "support/PaintTestCanvas.h"

#include <cstddef>

#include "support/CanvasTestAccess.h"

namespace PaintTestCanvas {

std::uint32_t patternPixel(int buffer, int x, int y)
{
    const std::uint32_t r = std::uint32_t(x * 7 + y * 3 + buffer * 61) & 0xFFu;
    const std::uint32_t g = std::uint32_t(y * 11 + x * 5 + buffer * 97) & 0xFFu;
    const std::uint32_t b = std::uint32_t(40 + buffer * 60 + ((x + y) & 7) * 4) & 0xFFu;
    return 0xFF000000u | (b << 16) | (g << 8) | r;
}

std::unique_ptr<CanvasView> make(int bufferWidth, int bufferHeight, FloatSize picsize, int centerx, int centery,
                                 float zoom)
{
    std::unique_ptr<CanvasView> canvas(CanvasTestAccess::makeBare());
    if (!canvas)
        return nullptr;
    if (!CanvasTestAccess::installProject(*canvas, bufferWidth, bufferHeight, picsize, patternPixel))
        return nullptr;
    CanvasTestAccess::setView(*canvas, centerx, centery, zoom);
    return canvas;
}

std::uint32_t bufferPixel(const std::uint8_t* buffer, int bufferWidth, int x, int y)
{
    const std::uint8_t* p = buffer + (std::size_t(y) * std::size_t(bufferWidth) + std::size_t(x)) * 4;
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::uint32_t surfaceRgb(const QImage& image, int x, int y)
{
    const QRgb c = image.pixel(x, y);
    return std::uint32_t(qRed(c)) | std::uint32_t(qGreen(c)) << 8 | std::uint32_t(qBlue(c)) << 16;
}

long differingPixels(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return long(a.width()) * a.height() + long(b.width()) * b.height();
    long n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += surfaceRgb(a, x, y) != surfaceRgb(b, x, y);
    return n;
}

void sampleNearest(const CanvasView& canvas)
{
    for (const Texture2D* t : {canvas.workingTexture(), canvas.originalTexture(), canvas.blackSketchTexture(),
                               canvas.colorSketchTexture()}) {
        if (!t)
            continue;
        glBindTexture(GL_TEXTURE_2D, t->name());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    }
}

}  // namespace PaintTestCanvas
