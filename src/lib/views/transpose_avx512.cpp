// The transpose on AVX-512: 8 x 8 tiles turned around in registers.
#include <immintrin.h>

#include <cstdint>

#include "lib/cpu/target.hpp"
#include "lib/simd/transpose8x8.hpp"
#include "lib/views/transpose.hpp"

TARNEX_TARGET_AVX512
namespace tarnex::avx512 {
namespace {

struct Tile {
    static constexpr std::uint64_t width = 8;
    static void copy(const double* src, std::uint64_t src_stride, double* out,
                     std::uint64_t cols) {
        __m512d lines[8], rows[8];
        for (int k = 0; k < 8; ++k) lines[k] = _mm512_loadu_pd(src + k * src_stride);
        simd::avx512::transpose8x8(lines, rows);
        for (int m = 0; m < 8; ++m) _mm512_storeu_pd(out + m * cols, rows[m]);
    }
};

}  // namespace

#include "lib/views/transpose_body.hpp"

}  // namespace tarnex::avx512
TARNEX_TARGET_END
