#include "lib/view.hpp"

#include <string>
#include <utility>

namespace tarnex {
namespace {

NDArrayView window(const FloatArray& array, Shape shape, Shape strides, std::uint64_t offset) {
    return NDArrayView{array.data.data(), array.data.size(), std::move(shape), std::move(strides),
                       offset};
}

void require_2d(const FloatArray& array, const char* operation) {
    if (array.ndim() != 2) {
        fail(std::string(operation) + " requires a 2D array, got " +
             std::to_string(array.ndim()) + "D");
    }
}

}  // namespace

void check_axis_range(const Shape& shape, std::uint64_t axis, std::uint64_t start,
                      std::uint64_t end) {
    if (axis >= shape.size()) {
        fail("axis " + std::to_string(axis) + " is out of bounds for NDArray with " +
             std::to_string(shape.size()) + " dimensions");
    }
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
    if (array.data.size() != count) {
        fail("data length " + std::to_string(array.data.size()) + " does not match shape " +
             format_shape(new_shape) + " (expected " + std::to_string(count) + ")");
    }
    Shape strides = row_major_strides(new_shape);
    return window(array, std::move(new_shape), std::move(strides), 0);
}

NDArrayView transpose(const FloatArray& array) {
    require_2d(array, "transpose");
    return window(array, {array.shape[1], array.shape[0]}, {array.strides[1], array.strides[0]},
                  array.offset);
}

NDArrayView slice_row(const FloatArray& array, std::uint64_t row) {
    require_2d(array, "slice_row");
    if (row >= array.shape[0]) {
        fail("index out of bounds for dimension 0: index " + std::to_string(row) + ", shape " +
             std::to_string(array.shape[0]));
    }
    return window(array, {array.shape[1]}, {array.strides[1]},
                  row * array.strides[0] + array.offset);
}

NDArrayView slice_col(const FloatArray& array, std::uint64_t col) {
    require_2d(array, "slice_col");
    if (col >= array.shape[1]) {
        fail("index out of bounds for dimension 1: index " + std::to_string(col) + ", shape " +
             std::to_string(array.shape[1]));
    }
    return window(array, {array.shape[0]}, {array.strides[0]},
                  col * array.strides[1] + array.offset);
}

NDArrayView slice_range(const FloatArray& array, std::uint64_t axis, std::uint64_t start,
                        std::uint64_t end) {
    check_axis_range(array.shape, axis, start, end);
    Shape shape = array.shape;
    shape[axis] = end - start;
    return window(array, std::move(shape), array.strides,
                  start * array.strides[axis] + array.offset);
}

}  // namespace tarnex
