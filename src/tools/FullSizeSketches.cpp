#include "tools/FullSizeSketches.h"

#include <algorithm>
#include <cstring>

#include "project/FullSizePhoto.h"
#include "project/UprightImage.h"
#include "project/UprightJpegRows.h"
#include "filter/SketchFilterScaled.h"
#include "base/PixelMemory.h"
#include "imageio/PngStripEncoder.h"

namespace {

constexpr int kBandRows = 128;   // one of the PNG writer's strips
constexpr int kEncodeThreads = 4;

}  // namespace

bool FullSizeSketches::sketchBands(QSize size, FloatSize imported, const PhotoRows& photoRows,
                                   const FilesStart& start)
{
    const int w = size.width(), h = size.height();
    const FloatSize picsize{float(w), float(h)};
    const double scale = fullSizeSketchScale(picsize, imported);
    const int reach = scaledSketchReach(scale);  // rows the filter looks up and down

    // Band [first, end) is made from photo rows inFirst .. inEnd - 1, the rows it
    // looks at, into the band buffers at the same places.
    const std::size_t stride = std::size_t(w) * 4;
    const std::size_t bandBytes = stride * std::size_t(std::min(h, kBandRows + 2 * reach));
    const PixelBlock black = PixelMemory::allocate(bandBytes);
    const PixelBlock color = PixelMemory::allocate(bandBytes);
    if (!black || !color)
        return false;
    PngStripEncoder::Out blackOut, colorOut;
    if (!start(&blackOut, &colorOut)) {
        mOutFailed = true;
        return false;
    }
    const auto watched = [this](PngStripEncoder::Out& out) {
        return [this, &out](const char* bytes, qint64 size) {
            const bool taken = out(bytes, size);
            if (!taken)
                mOutFailed = true;
            return taken;
        };
    };
    // The sketches' fine grain leaves deflate few repeats to find: it codes each
    // byte alone, for the same files within 0.2 % and an eighth less work.
    PngStripEncoder blackPng(w, h, PngStripEncoder::Pixels::Grey, kEncodeThreads, watched(blackOut),
                             PngMatching::LiteralsOnly);
    PngStripEncoder colorPng(w, h, PngStripEncoder::Pixels::Rgb, kEncodeThreads, watched(colorOut),
                             PngMatching::LiteralsOnly);
    bool ok = true;
    for (int first = 0; ok && first < h; first += kBandRows) {
        const int end = std::min(h, first + kBandRows);
        const int inFirst = std::max(0, first - reach), inEnd = std::min(h, end + reach);
        const std::uint8_t* rows = photoRows(inFirst, inEnd);
        const SketchBuffers band{rows, nullptr, black.get(), color.get(), w, inEnd - inFirst,
                                 FloatSize{float(w), float(inEnd - inFirst)}};
        const std::size_t at = stride * std::size_t(first - inFirst);
        ok = rows && buildSketchScaled(band, scale, first - inFirst, end - inFirst) &&
             blackPng.add(black.get() + at, std::ptrdiff_t(stride), end - first) &&
             colorPng.add(color.get() + at, std::ptrdiff_t(stride), end - first);
    }
    // Both ended (or given up) before either file is used.
    const bool blackEnded = ok && blackPng.end();
    const bool colorEnded = ok && colorPng.end();
    return blackEnded && colorEnded;
}

bool FullSizeSketches::sketchStrips(const QString& photoPath, const FilesStart& start)
{
    UprightJpegRows photo;
    if (!photo.open(photoPath))
        return false;
    const QSize size = photo.size();
    const QSize imported = importScaledSize(size);
    const FloatSize importedSize{float(imported.width()), float(imported.height())};
    const int reach = scaledSketchReach(fullSizeSketchScale(FloatSize{float(size.width()), float(size.height())},
                                                            importedSize));
    // The rows of the photo held: [held, read), from the top of `window`, which
    // holds a band and the rows it looks up and down to.
    const std::size_t stride = std::size_t(size.width()) * 4;
    const int windowRows = std::min(size.height(), kBandRows + 2 * reach);
    PixelBlock window = PixelMemory::allocate(stride * std::size_t(windowRows));
    if (!window)
        return false;
    int held = 0, read = 0;
    const auto photoRows = [&](int inFirst, int inEnd) -> const std::uint8_t* {
        if (inEnd - inFirst > windowRows || inFirst < held)
            return nullptr;
        std::memmove(window.get(), window.get() + stride * std::size_t(inFirst - held),
                     stride * std::size_t(read - inFirst));
        held = inFirst;
        if (inEnd > read && !photo.read(window.get() + stride * std::size_t(read - held),
                                        std::ptrdiff_t(stride), inEnd - read))
            return nullptr;
        read = std::max(read, inEnd);
        return window.get();
    };
    return sketchBands(size, importedSize, photoRows, start);
}

bool FullSizeSketches::make(const QString& photoPath, const FilesStart& start, QString* error)
{
    mWarning.clear();
    mOutFailed = false;
    const auto cannotWrite = [error] {
        *error = QStringLiteral("the files cannot be written");
        return false;
    };
    // A JPEG stored upright is read in strips, never whole; anything else, or a
    // strip decode that fails, is read whole.
    if (sketchStrips(photoPath, start))
        return true;
    if (mOutFailed)
        return cannotWrite();
    FullSizePhoto photo = readFullSizePhoto(photoPath, error);
    if (photo.upright.isNull())
        return false;
    const std::size_t stride = std::size_t(photo.upright.width()) * 4;
    const std::uint8_t* bits = photo.upright.constBits();
    if (!sketchBands(
            photo.upright.size(), photo.imported,
            [&](int inFirst, int) { return bits + stride * std::size_t(inFirst); }, start)) {
        if (mOutFailed)
            return cannotWrite();
        *error = QStringLiteral("out of memory");
        return false;
    }
    mWarning = photo.warning.isEmpty() ? photo.note : photo.warning;
    return true;
}
