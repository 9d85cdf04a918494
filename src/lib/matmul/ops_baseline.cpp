// Baseline tile kernels for any x86-64 (SSE2): up to 4 rows x 2 vectors of 2 doubles.
#include <emmintrin.h>

#include <cstdint>

#include "lib/matmul/tiles.hpp"

namespace tarnex::baseline {
namespace {

struct Ops {
    using Vec = __m128d;
    static constexpr int lanes = 2;
    static Vec zero() { return _mm_setzero_pd(); }
    static Vec load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm_storeu_pd(p, v); }
    static Vec broadcast(const double* p) { return _mm_load1_pd(p); }
    // b * a, with b as the first source (the two-operand form multiplies into a copy of b).
    static Vec times(Vec b, Vec a) {
        asm("mulpd %1, %0" : "+x"(b) : "x"(a));
        return b;
    }
    // acc + product, with the accumulator as the first source.
    static Vec plus(Vec acc, Vec product) {
        asm("addpd %1, %0" : "+x"(acc) : "x"(product));
        return acc;
    }
};

#include "lib/matmul/tile_loop.hpp"

template <int R, int V>
using Tile = TileLoop<Ops, R, V>;

}  // namespace

TileKernel tile_kernel() {
    return make_tile_kernel<Tile, 4, 2>(Ops::lanes, {256, 256 * 1024});
}

}  // namespace tarnex::baseline
