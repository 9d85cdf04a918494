// The reduction loops on AVX2: vectors of four doubles.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/reductions/kernels.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 4;
    using Vec = __m256d;
    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static Vec splat(double x) { return _mm256_set1_pd(x); }
    // vmaxpd returns its second source when either is NaN.
    static Vec max(Vec x, Vec m) { return _mm256_max_pd(x, m); }
    static unsigned equal_bits(Vec x, Vec v) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(x, v, _CMP_EQ_OQ)));
    }
};

}  // namespace

#include "lib/reductions/kernels_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
