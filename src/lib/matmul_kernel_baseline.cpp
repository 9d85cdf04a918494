// Baseline tile kernels for any x86-64 (SSE2): up to 4 rows x 2 vectors of 2 doubles.
#include <emmintrin.h>

#include "lib/matmul_tiles.hpp"

namespace tarnex {
namespace {

constexpr int kLanes = 2;

// b * a, with b as the first source (the two-operand form multiplies into a copy of b).
inline __m128d times(__m128d b, __m128d a) {
    asm("mulpd %1, %0" : "+x"(b) : "x"(a));
    return b;
}

// acc + product, with the accumulator as the first source.
inline __m128d plus(__m128d acc, __m128d product) {
    asm("addpd %1, %0" : "+x"(acc) : "x"(product));
    return acc;
}

template <int R, int V>
struct Tile {
    template <bool kContinue>
    static inline void sums(const TileArgs& t) {
        const double* a = t.a;
        const double* b = t.b;
        __m128d acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = kContinue ? _mm_loadu_pd(t.c + r * t.ldc + v * kLanes)
                                      : _mm_setzero_pd();
            }
        }
        for (std::uint64_t p = 0; p < t.depth; ++p) {
            __m128d bv[V];
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) bv[v] = _mm_loadu_pd(b + v * kLanes);
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r) {
                const __m128d av = _mm_load1_pd(a + r * t.lda);
#pragma GCC unroll 4
                for (int v = 0; v < V; ++v) acc[r][v] = plus(acc[r][v], times(bv[v], av));
            }
            a += 1;
            b += t.ldb;
        }
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) _mm_storeu_pd(t.c + r * t.ldc + v * kLanes, acc[r][v]);
        }
    }

    static void run(const TileArgs& t) {
        if (t.continue_sums) {
            sums<true>(t);
        } else {
            sums<false>(t);
        }
    }
};

}  // namespace

TileKernel tile_kernel_baseline() { return make_tile_kernel<Tile, 4, 2>(kLanes); }

}  // namespace tarnex
