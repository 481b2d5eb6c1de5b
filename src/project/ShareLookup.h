#pragma once

#include <cstdint>

// Looking up the shares of a soft dab's falloff steps: out[i] = table[steps[i]]
// for i < n, each step 0 .. 1024 (the table has 1025 entries). With AVX-512
// VBMI 64 steps go at a time through byte permutes of the table's 128-byte
// pieces; otherwise one by one. Both give the same bytes.
namespace ShareLookup {

void lookUp(const std::uint8_t* table, const int* steps, int n, std::uint8_t* out);

// One row of a soft round dab: the centre's column, the row's squared distance
// from the centre's row, the squared radius and the falloff steps over it.
struct RoundRow {
    float cx = 0, dy2 = 0, r2 = 0, scale = 0;
};
// Whether roundRow() can run here (AVX-512 F, BW, VL and VBMI, and the fastest
// loops chosen).
bool hasRoundRows();
// A tile's row of 32 shares made at once, for pixels first .. first + length - 1
// of the dab's row at row[column ..] (column + length at most 32), each
// table[step]: the step min(int(d2 x scale), 1023) where d2 = dy2 + dx x dx < r2,
// dx = float(x) - cx (float operations one at a time, as the row loops do them),
// else 1024; the entries on either side of the stretch get table[1024]. One
// 32-byte store, so the row is read back at once.
void roundRow(const RoundRow& dab, const std::uint8_t* table, int first, int column, int length, std::uint8_t* row);

// Which loops lookUp and roundRow run, and the stroke mask's marks and blends:
// the fastest this processor has (the default), or the plain ones everywhere
// (for tests and benchmarks).
enum class Loops { Fastest, Plain };
void setLoops(Loops loops);
bool fastestLoops();

}  // namespace ShareLookup
