#pragma once

#include <QByteArray>
#include <QImage>

#include "base/Geometry.h"

// The thumbnail of a picture image (see makePictureImage) whose picture has the
// size picsize: scaled smoothly to ThumbnailGeometry::pixelSize(picsize) and
// encoded as JPEG at the highest quality. Empty when the image is null or the
// encoding fails.
QByteArray thumbnailJpeg(const QImage& picture, FloatSize picsize);
