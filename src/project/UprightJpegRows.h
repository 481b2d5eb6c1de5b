#pragma once

#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "imageio/JpegStrips.h"

// The rows of a JPEG photo upright, top to bottom, decoded a few at a time: for a
// photo stored upright or mirrored left to right (each row turned end for end),
// whose stored rows are the upright picture's rows in order. Pixels are 4 bytes
// R, G, B, A premultiplied (opaque), as readFullSizePhoto gives them, byte for
// byte.
class UprightJpegRows {
public:
    // False when the photo cannot be read in strips (JpegStrips::open) or is
    // stored turned: the whole decode (readFullSizePhoto) reads it then.
    bool open(const QString& path);

    QSize size() const { return mStrips.size(); }

    // The next `count` rows, `stride` bytes apart from `rows`; false when the
    // decode fails part way.
    bool read(std::uint8_t* rows, std::ptrdiff_t stride, int count);

private:
    JpegStrips mStrips;
    bool mMirrored = false;
};
