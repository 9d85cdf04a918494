#include "lib/record/messages.hpp"

namespace tarnex::messages {

std::string length_mismatch(std::uint64_t len, const Shape& shape, std::uint64_t count) {
    return "data length " + std::to_string(len) + " does not match shape " + format_shape(shape) +
           " (expected " + std::to_string(count) + ")";
}

std::string index_out_of_bounds(std::uint64_t dim, std::uint64_t index, std::uint64_t extent) {
    return "index out of bounds for dimension " + std::to_string(dim) + ": index " +
           std::to_string(index) + ", shape " + std::to_string(extent);
}

std::string axis_out_of_bounds(std::uint64_t axis, std::uint64_t ndim) {
    return "axis " + std::to_string(axis) + " is out of bounds for NDArray with " +
           std::to_string(ndim) + " dimensions";
}

std::string mask_shape_mismatch(const Shape& mask, const Shape& self) {
    return "mask shape " + format_shape(mask) + " must equal self shape " + format_shape(self);
}

}  // namespace tarnex::messages
