#include "project/PictureImage.h"

#include <QDebug>
#include <cstdlib>
#include <cstring>

#include "base/ConsoleLog.h"
#include "base/PixelMemory.h"

void releaseData(void* data)
{
    qCInfo(consoleLog).noquote() << "releaseData";
    std::free(data);
}

QImage makePictureImage(const std::uint8_t* buffer, int width, FloatSize picsize)
{
    const int w = int(picsize.width);
    const int h = int(picsize.height);
    if (!buffer || w <= 0 || h <= 0 || w > width)
        return QImage();
    const std::size_t rowBytes = std::size_t(w) * 4;
    PixelBlock copy = PixelMemory::allocate(rowBytes * std::size_t(h));
    if (!copy)
        return QImage();
    for (int y = 0; y < h; ++y)
        std::memcpy(copy.get() + rowBytes * std::size_t(y), buffer + std::size_t(y) * std::size_t(width) * 4,
                    rowBytes);
    std::uint8_t* data = copy.release();
    return QImage(data, w, h, qsizetype(rowBytes), QImage::Format_RGBX8888, releaseData, data);
}
