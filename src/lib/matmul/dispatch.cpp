// Picks the kernels of the active instruction-set level, once per process.
#include "lib/cpu/by_level.hpp"
#include "lib/matmul/kernels.hpp"

namespace tarnex {
namespace {

struct Choice {
    TileKernel tiles;
    NarrowFn narrow;
};

template <TileKernel (*tiles)(), NarrowFn narrow>
Choice level_choice() {
    return {tiles(), narrow};
}

using ChoiceFn = Choice (*)();

}  // namespace

void multiply_matrices(const double* a, const double* b, double* c, std::uint64_t m,
                       std::uint64_t k, std::uint64_t n) {
    // Only the active level's functions run: the others may use instructions this CPU lacks.
    static const Choice choice =
        cpu::by_level<ChoiceFn>(level_choice<baseline::tile_kernel, baseline::multiply_narrow>,
                                level_choice<avx2::tile_kernel, avx2::multiply_narrow>,
                                level_choice<avx512::tile_kernel, avx512::multiply_narrow>)();
    if (n <= narrow_max_cols) {
        choice.narrow(a, b, c, m, k, n);
    } else {
        multiply_blocked(a, b, c, m, k, n, choice.tiles);
    }
}

}  // namespace tarnex
