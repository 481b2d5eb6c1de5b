#pragma once

// AVX2 pieces shared by the sketch filters' row loops (SketchFilterAvx2.cpp,
// SketchFilterScaledAvx2.cpp): pixels are little-endian 32-bit words, R in the low
// byte; a grey key is (grey + 1) << 4 in a 16-bit lane. Only for files built where
// the target attribute exists (x86-64), and to be run only where the processor has
// AVX2.
#include <cstdint>

#include <immintrin.h>

#define SKETCH_AVX2 __attribute__((target("avx2")))
#define SKETCH_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

namespace sketch_avx2 {

using Key = std::int16_t;

SKETCH_AVX2_INLINE __m256i lanesBelow(int count)  // 32-bit lanes i < count
{
    return _mm256_cmpgt_epi32(_mm256_set1_epi32(count), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

SKETCH_AVX2_INLINE __m256i keysBelow(int count)  // 16-bit lanes i < count
{
    return _mm256_cmpgt_epi16(_mm256_set1_epi16(std::int16_t(count)),
                              _mm256_setr_epi16(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15));
}

SKETCH_AVX2_INLINE __m256i loadKeys(const Key* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

SKETCH_AVX2_INLINE __m256i loadPixels(const std::uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

SKETCH_AVX2_INLINE void storePixels(std::uint8_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Grey keys of 16 pixels (grey sums of pixels 0-7 and 8-15) in pixel order.
SKETCH_AVX2_INLINE __m256i keysOf(__m256i sums0, __m256i sums1)
{
    // The sums fit 16 bits; packing works within 128-bit lanes, the permutation
    // puts the pixels back in order. (sum >> 1) & 0x7f80 is grey << 7.
    const __m256i sums = _mm256_permute4x64_epi64(_mm256_packus_epi32(sums0, sums1), 0xd8);
    return _mm256_or_si256(_mm256_and_si256(_mm256_srli_epi16(sums, 1), _mm256_set1_epi16(0x7f80)),
                           _mm256_set1_epi16(16));
}

// 76r + 150g + 29b of 8 pixels, in 32-bit lanes.
SKETCH_AVX2_INLINE __m256i greySums(__m256i pixels)
{
    const __m256i weights = _mm256_set1_epi32(0x001d4b26);  // bytes 38, 75, 29, 0
    const __m256i pairs = _mm256_set1_epi32(0x00010002);    // words 2, 1
    return _mm256_madd_epi16(_mm256_maddubs_epi16(pixels, weights), pairs);
}

// The grey into byte 0 of each of 8 working pixels, their other bytes kept.
SKETCH_AVX2_INLINE __m256i withGrey(__m256i working, __m256i sums)
{
    return _mm256_blendv_epi8(working, _mm256_srli_epi32(sums, 8), _mm256_set1_epi32(0xff));
}

// 8 pixels with their greys in place of alpha, as the copied rows hold them.
SKETCH_AVX2_INLINE __m256i withGreyForAlpha(__m256i pixels, __m256i sums)
{
    return _mm256_blendv_epi8(pixels, _mm256_slli_epi32(sums, 16), _mm256_set1_epi32(std::int32_t(0xff000000u)));
}

// min(255, a * 256 / (b + 1)) for the 32-bit lanes `a256` = a * 256 and `b`, with
// a, b in 0..255, truncated as integer division does; the packing of the caller
// saturates to 255. Exact in float: both operands are whole and exact, a quotient
// that is not whole lies at least 1 / (b + 1) >= 2^-8 from the next whole number,
// while the correctly rounded float quotient (below 2^16) is off by less than
// 2^-8. (A reciprocal with a Newton step instead of the division measured slower
// here: the divider works beside the other units.)
SKETCH_AVX2_INLINE __m256i dodge(__m256i a256, __m256i b)
{
    const __m256 d = _mm256_cvtepi32_ps(_mm256_add_epi32(b, _mm256_set1_epi32(1)));
    return _mm256_cvttps_epi32(_mm256_div_ps(_mm256_cvtepi32_ps(a256), d));
}

// Byte shuffles taking the four bytes of pixel j of each 128-bit lane into the
// four 32-bit lanes of a vector, into byte `at` of each (1: times 256).
struct PixelSpread {
    alignas(32) std::int8_t bytes[2][4][32];
};

constexpr PixelSpread makePixelSpread()
{
    PixelSpread s{};
    for (int at = 0; at < 2; ++at)
        for (int j = 0; j < 4; ++j)
            for (int i = 0; i < 32; ++i)
                s.bytes[at][j][i] = i % 4 == at ? std::int8_t(4 * j + i % 16 / 4) : std::int8_t(-128);
    return s;
}

constexpr PixelSpread kPixelSpread = makePixelSpread();

SKETCH_AVX2_INLINE __m256i pixelBytes(int j, int at)
{
    return _mm256_load_si256(reinterpret_cast<const __m256i*>(kPixelSpread.bytes[at][j]));
}

// Both sketches of 8 pixels from their colours and greys `own` and their winners'
// colours and greys `bright` (the greys in place of alpha), with the alpha of `original`.
SKETCH_AVX2_INLINE void dodgePixels(__m256i own, __m256i bright, __m256i original, __m256i& black, __m256i& color)
{
    const __m256i alpha = _mm256_set1_epi32(std::int32_t(0xff000000u));
    __m256i q[4];
    for (int j = 0; j < 4; ++j)
        q[j] = dodge(_mm256_shuffle_epi8(own, pixelBytes(j, 1)), _mm256_shuffle_epi8(bright, pixelBytes(j, 0)));
    // Packing with saturation clamps to 255 and puts the bytes back in pixel order.
    const __m256i sketch = _mm256_packus_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
    const __m256i greys = _mm256_setr_epi8(3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15, 3, 3, 3, 3, 7, 7,
                                           7, 7, 11, 11, 11, 11, 15, 15, 15, 15);
    color = _mm256_blendv_epi8(sketch, original, alpha);
    black = _mm256_blendv_epi8(_mm256_shuffle_epi8(sketch, greys), original, alpha);
}

}  // namespace sketch_avx2
