#include "project/ThumbnailJpeg.h"

#include <QBuffer>
#include <QImageWriter>

#include "project/ThumbnailGeometry.h"

QByteArray thumbnailJpeg(const QImage& picture, FloatSize picsize)
{
    if (picture.isNull())
        return QByteArray();
    const ThumbnailGeometry::PixelSize size = ThumbnailGeometry::pixelSize(picsize);
    // The picture image carries no alpha, so the fourth byte of each pixel cannot
    // reach the thumbnail.
    const QImage thumbnail = picture.scaled(size.width, size.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32);
    if (thumbnail.isNull())
        return QByteArray();

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    if (!writer.write(thumbnail))
        return QByteArray();
    return jpeg;
}
