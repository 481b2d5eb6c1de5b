// The sketch filter's rows in plain C++, for any processor. Same bytes as
// buildSketchReference, made fast by:
//  - a ring of five padded grey rows of our own, so the 13 candidates of a pixel
//    need no bounds checks and stale bytes around the picture are never read;
//  - a 16-bit key per candidate, (grey + 1) << 4 | (15 - scan index), so that one
//    plain maximum over the 13 keys gives both the brightest grey and, on a tie,
//    the candidate met first; padding holds key 0, which never wins because the
//    pixel itself always takes part with a key of at least 16;
//  - row loops that the compiler vectorises, the four divisions per pixel done as
//    exact float divisions, eight pixels at a time with AVX2.
// The few scratch rows (kilobytes) of each thread live on with the thread.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "filter/SketchFilterRows.h"

namespace {

using Key = std::int16_t;

constexpr int kLeftPad = 16;    // keys before column 0 (2 are needed)
constexpr int kRightPad = 48;   // keys after the last column: 2 + a vector's overrun
constexpr int kRingRows = 5;
// Per-thread scratch: the ring of grey key rows, one row of zero keys standing for
// rows outside the picture, the row of winning keys and the row of the winners'
// colours. Grows, never shrinks.
struct Scratch {
    std::vector<Key> keys;
    std::vector<std::uint32_t> bright;
    int stride = 0;

    Key* row(int i) { return keys.data() + std::size_t(i) * stride + kLeftPad; }

