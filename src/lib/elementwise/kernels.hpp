// The per-piece loops of the element-wise operations. Each writes out[0, n) from the inputs
// at the same positions, one IEEE operation per element, vectorised across positions; one
// table of them per instruction-set level, all giving the same bits.
#pragma once

#include <cstdint>

namespace tarnex {

struct ElementwiseKernels {
    void (*add)(const double* a, const double* b, double* out, std::uint64_t n) noexcept;
    void (*mul)(const double* a, const double* b, double* out, std::uint64_t n) noexcept;
    void (*scale)(const double* x, double scalar, double* out, std::uint64_t n) noexcept;
    // x if x > 0.0, else +0.0 (NaN, -0.0 and negatives all give +0.0).
    void (*relu)(const double* x, double* out, std::uint64_t n) noexcept;
    // x[i] = x[i] / s: true divisions, not multiplications by 1 / s.
    void (*divide_in_place)(double* x, std::uint64_t n, double s) noexcept;
    // The same quotients, most of them computed with fused multiply-adds instead of the
    // divider; only where cpu::fused_instructions() holds.
    void (*divide_in_place_fused)(double* x, std::uint64_t n, double s) noexcept;
};

// The table for the active level.
const ElementwiseKernels& elementwise_kernels() noexcept;

// x[i] = x[i] / s correctly rounded, by the faster of the active level's two loops.
void divide_in_place(double* x, std::uint64_t n, double s) noexcept;

namespace baseline { extern const ElementwiseKernels elementwise_kernels; }
namespace avx2 { extern const ElementwiseKernels elementwise_kernels; }
namespace avx512 { extern const ElementwiseKernels elementwise_kernels; }

}  // namespace tarnex
