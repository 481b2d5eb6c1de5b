#include "project/StrokeMask.h"

#include <algorithm>
#include <cstring>

#include "project/ShareLookup.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define STROKE_MASK_AVX2 1
#endif

void StrokeMask::reset(int bufferWidth, int bufferHeight)
{
    mWidth = std::max(bufferWidth, 0);
    mHeight = std::max(bufferHeight, 0);
    mTileColumns = (mWidth + kTileSide - 1) / kTileSide;
    const int tileRows = (mHeight + kTileSide - 1) / kTileSide;
    mIndex.assign(std::size_t(mTileColumns) * std::size_t(tileRows), -1);
    mTouched.clear();
    mActive = false;
    mFirstRow = 0;
    mLastRow = mHeight - 1;
}

void StrokeMask::limitRows(int first, int last)
{
    mFirstRow = std::max(first, 0);
    mLastRow = std::min(last, mHeight - 1);
}

void StrokeMask::reset()
{
    for (int position : mTouched)
        mIndex[std::size_t(position)] = -1;
    mTouched.clear();
    mActive = false;
}

StrokeMask::Tile& StrokeMask::tileAt(int tx, int ty, const std::uint8_t* working)
{
    const std::size_t position = std::size_t(ty) * std::size_t(mTileColumns) + std::size_t(tx);
    int& index = mIndex[position];
    if (index >= 0)
        return mTiles[std::size_t(index)];
    index = int(mTouched.size());
    mTouched.push_back(int(position));
    if (mTiles.size() < mTouched.size())
        mTiles.push_back(Tile{std::vector<std::uint8_t>(kTileSide * kTileSide), {}, {}, 0});
    Tile& tile = mTiles[std::size_t(index)];
    tile.position = int(position);
    std::fill(tile.alpha.begin(), tile.alpha.end(), std::uint8_t(0));
    if (!working)
        return tile;
    if (tile.base.empty())
        tile.base.resize(kTileSide * kTileSide * 4);
    const int x0 = tx * kTileSide;
    const int y0 = ty * kTileSide;
    const int columns = std::min(kTileSide, mWidth - x0);
    // Only the rows this mask may change: others may be another thread's.
    const int from = std::max(y0, mFirstRow);
    const int to = std::min(y0 + kTileSide - 1, mLastRow);
    for (int y = from; y <= to; ++y)
        std::memcpy(tile.base.data() + std::size_t(y - y0) * kTileSide * 4,
                    working + (std::size_t(y) * std::size_t(mWidth) + std::size_t(x0)) * 4,
                    std::size_t(columns) * 4);
    return tile;
}

namespace {

// `length` pixels (at most a tile's row): where the share a is larger than the
// one kept (or full), the share is kept and the pixel becomes
// (base x (255 - a) + source x a) / 255 rounded; elsewhere both stay. The shares
// are compared all at once first; only the pixels that change are worked out.
void blendStretch(int length, const std::uint8_t* shares, std::uint8_t* kept, const std::uint8_t* base,
                  const std::uint8_t* source, std::uint8_t* working)
{
    std::uint8_t take[StrokeMask::kTileSide];
    for (int i = 0; i < length; ++i) {
        const std::uint8_t a = shares[i];
        const std::uint8_t old = kept[i];
        const std::uint8_t t = std::uint8_t((a > old) | (a == 255));
        take[i] = t;
        kept[i] = t ? a : old;
    }
    for (int i = 0; i < length; ++i) {
        if (!take[i])
            continue;
        const unsigned a = shares[i];
        for (int c = 0; c < 4; ++c) {
            const std::size_t k = std::size_t(i) * 4 + std::size_t(c);
            // Rounded to nearest: x / 255 is never half-way for whole x.
            working[k] = std::uint8_t((unsigned(base[k]) * (255u - a) + unsigned(source[k]) * a + 127u) / 255u);
        }
    }
}

}  // namespace

template <typename Apply>
void StrokeMask::forEachStretch(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* working,
                                Apply apply)
{
    if (y < mFirstRow || y > mLastRow)
        return;
    const int first = std::max(x0, 0);
    const int last = std::min(x1, mWidth - 1);
    const int ty = y / kTileSide;
    const std::size_t tileRow = std::size_t(y % kTileSide) * kTileSide;
    // Within a tile the pixels of a row lie side by side.
    for (int x = first; x <= last;) {
        const int tx = x / kTileSide;
        const int end = std::min(last, tx * kTileSide + kTileSide - 1);
        const int length = end - x + 1;
        const std::uint8_t* a = alphas + (x - x0);
        unsigned any = 0;
        for (int i = 0; i < length; ++i)
            any |= a[i];
        if (any != 0)
            apply(tileAt(tx, ty, working), tileRow + std::size_t(x % kTileSide), x, length, a);
        x = end + 1;
    }
}

