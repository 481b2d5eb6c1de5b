#include "tools/OpaqueRgbImage.h"

QImage opaqueRgbImage(const std::uint8_t* buffer, int bufferWidth, int columns, int rows)
{
    if (!buffer || columns <= 0 || rows <= 0 || columns > bufferWidth)
        return QImage();
    QImage image(columns, rows, QImage::Format_RGB888);
    if (image.isNull())
        return QImage();
    for (int y = 0; y < rows; ++y) {
        const std::uint8_t* from = buffer + std::size_t(y) * std::size_t(bufferWidth) * 4;
        std::uint8_t* to = image.scanLine(y);
        for (int x = 0; x < columns; ++x, from += 4, to += 3) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
        }
    }
    return image;
}
