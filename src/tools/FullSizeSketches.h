#pragma once

#include <QSize>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>

#include "base/Geometry.h"
#include "imageio/PngStripEncoder.h"

// The two pencil sketches of a photo at its own size, as PNG files: the photo read
// in strips where it is a JPEG stored upright (UprightJpegRows), else whole and
// turned upright (readFullSizePhoto), and the sketch filter at the scale
// of the photo over its import size (the filter the drawing at full resolution
// uses), so that the sketches' lines are as wide in proportion as on the imported
// picture. The sketches are made in bands of rows, each band compressed into the
// files as it is done (PngStripEncoder) and its bytes handed on at once: beside
// the photo (or its strips) only a few megabytes are held.
class FullSizeSketches {
public:
    // Starts both files anew (any begun before are dropped): where the bytes of
    // the black sketch (a greyscale PNG) and of the colour sketch (RGB) go, in
    // order; false when they cannot be started.
    using FilesStart = std::function<bool(PngStripEncoder::Out* black, PngStripEncoder::Out* color)>;

    // False with a one-line reason in *error when the photo cannot be read, memory
    // runs out or the files cannot be started or take their bytes (the files' own
    // reason is then theirs to give). The photo is read before the files are
    // started, and let go before it returns.
    bool make(const QString& photoPath, const FilesStart& start, QString* error);

    // After make(): empty, or what is wrong with a photo that was still read in
    // part, or else what was assumed of it (as PhotoSketches says it).
    const QString& warning() const { return mWarning; }

private:
    // Photo rows [inFirst, inEnd), packed, each call's rows below the last's; null
    // when they cannot be had.
    using PhotoRows = std::function<const std::uint8_t*(int inFirst, int inEnd)>;
    bool sketchBands(QSize size, FloatSize imported, const PhotoRows& photoRows, const FilesStart& start);
    bool sketchStrips(const QString& photoPath, const FilesStart& start);

    QString mWarning;
    std::atomic<bool> mOutFailed{false};  // a file could not be started or take its bytes
};
