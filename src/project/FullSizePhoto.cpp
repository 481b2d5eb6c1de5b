#include "project/FullSizePhoto.h"

#include <QColorSpace>
#include <cmath>

#include "project/OrientPixels.h"
#include "project/UprightImage.h"
#include "imageio/ImageFile.h"

namespace {

FullSizePhoto failed(QString* error, const QString& reason)
{
    if (error)
        *error = reason;
    return FullSizePhoto{};
}

}  // namespace

FullSizePhoto readFullSizePhoto(const QString& path, QString* error)
{
    ImageFileResult result = ImageFile::read(path, [](QSize stored) { return stored; });
    if (!result.ok())
        return failed(error, result.error);
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
    if (stored.bytesPerLine() != qsizetype(stored.width()) * 4)
        return failed(error, QStringLiteral("invalid picture layout"));

    const bool swapped = orientationSwapsSides(tag);
    const int w = swapped ? stored.height() : stored.width();
    const int h = swapped ? stored.width() : stored.height();
    const QSize imported = importScaledSize(stored.size());
    // Upright in the decoded photo's own memory: the photo is never held twice.
    auto* pixels = reinterpret_cast<std::uint32_t*>(stored.bits());
    if (!orientPixelsInPlace(pixels, stored.width(), stored.height(), tag))
        return failed(error, QStringLiteral("not enough memory"));

    FullSizePhoto photo;
    if (swapped) {
        // The same memory seen with the sides exchanged.
        auto* holder = new QImage(std::move(stored));
        photo.upright = QImage(holder->bits(), w, h, qsizetype(w) * 4, QImage::Format_RGBA8888_Premultiplied,
                               [](void* p) { delete static_cast<QImage*>(p); }, holder);
    } else {
        photo.upright = std::move(stored);
    }
    photo.imported = swapped ? FloatSize{float(imported.height()), float(imported.width())}
                             : FloatSize{float(imported.width()), float(imported.height())};
    photo.warning = result.warning;
    photo.note = result.note;
    return photo;
}

double fullSizeSketchScale(FloatSize size, FloatSize projectSize)
{
    const double scaleX = double(size.width) / double(projectSize.width);
    const double scaleY = double(size.height) / double(projectSize.height);
    return scaleX == 1.0 && scaleY == 1.0 ? 1.0 : std::sqrt(scaleX * scaleY);
}
