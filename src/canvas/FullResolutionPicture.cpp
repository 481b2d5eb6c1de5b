#include "canvas/FullResolutionPicture.h"

#include <QColorSpace>
#include <cmath>
#include <cstdlib>

#include "canvas/FullResolutionRender.h"
#include "canvas/OrientPixels.h"
#include "canvas/PictureImage.h"
#include "canvas/UprightImage.h"
#include "platform/ImageFile.h"
#include "platform/PixelMemory.h"

namespace {

QImage failed(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return QImage();
}

}  // namespace

QImage fullResolutionPicture(const QString& photoPath, const FullResolutionRecord& record, QString* error)
{
    ImageFileResult result = ImageFile::read(photoPath, [](QSize stored) { return stored; });
    if (!result.ok())
        return failed(error, result.error);
    // A photo read only in part would give a drawing with a blank band.
    if (!result.warning.isEmpty())
        return failed(error, QStringLiteral("the photo does not decode completely: %1").arg(result.warning));
    const int tag = result.image.orientation;
    if (tag < ImageOrientationUp || tag > ImageOrientationRightMirrored)
        return failed(error, QStringLiteral("invalid image orientation"));
    QImage stored = std::move(result.image.bitmap);
    if (stored.colorSpace().isValid() && stored.colorSpace() != QColorSpace::SRgb)
        stored.convertToColorSpace(QColorSpace::SRgb);
    if (stored.format() != QImage::Format_RGBA8888_Premultiplied)
        stored.convertTo(QImage::Format_RGBA8888_Premultiplied);
    if (stored.isNull())
        return failed(error, QStringLiteral("not enough memory"));

    // The photo the project was made from imports at the project's picture size.
    const bool swapped = orientationSwapsSides(tag);
    const int w = swapped ? stored.height() : stored.width();
    const int h = swapped ? stored.width() : stored.height();
    const QSize imported = importScaledSize(stored.size());
    const int importedW = swapped ? imported.height() : imported.width();
    const int importedH = swapped ? imported.width() : imported.height();
    if (std::abs(double(importedW) - double(record.picsize.width)) > 1.0 ||
        std::abs(double(importedH) - double(record.picsize.height)) > 1.0)
        return failed(error, QStringLiteral("the photo is not the project's"));

    // Upright into the block that becomes the picture; the decoded photo goes then.
    const std::size_t rowBytes = std::size_t(w) * 4;
    PixelBlock block = PixelMemory::allocate(rowBytes * std::size_t(h));
    if (!block)
        return failed(error, QStringLiteral("not enough memory"));
    orientPixels(reinterpret_cast<const std::uint32_t*>(stored.constBits()), stored.width(), stored.height(),
                 stored.bytesPerLine() / 4, tag, reinterpret_cast<std::uint32_t*>(block.get()), w);
    stored = QImage();

    FullResolutionJob job;
    job.pixels = block.get();
    job.bufferWidth = w;
    job.bufferHeight = h;
    job.picsize = FloatSize{float(w), float(h)};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    if (!renderFullResolution(job))
        return failed(error, QStringLiteral("not enough memory"));
    std::uint8_t* data = block.release();
    return QImage(data, w, h, qsizetype(rowBytes), QImage::Format_RGBX8888, releaseData, data);
}
