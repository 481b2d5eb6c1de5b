#pragma once

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <vector>

struct PngSource;
struct PngStrip;

// A PNG file made while its picture is still being made: rows are handed in by
// bands, top to bottom, and each strip of 128 rows is compressed as soon as it is
// whole and put into the file at once, so that the picture itself never needs to
// be held, only the file so far and the rows of one unfinished strip. The file is byte for byte the one
// fastPngBytes (fastGreyPngBytes) makes of the whole picture, for RGB: an opaque
// picture of 4-byte pixels (R, G, B, unused) whose pixels are not all grey.
class PngStripEncoder {
public:
    enum class Pixels {
        Rgb,   // colour type 2, rows filtered by their left neighbour, matched in runs
        Grey,  // colour type 0, one byte a pixel (R; every pixel must be grey)
    };

    PngStripEncoder(int width, int height, Pixels pixels);
    ~PngStripEncoder();
    PngStripEncoder(const PngStripEncoder&) = delete;
    PngStripEncoder& operator=(const PngStripEncoder&) = delete;

    // The next `count` rows of the picture, `width` 4-byte pixels each, `stride`
    // bytes apart from `rows`. The strips they complete are compressed before it
    // returns, on up to `threads` threads, the calling one included. False once a
    // strip could not be made (memory ran out, a pixel of a grey picture is not
    // grey) or rows go past the picture's height.
    bool add(const std::uint8_t* rows, std::ptrdiff_t stride, int count, int threads);

    // The file, once every row has been added (and once only); empty otherwise or
    // after a failure.
    QByteArray finish();

private:
    PngSource source(const std::uint8_t* bits, std::ptrdiff_t stride, int firstRow) const;
    void append(const std::uint8_t* rows, std::ptrdiff_t stride, int count);
    void putStrips();  // the strips compressed, into the file, in order

    int mWidth;
    int mHeight;
    Pixels mPixels;
    int mRows = 0;          // rows added
    int mCompressed = 0;    // rows compressed: whole strips
    bool mOk = true;
    std::vector<std::uint8_t> mPending;  // rows mCompressed .. mRows - 1, packed
    std::vector<PngStrip> mStrips;  // compressed, not yet in the file
    std::size_t mStripsPut = 0;
    unsigned long mAdler = 1;       // of the rows of the strips put
    QByteArray mFile;               // the file so far
};
