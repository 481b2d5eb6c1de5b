#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>

#include "base/Geometry.h"

// The two pencil sketches of a photo at its own size, as PNG files: the photo read
// in strips where it is a JPEG stored upright (UprightJpegRows), else whole and
// turned upright (readFullSizePhoto), and the sketch filter at the scale
// of the photo over its import size (the filter the drawing at full resolution
// uses), so that the sketches' lines are as wide in proportion as on the imported
// picture. The sketches are made in bands of rows, each band compressed into the
// files as it is done (PngStripEncoder): beside the photo (or its strips) only
// the files' bytes and a few megabytes are held.
class FullSizeSketches {
public:
    // False with a one-line reason in *error when the photo cannot be read or
    // memory runs out. The photo is let go before it returns.
    bool make(const QString& photoPath, QString* error);

    // After make(): empty, or what is wrong with a photo that was still read in
    // part, or else what was assumed of it (as PhotoSketches says it).
    const QString& warning() const { return mWarning; }

    // The PNG files of the photo's upright size: the black sketch as a greyscale
    // picture, the colour sketch as RGB; the stored R, G, B of each sketch pixel.
    const QByteArray& blackPng() const { return mBlack; }
    const QByteArray& colorPng() const { return mColor; }

private:
    // Photo rows [inFirst, inEnd), packed, each call's rows below the last's; null
    // when they cannot be had.
    using PhotoRows = std::function<const std::uint8_t*(int inFirst, int inEnd)>;
    bool sketchBands(QSize size, FloatSize imported, const PhotoRows& photoRows, const std::function<void()>& letGo);
    bool sketchStrips(const QString& photoPath);

    QByteArray mBlack;
    QByteArray mColor;
    QString mWarning;
};
