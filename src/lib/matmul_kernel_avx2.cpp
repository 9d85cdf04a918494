// AVX2 tile kernels: up to 4 rows x 2 vectors of 4 doubles (8 accumulators), which with
// the vectors of b, the broadcast and the products fits the 16 vector registers.
#include <immintrin.h>

#include "lib/matmul_tiles.hpp"

namespace tarnex {
namespace {

constexpr int kLanes = 4;

// b * a, with b as the first source.
__attribute__((target("avx2"))) inline __m256d times(__m256d b, __m256d a) {
    __m256d product;
    asm("vmulpd %2, %1, %0" : "=x"(product) : "x"(b), "x"(a));
    return product;
}

// acc + product, with the accumulator as the first source.
__attribute__((target("avx2"))) inline __m256d plus(__m256d acc, __m256d product) {
    asm("vaddpd %1, %0, %0" : "+x"(acc) : "x"(product));
    return acc;
}

template <int R, int V>
struct Tile {
    template <bool kContinue>
    __attribute__((target("avx2"))) static inline void sums(const TileArgs& t) {
        const double* a = t.a;
        const double* b = t.b;
        __m256d acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = kContinue ? _mm256_loadu_pd(t.c + r * t.ldc + v * kLanes)
                                      : _mm256_setzero_pd();
            }
        }
        for (std::uint64_t p = 0; p < t.depth; ++p) {
            __m256d bv[V];
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) bv[v] = _mm256_loadu_pd(b + v * kLanes);
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r) {
                const __m256d av = _mm256_broadcast_sd(a + r * t.lda);
#pragma GCC unroll 4
                for (int v = 0; v < V; ++v) acc[r][v] = plus(acc[r][v], times(bv[v], av));
            }
            a += 1;
            b += t.ldb;
        }
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) _mm256_storeu_pd(t.c + r * t.ldc + v * kLanes, acc[r][v]);
        }
    }

    __attribute__((target("avx2"))) static void run(const TileArgs& t) {
        if (t.continue_sums) {
            sums<true>(t);
        } else {
            sums<false>(t);
        }
    }
};

}  // namespace

TileKernel tile_kernel_avx2() { return make_tile_kernel<Tile, 4, 2>(kLanes); }

}  // namespace tarnex
