// The element-wise loops compiled for AVX-512.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/elementwise/kernels.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 8;
    using Vec = __m512d;
    static Vec load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm512_set1_pd(x); }
    // a op b with a as the first source (AT&T order: second source, first source, result).
    static Vec add(Vec a, Vec b) {
        Vec r;
        asm("vaddpd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
        return r;
    }
    static Vec mul(Vec a, Vec b) {
        Vec r;
        asm("vmulpd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
        return r;
    }
    static double add1(double a, double b) {
        double r;
        asm("vaddsd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
        return r;
    }
    static double mul1(double a, double b) {
        double r;
        asm("vmulsd %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));
        return r;
    }
};

}  // namespace

#include "lib/elementwise/kernels_body.hpp"

}  // namespace tarnex::avx512
TARNEX_TARGET_END
