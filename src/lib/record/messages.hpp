// The failure messages that several operations share, each built in one place.
#pragma once

#include <cstdint>
#include <string>

#include "lib/record/shape.hpp"

namespace tarnex::messages {

// "data length {len} does not match shape {shape} (expected {count})"
std::string length_mismatch(std::uint64_t len, const Shape& shape, std::uint64_t count);

// "index out of bounds for dimension {dim}: index {index}, shape {extent}"
std::string index_out_of_bounds(std::uint64_t dim, std::uint64_t index, std::uint64_t extent);

// "axis {axis} is out of bounds for NDArray with {ndim} dimensions"
std::string axis_out_of_bounds(std::uint64_t axis, std::uint64_t ndim);

// "mask shape {mask} must equal self shape {self}"
std::string mask_shape_mismatch(const Shape& mask, const Shape& self);

}  // namespace tarnex::messages
