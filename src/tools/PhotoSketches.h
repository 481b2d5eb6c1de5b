#pragma once

#include <QImage>
#include <QString>

#include "base/PixelMemory.h"

// A photo imported as the painting program imports it (upright, at most 1024
// pixels a side, in a power-of-two buffer) and its two pencil sketches.
class PhotoSketches {
public:
    // Imports `photoPath` and runs the sketch filter, on up to `filterThreads`
    // threads. False with a one-line reason in *error when the photo cannot be
    // read or memory runs out.
    bool make(const QString& photoPath, QString* error, int filterThreads);

    // After make(): empty, or what is wrong with a photo that was still read
    // ("the picture is incomplete (truncated file)").
    const QString& warning() const { return mWarning; }

    // The picture area of each buffer as the program shows it: an opaque RGB
    // image of the stored R, G, B (see opaqueRgbImage).
    QImage original() const { return pictureArea(originalbuff); }
    QImage black() const { return pictureArea(blacksketchbuff); }
    QImage color() const { return pictureArea(colorsketchbuff); }

private:
    QImage pictureArea(const PixelBlock& buffer) const;

    PixelBlock originalbuff;
    PixelBlock blacksketchbuff;
    PixelBlock colorsketchbuff;
    PixelBlock workingbuff;
    int width = 0;   // buffer side, pixels per row
    int height = 0;
    int pictureWidth = 0;
    int pictureHeight = 0;
    QString mWarning;
};
