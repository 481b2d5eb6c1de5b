// The scaled sketch filter's row loops in AVX2 instructions; the same bytes as
// the portable ones (SketchFilterScaledPortable.cpp):
//  - the column sums: 16 counts (4 pixels) an instruction;
//  - a block row: the running totals of the column sums one pixel (128 bits) at a
//    time, then each whole block's sum as the difference of two totals and its
//    rounded mean as an exact float division, two pixels a vector; the means
//    packed back to pixel words with their grey in the alpha byte, and the keys;
//  - the dodge: the 13 candidates' keys as in the plain filter, 16 pixels at a
//    time; each winner's colour gathered by its code from a table of the
//    candidates' places, and both sketches dodged as the plain filter dodges them.
#include <cstddef>
#include <cstdint>

#include "filter/SketchFilterScaledRows.h"

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target)
#define SCALED_HAS_AVX2_LOOPS 1
#endif
#endif

#ifdef SCALED_HAS_AVX2_LOOPS

#include "filter/SketchFilterAvx2Pixels.h"

namespace scaled_sketch {

namespace {

using namespace sketch_avx2;

SKETCH_AVX2_INLINE __m256i load(const void* p)
{
    return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}

SKETCH_AVX2_INLINE void store(void* p, __m256i v)
{
    _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// The rounded means of two pixels' blocks from their totals at the block's right
// and left ends: (2 sum + count) / (2 count) in float (exact; see the portable loops).
SKETCH_AVX2_INLINE __m256i means(const std::uint32_t* right, const std::uint32_t* left, __m256i count, __m256 twice)
{
    const __m256i sum = _mm256_sub_epi32(load(right), load(left));
    const __m256i n = _mm256_add_epi32(_mm256_add_epi32(sum, sum), count);
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(n), twice));
}

// Eight whole blocks from column x on as pixel words (alpha unused), in order.
SKETCH_AVX2_INLINE __m256i eightBlocks(const std::uint32_t* totals, int x, int lo, int hi, __m256i count,
                                       __m256 twice)
{
    __m256i q[4];
    for (int k = 0; k < 4; ++k)
        q[k] = means(totals + 4 * (x + 2 * k + hi + 1), totals + 4 * (x + 2 * k - lo), count, twice);
    // Packing works within 128-bit lanes: pixels come out 0 2 4 6 1 3 5 7.
    const __m256i packed = _mm256_packus_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
    return _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
}

// The keys (grey + 1) << 4 of 16 pixels from their grey sums (pixels 0-7, 8-15).
SKETCH_AVX2_INLINE __m256i blockKeys(__m256i sums0, __m256i sums1)
{
    // The sums fit 16 bits; packing works within 128-bit lanes, the permutation
    // puts the pixels back in order. (sum >> 4) & 0xff0 is grey << 4.
    const __m256i sums = _mm256_permute4x64_epi64(_mm256_packus_epi32(sums0, sums1), 0xd8);
    return _mm256_add_epi16(_mm256_and_si256(_mm256_srli_epi16(sums, 4), _mm256_set1_epi16(0xff0)),
                            _mm256_set1_epi16(16));
}

SKETCH_AVX2 void sumRow(std::uint16_t* sums, const std::uint8_t* row, int n, bool add)
{
    int i = 0;
    for (; i + 16 <= 4 * n; i += 16) {
        const __m256i counts = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + i)));
        const __m256i s = load(sums + i);
        store(sums + i, add ? _mm256_add_epi16(s, counts) : _mm256_sub_epi16(s, counts));
    }
    for (; i < 4 * n; ++i)
        sums[i] = std::uint16_t(add ? sums[i] + row[i] : sums[i] - row[i]);
}

}  // namespace

bool avx2Available()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}

void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    sumRow(sums, row, n, true);
}

void subtractRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    sumRow(sums, row, n, false);
}

