// The comparison loops for any x86-64: SSE2 compares, two lanes.
#include <emmintrin.h>

#include <cstdint>

#include "lib/compare/kernels.hpp"

namespace tarnex::baseline {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 2;
    using Vec = __m128d;
    static Vec load(const double* p) { return _mm_loadu_pd(p); }
    static Vec splat(double x) { return _mm_set1_pd(x); }
    // SSE2's cmpneq is the unordered not-equal; the others are ordered.
    template <Comparison op>
    static unsigned bits(Vec a, Vec b) {
        if constexpr (op == Comparison::greater) return _mm_movemask_pd(_mm_cmpgt_pd(a, b));
        if constexpr (op == Comparison::greater_equal) return _mm_movemask_pd(_mm_cmpge_pd(a, b));
        if constexpr (op == Comparison::less) return _mm_movemask_pd(_mm_cmplt_pd(a, b));
        if constexpr (op == Comparison::less_equal) return _mm_movemask_pd(_mm_cmple_pd(a, b));
        if constexpr (op == Comparison::equal) return _mm_movemask_pd(_mm_cmpeq_pd(a, b));
        if constexpr (op == Comparison::not_equal) return _mm_movemask_pd(_mm_cmpneq_pd(a, b));
    }
    static unsigned unordered(Vec a, Vec b) { return _mm_movemask_pd(_mm_cmpunord_pd(a, b)); }
};

}  // namespace

#include "lib/compare/kernels_body.hpp"

}  // namespace tarnex::baseline
