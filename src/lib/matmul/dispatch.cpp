// Picks the kernels of the active instruction-set level, once per process.
#include "lib/cpu/isa.hpp"
#include "lib/matmul/tiles.hpp"

namespace tarnex {
namespace {

struct Choice {
    TileKernel tiles;
    NarrowFn narrow;
    // Results of up to this many columns take the narrow kernel.
    std::uint64_t narrow_cols;
};

Choice choose() {
    switch (cpu::active_isa()) {
        case cpu::Isa::avx512: return {avx512::tile_kernel(), avx512::multiply_narrow, 4};
        case cpu::Isa::avx2: return {avx2::tile_kernel(), avx2::multiply_narrow, 4};
        case cpu::Isa::baseline: break;
    }
    return {baseline::tile_kernel(), baseline::multiply_narrow, 4};
}

}  // namespace

void multiply_matrices(const double* a, const double* b, double* c, std::uint64_t m,
                       std::uint64_t k, std::uint64_t n) {
    static const Choice choice = choose();
    if (n <= choice.narrow_cols) {
        choice.narrow(a, b, c, m, k, n);
    } else {
        multiply_blocked(a, b, c, m, k, n, choice.tiles);
    }
}

}  // namespace tarnex