    void prepare(int columns)
    {
        stride = (kLeftPad + columns + kRightPad + 31) & ~31;
        const std::size_t need = std::size_t(stride) * (kRingRows + 2);
        if (keys.size() < need)
            keys.resize(need);
        if (bright.size() < std::size_t(columns))
            bright.resize(columns);
        std::memset(keys.data(), 0, need * sizeof(Key));
    }
};

// The vectorised row loops come in an AVX2 and a baseline build; the loader picks
// one by the processor it runs on.
#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define SKETCH_DISPATCH __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef SKETCH_DISPATCH
#define SKETCH_DISPATCH
#endif

inline unsigned greyOf(const std::uint8_t* px)
{
    return (76u * px[0] + 150u * px[1] + 29u * px[2]) >> 8;
}

// Grey of one picture row: into byte 0 of each working pixel and as keys.
SKETCH_DISPATCH
void greyRow(const std::uint8_t* original, std::uint8_t* working, Key* keys, int n)
{
    for (int x = 0; x < n; ++x) {
        const unsigned grey = greyOf(original + 4 * x);
        working[4 * x] = std::uint8_t(grey);
        keys[x] = Key((grey + 1) << 4);
    }
}

// The same as keys only, for a caller that wants no grey scratch.
SKETCH_DISPATCH
void greyKeyRow(const std::uint8_t* original, Key* keys, int n)
{
    for (int x = 0; x < n; ++x)
        keys[x] = Key((greyOf(original + 4 * x) + 1) << 4);
}

inline Key maxKey(Key a, Key b)
{
    return a > b ? a : b;
}

// Winning key of every pixel of a row from the key rows y-2 .. y+2.
SKETCH_DISPATCH
void bestRow(const Key* up2, const Key* up, const Key* mid, const Key* down, const Key* down2, Key* best, int n)
{
    for (int x = 0; x < n; ++x) {
        Key m = Key(up[x - 1] | 15);
        m = maxKey(m, Key(up[x] | 14));
        m = maxKey(m, Key(up[x + 1] | 13));
        m = maxKey(m, Key(mid[x - 1] | 12));
        m = maxKey(m, Key(mid[x] | 11));
        m = maxKey(m, Key(mid[x + 1] | 10));
        m = maxKey(m, Key(down[x - 1] | 9));
        m = maxKey(m, Key(down[x] | 8));
        m = maxKey(m, Key(down[x + 1] | 7));
        m = maxKey(m, Key(up2[x] | 6));
        m = maxKey(m, Key(down2[x] | 5));
        m = maxKey(m, Key(mid[x - 2] | 4));
        m = maxKey(m, Key(mid[x + 2] | 3));
        best[x] = m;
    }
}

inline std::uint32_t loadPixel(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline void storePixel(std::uint8_t* p, std::uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// The colour of each pixel's winning candidate. `offsets` maps a key's low four
// bits to the byte offset of that candidate from the pixel.
void brightestRow(const std::uint8_t* __restrict original, const Key* __restrict best,
                  const std::ptrdiff_t* __restrict offsets, std::uint32_t* __restrict bright, int n)
{
    for (int x = 0; x < n; ++x)
        bright[x] = loadPixel(original + 4 * x + offsets[best[x] & 15]);
}

// min(255, a * 256 / (b + 1)) for a, b in 0..255, in float so that it vectorises.
// It is exact: both operands are whole and exact in float; a quotient that is not
// whole lies at least 1/(b + 1) away from any integer, while the correctly
// rounded float quotient is off by less than 2^-24 of 65536/(b + 1), i.e. below
// 2^-8/(b + 1). Truncating it therefore gives the integer quotient.
inline std::uint32_t dodge(std::uint32_t a, std::uint32_t b)
{
    const auto q = std::uint32_t(std::int32_t(float(std::int32_t(a << 8)) / float(std::int32_t(b + 1))));
    return q < 255u ? q : 255u;
}

// Both sketches of one row from the pixels, their winning keys and the colours of
// the winners. Pixels are handled as little-endian 32-bit words: R in the low byte,
// A in the high one.
SKETCH_DISPATCH
void dodgeRow(const std::uint8_t* __restrict original, const std::uint32_t* __restrict bright,
              const Key* __restrict own, const Key* __restrict best, std::uint8_t* __restrict black,
              std::uint8_t* __restrict color, int n)
{
    static_assert(std::endian::native == std::endian::little, "pixel words are read little-endian");
    for (int x = 0; x < n; ++x) {
        const std::uint32_t px = loadPixel(original + 4 * x);
        const std::uint32_t br = bright[x];
        const std::uint32_t alpha = px & 0xff000000u;
        const std::uint32_t k = dodge(std::uint32_t(own[x] >> 4) - 1, std::uint32_t(best[x] >> 4) - 1);
        const std::uint32_t cr = dodge(px & 0xffu, br & 0xffu);
        const std::uint32_t cg = dodge((px >> 8) & 0xffu, (br >> 8) & 0xffu);
        const std::uint32_t cb = dodge((px >> 16) & 0xffu, (br >> 16) & 0xffu);
        storePixel(color + 4 * x, cr | (cg << 8) | (cb << 16) | alpha);
        storePixel(black + 4 * x, k * 0x010101u | alpha);
    }
}

// Greys of the two rows above and below the band are computed again as keys only.
}  // namespace

void sketchBandPortable(const SketchBuffers& buffers, int columns, int rows, int first, int end)
{
    thread_local Scratch scratch;
    scratch.prepare(columns);
    const Key* zeroRow = scratch.row(kRingRows);
    Key* bestKeys = scratch.row(kRingRows + 1);
    std::uint32_t* brightRow = scratch.bright.data();

    // Byte offset of each candidate from its pixel, by the low four bits of its key
    // (15 - scan index), so each row of the block runs right to left.
    const std::ptrdiff_t stride = std::ptrdiff_t(buffers.width) * 4;
    const std::ptrdiff_t offsets[16] = {
        0, 0, 0,                             // unused
        8, -8, 2 * stride, -2 * stride,      // two right, two left, two down, two up
        stride + 4, stride, stride - 4,      // the row below
        4, 0, -4,                            // the pixel's own row
        -stride + 4, -stride, -stride - 4,   // the row above
    };

    auto greyKeys = [&](int y) -> const Key* { return y >= 0 && y < rows ? scratch.row(y % kRingRows) : zeroRow; };
    auto computeGrey = [&](int y) {
        if (y < 0 || y >= rows)
            return;
        const std::ptrdiff_t p = y * stride;
        if (buffers.working && y >= first && y < end)
            greyRow(buffers.original + p, buffers.working + p, scratch.row(y % kRingRows), columns);
        else
            greyKeyRow(buffers.original + p, scratch.row(y % kRingRows), columns);
    };

    for (int y = first - 2; y < first + 2; ++y)
        computeGrey(y);
    for (int y = first; y < end; ++y) {
        computeGrey(y + 2);
        bestRow(greyKeys(y - 2), greyKeys(y - 1), greyKeys(y), greyKeys(y + 1), greyKeys(y + 2), bestKeys, columns);
        const std::ptrdiff_t p = y * stride;
        brightestRow(buffers.original + p, bestKeys, offsets, brightRow, columns);
        dodgeRow(buffers.original + p, brightRow, greyKeys(y), bestKeys, buffers.black + p, buffers.color + p,
                 columns);
    }
}
