// The transpose on any x86-64: 2 x 2 tiles (SSE2).
#include <emmintrin.h>

#include <cstdint>

#include "lib/views/transpose.hpp"

namespace tarnex::baseline {
namespace {

struct Tile {
    static constexpr std::uint64_t width = 2;
    static void copy(const double* src, std::uint64_t src_stride, double* out,
                     std::uint64_t cols) {
        const __m128d r0 = _mm_loadu_pd(src);
        const __m128d r1 = _mm_loadu_pd(src + src_stride);
        _mm_storeu_pd(out, _mm_unpacklo_pd(r0, r1));
        _mm_storeu_pd(out + cols, _mm_unpackhi_pd(r0, r1));
    }
};

}  // namespace

#include "lib/views/transpose_body.hpp"

}  // namespace tarnex::baseline
