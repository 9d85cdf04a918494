// The blocked transpose, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level: square tiles of the
// vector width are turned around in registers. This file includes nothing itself.

namespace {

// out[i * cols + j] = src[j * src_stride + i] for i, j < width.
inline void copy_tile(const double* src, std::uint64_t src_stride, double* out,
                      std::uint64_t cols) {
    typename Lanes::Vec rows[Lanes::width];
    Lanes::load_transposed(src, src_stride, rows);
#pragma GCC unroll 8
    for (std::uint64_t m = 0; m < Lanes::width; ++m) Lanes::store(out + m * cols, rows[m]);
}

// Side of the cache block, in elements: a block's source and destination together
// (2 x 64 x 64 x 8 bytes) stay within the level-2 cache while the tiles inside it are copied.
constexpr std::uint64_t block = 64;

// Element by element, for the edges the tiles do not cover.
inline void copy_scalar(const double* src, std::uint64_t src_stride, std::uint64_t i0,
                        std::uint64_t i1, std::uint64_t j0, std::uint64_t j1, std::uint64_t cols,
                        double* out) {
    for (std::uint64_t i = i0; i < i1; ++i) {
        for (std::uint64_t j = j0; j < j1; ++j) out[i * cols + j] = src[j * src_stride + i];
    }
}

}  // namespace

// Blocks of `block` x `block`: whole tiles inside each block, the ragged right and bottom
// edges element by element.
void transpose_copy(const double* src, std::uint64_t src_stride, std::uint64_t rows,
                    std::uint64_t cols, double* out) {
    constexpr std::uint64_t w = Lanes::width;
    for (std::uint64_t i0 = 0; i0 < rows; i0 += block) {
        const std::uint64_t i1 = i0 + block < rows ? i0 + block : rows;
        const std::uint64_t i_tiles = i0 + (i1 - i0) / w * w;
        for (std::uint64_t j0 = 0; j0 < cols; j0 += block) {
            const std::uint64_t j1 = j0 + block < cols ? j0 + block : cols;
            const std::uint64_t j_tiles = j0 + (j1 - j0) / w * w;
            for (std::uint64_t j = j0; j < j_tiles; j += w) {
                for (std::uint64_t i = i0; i < i_tiles; i += w) {
                    copy_tile(src + j * src_stride + i, src_stride, out + i * cols + j, cols);
                }
            }
            copy_scalar(src, src_stride, i_tiles, i1, j0, j1, cols, out);
            copy_scalar(src, src_stride, i0, i_tiles, j_tiles, j1, cols, out);
        }
    }
}
