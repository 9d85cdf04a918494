// Element-wise operations over operands that broadcast to one result shape.
//
// Each entry point writes every element of `out`, a row-major buffer of the result shape
// that the caller provides (new, or an existing array's). The operands' shapes must
// broadcast to exactly that shape (see broadcast_shapes); a number is a 0-d operand. `out`
// may be the buffer of an operand whose shape is the result's: every element is read
// before, and only for, the element written at its own position.
//
// Work beyond the pool's cutoff runs on the worker pool; the result is the same for every
// thread count.
#pragma once

#include <cstdint>

#include "lib/broadcast/kernels.hpp"
#include "lib/compare/kernels.hpp"
#include "lib/record/ndarray.hpp"

namespace tarnex {

// The elements of an operand in row-major order with its shape.
template <class E>
struct Operand {
    const E* data;
    const Shape* shape;
};

// The functions of one operand, element by element (out may be x). exp is exp_elements
// (the C library's exp, bit for bit); log and tanh the C library's, one call per element.
enum class UnaryFunction : int { negative, abs, square, sqrt, exp, log, tanh };

// See BroadcastKernels for each operation's definition.
void broadcast_binary(BinaryOp op, Operand<double> a, Operand<double> b, const Shape& result,
                      double* out);
void broadcast_clip(Operand<double> a, Operand<double> lo, Operand<double> hi,
                    const Shape& result, double* out);
void broadcast_where(Operand<Bool> condition, Operand<double> a, Operand<double> b,
                     const Shape& result, double* out);
// a op b, one byte 0 or 1 per element (the IEEE predicates, as Comparison describes).
void broadcast_compare(Comparison op, Operand<double> a, Operand<double> b, const Shape& result,
                       Bool* out);
void broadcast_logic(LogicOp op, Operand<Bool> a, Operand<Bool> b, const Shape& result,
                     Bool* out);

void map_unary(UnaryFunction f, const double* x, double* out, std::uint64_t n);
// out[i] = x[i] is NaN; out[i] = m[i] is false.
void map_isnan(const double* x, Bool* out, std::uint64_t n);
void map_logical_not(const Bool* m, Bool* out, std::uint64_t n);

}  // namespace tarnex
