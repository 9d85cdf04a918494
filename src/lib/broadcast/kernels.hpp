// The row kernels of the broadcast operations: each writes out[0, n) from its operands,
// every one of which either advances one element per position ("unit") or gives its first
// element to every position ("repeated"). One IEEE operation (or exact copy) per element,
// vectorised across positions; one table per instruction-set level, all giving the same bits.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

enum class BinaryOp : int { add, subtract, multiply, divide, maximum, minimum };
inline constexpr int binary_op_count = 6;

// The element-wise functions of one operand that are one instruction each.
enum class UnaryOp : int { negative, abs, square, sqrt };
inline constexpr int unary_op_count = 4;

enum class LogicOp : int { logical_and, logical_or };
inline constexpr int logic_op_count = 2;

// A row kernel's variant: bit N - 1 - k set when its operand k is unit (so operand 0 is the
// highest bit), clear when it is repeated. A repeated operand is read only at its first
// element, and only when n > 0.
using BinaryRow = void (*)(const double* a, const double* b, double* out, std::uint64_t n) noexcept;
using UnaryRow = void (*)(const double* x, double* out, std::uint64_t n) noexcept;
using ClipRow = void (*)(const double* a, const double* lo, const double* hi, double* out,
                         std::uint64_t n) noexcept;
using WhereRow = void (*)(const Bool* condition, const double* a, const double* b, double* out,
                          std::uint64_t n) noexcept;
using LogicRow = void (*)(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept;

struct BroadcastKernels {
    // add, subtract, multiply, divide: the instruction, a as its first source (so a's NaN,
    // quieted, where both are NaN). maximum (minimum): a where a is NaN, else b where b is
    // NaN, else a > b ? a : b (a < b ? a : b), so b where they are equal, zeros of either
    // sign included; NaNs pass with their bits unchanged.
    BinaryRow binary[binary_op_count][4];
    // On unit rows only: -x and |x| (the sign bit flipped or cleared, NaNs included), x * x,
    // the correctly rounded square root.
    UnaryRow unary[unary_op_count];
    // minimum(maximum(a, lo), hi) with the maximum and minimum above.
    ClipRow clip[8];
    // condition ? a : b, the chosen element's bits copied (a condition byte other than 0 is
    // true).
    WhereRow where[8];
    // Mask bytes, exactly 0 or 1 (an operand byte other than 0 is true).
    LogicRow logic[logic_op_count][4];
};

// The table for the active level.
const BroadcastKernels& broadcast_kernels() noexcept;

namespace baseline { extern const BroadcastKernels broadcast_kernels; }
namespace avx2 { extern const BroadcastKernels broadcast_kernels; }
namespace avx512 { extern const BroadcastKernels broadcast_kernels; }

}  // namespace tarnex
