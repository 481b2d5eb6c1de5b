// The sketch filter's rows in AVX2 instructions, 16 pixels at a time, each
// pixel's bytes read once from memory; the same bytes as buildSketchReference.
// How the grey, the candidates' keys, the colour choice and the divisions are laid
// out in vectors, and what was measured and left out: docs/sketch-filter.md.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "filter/SketchFilterRows.h"

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target)
#define SKETCH_HAS_AVX2_LOOPS 1
#endif
#endif

#ifdef SKETCH_HAS_AVX2_LOOPS

#include "filter/SketchFilterAvx2Pixels.h"

namespace {

using namespace sketch_avx2;

constexpr Key kOutside = std::numeric_limits<Key>::min();  // a key beside the picture
constexpr int kPad = 32;                                   // keys beside a row: 2 + a vector's overrun
constexpr int kKeyRing = 5;                                // grey key rows y - 2 .. y + 2
constexpr int kMaxRing = 3;                                // row maxima y - 1 .. y + 1

constexpr int kPixelPad = 8;                               // pixels beside a copied row: 2 + overrun
constexpr int kFetchAhead = 2;                             // rows ahead whose pixels are fetched

// Per-thread scratch rows: the ring of grey key rows, the ring of the rows'
// maxima along three columns and a row of keys outside the picture standing for
// rows above and below it; the ring of copies of the picture rows whose keys are
// there, with room on either side, the ring of the colours of the maxima's
// winners, and a row of pixels standing for rows outside. Grows, never shrinks.
struct Scratch {
    std::vector<Key> keys;
    std::vector<std::uint32_t> pixels;
    int stride = 0;       // keys
    int pixelStride = 0;  // pixels

    Key* row(int i) { return keys.data() + std::size_t(i) * std::size_t(stride) + kPad; }
    Key* greyRow(int y) { return row(y % kKeyRing); }
    Key* maxRow(int y) { return row(kKeyRing + y % kMaxRing); }
    Key* outsideRow() { return row(kKeyRing + kMaxRing); }
    std::uint32_t* pixelRow(int i) { return pixels.data() + std::size_t(i) * std::size_t(pixelStride) + kPixelPad; }
    std::uint32_t* copyRow(int y) { return pixelRow(y % kKeyRing); }
    std::uint32_t* maxColourRow(int y) { return pixelRow(kKeyRing + y % kMaxRing); }
    std::uint32_t* outsidePixelRow() { return pixelRow(kKeyRing + kMaxRing); }

