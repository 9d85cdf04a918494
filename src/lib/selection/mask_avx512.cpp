// The mask loops on AVX-512: lane masks in mask registers, masked stores and compression.
#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "lib/cpu/target.hpp"
#include "lib/selection/mask_kernels.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

struct Lanes {
    static constexpr std::uint64_t width = 8;
    using Vec = __m512d;
    using Mask = __mmask8;
    static Vec load(const double* p) { return _mm512_loadu_pd(p); }
    static void store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
    static Vec splat(double x) { return _mm512_set1_pd(x); }
    static Mask selected(const Bool* mask) {
        std::uint64_t bytes;
        std::memcpy(&bytes, mask, sizeof bytes);
        // The zero-masking form: the plain one draws a spurious uninitialised-value warning
        // from some compilers.
        const __m512i wide = _mm512_maskz_cvtepu8_epi64(
            static_cast<__mmask8>(0xFF), _mm_cvtsi64_si128(static_cast<long long>(bytes)));
        return _mm512_test_epi64_mask(wide, wide);
    }
    static unsigned count(Mask m) { return static_cast<unsigned>(__builtin_popcount(m)); }
    static void store_selected(double* p, Mask m, Vec v) { _mm512_mask_storeu_pd(p, m, v); }
    static Vec blend(Mask m, Vec if_clear, Vec if_set) {
        return _mm512_mask_blend_pd(m, if_clear, if_set);
    }
    // Compressing inside a register and storing the packed lanes with a masked store (the
    // compressing store straight to memory is far slower on some processors).
    static void store_packed(double* p, Mask m, Vec v) {
        const auto first = static_cast<__mmask8>((1u << count(m)) - 1);
        _mm512_mask_storeu_pd(p, first, _mm512_maskz_compress_pd(m, v));
    }
};

}  // namespace

#include "lib/selection/mask_body.hpp"

}  // namespace tarnex::avx512
TARNEX_TARGET_END