void StrokeMask::reveal(int y, int x0, int x1, const std::uint8_t* alphas, const std::uint8_t* sourceRow,
                        std::uint8_t* working)
{
    forEachStretch(y, x0, x1, alphas, working,
                   [&](Tile& tile, std::size_t at, int x, int length, const std::uint8_t* shares) {
                       const std::size_t pixel = std::size_t(y) * std::size_t(mWidth) + std::size_t(x);
                       blendStretch(length, shares, tile.alpha.data() + at, tile.base.data() + at * 4,
                                    sourceRow + std::size_t(x) * 4, working + pixel * 4);
                   });
}

namespace {

// Where the share is larger than the one kept, or full, it is kept with its
// source; 16 pixels at a time, with masks instead of branches.
void markShares(int length, const std::uint8_t* shares, std::uint8_t* kept, std::uint8_t* sources,
                 std::uint8_t from)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128i full = _mm_set1_epi8(char(0xff));
    const __m128i source = _mm_set1_epi8(char(from));
    for (; i + 16 <= length; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(shares + i));
        const __m128i k = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept + i));
        const __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sources + i));
        // a > k exactly when max(a, k) is not k.
        const __m128i notLarger = _mm_cmpeq_epi8(_mm_max_epu8(a, k), k);
        const __m128i take = _mm_or_si128(_mm_andnot_si128(notLarger, full), _mm_cmpeq_epi8(a, full));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(kept + i),
                         _mm_or_si128(_mm_and_si128(take, a), _mm_andnot_si128(take, k)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sources + i),
                         _mm_or_si128(_mm_and_si128(take, source), _mm_andnot_si128(take, s)));
    }
#endif
    for (; i < length; ++i) {
        const std::uint8_t share = shares[i];
        const std::uint8_t k = kept[i];
        const std::uint8_t m = std::uint8_t(-int((share > k) | (share == 255)));
        kept[i] = std::uint8_t((share & m) | (k & ~m));
        sources[i] = std::uint8_t((from & m) | (sources[i] & ~m));
    }
}

}  // namespace

bool StrokeMask::reached(const Tile& tile, std::size_t row, int column, int length, std::uint8_t ceiling)
{
    static_assert(kTileSide == 32);
    const std::uint8_t* kept = tile.alpha.data() + row;
    const std::uint64_t lanes = ((std::uint64_t(1) << length) - 1) << column;
#if defined(__SSE2__)
    const __m128i top = _mm_set1_epi8(char(ceiling));
    const __m128i k0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept));
    const __m128i k1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kept + 16));
    const std::uint64_t at = std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(k0, top), k0)))) |
                             std::uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_max_epu8(k1, top), k1)))) << 16;
    return (at & lanes) == lanes;
#else
    for (int i = column; i < column + length; ++i)
        if (kept[i] < ceiling)
            return false;
    return true;
#endif
}

namespace {

#if defined(STROKE_MASK_AVX2)
// Whether a tile's row (32 shares) holds none, read in one load as it was written.
__attribute__((target("avx2"))) bool noSharesAvx2(const std::uint8_t* shares)
{
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shares));
    return _mm256_testz_si256(a, a);
}

// A tile's row of shares marked at once with AVX2, as markShares does it.
__attribute__((target("avx2"))) void markTileRowAvx2(const std::uint8_t* shares, std::uint8_t* kept,
                                                     std::uint8_t* sources, std::uint8_t from)
{
    static_assert(StrokeMask::kTileSide == 32);
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(shares));
    const __m256i k = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kept));
    const __m256i s = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sources));
    const __m256i full = _mm256_set1_epi8(char(0xff));
    // a > k exactly when max(a, k) is not k.
    const __m256i notLarger = _mm256_cmpeq_epi8(_mm256_max_epu8(a, k), k);
    const __m256i take = _mm256_or_si256(_mm256_andnot_si256(notLarger, full), _mm256_cmpeq_epi8(a, full));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(kept), _mm256_blendv_epi8(k, a, take));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(sources), _mm256_blendv_epi8(s, _mm256_set1_epi8(char(from)), take));
}
#endif

}  // namespace

void StrokeMask::markRow(Tile* tile, int tx, int ty, std::size_t row, const std::uint8_t* shares, int source)
{
#if defined(STROKE_MASK_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && ShareLookup::fastestLoops()) {
        if (!tile) {
            if (noSharesAvx2(shares))
                return;
            tile = &tileAt(tx, ty, nullptr);
        }
        if (tile->source.empty())
            tile->source.resize(kTileSide * kTileSide);
        markTileRowAvx2(shares, tile->alpha.data() + row, tile->source.data() + row, std::uint8_t(source));
        return;
    }
