// In-place writes of one value into a region of an array. Every test comes before the first
// write, so a call that fails leaves the array unchanged.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// Writes `value` into every element whose index along `axis` lies in start .. end-1.
void set_slice(FloatArray& array, std::uint64_t axis, std::uint64_t start, std::uint64_t end,
               double value);

// Writes `value` into every element whose mask element (same shape) is true.
void masked_fill(FloatArray& array, const BoolArray& mask, double value);

}  // namespace tarnex
