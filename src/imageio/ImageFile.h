#pragma once

#include <QImageIOHandler>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

#include "imageio/Image.h"

// What reading a picture file gave: the picture, or a null bitmap and the reason.
struct ImageFileResult {
    Image image;
    QString error;    // empty on success, else a short lower-case reason ("file not found")
    QString warning;  // on success: empty, or what is wrong with a picture that was still read
                      // ("the picture is incomplete (truncated file)")
    QString note;     // on success: empty, or what was assumed of a picture read whole
                      // ("its colours ... cannot be converted: they are taken as sRGB")

    bool ok() const { return image.hasBitmap(); }
};

namespace ImageFile {

// How large a picture may be, from its header, before anything is decoded: a side,
// the pixels, and the memory that decoding and shrinking it take (the decoded
// format's bytes a pixel, plus the copy that a smooth shrink of a format it cannot
// scale directly makes).
struct Limits {
    int maxSide;
    qint64 maxPixels;
    qint64 maxBytes;
};

// Photos: 100 megapixels when the decoder shrinks while decoding (JPEG, HEIF); 70
// at 4 bytes a pixel for a format decoded whole. 280 MB for the decoded picture
// and what the decoder holds beside it keeps the tool's peak under 420 MB and the
// program's under 500 MB (some 190 MB of its own while it imports), the shrink's
// small result included.
inline constexpr Limits kPictureLimits{32768, 100'000'000, 280'000'000};
// Thumbnails: small 8-bit pictures only (a list of ten decodes in well under a
// second), so that a folder of large ones cannot stall the slot browser.
inline constexpr Limits kThumbnailLimits{1024, 1024 * 1024, 4 * 1024 * 1024};

inline constexpr qint64 kMaxPixels = kPictureLimits.maxPixels;
inline constexpr int kMaxSide = kPictureLimits.maxSide;

// The orientation tag for the turn a file's EXIF data asks for.
int orientationFromTransformation(QImageIOHandler::Transformations transformation);

// The file name suffixes of the pictures read (lower case, without the dot): every
// format of Qt's image readers, and HEIF/HEIC and AVIF when the HEIF module is
// installed (see HeifModule).
QStringList readableSuffixes();

// Reads the picture in `path` as stored (its pixels are not turned); the file's
// EXIF orientation becomes the image's orientation tag. A HEIF picture comes in
// sRGB (its colour profile or nclx description converted); the other formats
// carry the colour space their file gives. Only regular files are
// opened (a FIFO or device is refused without blocking).
ImageFileResult read(const QString& path);

// The same for a caller that wants the picture at decodeSize(stored size), in the
// stored axes: decoders that can shrink while decoding (JPEG) do so, and the
// result is resampled smoothly to exactly that size.
ImageFileResult read(const QString& path, const std::function<QSize(QSize)>& decodeSize);

// A small picture for a list: shrunk while decoding to fit within `box` (aspect
// ratio kept; smaller pictures keep their size), within kThumbnailLimits.
ImageFileResult readThumbnail(const QString& path, QSize box);

}  // namespace ImageFile
