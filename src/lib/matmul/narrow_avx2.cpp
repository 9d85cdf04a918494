// AVX2 product for results of at most four columns: four result rows in the lanes. A 4 x 4
// block of a is read as 128-bit halves, rows 0 and 2 (1 and 3) side by side, so that one
// unpack per column turns it around.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "lib/cpu/target.hpp"
#include "lib/matmul/tiles.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

struct Ops {
    using Vec = __m256d;
    static constexpr std::uint64_t lanes = 4;
    static Vec zero() { return _mm256_setzero_pd(); }
    static void store(double* p, Vec v) { _mm256_store_pd(p, v); }
    static Vec splat(const double* p) { return _mm256_broadcast_sd(p); }
    // b broadcast * a, with b as the first source.
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
    static Vec pair(const double* low, const double* high) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(low)),
                                    _mm_loadu_pd(high), 1);
    }
    static void full_columns(const double* a, std::uint64_t lda, Vec column[4]) {
        const Vec front02 = pair(a, a + 2 * lda), front13 = pair(a + lda, a + 3 * lda);
        const Vec back02 = pair(a + 2, a + 2 * lda + 2);
        const Vec back13 = pair(a + lda + 2, a + 3 * lda + 2);
        column[0] = _mm256_unpacklo_pd(front02, front13);
        column[1] = _mm256_unpackhi_pd(front02, front13);
        column[2] = _mm256_unpacklo_pd(back02, back13);
        column[3] = _mm256_unpackhi_pd(back02, back13);
    }
    // A partial block goes through a zeroed copy, so nothing past the operand is read.
    static void columns(const double* a, std::uint64_t lda, std::uint64_t rows,
                        std::uint64_t steps, Vec column[4]) {
        if (rows == 4 && steps == 4) return full_columns(a, lda, column);
        double local[16] = {};
        for (std::uint64_t r = 0; r < rows; ++r) std::memcpy(local + 4 * r, a + r * lda, steps * 8);
        full_columns(local, 4, column);
    }
};

}  // namespace

#include "lib/matmul/narrow_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
