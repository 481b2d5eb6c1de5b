#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QString>

// Picture files made on the fly for the import tests.
namespace ImportTestFiles {

// The colours of the four quadrants of quadrantPicture.
inline const QColor kTopLeft{220, 30, 30};
inline const QColor kTopRight{30, 200, 40};
inline const QColor kBottomLeft{40, 50, 220};
inline const QColor kBottomRight{240, 240, 240};

// A width x height opaque picture in four flat quadrants (colours above): survives
// JPEG compression well enough to tell where each quadrant went.
QImage quadrantPicture(int width, int height);

// A photo-like opaque picture: a smooth gradient, rings and hard edges.
QImage photoLikePicture(int width, int height);

// The picture encoded as a baseline JPEG without EXIF data.
QByteArray jpegBytes(const QImage& picture, int quality = 95);

// The JPEG with an EXIF segment (APP1) right after its start marker holding one
// Orientation entry (1..8, big-endian TIFF layout).
QByteArray withExifOrientation(const QByteArray& jpeg, int exifOrientation);

// The JPEG with the size in its frame header replaced: a header that claims more
// pixels than the file holds.
QByteArray withJpegFrameSize(const QByteArray& jpeg, int width, int height);

// A PNG whose header gives width x height at the bit depth and colour type (as
// the PNG header stores them) and whose data is a few bytes of nothing: what a
// reader makes of the header alone.
QByteArray pngHeaderOnly(int width, int height, int bitDepth, int colourType);

// A GIF whose header gives a logical screen of width x height and one image of
// the same size.
QByteArray gifWithSize(int width, int height);

// Appends a PNG chunk: length, type, data and the CRC of type and data.
void appendPngChunk(QByteArray& out, const QByteArray& type, const QByteArray& data);

bool writeFile(const QString& path, const QByteArray& bytes);

}  // namespace ImportTestFiles
