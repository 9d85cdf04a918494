// The loops behind reductions along one axis and the softmax family. An array reduced along
// an axis is seen as outer x length x inner: with inner 1 the slices are rows (x holds
// `rows` rows of `n` consecutive elements, one result per row); otherwise each outer block
// is `k` rows of `inner` elements and the slices are its columns (one result per column).
// One table per instruction-set level, all giving the same bits.
#pragma once

#include <cstdint>

namespace tarnex {

// The elements of one or more rows (or columns), element by element, given a value per
// row (or column): out = x - a, out = x / a, out = (x - a) - b.
enum class SliceOp : int { subtract, divide, subtract_twice };
inline constexpr int slice_op_count = 3;

using RowsKernel = void (*)(const double* x, std::uint64_t rows, std::uint64_t n,
                            double* out) noexcept;
using ColumnsKernel = void (*)(const double* x, std::uint64_t k, std::uint64_t inner,
                               double* out) noexcept;
using RowsOpKernel = void (*)(const double* x, std::uint64_t rows, std::uint64_t n,
                              const double* a, const double* b, double* out) noexcept;

struct AxisKernels {
    // out[r] = -0.0 + x[r][0] + x[r][1] + ... in increasing index, one rounding per addition.
    RowsKernel sum_rows;
    // out[j] = -0.0 + x[0][j] + x[1][j] + ... in increasing row order.
    ColumnsKernel sum_columns;
    // The largest (smallest) of each row or column, n >= 1 and k >= 1, ordering -0.0 below
    // +0.0; a NaN anywhere in the slice gives its first NaN.
    RowsKernel max_rows, min_rows;
    ColumnsKernel max_columns, min_columns;
    // The position (as a double) of the first largest (smallest) element of each slice by
    // ordered comparison (-0.0 equals +0.0), or of its first NaN if it has one; n >= 1,
    // k >= 1. The columns forms use best[0..inner) as room for the values found so far.
    RowsKernel argmax_rows, argmin_rows;
    void (*argmax_columns)(const double* x, std::uint64_t k, std::uint64_t inner,
                           double* best, double* out) noexcept;
    void (*argmin_columns)(const double* x, std::uint64_t k, std::uint64_t inner,
                           double* best, double* out) noexcept;
    // out[r][i] = op(x[r][i], a[r], b[r]), indexed by SliceOp (b read by subtract_twice only);
    // out may be x.
    RowsOpKernel rows_op[slice_op_count];
    // out[q][j] = op(x[q][j], a[j], b[j]) for the `rows` rows of `n` elements; out may be x.
    RowsOpKernel columns_op[slice_op_count];
};

// The table for the active level.
const AxisKernels& axis_kernels() noexcept;

namespace baseline { extern const AxisKernels axis_kernels; }
namespace avx2 { extern const AxisKernels axis_kernels; }
namespace avx512 { extern const AxisKernels axis_kernels; }

}  // namespace tarnex
