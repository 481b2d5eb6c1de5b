#include "project/ShareLookup.h"

#include <atomic>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace ShareLookup {

namespace {

void lookUpPlain(const std::uint8_t* table, const int* steps, int n, std::uint8_t* out)
{
    for (int i = 0; i < n; ++i)
        out[i] = table[steps[i]];
}

#if defined(__x86_64__)
#define SHARE_LOOKUP_VBMI __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi")))

// The low 7 bits of the first `count` (0 .. 16) of 16 steps as bytes into
// `low`, the rest (0 .. 8) into `high`; past `count`, the step 1024, which is
// the table's last entry, alone in piece 8.
SHARE_LOOKUP_VBMI inline void splitSixteen(const int* steps, int count, __m128i& low, __m128i& high)
{
    const __mmask16 here = count >= 16 ? __mmask16(0xffff) : __mmask16((1u << count) - 1);
    const __m512i s = _mm512_mask_loadu_epi32(_mm512_set1_epi32(1024), here, steps);
    // The zero-masking forms: the plain ones start from an undefined register,
    // which the compiler warns of.
    const __mmask16 all = 0xffff;
    low = _mm512_maskz_cvtepi32_epi8(all, _mm512_and_si512(s, _mm512_set1_epi32(127)));
    high = _mm512_maskz_cvtepi32_epi8(all, _mm512_maskz_srli_epi32(all, s, 7));
}

SHARE_LOOKUP_VBMI void lookUpVbmi(const std::uint8_t* table, const int* steps, int n, std::uint8_t* out)
{
    const __m128i none = _mm_set1_epi8(8);
    for (int first = 0; first < n; first += 64) {
        const int m = n - first < 64 ? n - first : 64;
        __m128i low[4], high[4];
        for (int k = 0; k < 4; ++k) {
            low[k] = _mm_setzero_si128();
            high[k] = none;
            if (16 * k < m)
                splitSixteen(steps + first + 16 * k, m - 16 * k, low[k], high[k]);
        }
        __m512i index = _mm512_zextsi128_si512(low[0]);
        index = _mm512_inserti32x4(index, low[1], 1);
        index = _mm512_inserti32x4(index, low[2], 2);
        index = _mm512_inserti32x4(index, low[3], 3);
        __m512i piece = _mm512_zextsi128_si512(high[0]);
        piece = _mm512_inserti32x4(piece, high[1], 1);
        piece = _mm512_inserti32x4(piece, high[2], 2);
        piece = _mm512_inserti32x4(piece, high[3], 3);
        __m512i shares = _mm512_set1_epi8(char(table[1024]));
        for (int p = 0; p < 8; ++p) {
            const __m512i a = _mm512_loadu_si512(table + 128 * p);
            const __m512i b = _mm512_loadu_si512(table + 128 * p + 64);
            const __mmask64 at = _mm512_cmpeq_epi8_mask(piece, _mm512_set1_epi8(char(p)));
            shares = _mm512_mask_mov_epi8(shares, at, _mm512_permutex2var_epi8(a, index, b));
        }
        const __mmask64 keep = m == 64 ? ~__mmask64(0) : (__mmask64(1) << m) - 1;
        _mm512_mask_storeu_epi8(out + first, keep, shares);
    }
}

SHARE_LOOKUP_VBMI void roundRowVbmi(const RoundRow& dab, const std::uint8_t* table, int first, int column,
                                    int length, std::uint8_t* row)
{
    const __m512i lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m512 cx = _mm512_set1_ps(dab.cx);
    const __m512 dy2 = _mm512_set1_ps(dab.dy2);
    const __m512 r2 = _mm512_set1_ps(dab.r2);
    const __m512 scale = _mm512_set1_ps(dab.scale);
    const __m512i last = _mm512_set1_epi32(1023);
    const std::uint32_t stretch = (length >= 32 ? ~0u : ((1u << length) - 1)) << column;
    __m128i low[2], high[2];
    // The zero-masking forms throughout: the plain ones start from an undefined
    // register, which the compiler warns of.
    const __mmask16 all = 0xffff;
    for (int k = 0; k < 2; ++k) {
        // Lane i is the tile row's column 16k + i, pixel first - column + 16k + i.
        const __m512i x = _mm512_add_epi32(_mm512_set1_epi32(first - column + 16 * k), lane);
        const __m512 dx = _mm512_sub_ps(_mm512_maskz_cvtepi32_ps(all, x), cx);
        const __m512 d2 = _mm512_add_ps(dy2, _mm512_mul_ps(dx, dx));
        const __m512i q = _mm512_maskz_min_epi32(all, _mm512_maskz_cvttps_epi32(all, _mm512_mul_ps(d2, scale)), last);
        const __mmask16 inside = __mmask16(_mm512_cmp_ps_mask(d2, r2, _CMP_LT_OQ) & (stretch >> (16 * k)));
        const __m512i s = _mm512_mask_mov_epi32(_mm512_set1_epi32(1024), inside, q);
        low[k] = _mm512_maskz_cvtepi32_epi8(all, _mm512_and_si512(s, _mm512_set1_epi32(127)));
        high[k] = _mm512_maskz_cvtepi32_epi8(all, _mm512_maskz_srli_epi32(all, s, 7));
    }
    const __m512i index = _mm512_inserti32x4(_mm512_zextsi128_si512(low[0]), low[1], 1);
    const __m512i piece = _mm512_inserti32x4(_mm512_zextsi128_si512(high[0]), high[1], 1);
    __m512i shares = _mm512_set1_epi8(char(table[1024]));
    // Only the table's pieces some step falls in are permuted.
    for (int p = 0; p < 8; ++p) {
        const __mmask64 at = _mm512_cmpeq_epi8_mask(piece, _mm512_set1_epi8(char(p))) & 0xffffffffu;
        if (!at)
            continue;
        const __m512i a = _mm512_loadu_si512(table + 128 * p);
        const __m512i b = _mm512_loadu_si512(table + 128 * p + 64);
        shares = _mm512_mask_mov_epi8(shares, at, _mm512_permutex2var_epi8(a, index, b));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(row), _mm512_maskz_extracti64x4_epi64(0xff, shares, 0));
}

bool hasVbmi()
{
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
}
#endif

std::atomic<bool> plainOnly{false};

}  // namespace

