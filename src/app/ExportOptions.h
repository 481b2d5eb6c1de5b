#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>

#include "imageio/PngStripEncoder.h"

// What Export As writes: where, in which format (with a quality for the lossy
// ones) and at which size.
struct ExportOptions {
    enum Format { Png, Jpeg, Webp };

    QString folder;
    QString name;  // without the suffix
    Format format = Png;
    int quality = 90;  // 1..100, JPEG and WebP only
    // The drawing at the photo's size (when the project keeps its photo), or the
    // picture at the project's own size.
    bool fullSize = true;

    // The file written: folder/name.png, .jpg or .webp.
    QString path() const;
    static QByteArray formatName(Format format);  // "png", "jpeg", "webp"
    static QString suffix(Format format);        // "png", "jpg", "webp"
    // Writes `image` there; the system's reason when it cannot, else empty.
    QString write(const QImage& image) const;
    // Writes there a PNG file made as it is written (`write` starts it and puts
    // out its bytes: see ProjectDocument::fullResolutionPngExport), under a
    // temporary name until it is complete; the system's reason when it cannot,
    // else empty.
    QString writeStreamed(const std::function<bool(const PngFileStart& start)>& write) const;
};
