#pragma once

#include <QByteArrayView>
#include <QImageIOHandler>

class QIODevice;

// The EXIF orientation stored in formats whose Qt readers do not report it: the
// eXIf chunk of a PNG and the EXIF chunk of a WebP, as the turn and mirror the
// picture needs to be upright. TransformationNone when there is none, or it is
// damaged or out of range.
namespace ExifOrientation {

// From an EXIF block: a TIFF header ("II*\0" or "MM\0*") and its first IFD,
// optionally preceded by "Exif\0\0".
QImageIOHandler::Transformations fromExif(QByteArrayView exif);

// From the orientation value itself (1..8).
QImageIOHandler::Transformations fromValue(int exifOrientation);

// Looks through the chunks of a PNG or WebP file for its EXIF data; any other file
// gives TransformationNone. The device is left at its start.
QImageIOHandler::Transformations ofPngOrWebp(QIODevice& file);

}  // namespace ExifOrientation
