// Selection and masking: new arrays made of chosen elements of existing ones. None of them
// changes its inputs; every result owns a fresh buffer.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"
#include "lib/record/shape.hpp"

namespace tarnex {

// The positions `indices` (in list order, repeats allowed) along `axis`; every other
// dimension whole. Every index is tested before anything is read.
FloatArray gather(const FloatArray& self, std::uint64_t axis, const Shape& indices);

// Elements self[indices[0]], self[indices[1]], ... of a 1-D array.
FloatArray fancy_index(const FloatArray& self, const Shape& indices);

// The elements at which `mask` (same shape) is true, in row-major order, as a 1-D array.
FloatArray boolean_mask(const FloatArray& self, const BoolArray& mask);

// Element by element: self where `condition` is true, `other` elsewhere (all one shape).
FloatArray where_(const FloatArray& self, const BoolArray& condition, const FloatArray& other);

}  // namespace tarnex
