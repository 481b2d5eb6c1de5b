#pragma once

#include <QImageIOHandler>
#include <QSize>
#include <QString>
#include <functional>

#include "platform/Image.h"

// What reading a picture file gave: the picture, or a null bitmap and the reason.
struct ImageFileResult {
    Image image;
    QString error;  // empty on success, else a short lower-case reason ("file not found")

    bool ok() const { return image.hasBitmap(); }
};

namespace ImageFile {

// Pictures above either limit are refused from their header, before decoding.
inline constexpr qint64 kMaxPixels = 100'000'000;
inline constexpr int kMaxSide = 32768;

// The orientation tag for the turn a file's EXIF data asks for.
int orientationFromTransformation(QImageIOHandler::Transformations transformation);

// Reads the picture in `path` as stored (its pixels are not turned); the file's
// EXIF orientation becomes the image's orientation tag.
ImageFileResult read(const QString& path);

// The same for a caller that wants the picture at decodeSize(stored size), in the
// stored axes: decoders that can shrink while decoding (JPEG) do so, and the
// result is resampled smoothly to exactly that size.
ImageFileResult read(const QString& path, const std::function<QSize(QSize)>& decodeSize);

}  // namespace ImageFile
