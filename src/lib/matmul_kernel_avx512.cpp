// AVX-512 tile kernels: up to 6 rows x 4 vectors of 8 doubles (24 accumulators).
//
// Per step p a tile loads its vectors of b once, and for each row multiplies them by
// a[i, p] broadcast from memory and adds the products to that row's accumulators: one
// multiply and one add per product, never fused.
#include <immintrin.h>

#include "lib/matmul_tiles.hpp"

namespace tarnex {
namespace {

constexpr int kLanes = 8;

// b * a[0] broadcast to every lane, with b as the first source. The broadcast is part of
// the load, so it takes no arithmetic slot.
__attribute__((target("avx512f"))) inline __m512d times_broadcast(__m512d b, const double* a) {
    __m512d product;
    asm("vmulpd %1%{1to8%}, %2, %0" : "=v"(product) : "m"(*a), "v"(b));
    return product;
}

// acc + product, with the accumulator as the first source.
__attribute__((target("avx512f"))) inline __m512d plus(__m512d acc, __m512d product) {
    asm("vaddpd %1, %0, %0" : "+v"(acc) : "v"(product));
    return acc;
}

template <int R, int V>
struct Tile {
    // The loops are unrolled before the accumulator array is split into registers.
    template <bool kContinue>
    __attribute__((target("avx512f"))) static inline void sums(const TileArgs& t) {
        const double* a = t.a;
        const double* b = t.b;
        __m512d acc[R][V];
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) {
                acc[r][v] = kContinue ? _mm512_loadu_pd(t.c + r * t.ldc + v * kLanes)
                                      : _mm512_setzero_pd();
            }
        }
        for (std::uint64_t p = 0; p < t.depth; ++p) {
            __m512d bv[V];
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) bv[v] = _mm512_loadu_pd(b + v * kLanes);
#pragma GCC unroll 8
            for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
                for (int v = 0; v < V; ++v) {
                    acc[r][v] = plus(acc[r][v], times_broadcast(bv[v], a + r * t.lda));
                }
            }
            a += 1;
            b += t.ldb;
        }
#pragma GCC unroll 8
        for (int r = 0; r < R; ++r) {
#pragma GCC unroll 4
            for (int v = 0; v < V; ++v) _mm512_storeu_pd(t.c + r * t.ldc + v * kLanes, acc[r][v]);
        }
    }

    __attribute__((target("avx512f"))) static void run(const TileArgs& t) {
        if (t.continue_sums) {
            sums<true>(t);
        } else {
            sums<false>(t);
        }
    }
};

}  // namespace

TileKernel tile_kernel_avx512() { return make_tile_kernel<Tile, 6, 4>(kLanes); }

}  // namespace tarnex
