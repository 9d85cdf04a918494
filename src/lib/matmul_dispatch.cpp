// Picks the kernels the CPU supports, once per process.
#include "lib/matmul_tiles.hpp"

namespace tarnex {
namespace {

struct Choice {
    TileKernel tiles;
    bool narrow;
};

Choice choose() {
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return {tile_kernel_avx512(), true};
    if (__builtin_cpu_supports("avx2")) return {tile_kernel_avx2(), false};
    return {tile_kernel_baseline(), false};
}

}  // namespace

void multiply_matrices(const double* a, const double* b, double* c, std::uint64_t m,
                       std::uint64_t k, std::uint64_t n) {
    static const Choice choice = choose();
    if (choice.narrow && n <= narrow_max_cols) {
        multiply_narrow_avx512(a, b, c, m, k, n);
    } else {
        multiply_blocked(a, b, c, m, k, n, choice.tiles);
    }
}

}  // namespace tarnex
