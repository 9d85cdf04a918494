// The element loops of the comparisons and of the boolean logic: each writes one byte per
// position, exactly 0 or 1, from the inputs at that position only. One table of them per
// instruction-set level, all giving the same bytes.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// The six IEEE comparisons: every one is false when either side is NaN, except not_equal,
// which is then true; -0.0 and 0.0 are equal.
enum class Comparison : int { greater, greater_equal, less, less_equal, equal, not_equal };
inline constexpr int comparison_count = 6;

using CompareArraysKernel = void (*)(const double* a, const double* b, Bool* out,
                                     std::uint64_t n) noexcept;
using CompareScalarKernel = void (*)(const double* a, double b, Bool* out,
                                     std::uint64_t n) noexcept;

struct CompareKernels {
    // out[i] = a[i] OP b[i], indexed by Comparison.
    CompareArraysKernel arrays[comparison_count];
    // out[i] = a[i] OP b, indexed by Comparison.
    CompareScalarKernel scalars[comparison_count];
    // out[i] = a[i] is NaN.
    void (*isnan)(const double* a, Bool* out, std::uint64_t n) noexcept;
    // Boolean logic on mask bytes (a byte other than 0 is true).
    void (*logical_not)(const Bool* a, Bool* out, std::uint64_t n) noexcept;
    void (*logical_and)(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept;
    void (*logical_or)(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept;
};

// The table for the active level.
const CompareKernels& compare_kernels() noexcept;

namespace baseline { extern const CompareKernels compare_kernels; }
namespace avx2 { extern const CompareKernels compare_kernels; }
namespace avx512 { extern const CompareKernels compare_kernels; }

}  // namespace tarnex
