// The additions of a scatter-add: values added into chosen places of a target, each sum
// target + value rounded on its own, the target's value the first operand (so that of two
// NaNs the target's is kept on every level). One table of them per instruction-set level,
// all giving the same bits.
#pragma once

#include <cstdint>

namespace tarnex {

struct ScatterKernels {
    // target[i] = target[i] + values[i] for every i < n.
    void (*add_run)(double* target, const double* values, std::uint64_t n) noexcept;
    // line[picks[t]] = line[picks[t]] + values[t] for t = 0, 1, ..., n - 1 in turn, so a
    // place picked again adds to the sum of the earlier picks.
    void (*add_picked)(double* line, const std::uint64_t* picks, const double* values,
                       std::uint64_t n) noexcept;
};

// The table for the active level.
const ScatterKernels& scatter_kernels() noexcept;

namespace baseline { extern const ScatterKernels scatter_kernels; }
namespace avx2 { extern const ScatterKernels scatter_kernels; }
namespace avx512 { extern const ScatterKernels scatter_kernels; }

}  // namespace tarnex
