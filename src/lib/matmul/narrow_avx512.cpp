// AVX-512 product for results of at most four columns, with result rows as vector lanes.
//
// Laying result columns across the lanes would leave most lanes idle here, so this kernel
// puts eight result rows in the lanes instead. It reads eight rows of a, eight values of p
// at a time, turns each 8 x 8 block around in registers so that one vector holds a[i0..i0+7,
// p], and adds b[p, j] times it to column j's accumulator, for p in increasing order.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/matmul/tiles.hpp"
#include "lib/simd/transpose8x8.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

constexpr int lanes = 8;

// b broadcast * a, with b as the first source.
inline __m512d times(__m512d b, __m512d a) {
    __m512d product;
    asm("vmulpd %2, %1, %0" : "=v"(product) : "v"(b), "v"(a));
    return product;
}

// acc + product, with the accumulator as the first source.
inline __m512d plus(__m512d acc, __m512d product) {
    asm("vaddpd %1, %0, %0" : "+v"(acc) : "v"(product));
    return acc;
}

// One step of p for every column: acc[j] + b[p, j] * a[i0.., p].
template <int N>
inline void accumulate(__m512d acc[N], const double* b_row,
                                                          __m512d a_column) {
#pragma GCC unroll 4
    for (int j = 0; j < N; ++j) {
        acc[j] = plus(acc[j], times(_mm512_set1_pd(b_row[j]), a_column));
    }
}

// Result rows i0 .. i0 + rows - 1 (rows <= 8) for N columns.
template <int N>
void row_block(const double* a, const double* b, double* c,
                                                  std::uint64_t rows, std::uint64_t k) {
    __m512d acc[N];
    for (int j = 0; j < N; ++j) acc[j] = _mm512_setzero_pd();
    for (std::uint64_t p0 = 0; p0 < k; p0 += lanes) {
        const std::uint64_t steps = k - p0 < lanes ? k - p0 : lanes;
        const __mmask8 present = static_cast<__mmask8>((1u << steps) - 1);
        __m512d block[8];
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < 8; ++r) {
            block[r] = r < rows ? _mm512_maskz_loadu_pd(present, a + r * k + p0)
                                : _mm512_setzero_pd();
        }
        __m512d column[8];
        simd::avx512::transpose8x8(block, column);
        const double* b_rows = b + p0 * N;
        if (steps == lanes) {
#pragma GCC unroll 8
            for (int q = 0; q < lanes; ++q) accumulate<N>(acc, b_rows + q * N, column[q]);
        } else {
            for (std::uint64_t q = 0; q < steps; ++q) {
                accumulate<N>(acc, b_rows + q * N, column[q]);
            }
        }
    }
    alignas(64) double sums[N][lanes];
    for (int j = 0; j < N; ++j) _mm512_store_pd(sums[j], acc[j]);
    for (std::uint64_t r = 0; r < rows; ++r) {
        for (int j = 0; j < N; ++j) c[r * N + j] = sums[j][r];
    }
}

template <int N>
void all_rows(const double* a, const double* b, double* c,
                                                 std::uint64_t m, std::uint64_t k) {
    for (std::uint64_t i0 = 0; i0 < m; i0 += lanes) {
        const std::uint64_t rows = m - i0 < lanes ? m - i0 : lanes;
        row_block<N>(a + i0 * k, b, c + i0 * N, rows, k);
    }
}

}  // namespace

void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                            std::uint64_t k, std::uint64_t n) {
    static_assert(narrow_max_cols == 4);
    switch (n) {
        case 1: return all_rows<1>(a, b, c, m, k);
        case 2: return all_rows<2>(a, b, c, m, k);
        case 3: return all_rows<3>(a, b, c, m, k);
        default: return all_rows<4>(a, b, c, m, k);  // n is 4
    }
}

}  // namespace tarnex::avx512
TARNEX_TARGET_END
