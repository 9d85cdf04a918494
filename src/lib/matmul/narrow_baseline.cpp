// Baseline (SSE2) product for results of at most four columns: two result rows in the lanes,
// each 2 x 2 block of a turned around with one unpack per column.
#include <emmintrin.h>

#include <cstdint>

#include "lib/matmul/tiles.hpp"

namespace tarnex::baseline {
namespace {

struct Ops {
    using Vec = __m128d;
    static constexpr std::uint64_t lanes = 2;
    static Vec zero() { return _mm_setzero_pd(); }
    static void store(double* p, Vec v) { _mm_store_pd(p, v); }
    static Vec splat(const double* p) { return _mm_load1_pd(p); }
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
    static void columns(const double* a, std::uint64_t lda, std::uint64_t rows,
                        std::uint64_t steps, Vec column[2]) {
        const Vec zero = _mm_setzero_pd();
        Vec row0, row1;
        if (steps == 2) {
            row0 = _mm_loadu_pd(a);
            row1 = rows == 2 ? _mm_loadu_pd(a + lda) : zero;
        } else {
            row0 = _mm_load_sd(a);
            row1 = rows == 2 ? _mm_load_sd(a + lda) : zero;
        }
        column[0] = _mm_unpacklo_pd(row0, row1);
        column[1] = _mm_unpackhi_pd(row0, row1);
    }
};

}  // namespace

#include "lib/matmul/narrow_body.hpp"

}  // namespace tarnex::baseline
