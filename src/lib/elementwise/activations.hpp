// Activations and the running sum. Each returns a new array and leaves `self` unchanged;
// none fails on any value.
#pragma once

#include "lib/record/ndarray.hpp"

namespace tarnex {

// x if x > 0.0 else +0.0, on the worker pool; same shape.
FloatArray relu(const FloatArray& self);

// 1.0 / (exp(-x) + 1.0) per element, on the calling thread; same shape.
FloatArray sigmoid(const FloatArray& self);

// exp(x) / s, with s the left-to-right sum of all the exponentials starting from -0.0
// (the whole array is one distribution; no maximum is subtracted); same shape.
FloatArray softmax(const FloatArray& self);

// Running totals in row-major order starting from +0.0, as a one-dimensional array of
// shape [element count].
FloatArray cumsum(const FloatArray& self);

}  // namespace tarnex
