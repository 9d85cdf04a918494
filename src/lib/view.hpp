// Views: strided windows over an array's buffer, made by the shape transforms and slices
// without copying, and copied into a new array by `to_owned` within the same call.
#pragma once

#include <cstdint>

#include "lib/ndarray.hpp"
#include "lib/shape.hpp"

namespace tarnex {

// Element (i0, i1, ...) of a view is data[offset + i0 * strides[0] + i1 * strides[1] + ...].
// The view borrows the buffer: it must not outlive the array it was made from, nor overlap
// a write to it.
struct NDArrayView {
    const double* data;
    std::uint64_t data_len;
    Shape shape;
    Shape strides;
    std::uint64_t offset;

    // A new array holding the view's elements in the row-major order of the view's shape.
    FloatArray to_owned() const;
};

// The buffer read in buffer order under `new_shape`, which must have the same element count.
NDArrayView reshape(const FloatArray& array, Shape new_shape);

// A 2-D array with rows and columns swapped.
NDArrayView transpose(const FloatArray& array);

// Row `row` of a 2-D array, as a 1-D view.
NDArrayView slice_row(const FloatArray& array, std::uint64_t row);

// Column `col` of a 2-D array, as a 1-D view.
NDArrayView slice_col(const FloatArray& array, std::uint64_t col);

// Positions start .. end-1 along `axis`, every other dimension whole.
NDArrayView slice_range(const FloatArray& array, std::uint64_t axis, std::uint64_t start,
                        std::uint64_t end);

// The tests shared by `slice_range` and `set_slice`: axis in range, then a non-empty range,
// then its end within the axis.
void check_axis_range(const Shape& shape, std::uint64_t axis, std::uint64_t start,
                      std::uint64_t end);

}  // namespace tarnex