void setLoops(Loops loops)
{
    plainOnly = loops == Loops::Plain;
}

bool fastestLoops()
{
    return !plainOnly.load(std::memory_order_relaxed);
}

bool hasRoundRows()
{
#if defined(__x86_64__)
    static const bool vbmi = hasVbmi();
    return vbmi && !plainOnly.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

void roundRow(const RoundRow& dab, const std::uint8_t* table, int first, int column, int length, std::uint8_t* row)
{
#if defined(__x86_64__)
    if (hasRoundRows()) {
        roundRowVbmi(dab, table, first, column, length, row);
        return;
    }
#endif
    // One at a time, the same operations.
    for (int i = 0; i < 32; ++i) {
        int step = 1024;
        if (i >= column && i < column + length) {
            const float dx = float(first - column + i) - dab.cx;
            const float d2 = dab.dy2 + dx * dx;
            if (d2 < dab.r2) {
                const int q = int(d2 * dab.scale);
                step = q < 1023 ? q : 1023;
            }
        }
        row[i] = table[step];
    }
}

void lookUp(const std::uint8_t* table, const int* steps, int n, std::uint8_t* out)
{
#if defined(__x86_64__)
    static const bool vbmi = hasVbmi();
    // Short runs are quicker one by one.
    if (vbmi && n >= 8 && !plainOnly.load(std::memory_order_relaxed)) {
        lookUpVbmi(table, steps, n, out);
        return;
    }
#endif
    lookUpPlain(table, steps, n, out);
}

}  // namespace ShareLookup
