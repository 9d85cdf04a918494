// Cache blocking and packing around the tile kernels.
//
// The columns of the result are taken in blocks whose packed slice of b stays in the
// level-2 cache, and the p range in blocks of at most the kernel's depth block. For each such block
// the slice of b is packed into panels (per p, one tile's columns side by side, zero-padded
// to whole vectors); then, row tile by row tile, the kernel runs over every panel, reading
// the tile's rows of a in place (a few rows of one depth block stay in the level-1 cache
// while the panels stream past). The p blocks are visited in increasing order and each
// continues the sums the previous one stored, so each result element still sees its
// products in increasing p.
//
// An operand stored transposed is never copied whole: the kernels read a transposed a in
// place (the tile's values of one p side by side), and the panels of a transposed b are
// packed from its rows, which hold b's columns. The kernels then see the same values in the
// same order as for the operands written out, so the results are the same bits.
#include <algorithm>
#include <cstring>

#include "lib/matmul/packing.hpp"
#include "lib/matmul/kernels.hpp"
#include "lib/record/buffer.hpp"

namespace tarnex {
namespace {

// The depth block when b is read in place: its rows under one block, 32 of them, are few
// enough for the prefetcher to follow them all, and the result tile is stored and loaded
// again only once per 32 steps.
constexpr std::uint64_t unpacked_depth_block = 32;

std::uint64_t round_up(std::uint64_t value, std::uint64_t step) {
    return (value + step - 1) / step * step;
}

// Runs the kernel for a tile whose valid width is not a whole number of vectors: through a
// local tile with room for the padding lanes, copying the stored sums in and the results out.
void run_partial_tile(TileKernelFn run, TileArgs tile, std::uint64_t rows, std::uint64_t valid,
                      std::uint64_t cols) {
    alignas(64) double local[max_tile_rows * max_tile_vectors * 8] = {};
    double* const c = tile.c;
    const std::uint64_t ldc = tile.ldc;
    if (tile.continue_sums) {
        for (std::uint64_t r = 0; r < rows; ++r) {
            std::memcpy(local + r * cols, c + r * ldc, valid * sizeof(double));
        }
    }
    tile.c = local;
    tile.ldc = cols;
    run(tile);
    for (std::uint64_t r = 0; r < rows; ++r) {
        std::memcpy(c + r * ldc, local + r * cols, valid * sizeof(double));
    }
}

}  // namespace

void multiply_blocked(const double* a, const double* b, double* c, std::uint64_t m,
                      std::uint64_t k, std::uint64_t n, const TileKernel& kernel,
                      Transposes transposes) {
    const std::uint64_t lanes = kernel.lanes;
    const std::uint64_t panel_cols = kernel.vectors * lanes;
    // Packing b pays when its panels serve several row tiles. With one row tile each value
    // is read once, so b is read in place and only a panel narrower than whole vectors (which
    // the kernel would read past) is packed, or every panel of a transposed b, each just
    // before its one use. Then nothing bounds the column block, and short depth blocks let
    // the panels of one block walk the same few rows of b from left to right, which the
    // hardware prefetcher follows, instead of a tall strip of each row.
    const bool pack_all = m > kernel.rows;
    // Equal depth blocks, so a short last block does not pay a full block's overheads.
    const std::uint64_t depth_block =
        pack_all ? kernel.blocking.depth_block : unpacked_depth_block;
    const std::uint64_t depth_blocks = (k + depth_block - 1) / depth_block;
    const std::uint64_t depth_step = (k + depth_blocks - 1) / depth_blocks;
    const std::uint64_t cols_fit =
        std::max(panel_cols, kernel.blocking.packed_b_bytes / (depth_step * 8));
    const std::uint64_t col_step = pack_all
                                       ? std::min(round_up(n, panel_cols),
                                                  cols_fit / panel_cols * panel_cols)
                                       : round_up(n, panel_cols);

    Buffer<double> b_storage;
    double* packed = aligned_scratch(b_storage, depth_step * (pack_all ? col_step : panel_cols));

    // Packs `valid` columns from column j of b for `depth` steps from p0, `cols` per step.
    const auto pack = [&](std::uint64_t j, std::uint64_t p0, std::uint64_t depth,
                          std::uint64_t valid, std::uint64_t cols, double* to) {
        if (transposes.b) {
            pack_panel_transposed(b + j * k + p0, k, depth, valid, cols, to);
        } else {
            pack_panel(b + p0 * n + j, n, depth, valid, cols, to);
        }
    };
    const auto& runs = transposes.a ? kernel.run_transposed_a : kernel.run;

    for (std::uint64_t j0 = 0; j0 < n; j0 += col_step) {
        const std::uint64_t width = std::min(col_step, n - j0);
        for (std::uint64_t p0 = 0; p0 < k; p0 += depth_step) {
            const std::uint64_t depth = std::min(depth_step, k - p0);
            if (pack_all) {
                for (std::uint64_t jj = 0; jj < width; jj += panel_cols) {
                    const std::uint64_t valid = std::min(panel_cols, width - jj);
                    pack(j0 + jj, p0, depth, valid, round_up(valid, lanes), packed + jj * depth);
                }
            }
            for (std::uint64_t i0 = 0; i0 < m; i0 += kernel.rows) {
                const std::uint64_t rows = std::min(kernel.rows, m - i0);
                for (std::uint64_t jj = 0; jj < width; jj += panel_cols) {
                    const std::uint64_t valid = std::min(panel_cols, width - jj);
                    const std::uint64_t cols = round_up(valid, lanes);
                    const TileKernelFn run = runs[rows - 1][cols / lanes - 1];
                    const double* panel = packed + jj * depth;
                    std::uint64_t ldb = cols;
                    if (!pack_all) {
                        // The only row tile: each panel is used once, right after packing.
                        panel = packed;
                        if (transposes.b || valid != cols) {
                            pack(j0 + jj, p0, depth, valid, cols, packed);
                        } else {
                            panel = b + p0 * n + j0 + jj;
                            ldb = n;
                        }
                    }
                    TileArgs tile{
                        .depth = depth,
                        .a = transposes.a ? a + p0 * m + i0 : a + i0 * k + p0,
                        .lda = transposes.a ? m : k,
                        .b = panel,
                        .ldb = ldb,
                        .c = c + i0 * n + j0 + jj,
                        .ldc = n,
                        .continue_sums = p0 != 0,
                    };
                    if (valid == cols) {
                        run(tile);
                    } else {
                        run_partial_tile(run, tile, rows, valid, cols);
                    }
                }
            }
        }
    }
}

}  // namespace tarnex
