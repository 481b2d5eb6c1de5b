#include "platform/ImageFile.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

namespace {

// Raises the decoders' own allocation limit so that it covers the largest picture
// accepted (at up to 8 bytes a pixel, as 16-bit PNGs decode) and nothing larger:
// a file whose header does not tell its size still cannot exhaust memory.
void setDecoderAllocationLimit()
{
    constexpr qint64 kLimitMiB = (ImageFile::kMaxPixels * 8 + (1 << 20) - 1) >> 20;
    if (QImageReader::allocationLimit() != int(kLimitMiB))
        QImageReader::setAllocationLimit(int(kLimitMiB));
}

bool tooLarge(QSize size)
{
    return size.width() > ImageFile::kMaxSide || size.height() > ImageFile::kMaxSide ||
           qint64(size.width()) * size.height() > ImageFile::kMaxPixels;
}

QString tooLargeMessage(QSize size)
{
    return QStringLiteral("picture too large: %1 x %2 pixels (at most %3 megapixels and %4 pixels a side)")
        .arg(size.width())
        .arg(size.height())
        .arg(ImageFile::kMaxPixels / 1'000'000)
        .arg(ImageFile::kMaxSide);
}

ImageFileResult failure(const QString& error) { return ImageFileResult{Image{}, error}; }

}  // namespace

namespace ImageFile {

int orientationFromTransformation(QImageIOHandler::Transformations transformation)
{
    switch (int(transformation)) {
    case QImageIOHandler::TransformationRotate180:          return ImageOrientationDown;          // EXIF 3
    case QImageIOHandler::TransformationRotate270:          return ImageOrientationLeft;          // EXIF 8
    case QImageIOHandler::TransformationRotate90:           return ImageOrientationRight;         // EXIF 6
    case QImageIOHandler::TransformationMirror:             return ImageOrientationUpMirrored;    // EXIF 2
    case QImageIOHandler::TransformationFlip:               return ImageOrientationDownMirrored;  // EXIF 4
    case QImageIOHandler::TransformationFlipAndRotate90:    return ImageOrientationLeftMirrored;  // EXIF 5
    case QImageIOHandler::TransformationMirrorAndRotate90:  return ImageOrientationRightMirrored; // EXIF 7
    default:                                                return ImageOrientationUp;            // EXIF 1 or none
    }
}

ImageFileResult read(const QString& path) { return read(path, {}); }

ImageFileResult read(const QString& path, const std::function<QSize(QSize)>& decodeSize)
{
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return failure(QStringLiteral("file not found"));
    if (info.isDir())
        return failure(QStringLiteral("is a directory, not a picture file"));
    {
        QFile probe(path);
        if (!probe.open(QIODevice::ReadOnly))
            return failure(QStringLiteral("cannot be read: %1").arg(probe.errorString()));
    }

    setDecoderAllocationLimit();
    QImageReader reader(path);
    reader.setAutoTransform(false);
    if (!reader.canRead()) {
        if (reader.error() == QImageReader::UnsupportedFormatError)
            return failure(QStringLiteral("not a picture file of a known format"));
        return failure(QStringLiteral("cannot be read: %1").arg(reader.errorString()));
    }

    // The header's size decides before anything is decoded.
    const QSize stored = reader.size();
    if (stored.isValid() && tooLarge(stored))
        return failure(tooLargeMessage(stored));
    const int orientation = orientationFromTransformation(reader.transformation());

    QSize wanted = stored;
    if (decodeSize && stored.isValid()) {
        wanted = decodeSize(stored);
        if (wanted != stored && wanted.isValid()) {
            // The JPEG decoder then decodes at a multiple of 1/8 not below the wanted
            // size and resamples smoothly (quality 50 and above) to exactly it.
            reader.setScaledSize(wanted);
            reader.setQuality(100);
        }
    }

    QImage bitmap;
    if (!reader.read(&bitmap) || bitmap.isNull())
        return failure(QStringLiteral("cannot be decoded: %1").arg(reader.errorString()));
    if (!stored.isValid() && tooLarge(bitmap.size()))
        return failure(tooLargeMessage(bitmap.size()));

    if (decodeSize) {
        if (!stored.isValid())
            wanted = decodeSize(bitmap.size());
        if (wanted.isValid() && bitmap.size() != wanted)
            bitmap = bitmap.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return ImageFileResult{Image{bitmap, orientation}, QString()};
}

}  // namespace ImageFile
