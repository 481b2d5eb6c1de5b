#pragma once

// The row loops of the sketch filter at a larger scale (SketchFilterScaled.cpp),
// in plain C++ and in AVX2 instructions; both give the same bytes.
//
// A block row is worked out from the column sums of the picture rows its blocks
// cover: 4 counts a column (R, G, B and A, the last unused), rows top to bottom.
// Its blocks' mean colours go out as pixel words R | G << 8 | B << 16 | grey << 24
// and their greys as keys (grey + 1) << 4; a mean is the sum's quotient rounded
// to nearest, halves up: (2 sum + count) / (2 count).
#include <cstdint>

#include "filter/SketchFilter.h"

namespace scaled_sketch {

using Key = std::int16_t;

inline unsigned greyOf(unsigned r, unsigned g, unsigned b)
{
    return (76u * r + 150u * g + 29u * b) >> 8;
}

// min(255, a * 256 / (b + 1)) for a, b in 0..255, exact in float (see
// SketchFilterPortable.cpp), so that it vectorises.
inline std::uint32_t dodge(std::uint32_t a, std::uint32_t b)
{
    const auto q = std::uint32_t(std::int32_t(float(std::int32_t(a << 8)) / float(std::int32_t(b + 1))));
    return q < 255u ? q : 255u;
}

// The block of column x, columns x - lo .. x + hi cut to 0 .. n - 1, from the
// running totals of the column sums (totals[4 x + c]: columns 0 .. x - 1) over
// `rowsIn` rows: its colour word and its key.
inline void blockPixel(const std::uint32_t* totals, int x, int lo, int hi, int n, int rowsIn,
                       std::uint32_t* colours, Key* keys)
{
    const int left = x - lo > 0 ? x - lo : 0;
    const int right = x + hi + 1 < n ? x + hi + 1 : n;
    const std::uint32_t count = std::uint32_t((right - left) * rowsIn);
    std::uint32_t mean[3];
    for (int c = 0; c < 3; ++c)
        mean[c] = (2 * (totals[4 * right + c] - totals[4 * left + c]) + count) / (2 * count);
    const unsigned grey = greyOf(mean[0], mean[1], mean[2]);
    colours[x] = mean[0] | mean[1] << 8 | mean[2] << 16 | grey << 24;
    keys[x] = Key((grey + 1) << 4);
}

// One picture row to dodge: the key and colour rows of the blocks `far` above,
// `near` above, its own, `near` below and `far` below (rows outside the picture:
// zero keys), each padded with zero keys by at least `far` + 16 columns either
// side; the row's pixels, its two sketches, and a row of scratch keys.
struct DodgeRow {
    const Key* keys[5];
    const std::uint32_t* colours[5];
    int near;
    int far;
    const std::uint8_t* original;
    std::uint8_t* black;
    std::uint8_t* color;
    Key* best;
};

// The candidates in scan order (the 3 x 3 block row by row, then far up, down,
// left, right): the DodgeRow row of each and its column offset in units of near
// (dxNear) or far (dxFar).
struct Candidate {
    int row;
    int dxNear;
    int dxFar;
};
inline constexpr Candidate kCandidates[13] = {
    {1, -1, 0}, {1, 0, 0}, {1, 1, 0}, {2, -1, 0}, {2, 0, 0}, {2, 1, 0}, {3, -1, 0},
    {3, 0, 0},  {3, 1, 0}, {0, 0, 0}, {4, 0, 0},  {2, 0, -1}, {2, 0, 1},
};
inline int candidateDx(const DodgeRow& row, int i)
{
    return kCandidates[i].dxNear * row.near + kCandidates[i].dxFar * row.far;
}

// Adds (subtracts) a picture row of n pixels to (from) the column sums.
void addRowPortable(std::uint16_t* sums, const std::uint8_t* row, int n);
void subtractRowPortable(std::uint16_t* sums, const std::uint8_t* row, int n);
// The block row of n columns, blocks lo + 1 + hi columns wide, from column sums
// over `rowsIn` rows; `totals` is scratch of 4 (n + 1) words.
void blockRowPortable(const std::uint16_t* sums, int rowsIn, int n, int lo, int hi, std::uint32_t* totals,
                      std::uint32_t* colours, Key* keys);
// Both sketches of pixels from .. n - 1 of the row.
void dodgeRowPortable(const DodgeRow& row, int from, int n);

bool avx2Available();
void addRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n);
void subtractRowAvx2(std::uint16_t* sums, const std::uint8_t* row, int n);
void blockRowAvx2(const std::uint16_t* sums, int rowsIn, int n, int lo, int hi, std::uint32_t* totals,
                  std::uint32_t* colours, Key* keys);
void dodgeRowAvx2(const DodgeRow& row, int n);

}  // namespace scaled_sketch
