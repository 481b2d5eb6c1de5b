// Whole pictures as PNG files (see PngStrips.h), their strips on several cores.
#include "imageio/FastPng.h"

#include "base/RunOnThreads.h"
#include "imageio/PngStrips.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <new>
#include <thread>
#include <vector>

namespace {

constexpr int kMaxThreads = 4;

bool everyPixelGrey(const QImage& image, int bytes)
{
    const int width = image.width();
    for (int y = 0; y < image.height(); ++y) {
        const std::uint8_t* p = image.constScanLine(y);
        for (int x = 0; x < width; ++x, p += bytes) {
            if (p[0] != p[1] || p[0] != p[2])
                return false;
        }
    }
    return true;
}

bool prepare(const QImage& image, bool greyChannel, QImage* rows, PngSource* source)
{
    if (greyChannel) {
        if (image.hasAlphaChannel())
            return false;
        *rows = image.format() == QImage::Format_RGBX8888 ? image : image.convertToFormat(QImage::Format_RGB888);
        source->inBytes = image.format() == QImage::Format_RGBX8888 ? 4 : 3;
        source->layout = PngLayout::GreyChannel;
        return !rows->isNull();
    }
    if (image.hasAlphaChannel()) {
        *rows = image.convertToFormat(QImage::Format_RGBA8888);
        source->layout = PngLayout::Rgba;
        source->inBytes = 4;
        return !rows->isNull();
    }
    if (image.format() == QImage::Format_RGBX8888) {
        *rows = image;  // shared, not copied
        source->inBytes = 4;
    } else {
        *rows = image.convertToFormat(QImage::Format_RGB888);
        source->inBytes = 3;
        if (rows->isNull())
            return false;
    }
    source->layout = everyPixelGrey(*rows, source->inBytes) ? PngLayout::Grey : PngLayout::Rgb;
    return true;
}

QByteArray pngBytes(const QImage& image, int threads, bool greyChannel)
{
    if (image.isNull())
        return QByteArray();
    try {
        QImage rows;
        PngSource source;
        if (!prepare(image, greyChannel, &rows, &source))
            return QByteArray();
        source.bits = rows.constBits();
        source.stride = rows.bytesPerLine();
        source.width = rows.width();
        const int height = rows.height();
        const int count = (height + kPngStripRows - 1) / kPngStripRows;
        std::vector<PngStrip> strips(static_cast<std::size_t>(count));
        std::atomic<int> next{0};
        const auto work = [&] {
            for (int i = next++; i < count; i = next++)
                compressPngStrip(source, i * kPngStripRows, std::min(height, (i + 1) * kPngStripRows), i + 1 == count,
                                 &strips[std::size_t(i)]);
        };
        const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
        runOnNewThreads(std::min({cores, threads, count}) - 1, work);
        return pngFile(source.width, height, source.layout, strips);
    } catch (const std::bad_alloc&) {
        return QByteArray();
    }
}

}  // namespace

QByteArray fastPngBytes(const QImage& image) { return pngBytes(image, kMaxThreads, false); }

QByteArray fastPngBytesOnThreads(const QImage& image, int threads) { return pngBytes(image, threads, false); }

QByteArray fastGreyPngBytes(const QImage& image) { return pngBytes(image, kMaxThreads, true); }
