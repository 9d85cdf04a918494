// The mask loops on AVX2: lane masks as vectors of all-ones lanes, masked stores, and
// compression through a table of lane permutations.
#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "lib/cpu/target.hpp"
#include "lib/selection/mask_kernels.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

// For each set of lanes (bit k for lane k), the 32-bit source positions that bring those
// lanes, in order, to the front.
constexpr std::array<std::array<int, 8>, 16> pack_order = [] {
    std::array<std::array<int, 8>, 16> order{};
    for (int set = 0; set < 16; ++set) {
        int to = 0;
        for (int lane = 0; lane < 4; ++lane) {
            if ((set >> lane & 1) != 0) {
                order[set][2 * to] = 2 * lane;
                order[set][2 * to + 1] = 2 * lane + 1;
                ++to;
            }
        }
    }
    return order;
}();

struct Lanes {
    static constexpr std::uint64_t width = 4;
    using Vec = __m256d;
    using Mask = __m256i;  // each lane all ones or all zeros
    static Vec load(const double* p) { return _mm256_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm256_set1_pd(x); }
    static Mask selected(const Bool* mask) {
        std::uint32_t bytes;
        std::memcpy(&bytes, mask, sizeof bytes);
        const __m256i wide = _mm256_cvtepu8_epi64(_mm_cvtsi32_si128(static_cast<int>(bytes)));
        const __m256i zero = _mm256_cmpeq_epi64(wide, _mm256_setzero_si256());
        return _mm256_xor_si256(zero, _mm256_set1_epi64x(-1));
    }
    static unsigned bits(Mask m) {
        return static_cast<unsigned>(_mm256_movemask_pd(_mm256_castsi256_pd(m)));
    }
    static unsigned count(Mask m) { return static_cast<unsigned>(__builtin_popcount(bits(m))); }
    static void store_selected(double* p, Mask m, Vec v) { _mm256_maskstore_pd(p, m, v); }
    static Vec blend(Mask m, Vec if_clear, Vec if_set) {
        return _mm256_blendv_pd(if_clear, if_set, _mm256_castsi256_pd(m));
    }
    static void store_packed(double* p, Mask m, Vec v) {
        const unsigned set = bits(m);
        const __m256i order = _mm256_loadu_si256(
            reinterpret_cast<const __m256i*>(pack_order[set].data()));
        const __m256d packed = _mm256_castps_pd(
            _mm256_permutevar8x32_ps(_mm256_castpd_ps(v), order));
        // The first count(m) lanes, as a mask of all-ones lanes.
        const __m256i first = _mm256_cmpgt_epi64(
            _mm256_set1_epi64x(__builtin_popcount(set)), _mm256_setr_epi64x(0, 1, 2, 3));
        _mm256_maskstore_pd(p, first, packed);
    }
};

}  // namespace

#include "lib/selection/mask_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
