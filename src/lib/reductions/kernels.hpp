// The loops behind the reductions, one table per instruction-set level, all giving the same
// result.
#pragma once

#include <cstdint>

namespace tarnex {

struct ReductionKernels {
    // The position of the first element of x[0..n) (n >= 1) greater than every element before
    // it by strict ordered comparison, scanning from best = x[0]: the first maximum, where a
    // NaN at position 0 wins and a later NaN is never chosen, and -0.0 equals 0.0.
    std::uint64_t (*argmax)(const double* x, std::uint64_t n) noexcept;
};

// The table for the active level.
const ReductionKernels& reduction_kernels() noexcept;

namespace baseline { extern const ReductionKernels reduction_kernels; }
namespace avx2 { extern const ReductionKernels reduction_kernels; }
namespace avx512 { extern const ReductionKernels reduction_kernels; }

}  // namespace tarnex
