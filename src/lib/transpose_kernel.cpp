#include "lib/transpose_kernel.hpp"

#include <immintrin.h>

namespace tarnex {
namespace {

// Side of the cache block, in elements: a block's source and destination together
// (2 x 64 x 64 x 8 bytes) stay within the level-2 cache while the tiles inside it are copied.
constexpr std::uint64_t block = 64;

// Element by element, for the edges the vector tiles do not cover.
void copy_scalar(const double* src, std::uint64_t src_stride, std::uint64_t i0, std::uint64_t i1,
                 std::uint64_t j0, std::uint64_t j1, std::uint64_t cols, double* out) {
    for (std::uint64_t i = i0; i < i1; ++i) {
        for (std::uint64_t j = j0; j < j1; ++j) out[i * cols + j] = src[j * src_stride + i];
    }
}

// One 8 x 8 tile: eight source lines of eight elements become eight result rows. Every
// shuffle is a two-source permute (which also keeps clear of a spurious uninitialised-value
// warning that some compilers give for the unpack and lane-shuffle intrinsics).
__attribute__((target("avx512f"), always_inline)) inline void tile8(const double* src,
                                                                    std::uint64_t src_stride,
                                                                    double* out,
                                                                    std::uint64_t cols) {
    __m512d r[8];
    for (int k = 0; k < 8; ++k) r[k] = _mm512_loadu_pd(src + k * src_stride);
    // Interleave pairs of lines: t[k] holds elements of lines k and k + 1 (k even) for even
    // positions, t[k + 1] for odd positions.
    const __m512i lo = _mm512_setr_epi64(0, 8, 2, 10, 4, 12, 6, 14);
    const __m512i hi = _mm512_setr_epi64(1, 9, 3, 11, 5, 13, 7, 15);
    __m512d t[8];
    for (int k = 0; k < 8; k += 2) {
        t[k] = _mm512_permutex2var_pd(r[k], lo, r[k + 1]);
        t[k + 1] = _mm512_permutex2var_pd(r[k], hi, r[k + 1]);
    }
    // Pairs of lines to quadruples: lanes 0-3 hold element m of four lines, lanes 4-7
    // element m + 4.
    const __m512i even = _mm512_setr_epi64(0, 1, 8, 9, 4, 5, 12, 13);
    const __m512i odd = _mm512_setr_epi64(2, 3, 10, 11, 6, 7, 14, 15);
    __m512d u[4], v[4];
    u[0] = _mm512_permutex2var_pd(t[0], even, t[2]);
    u[1] = _mm512_permutex2var_pd(t[1], even, t[3]);
    u[2] = _mm512_permutex2var_pd(t[0], odd, t[2]);
    u[3] = _mm512_permutex2var_pd(t[1], odd, t[3]);
    v[0] = _mm512_permutex2var_pd(t[4], even, t[6]);
    v[1] = _mm512_permutex2var_pd(t[5], even, t[7]);
    v[2] = _mm512_permutex2var_pd(t[4], odd, t[6]);
    v[3] = _mm512_permutex2var_pd(t[5], odd, t[7]);
    // Quadruples to whole rows: row m takes the low halves, row m + 4 the high halves.
    const __m512i low_halves = _mm512_setr_epi64(0, 1, 2, 3, 8, 9, 10, 11);
    const __m512i high_halves = _mm512_setr_epi64(4, 5, 6, 7, 12, 13, 14, 15);
    for (int m = 0; m < 4; ++m) {
        _mm512_storeu_pd(out + m * cols, _mm512_permutex2var_pd(u[m], low_halves, v[m]));
        _mm512_storeu_pd(out + (m + 4) * cols, _mm512_permutex2var_pd(u[m], high_halves, v[m]));
    }
}

// One 4 x 4 tile.
__attribute__((target("avx2"), always_inline)) inline void tile4(const double* src,
                                                                 std::uint64_t src_stride,
                                                                 double* out,
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

// The whole W x W tiles of one block, i from i0 to i1 and j from j0 to j1 (multiples of W).
using TileLoop = void (*)(const double*, std::uint64_t, double*, std::uint64_t, std::uint64_t,
                          std::uint64_t, std::uint64_t, std::uint64_t);

__attribute__((target("avx512f"))) void tiles8(const double* src, std::uint64_t src_stride,
                                               double* out, std::uint64_t cols, std::uint64_t i0,
                                               std::uint64_t i1, std::uint64_t j0,
                                               std::uint64_t j1) {
    for (std::uint64_t j = j0; j < j1; j += 8) {
        for (std::uint64_t i = i0; i < i1; i += 8) {
            tile8(src + j * src_stride + i, src_stride, out + i * cols + j, cols);
        }
    }
}

__attribute__((target("avx2"))) void tiles4(const double* src, std::uint64_t src_stride,
                                            double* out, std::uint64_t cols, std::uint64_t i0,
                                            std::uint64_t i1, std::uint64_t j0, std::uint64_t j1) {
    for (std::uint64_t j = j0; j < j1; j += 4) {
        for (std::uint64_t i = i0; i < i1; i += 4) {
            tile4(src + j * src_stride + i, src_stride, out + i * cols + j, cols);
        }
    }
}

// Blocks of `block` x `block`: whole tiles of width `w` inside each block (none when w is 0),
// the ragged right and bottom edges element by element.
void blocked(const double* src, std::uint64_t src_stride, std::uint64_t rows, std::uint64_t cols,
             double* out, std::uint64_t w, TileLoop tiles) {
    for (std::uint64_t i0 = 0; i0 < rows; i0 += block) {
        const std::uint64_t i1 = i0 + block < rows ? i0 + block : rows;
        const std::uint64_t i_tiles = w == 0 ? i0 : i0 + (i1 - i0) / w * w;
        for (std::uint64_t j0 = 0; j0 < cols; j0 += block) {
            const std::uint64_t j1 = j0 + block < cols ? j0 + block : cols;
            const std::uint64_t j_tiles = w == 0 ? j0 : j0 + (j1 - j0) / w * w;
            if (i_tiles > i0 && j_tiles > j0) {
                tiles(src, src_stride, out, cols, i0, i_tiles, j0, j_tiles);
            }
            copy_scalar(src, src_stride, i_tiles, i1, j0, j1, cols, out);
            copy_scalar(src, src_stride, i0, i_tiles, j_tiles, j1, cols, out);
        }
    }
}

struct Kernel {
    std::uint64_t width;
    TileLoop tiles;
};

Kernel select_kernel() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return {8, tiles8};
    if (__builtin_cpu_supports("avx2")) return {4, tiles4};
    return {0, nullptr};
}

}  // namespace

void transpose_copy(const double* src, std::uint64_t src_stride, std::uint64_t rows,
                    std::uint64_t cols, double* out) {
    static const Kernel kernel = select_kernel();
    blocked(src, src_stride, rows, cols, out, kernel.width, kernel.tiles);
}

}  // namespace tarnex
