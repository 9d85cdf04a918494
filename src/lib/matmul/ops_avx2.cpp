// AVX2 tile kernels: up to 6 rows x 2 vectors of 4 doubles (12 accumulators), which with
// the two vectors of b, the broadcast of a and one product fills the 16 vector registers.
// Per step of p that is 2 loads and 6 broadcasts for 24 arithmetic instructions. The packed
// block of b is kept to 256 KiB so that it shares a 512 KiB level-2 cache with the rows
// of a and c passing through.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/matmul/tiles.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
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

#include "lib/matmul/tile_loop.hpp"

template <int R, int V>
using Tile = TileLoop<Ops, R, V>;

}  // namespace

TileKernel tile_kernel() {
    return make_tile_kernel<Tile, 6, 2>(Ops::lanes, {256, 256 * 1024});
}

}  // namespace tarnex::avx2
TARNEX_TARGET_END
