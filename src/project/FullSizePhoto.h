#pragma once

#include <QImage>
#include <QString>

#include "base/Geometry.h"

// A photo read at its own size (no shrinking) and turned upright in the decoded
// picture's own memory, as the drawing at full resolution and the tool's full-size
// sketches read it.
struct FullSizePhoto {
    QImage upright;      // RGBA8888 premultiplied, sRGB, packed rows; null on failure
    FloatSize imported;  // the upright size it imports at into a project (at most 1024 a side)
    QString warning;     // empty, or what is wrong with a photo that was still read in part
    QString note;        // empty, or what was assumed of it (colours taken as sRGB ...)
};

// Null `upright` with a short reason in *error when the photo cannot be read, its
// orientation is not one, or memory runs short.
FullSizePhoto readFullSizePhoto(const QString& path, QString* error);

// The sketch filter's scale for a picture of `size` made from a project picture of
// `projectSize`: the mean of the two sides' scales, exactly 1 at the same size.
double fullSizeSketchScale(FloatSize size, FloatSize projectSize);
