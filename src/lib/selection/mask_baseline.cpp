// The mask loops on any x86-64 (SSE2): pairs of doubles.
#include <emmintrin.h>

#include <cstdint>

#include "lib/selection/mask_kernels.hpp"

namespace tarnex::baseline {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 2;
    using Vec = __m128d;
    using Mask = unsigned;  // bit k for lane k
    static Vec load(const double* p) { return _mm_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm_set1_pd(x); }
    static Mask selected(const Bool* mask) {
        return static_cast<unsigned>(mask[0] != 0) | static_cast<unsigned>(mask[1] != 0) << 1;
    }
    static unsigned count(Mask m) { return (m & 1) + (m >> 1); }
    // Lane by lane: a store of the unselected lane would write memory the mask leaves alone.
    static void store_selected(double* p, Mask m, Vec v) {
        if ((m & 1) != 0) _mm_storel_pd(p, v);
        if ((m & 2) != 0) _mm_storeh_pd(p + 1, v);
    }
    static Vec blend(Mask m, Vec if_clear, Vec if_set) {
        const __m128i lanes = _mm_set_epi64x(-static_cast<long long>(m >> 1),
                                             -static_cast<long long>(m & 1));
        const __m128d pick = _mm_castsi128_pd(lanes);
        return _mm_or_pd(_mm_and_pd(pick, if_set), _mm_andnot_pd(pick, if_clear));
    }
    static void store_packed(double* p, Mask m, Vec v) {
        if ((m & 1) != 0) _mm_storel_pd(p++, v);
        if ((m & 2) != 0) _mm_storeh_pd(p, v);
    }
};

}  // namespace

#include "lib/selection/mask_body.hpp"

}  // namespace tarnex::baseline