    // Every key, padding included, outside the picture; the loops then write the
    // picture columns of a row (rounded up to 16, the rest of the last vector
    // outside again) and nothing else, so rows of the same rounded width need no
    // clearing. The pixels beside the picture are never chosen.
    void prepare(int columns)
    {
        const int rounded = (columns + 15) & ~15;
        if (stride == kPad + rounded + kPad)
            return;
        stride = kPad + rounded + kPad;
        keys.assign(std::size_t(stride) * (kKeyRing + kMaxRing + 1), kOutside);
        pixelStride = kPixelPad + rounded + kPixelPad;
        pixels.assign(std::size_t(pixelStride) * (kKeyRing + kMaxRing + 1), 0);
    }
};


// Grey keys of one picture row of n pixels and a copy of its pixels with their
// greys in place of alpha, and its greys into byte 0 of each working pixel when
// `working` is given. Keys past the picture are outside keys, the copy is zero there.
// The lines of `nextOriginal` and `nextWorking`, rows this will be called for
// later, are fetched meanwhile (when given): left to the processor, they came late.
SKETCH_AVX2
void greyKeyRow(const std::uint8_t* original, std::uint8_t* working, Key* keys, std::uint32_t* copy, int n,
                const std::uint8_t* nextOriginal, const std::uint8_t* nextWorking)
{
    auto* copied = reinterpret_cast<std::uint8_t*>(copy);
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        if (nextOriginal)
            _mm_prefetch(reinterpret_cast<const char*>(nextOriginal + 4 * x), _MM_HINT_T0);
        if (nextWorking)
            _mm_prefetch(reinterpret_cast<const char*>(nextWorking + 4 * x), _MM_HINT_T0);
        const __m256i p0 = loadPixels(original + 4 * x), p1 = loadPixels(original + 4 * x + 32);
        const __m256i s0 = greySums(p0);
        const __m256i s1 = greySums(p1);
        storePixels(copied + 4 * x, withGreyForAlpha(p0, s0));
        storePixels(copied + 4 * x + 32, withGreyForAlpha(p1, s1));
        if (working) {
            storePixels(working + 4 * x, withGrey(loadPixels(working + 4 * x), s0));
            storePixels(working + 4 * x + 32, withGrey(loadPixels(working + 4 * x + 32), s1));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(keys + x), keysOf(s0, s1));
    }
    if (x < n) {
        const int left = n - x;
        const __m256i m0 = lanesBelow(left), m1 = lanesBelow(left - 8);
        auto* in = reinterpret_cast<const int*>(original + 4 * x);
        const __m256i p0 = _mm256_maskload_epi32(in, m0), p1 = _mm256_maskload_epi32(in + 8, m1);
        const __m256i s0 = greySums(p0);
        const __m256i s1 = greySums(p1);
        storePixels(copied + 4 * x, withGreyForAlpha(p0, s0));
        storePixels(copied + 4 * x + 32, withGreyForAlpha(p1, s1));
        if (working) {
            auto* out = reinterpret_cast<int*>(working + 4 * x);
            _mm256_maskstore_epi32(out, m0, withGrey(_mm256_maskload_epi32(out, m0), s0));
            _mm256_maskstore_epi32(out + 8, m1, withGrey(_mm256_maskload_epi32(out + 8, m1), s1));
        }
        const __m256i k = _mm256_blendv_epi8(_mm256_set1_epi16(kOutside), keysOf(s0, s1), keysBelow(left));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(keys + x), k);
    }
}

SKETCH_AVX2_INLINE __m256 pixelsAt(const std::uint32_t* row, int dx)
{
    return _mm256_castsi256_ps(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row + dx)));
}

// The candidate of a block row by the code's two low bits: 0 right, 1 the pixel's
// column, 2 left, from the copied row at the pixels.
SKETCH_AVX2_INLINE __m256i blockRowColour(const std::uint32_t* row, __m256i code)
{
    const __m256 bit0 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 31));
    const __m256 bit1 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 30));
    return _mm256_castps_si256(_mm256_blendv_ps(_mm256_blendv_ps(pixelsAt(row, 1), pixelsAt(row, 0), bit0), pixelsAt(row, -1), bit1));
}

// The maximum of each key row's three candidates of the block row: left (column
// rank 2), the pixel's own column (1) and right (0), and the colour of the winner.
SKETCH_AVX2
void rowMaxima(const Key* keys, const std::uint32_t* copy, Key* maxima, std::uint32_t* colours, int n)
{
    const __m256i zero = _mm256_setzero_si256();
    for (int x = 0; x < n; x += 16) {
        const __m256i left = _mm256_or_si256(loadKeys(keys + x - 1), _mm256_set1_epi16(2));
        const __m256i own = _mm256_or_si256(loadKeys(keys + x), _mm256_set1_epi16(1));
        const __m256i right = loadKeys(keys + x + 1);
        const __m256i best = _mm256_max_epi16(_mm256_max_epi16(left, own), right);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(maxima + x), best);
        const __m256i ordered = _mm256_permute4x64_epi64(best, 0xd8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + x),
                            blockRowColour(copy + x, _mm256_unpacklo_epi16(ordered, zero)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(colours + x + 8),
                            blockRowColour(copy + x + 8, _mm256_unpackhi_epi16(ordered, zero)));
    }
}


