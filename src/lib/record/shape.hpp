// Shapes: extent lists, their element counts, row-major strides and printed form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "lib/record/small_list.hpp"

namespace tarnex {

// Extent lists (and strides, index counters, index lists): up to six entries live inside
// the list itself.
using Shape = SmallList<std::uint64_t, 6>;

// The product of the extents, formed without wrapping: 1 for no dimensions, 0 when any
// extent is 0 (even if the others alone would overflow), nothing when it exceeds 64 bits.
std::optional<std::uint64_t> extent_product(const Shape& shape) noexcept;

// The element count of a shape that describes an array. A count beyond 64 bits fails: a
// wrapped count could pass a length test with a buffer far shorter than the shape.
std::uint64_t element_count(const Shape& shape);

// The element count of a result about to be allocated; beyond 64 bits it is beyond any
// allocation too, so it fails the way an oversized allocation does ("capacity overflow").
std::uint64_t allocation_count(const Shape& shape);

// Row-major strides: the last is 1, each other the product of the extents after it.
Shape row_major_strides(const Shape& shape);

// "[2, 3]", "[]" for no dimensions.
std::string format_shape(const Shape& shape);

}  // namespace tarnex
