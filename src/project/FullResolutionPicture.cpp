#include "project/FullResolutionPicture.h"

#include <QColorSpace>
#include <cmath>
#include <cstdlib>

#include "project/FullResolutionRender.h"
#include "project/OrientPixels.h"
#include "project/UprightImage.h"
#include "base/ConsoleLog.h"
#include "imageio/ImageFile.h"

namespace {

// Release callback of a picture drawn in a decoded photo's memory: logs
// "releaseData" as every exported picture's release does, and lets the photo go.
void releaseDecoded(void* holder)
{
    qCInfo(consoleLog).noquote() << "releaseData";
    delete static_cast<QImage*>(holder);
}

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

    // Upright in the decoded photo's own memory, which becomes the picture: the
    // photo is never held twice.
    if (stored.bytesPerLine() != qsizetype(stored.width()) * 4)
        return failed(error, QStringLiteral("invalid picture layout"));
    auto* pixels = reinterpret_cast<std::uint32_t*>(stored.bits());
    if (!orientPixelsInPlace(pixels, stored.width(), stored.height(), tag))
        return failed(error, QStringLiteral("not enough memory"));

    FullResolutionJob job;
    job.pixels = reinterpret_cast<std::uint8_t*>(pixels);
    job.bufferWidth = w;
    job.bufferHeight = h;
    job.picsize = FloatSize{float(w), float(h)};
    job.projectPicsize = record.picsize;
    job.startSource = record.startSource;
    job.dabs = &record.dabs;
    if (!renderFullResolution(job))
        return failed(error, QStringLiteral("not enough memory"));
    auto* holder = new QImage(std::move(stored));
    return QImage(holder->bits(), w, h, qsizetype(w) * 4, QImage::Format_RGBX8888, releaseDecoded, holder);
}
