// Index-driven writes and their companions: scatter-add (the reverse of gather) and one-hot
// rows from integer labels.
#pragma once

#include <cstdint>
#include <optional>

#include "lib/record/ndarray.hpp"
#include "lib/record/shape.hpp"

namespace tarnex {

// The position (in row-major order) of the first label that is not an integer in
// [0, classes), NaN and the infinities included; nothing when every label is one.
std::optional<std::uint64_t> first_invalid_label(const FloatArray& labels, std::uint64_t classes);

// A new array of shape labels.shape + [classes]: 1.0 at [..., label], +0.0 everywhere else.
// Fails when a label is not an integer in [0, classes).
FloatArray one_hot(const FloatArray& labels, std::uint64_t classes);

// The position of the first index that is not below `extent`; nothing when all are.
std::optional<std::uint64_t> first_index_outside(const Shape& indices, std::uint64_t extent);

// The shape gather(axis, indices) gives: target's with the axis extent replaced by
// `count`.
Shape gathered_shape(const Shape& target, std::uint64_t axis, std::uint64_t count);

// Adds values (of gathered_shape(target.shape(), axis, indices.size())) into target in
// place: for every position of values, in row-major order, the element of target at the
// same index with the axis index t replaced by indices[t] becomes
// (that element) + (the value), one rounded addition. A place picked by several t thus
// receives its values in increasing t: ((x + v_first) + v_second) + ... . `values` must not
// share memory with target. Fails, before any write, when the axis, an index or the shape
// of values does not fit.
void add_at(FloatArray& target, std::uint64_t axis, const Shape& indices,
            const FloatArray& values);

}  // namespace tarnex
