// Views: strided windows over an array's buffer, made by the shape transforms and slices
// without copying, and copied into a new array by `to_owned` within the same call.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"
#include "lib/record/shape.hpp"

namespace tarnex {

// Element (i0, i1, ...) of a view is data[offset + i0 * strides[0] + i1 * strides[1] + ...].
// Views are made only by the operations below, from arrays whose layout the record
// guarantees, so every position a view addresses lies inside the buffer. A view borrows the
// buffer: it must not outlive the array it was made from, nor overlap a write to it.
class NDArrayView {
public:
    // A new array holding the view's elements in the row-major order of the view's shape.
    FloatArray to_owned() const;

    const Shape& shape() const noexcept { return shape_; }
    const Shape& strides() const noexcept { return strides_; }
    std::uint64_t offset() const noexcept { return offset_; }

private:
    NDArrayView(const FloatArray& array, Shape shape, Shape strides, std::uint64_t offset) noexcept
        : data_(array.data()), shape_(std::move(shape)), strides_(std::move(strides)),
          offset_(offset) {}

    friend NDArrayView reshape(const FloatArray&, Shape);
    friend NDArrayView transpose(const FloatArray&);
    friend NDArrayView slice_row(const FloatArray&, std::uint64_t);
    friend NDArrayView slice_col(const FloatArray&, std::uint64_t);
    friend NDArrayView slice_line(const FloatArray&, std::uint64_t, std::uint64_t, const char*);
    friend NDArrayView slice_range(const FloatArray&, std::uint64_t, std::uint64_t,
                                   std::uint64_t);

    const double* data_;
    Shape shape_;
    Shape strides_;
    std::uint64_t offset_;
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
