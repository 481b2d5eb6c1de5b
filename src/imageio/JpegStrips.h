#pragma once

#include <QSize>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

// A JPEG photo decoded a few rows at a time (libjpeg's scanline interface), so
// that a picture made from it band by band never holds the whole photo. Only the
// photos whose rows come out as ImageFile::read's whole decode gives them are
// taken: single-scan (baseline or extended sequential) YCbCr or greyscale, no
// colour profile other than sRGB, within ImageFile::kMaxSide and kMaxPixels, and
// complete (reaching the end marker). Anything else is left to the whole decode.
class JpegStrips {
public:
    JpegStrips();
    ~JpegStrips();
    JpegStrips(const JpegStrips&) = delete;
    JpegStrips& operator=(const JpegStrips&) = delete;

    // Reads the header of `path` and starts the decode; false (and nothing held)
    // when the file is not a JPEG this class takes.
    bool open(const QString& path);

    QSize size() const { return mSize; }  // as stored: not turned
    int orientation() const { return mOrientation; }  // from its EXIF data: an ImageOrientation

    // The next `count` rows, top to bottom as stored, `size().width()` pixels of 4
    // bytes R, G, B, 255 each, `stride` bytes apart. False when the decoder fails
    // part way (damaged data) or the rows go past the picture.
    bool read(std::uint8_t* rows, std::ptrdiff_t stride, int count);

    struct Decoder;  // libjpeg's state

private:
    void close();

    std::unique_ptr<Decoder> mDecoder;
    QSize mSize;
    int mOrientation = 0;
    int mRowsRead = 0;
};
