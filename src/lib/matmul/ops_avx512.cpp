// AVX-512 tile kernels: up to 6 rows x 4 vectors of 8 doubles (24 accumulators).
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/matmul/tiles.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
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

#include "lib/matmul/tile_loop.hpp"

template <int R, int V>
using Tile = TileLoop<Ops, R, V>;

}  // namespace

TileKernel tile_kernel() {
    return make_tile_kernel<Tile, 6, 4>(Ops::lanes, {256, 512 * 1024});
}

}  // namespace tarnex::avx512
TARNEX_TARGET_END
