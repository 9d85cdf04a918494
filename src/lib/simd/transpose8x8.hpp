// The 8 x 8 transpose of doubles in AVX-512 registers, shared by the view copy and the
// narrow matrix product. Only AVX-512 code calls it; the function carries its own target so
// that the header can be included, like any header, before a target region opens.
#pragma once

#include <immintrin.h>

namespace tarnex::simd::avx512 {

// cols[q][r] = rows[r][q]. Written with vector shuffles, which let the compiler pick
// single-cycle unpack and lane-shuffle instructions (the unmasked shuffle intrinsics also
// trip a false uninitialised-value warning in GCC 12).
__attribute__((target("avx512f"), always_inline)) inline void transpose8x8(const __m512d rows[8],
                                                                           __m512d cols[8]) {
    __m512d t[8];
#pragma GCC unroll 4
    for (int r = 0; r < 8; r += 2) {
        // Pairs of rows interleaved: t[r] holds q = 0, 2, 4, 6 and t[r + 1] q = 1, 3, 5, 7.
        t[r] = __builtin_shufflevector(rows[r], rows[r + 1], 0, 8, 2, 10, 4, 12, 6, 14);
        t[r + 1] = __builtin_shufflevector(rows[r], rows[r + 1], 1, 9, 3, 11, 5, 13, 7, 15);
    }
#pragma GCC unroll 2
    for (int odd = 0; odd < 2; ++odd) {
        // Then 128-bit pieces: even pieces of two vectors, then odd pieces.
        const __m512d low0 =
            __builtin_shufflevector(t[odd], t[2 + odd], 0, 1, 4, 5, 8, 9, 12, 13);
        const __m512d high0 =
            __builtin_shufflevector(t[odd], t[2 + odd], 2, 3, 6, 7, 10, 11, 14, 15);
        const __m512d low1 =
            __builtin_shufflevector(t[4 + odd], t[6 + odd], 0, 1, 4, 5, 8, 9, 12, 13);
        const __m512d high1 =
            __builtin_shufflevector(t[4 + odd], t[6 + odd], 2, 3, 6, 7, 10, 11, 14, 15);
        cols[0 + odd] = __builtin_shufflevector(low0, low1, 0, 1, 4, 5, 8, 9, 12, 13);
        cols[4 + odd] = __builtin_shufflevector(low0, low1, 2, 3, 6, 7, 10, 11, 14, 15);
        cols[2 + odd] = __builtin_shufflevector(high0, high1, 0, 1, 4, 5, 8, 9, 12, 13);
        cols[6 + odd] = __builtin_shufflevector(high0, high1, 2, 3, 6, 7, 10, 11, 14, 15);
    }
}

}  // namespace tarnex::simd::avx512
