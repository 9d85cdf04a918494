// The element-wise loops compiled for AVX2.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/elementwise/kernels.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 4;
    using Vec = __m256d;
    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm256_set1_pd(x); }
    // a op b with a as the first source (AT&T order: second source, first source, result).
    static Vec add(Vec a, Vec b) {
        Vec r;
        asm("vaddpd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
    static Vec mul(Vec a, Vec b) {
        Vec r;
        asm("vmulpd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
    static double add1(double a, double b) {
        double r;
        asm("vaddsd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
    static double mul1(double a, double b) {
        double r;
        asm("vmulsd %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));
        return r;
    }
};

}  // namespace

#include "lib/elementwise/kernels_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
