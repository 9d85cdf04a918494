// Reductions along one axis, and the softmax family along one axis.
//
// Every slice along the axis is reduced in increasing index: a sum is -0.0 plus each
// element in turn, one rounding per addition (so an empty slice sums to -0.0); a mean is
// that sum divided once by the slice's length. A maximum (minimum) orders -0.0 below +0.0
// and is the slice's first NaN when it holds one; a position is that of the first largest
// (smallest) element by ordered comparison, -0.0 equal to +0.0, or of the first NaN.
// Positions are given as exact integer doubles.
//
// The softmax family takes, for each slice x[0..n): m = its maximum as above, replaced by
// 0.0 when it is not finite (NaN or an infinity, also for an empty slice); e_i = exp(x_i - m)
// (the C library's exp); s = -0.0 + e_0 + e_1 + ... in increasing index; then
// softmax_i = e_i / s, log_softmax_i = (x_i - m) - log(s), logsumexp = m + log(s).
//
// The `axis` taken here is already in range (axis < ndim); the maxima, minima and
// positions fail on an empty slice. Results never depend on the number of threads or on
// the instruction-set level.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// An array seen around one axis: `outer` blocks of `length` x `inner` elements.
struct AxisSplit {
    std::uint64_t outer;
    std::uint64_t length;
    std::uint64_t inner;
};
AxisSplit split_at(const Shape& shape, std::uint64_t axis) noexcept;

// The shape without `axis`, or with it as 1 when `keepdims`.
Shape reduced_shape(const Shape& shape, std::uint64_t axis, bool keepdims);
// Every extent 1 (keepdims of a reduction over all axes).
Shape ones_shape(const Shape& shape);

FloatArray sum_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
FloatArray mean_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
// Booleans count as 1.0 and 0.0: a sum is the count of true elements (-0.0 for an empty
// slice, as for floats), a mean that count divided by the slice's length.
FloatArray sum_along(const BoolArray& a, std::uint64_t axis, bool keepdims);
FloatArray mean_along(const BoolArray& a, std::uint64_t axis, bool keepdims);
FloatArray max_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
FloatArray min_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
FloatArray argmax_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
FloatArray argmin_along(const FloatArray& a, std::uint64_t axis, bool keepdims);

// The same over all elements in row-major order as one slice.
double count_true(const BoolArray& a);
double max_all(const FloatArray& a);
double min_all(const FloatArray& a);
std::uint64_t argmax_all(const FloatArray& a);
std::uint64_t argmin_all(const FloatArray& a);

// Results of a's shape; an empty slice gives an empty result.
FloatArray softmax_along(const FloatArray& a, std::uint64_t axis);
FloatArray log_softmax_along(const FloatArray& a, std::uint64_t axis);
FloatArray logsumexp_along(const FloatArray& a, std::uint64_t axis, bool keepdims);
// All elements as one slice.
FloatArray softmax_all(const FloatArray& a);
FloatArray log_softmax_all(const FloatArray& a);
double logsumexp_all(const FloatArray& a);

}  // namespace tarnex
