// Whole-array reductions, each one sequential pass in storage order.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// -0.0 plus every element, left to right: one rounding per addition, no reassociation.
double sum(const FloatArray& self);

// sum / element count; +0.0 for an empty array.
double mean(const FloatArray& self);

// Flat position of the first maximum by strict ordered comparison (NaN never wins
// after position 0). Fails on an empty array.
std::uint64_t argmax(const FloatArray& self);

}  // namespace tarnex
