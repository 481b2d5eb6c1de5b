#include "project/UprightImage.h"

#include <QColorSpace>
#include <algorithm>
#include <cmath>

#include "project/OrientPixels.h"
#include "base/InternalInconsistency.h"

QSize importScaledSize(QSize stored)
{
    // Single-precision arithmetic, strict comparisons: 1024 itself is not scaled.
    const float w = float(stored.width());
    const float h = float(stored.height());
    if (!(w > float(kImportMaxSide) || h > float(kImportMaxSide)))
        return stored;
    const float ratio = w / h;
    float bw;
    float bh;
    if (ratio > 1.0f) {
        bw = float(kImportMaxSide);
        bh = float(kImportMaxSide) / ratio;
    } else {
        bh = float(kImportMaxSide);
        bw = ratio * float(kImportMaxSide);
    }
    const auto whole = [](float v) { return std::max(1, int(std::lround(v))); };
    return QSize(whole(bw), whole(bh));
}

Image uprightImage(const Image& image)
{
    const int tag = image.orientation;
    if (tag < ImageOrientationUp || tag > ImageOrientationRightMirrored)
        throw InternalInconsistency("Invalid image orientation");
    if (!image.hasBitmap())
        return Image{};

    QImage picture = image.bitmap;
    const QSize size = importScaledSize(picture.size());
    if (size != picture.size())
        picture = picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (picture.colorSpace().isValid() && picture.colorSpace() != QColorSpace::SRgb)
        picture.convertToColorSpace(QColorSpace::SRgb);
    if (picture.format() != QImage::Format_RGBA8888_Premultiplied)
        picture.convertTo(QImage::Format_RGBA8888_Premultiplied);
    if (tag == ImageOrientationUp)
        return Image{picture, ImageOrientationUp};

    const bool swapped = orientationSwapsSides(tag);
    QImage upright(swapped ? picture.height() : picture.width(), swapped ? picture.width() : picture.height(),
                   QImage::Format_RGBA8888_Premultiplied);
    if (upright.isNull())
        return Image{};
    upright.setColorSpace(picture.colorSpace());
    orientPixels(reinterpret_cast<const std::uint32_t*>(picture.constBits()), picture.width(), picture.height(),
                 picture.bytesPerLine() / 4, tag, reinterpret_cast<std::uint32_t*>(upright.bits()),
                 upright.bytesPerLine() / 4);
    return Image{upright, ImageOrientationUp};
}
