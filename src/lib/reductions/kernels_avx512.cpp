// The reduction loops on AVX-512: vectors of eight doubles.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/reductions/kernels.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 8;
    using Vec = __m512d;
    static Vec load(const double* p) { return _mm512_loadu_pd(p); }
    static Vec splat(double x) { return _mm512_set1_pd(x); }
    // vmaxpd returns its second source when either is NaN. (The masked form with every lane
    // selected is the same instruction; the unmasked intrinsic trips a false
    // uninitialised-value warning in GCC 12.)
    static Vec max(Vec x, Vec m) {
        return _mm512_mask_max_pd(m, static_cast<__mmask8>(0xFF), x, m);
    }
    static unsigned equal_bits(Vec x, Vec v) {
        return static_cast<unsigned>(_mm512_cmp_pd_mask(x, v, _CMP_EQ_OQ));
    }
};

}  // namespace

#include "lib/reductions/kernels_body.hpp"

}  // namespace tarnex::avx512
TARNEX_TARGET_END