// The colour of each of 8 pixels' winner, chosen by the low four bits of its code
// (in 32-bit lanes): from the winners of the block rows above, own and below
// (`blockRows`) or from the copied rows two above .. two below (`rows`).
SKETCH_AVX2_INLINE __m256i winnerColour(__m256i code, const std::uint32_t* const* rows,
                                        const std::uint32_t* const* blockRows)
{
    // Each bit of the code in turn as the sign, which blendv looks at.
    const __m256 bit0 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 31));
    const __m256 bit1 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 30));
    const __m256 bit2 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 29));
    const __m256 bit3 = _mm256_castsi256_ps(_mm256_slli_epi32(code, 28));
    // At distance 2: 12 right, 13 left, 14 down, 15 up.
    const __m256 far = _mm256_blendv_ps(_mm256_blendv_ps(pixelsAt(rows[2], 2), pixelsAt(rows[2], -2), bit0),
                                        _mm256_blendv_ps(pixelsAt(rows[4], 0), pixelsAt(rows[0], 0), bit0), bit1);
    // Bits 3 and 2: 0 the row below, 1 the pixel's row, 2 the row above, 3 distance 2.
    return _mm256_castps_si256(
        _mm256_blendv_ps(_mm256_blendv_ps(pixelsAt(blockRows[2], 0), pixelsAt(blockRows[1], 0), bit2),
                         _mm256_blendv_ps(pixelsAt(blockRows[0], 0), far, bit2), bit3));
}

// One picture row to dodge: the grey keys of the rows two above, own and two
// below, the maxima of the rows above, own and below, the copies of the rows two
// above .. two below, the row's original pixels and its two sketches.
struct DodgeRow {
    const Key* up2;
    const Key* mid;
    const Key* down2;
    const Key* up;
    const Key* midMax;
    const Key* down;
    const std::uint32_t* copies[5];
    const std::uint32_t* maxColours[3];
    const std::uint8_t* original;
    std::uint8_t* black;
    std::uint8_t* color;
};

// Winning keys of pixels x .. x + 15, in the order 0-3, 8-11 | 4-7, 12-15 so that
// unpacking gives pixels 0-7 and 8-15.
SKETCH_AVX2_INLINE __m256i winningKeys(const DodgeRow& row, int x)
{
    const __m256i block = _mm256_max_epi16(_mm256_max_epi16(_mm256_or_si256(loadKeys(row.up + x), _mm256_set1_epi16(8)),
                                                            _mm256_or_si256(loadKeys(row.midMax + x), _mm256_set1_epi16(4))),
                                           loadKeys(row.down + x));
    // The key rows hold code 16: xor gives the codes 15 .. 12.
    const __m256i upright = _mm256_max_epi16(_mm256_xor_si256(loadKeys(row.up2 + x), _mm256_set1_epi16(16 ^ 15)),
                                             _mm256_xor_si256(loadKeys(row.down2 + x), _mm256_set1_epi16(16 ^ 14)));
    const __m256i across = _mm256_max_epi16(_mm256_xor_si256(loadKeys(row.mid + x - 2), _mm256_set1_epi16(16 ^ 13)),
                                            _mm256_xor_si256(loadKeys(row.mid + x + 2), _mm256_set1_epi16(16 ^ 12)));
    // A tree of maxima, not a chain: the pixels' work starts sooner.
    return _mm256_permute4x64_epi64(_mm256_max_epi16(block, _mm256_max_epi16(upright, across)), 0xd8);
}

// Both sketches of pixels at .. at + 7 whose winners have the codes `code`; of the
// first `count` of them only when `count` is below 8.
SKETCH_AVX2_INLINE void sketchPixels(const DodgeRow& row, int at, __m256i code, int count = 8)
{
    const std::uint32_t* const rows[5] = {row.copies[0] + at, row.copies[1] + at, row.copies[2] + at,
                                          row.copies[3] + at, row.copies[4] + at};
    const std::uint32_t* const blockRows[3] = {row.maxColours[0] + at, row.maxColours[1] + at,
                                               row.maxColours[2] + at};
    const __m256i bright = winnerColour(code, rows, blockRows);
    const __m256i own = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(rows[2]));
    __m256i black, color;
    if (count >= 8) {
        dodgePixels(own, bright, loadPixels(row.original + 4 * at), black, color);
        storePixels(row.black + 4 * at, black);
        storePixels(row.color + 4 * at, color);
    } else {
        const __m256i mask = lanesBelow(count);
        dodgePixels(own, bright, _mm256_maskload_epi32(reinterpret_cast<const int*>(row.original + 4 * at), mask),
                    black, color);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(row.black + 4 * at), mask, black);
        _mm256_maskstore_epi32(reinterpret_cast<int*>(row.color + 4 * at), mask, color);
    }
}

