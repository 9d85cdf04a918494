// Packing the blocks of the right-hand operand for the tile kernels.
#pragma once

#include <cstdint>

#include "lib/record/buffer.hpp"

namespace tarnex {

// A 64-byte aligned scratch area of `count` doubles inside `storage`.
double* aligned_scratch(Buffer<double>& storage, std::uint64_t count);

// Copies the `valid` columns of b (rows `ldb` apart) for `depth` steps of p into `packed`,
// `cols` per step, the columns past `valid` set to zero.
void pack_panel(const double* b, std::uint64_t ldb, std::uint64_t depth, std::uint64_t valid,
                std::uint64_t cols, double* packed);

// The same panel read from b's transpose: b[p, col] is bt[col * ldbt + p].
void pack_panel_transposed(const double* bt, std::uint64_t ldbt, std::uint64_t depth,
                           std::uint64_t valid, std::uint64_t cols, double* packed);

// out (k x n, row-major) = the transpose of bt (n x k, row-major).
void transpose_into(const double* bt, std::uint64_t n, std::uint64_t k, double* out);

}  // namespace tarnex
