// AVX-512 product for results of at most four columns, with result rows as vector lanes.
//
// Laying result columns across the lanes would leave most lanes idle here, so this kernel
// puts eight result rows in the lanes instead. It reads eight rows of a, eight values of p
// at a time, turns each 8 x 8 block around in registers so that one vector holds a[i0..i0+7,
// p], and adds b[p, j] times it to column j's accumulator, for p in increasing order.
#include <immintrin.h>

#include "lib/matmul_tiles.hpp"

namespace tarnex {
namespace {

constexpr int kLanes = 8;

// b broadcast * a, with b as the first source.
__attribute__((target("avx512f"))) inline __m512d times(__m512d b, __m512d a) {
    __m512d product;
    asm("vmulpd %2, %1, %0" : "=v"(product) : "v"(b), "v"(a));
    return product;
}

// acc + product, with the accumulator as the first source.
__attribute__((target("avx512f"))) inline __m512d plus(__m512d acc, __m512d product) {
    asm("vaddpd %1, %0, %0" : "+v"(acc) : "v"(product));
    return acc;
}

// Turns rows[r][q] into cols[q][r] for an 8 x 8 block. (Written with vector shuffles: the
// unmasked shuffle intrinsics trip a false uninitialised-value warning in GCC 12.)
__attribute__((target("avx512f"))) inline void transpose8(const __m512d rows[8],
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

// One step of p for every column: acc[j] + b[p, j] * a[i0.., p].
template <int N>
__attribute__((target("avx512f"))) inline void accumulate(__m512d acc[N], const double* b_row,
                                                          __m512d a_column) {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        acc[j] = plus(acc[j], times(_mm512_set1_pd(b_row[j]), a_column));
    }
}

// Result rows i0 .. i0 + rows - 1 (rows <= 8) for N columns.
template <int N>
__attribute__((target("avx512f"))) void row_block(const double* a, const double* b, double* c,
                                                  std::uint64_t rows, std::uint64_t k) {
    __m512d acc[N];
    for (int j = 0; j < N; ++j) acc[j] = _mm512_setzero_pd();
    for (std::uint64_t p0 = 0; p0 < k; p0 += kLanes) {
        const std::uint64_t steps = k - p0 < kLanes ? k - p0 : kLanes;
        const __mmask8 present = static_cast<__mmask8>((1u << steps) - 1);
        __m512d block[8];
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < 8; ++r) {
            block[r] = r < rows ? _mm512_maskz_loadu_pd(present, a + r * k + p0)
                                : _mm512_setzero_pd();
        }
        __m512d column[8];
        transpose8(block, column);
        const double* b_rows = b + p0 * N;
        if (steps == kLanes) {
#pragma GCC unroll 8
            for (int q = 0; q < kLanes; ++q) accumulate<N>(acc, b_rows + q * N, column[q]);
        } else {
            for (std::uint64_t q = 0; q < steps; ++q) {
                accumulate<N>(acc, b_rows + q * N, column[q]);
            }
        }
    }
    alignas(64) double sums[N][kLanes];
    for (int j = 0; j < N; ++j) _mm512_store_pd(sums[j], acc[j]);
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (int j = 0; j < N; ++j) c[r * N + j] = sums[j][r];
    }
}

template <int N>
__attribute__((target("avx512f"))) void all_rows(const double* a, const double* b, double* c,
                                                 std::uint64_t m, std::uint64_t k) {
    for (std::uint64_t i0 = 0; i0 < m; i0 += kLanes) {
        const std::uint64_t rows = m - i0 < kLanes ? m - i0 : kLanes;
        row_block<N>(a + i0 * k, b, c + i0 * N, rows, k);
    }
}

}  // namespace

void multiply_narrow_avx512(const double* a, const double* b, double* c, std::uint64_t m,
                            std::uint64_t k, std::uint64_t n) {
    static_assert(narrow_max_cols == 4);
    switch (n) {
        case 1: return all_rows<1>(a, b, c, m, k);
        case 2: return all_rows<2>(a, b, c, m, k);
        case 3: return all_rows<3>(a, b, c, m, k);
        default: return all_rows<4>(a, b, c, m, k);  // n is 4
    }
}

}  // namespace tarnex
