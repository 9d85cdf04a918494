// Shapes: extent lists, their element counts, row-major strides and printed form.
#pragma once

#include <cstdint>

#include <string>
#include <vector>

namespace tarnex {

using Shape = std::vector<std::uint64_t>;

// Product of the extents (1 for no dimensions). Fails when it does not fit in 64 bits:
// a wrapped count could pass a length test with a buffer far shorter than the shape.
std::uint64_t element_count(const Shape& shape);

// Row-major strides: the last is 1, each other the product of the extents after it.
Shape row_major_strides(const Shape& shape);

// "[2, 3]", "[]" for no dimensions.
std::string format_shape(const Shape& shape);

}  // namespace tarnex
