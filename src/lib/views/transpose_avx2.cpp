// The transpose on AVX2: 4 x 4 tiles.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/views/transpose.hpp"

TARNEX_TARGET_AVX2
namespace tarnex::avx2 {
namespace {

struct Tile {
    static constexpr std::uint64_t width = 4;
    static void copy(const double* src, std::uint64_t src_stride, double* out,
                     std::uint64_t cols) {
        const __m256d r0 = _mm256_loadu_pd(src);
        const __m256d r1 = _mm256_loadu_pd(src + src_stride);
        const __m256d r2 = _mm256_loadu_pd(src + 2 * src_stride);
        const __m256d r3 = _mm256_loadu_pd(src + 3 * src_stride);
        const __m256d t0 = _mm256_unpacklo_pd(r0, r1);
        const __m256d t1 = _mm256_unpackhi_pd(r0, r1);
        const __m256d t2 = _mm256_unpacklo_pd(r2, r3);
        const __m256d t3 = _mm256_unpackhi_pd(r2, r3);
        _mm256_storeu_pd(out, _mm256_permute2f128_pd(t0, t2, 0x20));
        _mm256_storeu_pd(out + cols, _mm256_permute2f128_pd(t1, t3, 0x20));
        _mm256_storeu_pd(out + 2 * cols, _mm256_permute2f128_pd(t0, t2, 0x31));
        _mm256_storeu_pd(out + 3 * cols, _mm256_permute2f128_pd(t1, t3, 0x31));
    }
};

}  // namespace

#include "lib/views/transpose_body.hpp"

}  // namespace tarnex::avx2
TARNEX_TARGET_END
