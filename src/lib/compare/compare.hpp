// Masks made from arrays: comparisons of a float array with another of its shape or with one
// number, the NaN test, and the boolean logic of masks. Every result is a new boolean array
// of the operand's shape whose bytes are exactly 0 or 1.
#pragma once

#include "lib/compare/kernels.hpp"
#include "lib/record/ndarray.hpp"

namespace tarnex {

// a[i] op b[i]; the shapes must be equal ("shape mismatch for comparison: {} vs {}").
BoolArray compare(const FloatArray& a, const FloatArray& b, Comparison op);
// a[i] op b.
BoolArray compare(const FloatArray& a, double b, Comparison op);
BoolArray isnan(const FloatArray& a);

BoolArray logical_not(const BoolArray& m);
// The shapes must be equal ("shape mismatch for logical and: {} vs {}", "... or ...").
BoolArray logical_and(const BoolArray& a, const BoolArray& b);
BoolArray logical_or(const BoolArray& a, const BoolArray& b);

}  // namespace tarnex
