// The shape that several operands broadcast to: their trailing axes aligned, each extent
// equal to the result's or 1, missing leading axes counting as 1.
#pragma once

#include <cstddef>
#include <optional>

#include "lib/record/shape.hpp"

namespace tarnex {

// Operand `operand` has an extent on some axis that differs from, and is not 1 beside, the
// extent operand `against` (an earlier one) gives that axis.
struct ShapeConflict {
    std::size_t operand;
    std::size_t against;
};

// Writes the broadcast shape of shapes[0..count) to `result`, or returns the first conflict
// (axes from the last, operands in order) and leaves `result` unspecified.
std::optional<ShapeConflict> broadcast_shapes(const Shape* const* shapes, std::size_t count,
                                              Shape& result);

}  // namespace tarnex
