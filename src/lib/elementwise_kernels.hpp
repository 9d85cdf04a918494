// The per-piece loops of the four pooled kernels. Each writes out[0, n) from the inputs
// at the same positions, one IEEE operation per element, vectorised across positions.
#pragma once

#include <cstdint>

namespace tarnex::kernels {

void add(const double* a, const double* b, double* out, std::uint64_t n) noexcept;
void mul(const double* a, const double* b, double* out, std::uint64_t n) noexcept;
void scale(const double* x, double scalar, double* out, std::uint64_t n) noexcept;
// x if x > 0.0, else +0.0 (NaN, -0.0 and negatives all give +0.0).
void relu(const double* x, double* out, std::uint64_t n) noexcept;

}  // namespace tarnex::kernels
