#include "tools/FullSizeSketches.h"

#include <algorithm>

#include "project/FullSizePhoto.h"
#include "filter/SketchFilterScaled.h"
#include "base/PixelMemory.h"
#include "imageio/PngStripEncoder.h"

namespace {

constexpr int kBandRows = 256;   // two of the PNG writer's strips
constexpr int kEncodeThreads = 4;

}  // namespace

bool FullSizeSketches::make(const QString& photoPath, QString* error)
{
    mBlack = mColor = QByteArray();
    mWarning.clear();
    FullSizePhoto photo = readFullSizePhoto(photoPath, error);
    if (photo.upright.isNull())
        return false;
    const int w = photo.upright.width(), h = photo.upright.height();
    const FloatSize picsize{float(w), float(h)};
    const double scale = fullSizeSketchScale(picsize, photo.imported);
    const int reach = scaledSketchReach(scale);  // rows the filter looks up and down

    // Band [first, end) is made from photo rows inFirst .. inEnd - 1, the rows it
    // looks at, into the band buffers at the same places.
    const std::size_t stride = std::size_t(w) * 4;
    const std::size_t bandBytes = stride * std::size_t(std::min(h, kBandRows + 2 * reach));
    const PixelBlock black = PixelMemory::allocate(bandBytes);
    const PixelBlock color = PixelMemory::allocate(bandBytes);
    PngStripEncoder blackPng(w, h, PngStripEncoder::Pixels::Grey);
    PngStripEncoder colorPng(w, h, PngStripEncoder::Pixels::Rgb);
    bool ok = black && color;
    for (int first = 0; ok && first < h; first += kBandRows) {
        const int end = std::min(h, first + kBandRows);
        const int inFirst = std::max(0, first - reach), inEnd = std::min(h, end + reach);
        const SketchBuffers band{photo.upright.constBits() + stride * std::size_t(inFirst), nullptr, black.get(),
                                 color.get(), w, inEnd - inFirst, FloatSize{float(w), float(inEnd - inFirst)}};
        const std::size_t at = stride * std::size_t(first - inFirst);
        ok = buildSketchScaled(band, scale, first - inFirst, end - inFirst) &&
             blackPng.add(black.get() + at, std::ptrdiff_t(stride), end - first, kEncodeThreads) &&
             colorPng.add(color.get() + at, std::ptrdiff_t(stride), end - first, kEncodeThreads);
    }
    photo.upright = QImage();  // let go before the files are put together
    if (ok) {
        mBlack = blackPng.finish();
        mColor = colorPng.finish();
    }
    if (mBlack.isEmpty() || mColor.isEmpty()) {
        mBlack = mColor = QByteArray();
        *error = QStringLiteral("out of memory");
        return false;
    }
    mWarning = photo.warning.isEmpty() ? photo.note : photo.warning;
    return true;
}
