// AVX-512 product for results of at most four columns: eight result rows in the lanes, each
// 8 x 8 block of a read with masked loads and turned around in registers.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/matmul/tiles.hpp"
#include "lib/simd/transpose8x8.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

struct Ops {
    using Vec = __m512d;
    static constexpr std::uint64_t lanes = 8;
    static Vec zero() { return _mm512_setzero_pd(); }
    static void store(double* p, Vec v) { _mm512_store_pd(p, v); }
    static Vec splat(const double* p) { return _mm512_set1_pd(*p); }
    // b broadcast * a, with b as the first source.
    static Vec times(Vec b, Vec a) {
        Vec product;
        asm("vmulpd %2, %1, %0" : "=v"(product) : "v"(b), "v"(a));
        return product;
    }
    // acc + product, with the accumulator as the first source.
    static Vec plus(Vec acc, Vec product) {
        asm("vaddpd %1, %0, %0" : "+v"(acc) : "v"(product));
        return acc;
    }
    static void columns(const double* a, std::uint64_t lda, std::uint64_t rows,
                        std::uint64_t steps, Vec column[8]) {
        const __mmask8 present = static_cast<__mmask8>((1u << steps) - 1);
        Vec block[8];
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < 8; ++r) {
            block[r] = r < rows ? _mm512_maskz_loadu_pd(present, a + r * lda) : _mm512_setzero_pd();
        }
        simd::avx512::transpose8x8(block, column);
    }
};

}  // namespace

#include "lib/matmul/narrow_body.hpp"

}  // namespace tarnex::avx512
TARNEX_TARGET_END
