// The scaled sketch filter's row loops in plain C++, for any processor; the
// compiler vectorises the column sums, the block means and the choice of the
// brightest block (AVX2 where the processor has it).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "filter/SketchFilterScaledRows.h"

namespace scaled_sketch {

#if defined(__x86_64__) && defined(__has_attribute)
#if __has_attribute(target_clones)
#define SCALED_DISPATCH __attribute__((target_clones("avx2", "default")))
#endif
#endif
#ifndef SCALED_DISPATCH
#define SCALED_DISPATCH
#endif

SCALED_DISPATCH void addRowPortable(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    for (int i = 0; i < 4 * n; ++i)
        sums[i] = std::uint16_t(sums[i] + row[i]);
}

SCALED_DISPATCH void subtractRowPortable(std::uint16_t* sums, const std::uint8_t* row, int n)
{
    for (int i = 0; i < 4 * n; ++i)
        sums[i] = std::uint16_t(sums[i] - row[i]);
}

SCALED_DISPATCH void blockRowPortable(const std::uint16_t* sums, int rowsIn, int n, int lo, int hi,
                                      std::uint32_t* totals, std::uint32_t* colours, Key* keys)
{
    for (int c = 0; c < 4; ++c)
        totals[c] = 0;
    for (int x = 0; x < n; ++x)
        for (int c = 0; c < 4; ++c)
            totals[4 * (x + 1) + c] = totals[4 * x + c] + sums[4 * x + c];
    // Whole blocks in the middle of the row, all of one count; cut ones at its ends.
    const int wholeFrom = lo < n ? lo : n;
    const int wholeTo = n - hi > wholeFrom ? n - hi : wholeFrom;
    for (int x = 0; x < wholeFrom; ++x)
        blockPixel(totals, x, lo, hi, n, rowsIn, colours, keys);
    // The rounded quotient in float: 2 sum + count stays below 2^24 (count at most
    // 112 x 112), so both operands are exact, and a quotient that is not whole lies
    // at least 1 / (2 count) > 2^-15 from the next whole number, more than the
    // float quotient (below 256) can be off.
    const int count = (lo + 1 + hi) * rowsIn;
    const float twice = float(2 * count);
    for (int x = wholeFrom; x < wholeTo; ++x) {
        std::uint32_t mean[3];
        for (int c = 0; c < 3; ++c) {
            const std::uint32_t sum = totals[4 * (x + hi + 1) + c] - totals[4 * (x - lo) + c];
            mean[c] = std::uint32_t(std::int32_t(float(std::int32_t(2 * sum) + count) / twice));
        }
        const unsigned grey = greyOf(mean[0], mean[1], mean[2]);
        colours[x] = mean[0] | mean[1] << 8 | mean[2] << 16 | grey << 24;
        keys[x] = Key((grey + 1) << 4);
    }
    for (int x = wholeTo; x < n; ++x)
        blockPixel(totals, x, lo, hi, n, rowsIn, colours, keys);
}

namespace {

inline Key maxKey(Key a, Key b)
{
    return a > b ? a : b;
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

// Each pixel's winning key: its candidates' keys with 15 - scan index in the low
// four bits, so that one maximum gives the brightest and, on a tie, the first.
SCALED_DISPATCH void bestKeys(const DodgeRow& row, int from, int n)
{
    Key* best = row.best;
    for (int x = from; x < n; ++x)
        best[x] = 0;
    for (int i = 0; i < 13; ++i) {
        const Key* keys = row.keys[kCandidates[i].row] + candidateDx(row, i);
        const Key tag = Key(15 - i);
        for (int x = from; x < n; ++x)
            best[x] = maxKey(best[x], Key(keys[x] | tag));
    }
}

}  // namespace

void dodgeRowPortable(const DodgeRow& row, int from, int n)
{
    bestKeys(row, from, n);
    const std::uint32_t* winners[16] = {};
    for (int i = 0; i < 13; ++i)
        winners[15 - i] = row.colours[kCandidates[i].row] + candidateDx(row, i);
    for (int x = from; x < n; ++x) {
        const std::uint32_t px = loadPixel(row.original + 4 * std::size_t(x));
        const std::uint32_t br = winners[row.best[x] & 15][x];
        const std::uint32_t alpha = px & 0xff000000u;
        const std::uint32_t k = dodge(greyOf(px & 0xffu, (px >> 8) & 0xffu, (px >> 16) & 0xffu), br >> 24);
        const std::uint32_t cr = dodge(px & 0xffu, br & 0xffu);
        const std::uint32_t cg = dodge((px >> 8) & 0xffu, (br >> 8) & 0xffu);
        const std::uint32_t cb = dodge((px >> 16) & 0xffu, (br >> 16) & 0xffu);
        storePixel(row.color + 4 * std::size_t(x), cr | (cg << 8) | (cb << 16) | alpha);
        storePixel(row.black + 4 * std::size_t(x), k * 0x010101u | alpha);
    }
}

}  // namespace scaled_sketch
