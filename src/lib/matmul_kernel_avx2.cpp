// AVX2 tile kernels: up to 4 rows x 2 vectors of 4 doubles (8 accumulators), which with
// the vectors of b, the broadcast and the products fits the 16 vector registers.
#include <immintrin.h>

#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif

#include "lib/matmul_tile_loop.hpp"

namespace tarnex {
namespace {

struct Ops {
    using Vec = __m256d;
    static constexpr int lanes = 4;
    static Vec zero() { return _mm256_setzero_pd(); }
    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
    static Vec broadcast(const double* p) { return _mm256_broadcast_sd(p); }
    // b * a, with b as the first source.
    static Vec times(Vec b, Vec a) {
        Vec product;
        asm("vmulpd %2, %1, %0" : "=x"(product) : "x"(b), "x"(a));
        return product;
    }
    // acc + product, with the accumulator as the first source.
    static Vec plus(Vec acc, Vec product) {
        asm("vaddpd %1, %0, %0" : "+x"(acc) : "x"(product));
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

TileKernel tile_kernel_avx2() { return make_tile_kernel<Tile, 4, 2>(Ops::lanes); }

}  // namespace tarnex
