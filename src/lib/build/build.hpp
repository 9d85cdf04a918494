// New arrays from a description rather than from data: filled with one value, evenly
// spaced values, the identity-like matrix.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// An array of `shape` whose every element is `value` (a +0.0 fill comes from zeroed memory).
FloatArray filled(Shape shape, double value);

// The 1-D array of `count` elements start + i * step: for each i, i converted to a double
// (exact below 2**53), one rounded multiply by step, then one rounded add of start.
FloatArray arange(double start, double step, std::uint64_t count);

// The rows x cols array with 1.0 where column - row == diagonal and +0.0 elsewhere.
FloatArray eye(std::uint64_t rows, std::uint64_t cols, std::int64_t diagonal);

}  // namespace tarnex
