#pragma once

#include <QImage>
#include <QString>

// The two pencil sketches of a photo at its own size: the photo read whole and
// turned upright (readFullSizePhoto), and the sketch filter at the scale of the
// photo over its import size (the filter the drawing at full resolution uses), so
// that the sketches' lines are as wide in proportion as on the imported picture.
class FullSizeSketches {
public:
    // False with a one-line reason in *error when the photo cannot be read or
    // memory runs out. The photo is let go before it returns.
    bool make(const QString& photoPath, QString* error);

    // After make(): empty, or what is wrong with a photo that was still read in part.
    const QString& warning() const { return mWarning; }

    // Opaque pictures (RGBX8888) of the photo's upright size: the stored R, G, B
    // of each sketch pixel.
    const QImage& black() const { return mBlack; }
    const QImage& color() const { return mColor; }

private:
    QImage mBlack;
    QImage mColor;
    QString mWarning;
};