#endif
    if (!tile) {
        unsigned any = 0;
        for (int i = 0; i < kTileSide; ++i)
            any |= shares[i];
        if (any == 0)
            return;
        tile = &tileAt(tx, ty, nullptr);
    }
    if (tile->source.empty())
        tile->source.resize(kTileSide * kTileSide);
    // As reveal() takes a share: larger than the one kept, or full. A share of
    // 0 is neither.
    markShares(kTileSide, shares, tile->alpha.data() + row, tile->source.data() + row, std::uint8_t(source));
}

namespace {

// `length` pixels each becoming (pixel x (255 - a) + source x a) / 255, rounded
// to nearest, a being its share (0 leaves it). In 16 bits: x / 255 rounded down
// is (x + 1 + (x >> 8)) >> 8 for every x below 65535, and x is at most 65152.
inline std::uint8_t blendByte(unsigned pixel, unsigned source, unsigned a)
{
    const unsigned x = pixel * (255u - a) + source * a + 127u;
    return std::uint8_t((x + 1u + (x >> 8)) >> 8);
}

#if defined(STROKE_MASK_AVX2)
// (w x (255 - a) + s x a) / 255 rounded, in 16-bit lanes, as below.
__attribute__((target("avx2"), always_inline)) inline __m256i blendSixteens(__m256i a16, __m256i w16, __m256i s16)
{
    __m256i x = _mm256_add_epi16(_mm256_mullo_epi16(w16, _mm256_sub_epi16(_mm256_set1_epi16(255), a16)),
                                 _mm256_mullo_epi16(s16, a16));
    x = _mm256_add_epi16(x, _mm256_set1_epi16(127));
    // x / 255 rounded down is (x x 0x8081) >> 23 for every 16-bit x.
    return _mm256_srli_epi16(_mm256_mulhi_epu16(x, _mm256_set1_epi16(short(0x8081))), 7);
}

// Eight pixels at a time with AVX2, the same arithmetic in 16-bit lanes; answers
// the pixels done.
__attribute__((target("avx2"))) int blendEights(int length, const std::uint8_t* alpha, const std::uint8_t* source,
                                                std::uint8_t* working)
{
    const __m256i zero = _mm256_setzero_si256();
    // Each pixel's share in all four of its bytes.
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12, 0, 0, 0, 0, 4, 4, 4, 4,
                                            8, 8, 8, 8, 12, 12, 12, 12);
    int i = 0;
    for (; i + 8 <= length; i += 8) {
        const __m128i eight = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + i));
        if (_mm_cvtsi128_si64(eight) == 0)
            continue;  // no share: the pixels stay
        const __m256i a = _mm256_shuffle_epi8(_mm256_cvtepu8_epi32(eight), spread);
        const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(working + std::size_t(i) * 4));
        const __m256i src = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source + std::size_t(i) * 4));
        const __m256i low = blendSixteens(_mm256_unpacklo_epi8(a, zero), _mm256_unpacklo_epi8(w, zero),
                                      _mm256_unpacklo_epi8(src, zero));
        const __m256i high = blendSixteens(_mm256_unpackhi_epi8(a, zero), _mm256_unpackhi_epi8(w, zero),
                                       _mm256_unpackhi_epi8(src, zero));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(working + std::size_t(i) * 4), _mm256_packus_epi16(low, high));
    }
    return i;
}
#endif

void blendRow(int length, const std::uint8_t* alpha, const std::uint8_t* source, std::uint8_t* working)
{
    int i = 0;
#if defined(STROKE_MASK_AVX2)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && length >= 8 && ShareLookup::fastestLoops())
        i = blendEights(length, alpha, source, working);
#endif
#if defined(__SSE2__)
    // Four pixels at a time, the same arithmetic in 16-bit lanes.
    const __m128i zero = _mm_setzero_si128();
    const __m128i full = _mm_set1_epi16(255);
    const __m128i half = _mm_set1_epi16(127);
    const __m128i one = _mm_set1_epi16(1);
    for (; i + 4 <= length; i += 4) {
        std::uint32_t four;
        std::memcpy(&four, alpha + i, 4);
        __m128i a = _mm_cvtsi32_si128(int(four));
        a = _mm_unpacklo_epi8(a, a);
        a = _mm_unpacklo_epi16(a, a);  // each share four times, once a byte of its pixel
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(working + std::size_t(i) * 4));
        const __m128i src = _mm_loadu_si128(reinterpret_cast<const __m128i*>(source + std::size_t(i) * 4));
        __m128i out[2];
        for (int h = 0; h < 2; ++h) {
            const __m128i a16 = h == 0 ? _mm_unpacklo_epi8(a, zero) : _mm_unpackhi_epi8(a, zero);
            const __m128i w16 = h == 0 ? _mm_unpacklo_epi8(w, zero) : _mm_unpackhi_epi8(w, zero);
            const __m128i s16 = h == 0 ? _mm_unpacklo_epi8(src, zero) : _mm_unpackhi_epi8(src, zero);
            __m128i x = _mm_add_epi16(_mm_mullo_epi16(w16, _mm_sub_epi16(full, a16)), _mm_mullo_epi16(s16, a16));
            x = _mm_add_epi16(x, half);
            out[h] = _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(working + std::size_t(i) * 4), _mm_packus_epi16(out[0], out[1]));
    }
