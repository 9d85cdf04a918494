// The comparison loops on AVX2: four lanes, the predicate as the compare's immediate.
#include <immintrin.h>

#include <cstdint>

#include "lib/compare/kernels.hpp"
#include "lib/cpu/target.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

template <Comparison op>
constexpr int predicate() {
    if constexpr (op == Comparison::greater) return _CMP_GT_OQ;
    if constexpr (op == Comparison::greater_equal) return _CMP_GE_OQ;
    if constexpr (op == Comparison::less) return _CMP_LT_OQ;
    if constexpr (op == Comparison::less_equal) return _CMP_LE_OQ;
    if constexpr (op == Comparison::equal) return _CMP_EQ_OQ;
    if constexpr (op == Comparison::not_equal) return _CMP_NEQ_UQ;
}

struct Lanes {
    static constexpr std::uint64_t width = 4;
    using Vec = __m256d;
    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static Vec splat(double x) { return _mm256_set1_pd(x); }
    template <Comparison op>
    static unsigned bits(Vec a, Vec b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, predicate<op>())));
    }
    static unsigned unordered(Vec a, Vec b) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_cmp_pd(a, b, _CMP_UNORD_Q)));
    }
};

}  // namespace

#include "lib/compare/kernels_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
