// The matrix product behind `matmul`: the blocked driver, its tile kernels, and the kernel for
// results of only a few columns.
//
// Every result element is the sum (((+0.0 + a[i,0]*b[0,j]) + a[i,1]*b[1,j]) + ...) taken in
// increasing p, each product and each sum rounded on its own. A tile kernel keeps that
// order: it computes a block of results at once, one vector lane per result column and one
// accumulator per result, and for each p adds the rounded product to each accumulator. The
// driver splits the p range into blocks and stores the accumulators in the result between
// blocks; a stored double is the same value when it is loaded again, so the sums continue
// unchanged.
//
// When both operands of one operation are NaN, the hardware returns the NaN of the
// instruction's first source, and compilers pick the operand order of commutative
// instructions freely. So that NaN results are the same on every kernel, the instructions
// are written out with a fixed order: the b operand's NaN wins in a * b (the AVX-512 kernel
// takes a as a broadcast memory operand, which must be the second source), and the
// accumulator's NaN wins in acc + product.
#pragma once

#include <cstdint>
#include <utility>

#include "lib/matmul/matmul.hpp"

namespace tarnex {

// One tile of results computed over `depth` steps of p: result (r, col) is at
// c[r * ldc + col], its row's a[i0 + r, p0 + q] at a[r * lda + q] (or at a[q * lda + r] for
// the kernels of a stored transposed) and b[p0 + q, j0 + col] at b[q * ldb + col]. With
// `continue_sums` the accumulators start from the values already in c, otherwise from +0.0.
struct TileArgs {
    std::uint64_t depth;
    const double* a;
    std::uint64_t lda;
    const double* b;
    std::uint64_t ldb;
    double* c;
    std::uint64_t ldc;
    bool continue_sums;
};

using TileKernelFn = void (*)(const TileArgs& tile);

inline constexpr int max_tile_rows = 8;
inline constexpr int max_tile_vectors = 4;

// How the driver cuts the product into blocks for one set of tile kernels: at most
// `depth_block` steps of p per block, and at most `packed_b_bytes` of b packed at a time
// (sized to stay in the level-2 cache together with the rows of a and c that pass by).
struct Blocking {
    std::uint64_t depth_block;
    std::uint64_t packed_b_bytes;
};

// The kernels of one instruction set: `run[r - 1][v - 1]` computes r rows of v vectors of
// `lanes` columns each (r up to `rows`, v up to `vectors`), so partial tiles at the bottom
// and right edges do no work for rows or vectors that do not exist. `run_transposed_a` are
// the same kernels reading a from its transpose (the tile's values of one p side by side).
struct TileKernel {
    std::uint64_t rows;
    std::uint64_t vectors;
    std::uint64_t lanes;
    Blocking blocking;
    TileKernelFn run[max_tile_rows][max_tile_vectors];
    TileKernelFn run_transposed_a[max_tile_rows][max_tile_vectors];
};

// Fills a TileKernel from `Tile<rows, vectors, a_transposed>::run` for every size up to the
// given ones.
template <template <int, int, bool> class Tile, int Rows, int Vectors>
TileKernel make_tile_kernel(std::uint64_t lanes, Blocking blocking) {
    static_assert(Rows <= max_tile_rows && Vectors <= max_tile_vectors);
    TileKernel kernel{Rows, Vectors, lanes, blocking, {}, {}};
    auto fill_row = [&]<int R, int... V>(std::integer_sequence<int, V...>) {
        ((kernel.run[R - 1][V] = &Tile<R, V + 1, false>::run), ...);
        ((kernel.run_transposed_a[R - 1][V] = &Tile<R, V + 1, true>::run), ...);
    };
    [&]<int... R>(std::integer_sequence<int, R...>) {
        (fill_row.template operator()<R + 1>(std::make_integer_sequence<int, Vectors>{}), ...);
    }(std::make_integer_sequence<int, Rows>{});
    return kernel;
}

// The tile kernels of each instruction-set level; a level may only run when the CPU has it.
namespace baseline { TileKernel tile_kernel(); }
namespace avx2 { TileKernel tile_kernel(); }
namespace avx512 { TileKernel tile_kernel(); }

// c (m x n, row-major, every element written) = a (m x k) times b (k x n), both row-major,
// with k >= 1; with `transposes`, a is stored as its k x m transpose and / or b as its n x k
// transpose, each read in place or packed, never copied whole. Runs on the calling thread.
void multiply_blocked(const double* a, const double* b, double* c, std::uint64_t m,
                      std::uint64_t k, std::uint64_t n, const TileKernel& kernel,
                      Transposes transposes = {});

// The same for results of 1 to `narrow_max_cols` columns, with result rows in the vector
// lanes, on each level (a level may only run when the CPU has it).
inline constexpr std::uint64_t narrow_max_cols = 4;
using NarrowFn = void (*)(const double* a, const double* b, double* c, std::uint64_t m,
                          std::uint64_t k, std::uint64_t n);
namespace baseline {
void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                     std::uint64_t k, std::uint64_t n);
}
namespace avx2 {
void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                     std::uint64_t k, std::uint64_t n);
}
namespace avx512 {
void multiply_narrow(const double* a, const double* b, double* c, std::uint64_t m,
                     std::uint64_t k, std::uint64_t n);
}

// The narrow product with a stored as its k x m transpose (b row-major k x n).
namespace baseline {
void multiply_narrow_transposed_a(const double* a, const double* b, double* c,
                                  std::uint64_t m, std::uint64_t k, std::uint64_t n);
}
namespace avx2 {
void multiply_narrow_transposed_a(const double* a, const double* b, double* c,
                                  std::uint64_t m, std::uint64_t k, std::uint64_t n);
}
namespace avx512 {
void multiply_narrow_transposed_a(const double* a, const double* b, double* c,
                                  std::uint64_t m, std::uint64_t k, std::uint64_t n);
}

// c (1 x n) = a (1 x k) times b (k x n, row-major) for a single row of a, b read in place,
// on each level (a level may only run when the CPU has it).
using RowFn = void (*)(const double* a, const double* b, double* c, std::uint64_t k,
                       std::uint64_t n);
namespace baseline {
void multiply_row(const double* a, const double* b, double* c, std::uint64_t k,
                  std::uint64_t n);
}
namespace avx2 {
void multiply_row(const double* a, const double* b, double* c, std::uint64_t k,
                  std::uint64_t n);
}
namespace avx512 {
void multiply_row(const double* a, const double* b, double* c, std::uint64_t k,
                  std::uint64_t n);
}

// The same with the fastest kernel this CPU has for the shape (chosen once per process),
// the operands stored as `transposes` says (see multiply_blocked).
void multiply_matrices(const double* a, const double* b, double* c, std::uint64_t m,
                       std::uint64_t k, std::uint64_t n, Transposes transposes = {});

}  // namespace tarnex
