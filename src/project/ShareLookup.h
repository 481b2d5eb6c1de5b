#pragma once

#include <cstdint>

// Looking up the shares of a soft dab's falloff steps: out[i] = table[steps[i]]
// for i < n, each step 0 .. 1024 (the table has 1025 entries). With AVX-512
// VBMI 64 steps go at a time through byte permutes of the table's 128-byte
// pieces; otherwise one by one. Both give the same bytes.
namespace ShareLookup {

void lookUp(const std::uint8_t* table, const int* steps, int n, std::uint8_t* out);

// Which loops lookUp runs: the fastest this processor has (the default), or the
// one-by-one loop everywhere (for tests and benchmarks).
enum class Loops { Fastest, Plain };
void setLoops(Loops loops);

}  // namespace ShareLookup
