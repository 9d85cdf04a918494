// The element-wise loops compiled for any x86-64 (SSE2).
#include <emmintrin.h>

#include <cstdint>

#include "lib/elementwise/kernels.hpp"

namespace tarnex::baseline {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 2;
    using Vec = __m128d;
    static Vec load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm_set1_pd(x); }
    // The two-operand forms write their first source: a op b into a copy of a.
    static Vec add(Vec a, Vec b) {
        asm("addpd %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
    static Vec mul(Vec a, Vec b) {
        asm("mulpd %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
    static double add1(double a, double b) {
        asm("addsd %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
    static double mul1(double a, double b) {
        asm("mulsd %1, %0" : "+x"(a) : "x"(b));
        return a;
    }
};

}  // namespace

#include "lib/elementwise/kernels_body.hpp"

}  // namespace tarnex::baseline