#endif
    for (; i < length; ++i)
        for (int c = 0; c < 4; ++c) {
            const std::size_t k = std::size_t(i) * 4 + std::size_t(c);
            working[k] = blendByte(working[k], source[k], alpha[i]);
        }
}

}  // namespace

namespace {

enum class RowSources { None, One, Several };

// Whether a tile's row of shares holds none, and whether the pixels with one
// share all have the same source. The tile's whole row is looked at: shares
// past the picture's edge stay 0.
RowSources rowSources(const std::uint8_t* alpha, const std::uint8_t* marks)
{
    static_assert(StrokeMask::kTileSide == 32);
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    const __m128i a0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha));
    const __m128i a1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(alpha + 16));
    const unsigned none = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(a0, zero))) |
                          unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(a1, zero))) << 16;
    if (none == 0xffffffffu)
        return RowSources::None;
    const int first = __builtin_ctz(~none);
    const __m128i source = _mm_set1_epi8(char(marks[first]));
    const __m128i m0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(marks));
    const __m128i m1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + 16));
    const unsigned same = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(m0, source))) |
                          unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(m1, source))) << 16;
    return (same | none) == 0xffffffffu ? RowSources::One : RowSources::Several;
#else
    int first = 0;
    while (first < StrokeMask::kTileSide && alpha[first] == 0)
        ++first;
    if (first == StrokeMask::kTileSide)
        return RowSources::None;
    for (int i = first + 1; i < StrokeMask::kTileSide; ++i)
        if (alpha[i] != 0 && marks[i] != marks[first])
            return RowSources::Several;
    return RowSources::One;
#endif
}

}  // namespace

void StrokeMask::flush(const std::uint8_t* const sources[3], int sourceFirstRow, std::uint8_t* working)
{
    constexpr int kAhead = 4;
    const std::size_t stride = std::size_t(mWidth) * 4;
    for (int t = 0; t < int(mTouched.size()); ++t) {
        const Tile& tile = mTiles[std::size_t(t)];
        if (tile.source.empty())
            continue;
        const int x0 = (tile.position % mTileColumns) * kTileSide;
        const int y0 = (tile.position / mTileColumns) * kTileSide;
        const int columns = std::min(kTileSide, mWidth - x0);
        const int from = std::max(y0, std::max(mFirstRow, sourceFirstRow));
        const int to = std::min(y0 + kTileSide - 1, mLastRow);
        for (int y = from; y <= to; ++y) {
            const std::size_t at = std::size_t(y - y0) * kTileSide;
            std::uint8_t* w = working + std::size_t(y) * stride + std::size_t(x0) * 4;
            const std::uint8_t* alpha = tile.alpha.data() + at;
            const std::uint8_t* marks = tile.source.data() + at;
            const std::size_t sourceRow = std::size_t(y - sourceFirstRow) * stride + std::size_t(x0) * 4;
            // Mostly one source a row: then every pixel at once, a share of 0
            // leaving the pixel as it is; otherwise pixel by pixel.
            const RowSources row = rowSources(alpha, marks);
            if (row == RowSources::None)
                continue;
            if (row == RowSources::One) {
                int first = 0;
                while (alpha[first] == 0)
                    ++first;
                const std::uint8_t* source = sources[marks[first]] + sourceRow;
#if defined(__SSE2__)
                // The rows a few further down, likely of the same source, are
                // asked for from memory while this one is blended.
                if (y + kAhead <= to)
                    for (int line = 0; line < kTileSide * 4; line += 64) {
                        _mm_prefetch(reinterpret_cast<const char*>(w + std::size_t(kAhead) * stride + std::size_t(line)), _MM_HINT_T0);
                        _mm_prefetch(reinterpret_cast<const char*>(source + std::size_t(kAhead) * stride + std::size_t(line)),
                                     _MM_HINT_T0);
                    }
#endif
                blendRow(columns, alpha, source, w);
                continue;
            }
            for (int i = 0; i < columns; ++i)
                if (alpha[i] != 0)
                    blendRow(1, alpha + i, sources[marks[i]] + sourceRow + std::size_t(i) * 4, w + std::size_t(i) * 4);
        }
    }
    reset();
}
