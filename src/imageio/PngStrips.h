#pragma once

// The PNG writer's parts (FastPng.cpp, PngStripEncoder.cpp): rows compressed in
// strips of 128, each a raw deflate stream of its own ended on a byte boundary
// (the last by the final block), joined into the file's one zlib stream.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>
#include <zlib.h>

inline constexpr int kPngStripRows = 128;

// Grey: RGB rows whose pixels all have R = G = B. GreyChannel: the same pixels
// written as one grey byte each (a greyscale PNG).
enum class PngLayout { Grey, Rgb, Rgba, GreyChannel };

// A picture's rows as PNG pixels (1, 3 or 4 bytes), read from rows of 3- or
// 4-byte pixels: rows firstRow on, `stride` bytes apart from `bits`.
struct PngSource {
    const std::uint8_t* bits = nullptr;
    std::ptrdiff_t stride = 0;
    int firstRow = 0;
    int width = 0;
    PngLayout layout = PngLayout::Rgb;
    int inBytes = 3;  // bytes a pixel in the rows: 4 for RGBX8888 read as RGB; 1 for grey bytes

    int outBytes() const { return layout == PngLayout::Rgba ? 4 : layout == PngLayout::GreyChannel ? 1 : 3; }

    // The PNG pixels of row y; false when the row does not fit the layout (a
    // pixel that is not grey for GreyChannel).
    bool row(int y, std::uint8_t* out) const
    {
        const std::uint8_t* p = bits + stride * std::ptrdiff_t(y - firstRow);
        if (layout == PngLayout::GreyChannel && inBytes != 1) {
            bool grey = true;
            for (int x = 0; x < width; ++x, p += inBytes) {
                out[x] = p[0];
                grey &= p[1] == p[0] && p[2] == p[0];
            }
            return grey;
        }
        if (inBytes == outBytes()) {
            std::memcpy(out, p, std::size_t(width) * std::size_t(inBytes));
            return true;
        }
        for (int x = 0; x < width; ++x, p += 4, out += 3)
            out[0] = p[0], out[1] = p[1], out[2] = p[2];
        return true;
    }
};

// One strip's rows, filtered and deflated.
struct PngStrip {
    std::vector<std::uint8_t> bytes;
    uLong adler = 1;
    uLong length = 0;  // bytes given to deflate
    bool ok = false;
};

// How deflate looks for repeats: the writer's usual way (runs for filtered
// colour rows and grey channels, plain matching for unfiltered grey RGB rows), or
// not at all, each byte coded alone (Huffman only): for pictures such as the
// sketches at a photo's size, whose repeats are too few to pay (the files come
// out the same size within 0.2 %), about an eighth less work.
enum class PngMatching { Usual, LiteralsOnly };

// Compresses rows [first, end) of `source`; the last strip of the picture ends
// the stream. strip->ok tells whether it could.
void compressPngStrip(const PngSource& source, int first, int end, bool last, PngStrip* strip,
                      PngMatching matching = PngMatching::Usual);

// The PNG file of a width x height picture from its strips' bytes, in order
// (each let go once copied); empty when one is not ok. Throws std::bad_alloc.
QByteArray pngFile(int width, int height, PngLayout layout, std::vector<PngStrip>& strips);

// The same file put together a strip at a time, as each is compressed: the
// signature and header, then each strip in order (its bytes let go; `adler`
// carries the checksum from one to the next), then the end. Throw std::bad_alloc.
void pngFileStart(QByteArray& out, int width, int height, PngLayout layout);
void pngFilePutStrip(QByteArray& out, PngStrip& strip, bool first, bool last, uLong* adler);
void pngFileEnd(QByteArray& out);