SKETCH_AVX2 void blockRowAvx2(const std::uint16_t* sums, int rowsIn, int n, int lo, int hi, std::uint32_t* totals,
                              std::uint32_t* colours, Key* keys)
{
    __m128i total = _mm_setzero_si128();
    _mm_storeu_si128(reinterpret_cast<__m128i*>(totals), total);
    for (int x = 0; x < n; ++x) {
        const __m128i column = _mm_cvtepu16_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(sums + 4 * x)));
        total = _mm_add_epi32(total, column);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(totals + 4 * (x + 1)), total);
    }
    const int wholeFrom = lo < n ? lo : n;
    const int wholeTo = n - hi > wholeFrom ? n - hi : wholeFrom;
    for (int x = 0; x < wholeFrom; ++x)
        blockPixel(totals, x, lo, hi, n, rowsIn, colours, keys);
    const int count = (lo + 1 + hi) * rowsIn;
    const __m256i countLanes = _mm256_set1_epi32(count);
    const __m256 twice = _mm256_set1_ps(float(2 * count));
    int x = wholeFrom;
    for (; x + 16 <= wholeTo; x += 16) {
        const __m256i p0 = eightBlocks(totals, x, lo, hi, countLanes, twice);
        const __m256i p1 = eightBlocks(totals, x + 8, lo, hi, countLanes, twice);
        const __m256i s0 = greySums(p0), s1 = greySums(p1);
        store(colours + x, withGreyForAlpha(p0, s0));
        store(colours + x + 8, withGreyForAlpha(p1, s1));
        store(keys + x, blockKeys(s0, s1));
    }
    for (; x < n; ++x)
        blockPixel(totals, x, lo, hi, n, rowsIn, colours, keys);
}

namespace {

// The winners' colours of 8 pixels from column x on, by their codes in 32-bit
// lanes: `places` maps a code to the winner's word from `base` at column 0.
SKETCH_AVX2_INLINE __m256i winners(const std::uint32_t* base, const __m256i places[2], __m256i code, int x)
{
    const __m256i low = _mm256_permutevar8x32_epi32(places[0], code);
    const __m256i high = _mm256_permutevar8x32_epi32(places[1], code);
    const __m256i place = _mm256_castps_si256(_mm256_blendv_ps(  // by bit 3, as the sign
        _mm256_castsi256_ps(low), _mm256_castsi256_ps(high), _mm256_castsi256_ps(_mm256_slli_epi32(code, 28))));
    const __m256i index = _mm256_add_epi32(place, _mm256_add_epi32(_mm256_set1_epi32(x), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7)));
    return _mm256_i32gather_epi32(reinterpret_cast<const int*>(base), index, 4);
}

SKETCH_AVX2_INLINE void sketchEight(const DodgeRow& row, const std::uint32_t* base, const __m256i places[2],
                                    __m256i code, int x)
{
    const __m256i bright = winners(base, places, code, x);
    const __m256i pixels = loadPixels(row.original + 4 * std::size_t(x));
    __m256i black, color;
    dodgePixels(withGreyForAlpha(pixels, greySums(pixels)), bright, pixels, black, color);
    storePixels(row.black + 4 * std::size_t(x), black);
    storePixels(row.color + 4 * std::size_t(x), color);
}

}  // namespace

SKETCH_AVX2 void dodgeRowAvx2(const DodgeRow& row, int n)
{
    // Each candidate's place as words from the first candidate row's column 0.
    const Key* keys[13];
    alignas(32) std::int32_t place[16] = {};
    const std::uint32_t* base = row.colours[0];
    for (int i = 0; i < 13; ++i) {
        const int dx = candidateDx(row, i);
        keys[i] = row.keys[kCandidates[i].row] + dx;
        place[15 - i] = std::int32_t(row.colours[kCandidates[i].row] - base) + dx;
    }
    const __m256i places[2] = {load(place), load(place + 8)};
    const __m256i low4 = _mm256_set1_epi16(15);
    int x = 0;
    for (; x + 16 <= n; x += 16) {
        __m256i best = _mm256_or_si256(loadKeys(keys[0] + x), _mm256_set1_epi16(15));
        for (int i = 1; i < 13; ++i)
            best = _mm256_max_epi16(best, _mm256_or_si256(loadKeys(keys[i] + x), _mm256_set1_epi16(Key(15 - i))));
        const __m256i code = _mm256_and_si256(best, low4);
        sketchEight(row, base, places, _mm256_cvtepu16_epi32(_mm256_castsi256_si128(code)), x);
        sketchEight(row, base, places, _mm256_cvtepu16_epi32(_mm256_extracti128_si256(code, 1)), x + 8);
    }
    if (x < n)
        dodgeRowPortable(row, x, n);
}

}  // namespace scaled_sketch

#else  // no AVX2 loops for this processor family

namespace scaled_sketch {

bool avx2Available()
{
    return false;
}

void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    addRowPortable(sums, row, n);
}

void subtractRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    subtractRowPortable(sums, row, n);
}

void blockRowAvx2(const std::uint16_t* sums, int rowsIn, int n, int lo, int hi, std::uint32_t* totals,
                  std::uint32_t* colours, Key* keys)
{
    blockRowPortable(sums, rowsIn, n, lo, hi, totals, colours, keys);
}

void dodgeRowAvx2(const DodgeRow& row, int n)
{
    dodgeRowPortable(row, 0, n);
}

}  // namespace scaled_sketch

#endif
