// AVX-512 tile kernels: up to 6 rows x 4 vectors of 8 doubles (24 accumulators).
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx512f"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx512f")
#endif

#include "lib/matmul_tile_loop.hpp"

namespace tarnex {
namespace {

struct Ops {
    using Vec = __m512d;
    static constexpr int lanes = 8;
    static Vec zero() { return _mm512_setzero_pd(); }
    static Vec load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
    // a[i, p] stays in memory: the multiply broadcasts it as part of its load, so the
    // broadcast takes no arithmetic slot.
    static const double* broadcast(const double* p) { return p; }
    // b * a[0] broadcast to every lane, with b as the first source.
    static Vec times(Vec b, const double* a) {
        Vec product;
        asm("vmulpd %1%{1to8%}, %2, %0" : "=v"(product) : "m"(*a), "v"(b));
        return product;
    }
    // acc + product, with the accumulator as the first source.
    static Vec plus(Vec acc, Vec product) {
        asm("vaddpd %1, %0, %0" : "+v"(acc) : "v"(product));
        return acc;
    }
};

template <int R, int V>
using Tile = TileLoop<Ops, R, V>;

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

TileKernel tile_kernel_avx512() { return make_tile_kernel<Tile, 6, 4>(Ops::lanes); }

}  // namespace tarnex
