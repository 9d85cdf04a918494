#include "lib/views/view.hpp"

#include <string>
#include <utility>

#include "lib/record/messages.hpp"

namespace tarnex {
namespace {

void require_2d(const FloatArray& array, const char* operation) {
    if (array.ndim() != 2) {
        fail(std::string(operation) + " requires a 2D array, got " +
             std::to_string(array.ndim()) + "D");
    }
}

}  // namespace

void check_axis_range(const Shape& shape, std::uint64_t axis, std::uint64_t start,
                      std::uint64_t end) {
    if (axis >= shape.size()) fail(messages::axis_out_of_bounds(axis, shape.size()));
    if (start >= end) {
        fail("invalid range: start " + std::to_string(start) + " must be less than end " +
             std::to_string(end));
    }
    if (end > shape[axis]) {
        fail("range end " + std::to_string(end) + " is out of bounds for axis " +
             std::to_string(axis) + " with shape " + std::to_string(shape[axis]));
    }
}

NDArrayView reshape(const FloatArray& array, Shape new_shape) {
    // A count beyond 64 bits can never equal a buffer length; element_count refuses it.
    const std::uint64_t count = element_count(new_shape);
    if (array.size() != count) fail(messages::length_mismatch(array.size(), new_shape, count));
    Shape strides = row_major_strides(new_shape);
    return NDArrayView(array, std::move(new_shape), std::move(strides), 0);
}

NDArrayView transpose(const FloatArray& array) {
    require_2d(array, "transpose");
    const Shape& shape = array.shape();
    const Shape& strides = array.strides();
    return NDArrayView(array, {shape[1], shape[0]}, {strides[1], strides[0]}, array.offset());
}

// Line `index` of a 2-D array along `axis` (a row for 0, a column for 1), as a 1-D view
// across the other axis.
NDArrayView slice_line(const FloatArray& array, std::uint64_t axis, std::uint64_t index,
                       const char* operation) {
    require_2d(array, operation);
    const Shape& shape = array.shape();
    if (index >= shape[axis]) fail(messages::index_out_of_bounds(axis, index, shape[axis]));
    const std::uint64_t across = 1 - axis;
    return NDArrayView(array, {shape[across]}, {array.strides()[across]},
                       index * array.strides()[axis] + array.offset());
}

NDArrayView slice_row(const FloatArray& array, std::uint64_t row) {
    return slice_line(array, 0, row, "slice_row");
}

NDArrayView slice_col(const FloatArray& array, std::uint64_t col) {
    return slice_line(array, 1, col, "slice_col");
}

NDArrayView slice_range(const FloatArray& array, std::uint64_t axis, std::uint64_t start,
                        std::uint64_t end) {
    check_axis_range(array.shape(), axis, start, end);
    Shape shape = array.shape();
    shape[axis] = end - start;
    return NDArrayView(array, std::move(shape), array.strides(),
                       start * array.strides()[axis] + array.offset());
}

}  // namespace tarnex
