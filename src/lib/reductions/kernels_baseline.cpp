// The reduction loops on any x86-64 (SSE2): pairs of doubles.
#include <emmintrin.h>

#include <cstdint>

#include "lib/reductions/kernels.hpp"

namespace tarnex::baseline {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 2;
    using Vec = __m128d;
    static Vec load(const double* p) { return _mm_loadu_pd(p); }
    static Vec splat(double x) { return _mm_set1_pd(x); }
    // maxpd returns its second operand when either is NaN.
    static Vec max(Vec x, Vec m) { return _mm_max_pd(x, m); }
    static unsigned equal_bits(Vec x, Vec v) {
        return static_cast<unsigned>(_mm_movemask_pd(_mm_cmpeq_pd(x, v)));
    }
};

}  // namespace

#include "lib/reductions/kernels_body.hpp"

}  // namespace tarnex::baseline