// Both sketches of one picture row of n pixels.
SKETCH_AVX2
void dodgeRow(const DodgeRow& rowPointers, int n)
{
    const DodgeRow row = rowPointers;  // our own copy, which the stores cannot change
    const __m256i zero = _mm256_setzero_si256();
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        const __m256i best = winningKeys(row, x);
        sketchPixels(row, x, _mm256_unpacklo_epi16(best, zero));
        sketchPixels(row, x + 8, _mm256_unpackhi_epi16(best, zero));
    }
    if (x < n) {
        const __m256i best = winningKeys(row, x);
        sketchPixels(row, x, _mm256_unpacklo_epi16(best, zero), n - x);
        if (n - x > 8)
            sketchPixels(row, x + 8, _mm256_unpackhi_epi16(best, zero), n - x - 8);
    }
}

}  // namespace

bool sketchBandAvx2Available()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void sketchBandAvx2(const SketchBuffers& buffers, int columns, int rows, int first, int end)
{
    thread_local Scratch scratch;
    scratch.prepare(columns);
    const std::ptrdiff_t stride = std::ptrdiff_t(buffers.width) * 4;
    auto inside = [&](int y) { return y >= 0 && y < rows; };
    auto greyKeys = [&](int y) { return inside(y) ? scratch.greyRow(y) : scratch.outsideRow(); };
    auto maxima = [&](int y) { return inside(y) ? scratch.maxRow(y) : scratch.outsideRow(); };
    auto copy = [&](int y) { return inside(y) ? scratch.copyRow(y) : scratch.outsidePixelRow(); };
    auto maxColours = [&](int y) { return inside(y) ? scratch.maxColourRow(y) : scratch.outsidePixelRow(); };
    auto computeGrey = [&](int y) {
        if (!inside(y))
            return;
        std::uint8_t* working = buffers.working && y >= first && y < end ? buffers.working + y * stride : nullptr;
        const int next = y + kFetchAhead;
        const std::uint8_t* nextOriginal = next < std::min(rows, end + 2) ? buffers.original + next * stride : nullptr;
        const std::uint8_t* nextWorking = buffers.working && next < end ? buffers.working + next * stride : nullptr;
        greyKeyRow(buffers.original + y * stride, working, scratch.greyRow(y), scratch.copyRow(y), columns,
                   nextOriginal, nextWorking);
    };
    auto computeMaxima = [&](int y) {
        if (inside(y))
            rowMaxima(scratch.greyRow(y), scratch.copyRow(y), scratch.maxRow(y), scratch.maxColourRow(y), columns);
    };

    for (int y = first - 2; y < first + 2; ++y)
        computeGrey(y);
    for (int y = first - 1; y < first + 1; ++y)
        computeMaxima(y);
    for (int y = first; y < end; ++y) {
        computeGrey(y + 2);
        computeMaxima(y + 1);
        const DodgeRow row{greyKeys(y - 2),
                           greyKeys(y),
                           greyKeys(y + 2),
                           maxima(y - 1),
                           maxima(y),
                           maxima(y + 1),
                           {copy(y - 2), copy(y - 1), copy(y), copy(y + 1), copy(y + 2)},
                           {maxColours(y - 1), maxColours(y), maxColours(y + 1)},
                           buffers.original + y * stride,
                           buffers.black + y * stride,
                           buffers.color + y * stride};
        dodgeRow(row, columns);
    }
}

#else  // no AVX2 loops for this processor family

bool sketchBandAvx2Available()
{
    return false;
}

void sketchBandAvx2(const SketchBuffers& buffers, int columns, int rows, int first, int end)
{
    sketchBandPortable(buffers, columns, rows, first, end);
}

#endif
