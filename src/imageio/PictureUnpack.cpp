#include "imageio/PictureUnpack.h"

#include <QPainter>
#include <algorithm>
#include <cstring>

namespace {
constexpr std::uint32_t kMaxTextureSide = 1024;
}

std::uint32_t texturePowerOfTwo(std::uint32_t n)
{
    std::uint32_t side = 1;
    while (side < n && side < (1u << 31))
        side *= 2;
    return side;
}

UnpackedPicture unpackPicture(const QImage& bitmap)
{
    UnpackedPicture out;
    if (bitmap.isNull())
        return out;

    // A bitmap without colour, alpha only, stays alpha only. Everything else becomes
    // 4-byte RGBA: a bitmap without alpha is laid out the same way with A = 255.
    const bool alphaOnly = bitmap.format() == QImage::Format_Alpha8;
    out.pixelFormat = alphaOnly ? kUnpackedA8 : kUnpackedRGBA8888;
    const QImage::Format layout = alphaOnly ? QImage::Format_Alpha8 : QImage::Format_RGBA8888_Premultiplied;
    const int bytesPerPixel = alphaOnly ? 1 : 4;

    out.width = texturePowerOfTwo(std::uint32_t(bitmap.width()));
    out.height = texturePowerOfTwo(std::uint32_t(bitmap.height()));
    out.imageSize = FloatSize{float(bitmap.width()), float(bitmap.height())};
    float drawScale = 1.0f;
    while (out.width > kMaxTextureSide || out.height > kMaxTextureSide) {
        // A side of 1 stays 1 (a zero-sized buffer would hold no picture at all).
        out.width = std::max(1u, out.width / 2);
        out.height = std::max(1u, out.height / 2);
        drawScale *= 0.5f;
        out.imageSize.width *= 0.5f;
        out.imageSize.height *= 0.5f;
    }

    const std::size_t rowBytes = std::size_t(out.width) * bytesPerPixel;
    out.buffer = PixelMemory::allocate(rowBytes * out.height);
    if (!out.buffer)
        return out;
    std::uint8_t* const buffer = out.buffer.get();

    if (drawScale == 1.0f) {
        // The usual case: the picture fits. Copy its rows and clear the rest.
        const QImage picture = bitmap.format() == layout ? bitmap : bitmap.convertToFormat(layout);
        const std::size_t pictureBytes = std::size_t(picture.width()) * bytesPerPixel;
        for (int y = 0; y < picture.height(); ++y) {
            std::uint8_t* row = buffer + rowBytes * std::size_t(y);
            std::memcpy(row, picture.constScanLine(y), pictureBytes);
            std::memset(row + pictureBytes, 0, rowBytes - pictureBytes);
        }
        std::memset(buffer + rowBytes * std::size_t(picture.height()), 0,
                    rowBytes * (out.height - std::size_t(picture.height())));
        return out;
    }

    // Too large for a texture: draw it scaled down into the cleared buffer.
    std::memset(buffer, 0, rowBytes * out.height);
    QImage target(buffer, int(out.width), int(out.height), qsizetype(rowBytes), layout);
    QPainter painter(&target);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.scale(drawScale, drawScale);
    painter.drawImage(0, 0, bitmap);
    return out;
}
