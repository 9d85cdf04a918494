// Picks the kernels of the active instruction-set level, once per process.
#include "lib/cpu/by_level.hpp"
#include "lib/matmul/kernels.hpp"
#include "lib/matmul/packing.hpp"
#include "lib/record/buffer.hpp"

namespace tarnex {
namespace {

struct Choice {
    TileKernel tiles;
    NarrowFn narrow;
    NarrowFn narrow_transposed_a;
    RowFn row;
};

template <TileKernel (*tiles)(), NarrowFn narrow, NarrowFn narrow_transposed_a, RowFn row>
Choice level_choice() {
    return {tiles(), narrow, narrow_transposed_a, row};
}

using ChoiceFn = Choice (*)();

}  // namespace

void multiply_matrices(const double* a, const double* b, double* c, std::uint64_t m,
                       std::uint64_t k, std::uint64_t n, Transposes transposes) {
    // Only the active level's functions run: the others may use instructions this CPU lacks.
    static const Choice choice =
        cpu::by_level<ChoiceFn>(
            level_choice<baseline::tile_kernel, baseline::multiply_narrow,
                         baseline::multiply_narrow_transposed_a, baseline::multiply_row>,
            level_choice<avx2::tile_kernel, avx2::multiply_narrow,
                         avx2::multiply_narrow_transposed_a, avx2::multiply_row>,
            // The narrow product of a as stored takes the AVX2 kernel here too: it turns a
            // around in 4 x 4 blocks from 128-bit halves, fewer shuffles per value than the
            // 8 x 8 blocks of AVX-512, and the shuffles are what bounds this loop. Measured
            // with a 1000 x 1000 a on an AVX-512 CPU: 120 against 138 us for one column of
            // b, 167 against 330 for two. (Every level gives the same bits; a CPU with
            // AVX-512 has AVX2.)
            level_choice<avx512::tile_kernel, avx2::multiply_narrow,
                         avx512::multiply_narrow_transposed_a, avx512::multiply_row>)();
    // One row of a (as stored or transposed, the same k values in a row) against b as stored.
    if (m == 1 && n > narrow_max_cols && !transposes.b) return choice.row(a, b, c, k, n);
    if (n > narrow_max_cols) return multiply_blocked(a, b, c, m, k, n, choice.tiles, transposes);
    // A transposed b of at most four rows is a sliver next to a: turned around first.
    Buffer<double> b_rows;
    if (transposes.b) {
        b_rows = Buffer<double>::uninitialized(k * n);
        transpose_into(b, n, k, b_rows.data());
        b = b_rows.data();
    }
    (transposes.a ? choice.narrow_transposed_a : choice.narrow)(a, b, c, m, k, n);
}

}  // namespace tarnex
