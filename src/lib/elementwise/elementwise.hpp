// Element-wise arithmetic on arrays of equal shape, computed on the worker pool.
#pragma once

#include "lib/record/ndarray.hpp"

namespace tarnex {

// self + other, position by position. Fails with
// "shape mismatch for addition: {self shape} vs {other shape}" unless the shapes are equal
// as lists, before anything is allocated or the pool is touched.
FloatArray add(const FloatArray& self, const FloatArray& other);

// self × other, position by position; "shape mismatch for multiplication: ..." otherwise.
FloatArray mul(const FloatArray& self, const FloatArray& other);

// Every element times `scalar`; never fails.
FloatArray scale(const FloatArray& self, double scalar);

}  // namespace tarnex
