// The exponential of many doubles at once, with exactly the bits the C library's exp
// returns in this process, and the two loops around it that would otherwise pass over the
// data twice.
#pragma once

#include <cstdint>

namespace tarnex {

// out[i] = exp(x[i]) for i in [0, n), each result bit for bit the C library's exp(x[i]);
// out may be x.
void exp_elements(const double* x, double* out, std::uint64_t n) noexcept;

// The same, returning s, the left-to-right sum of out[0, n) starting from -0.0
// (s = s + out[i], the running sum's NaN winning when both are NaN). The sum's chain of
// dependent additions runs beside the exponentials of the elements after it.
double exp_elements_sum(const double* x, double* out, std::uint64_t n) noexcept;

// out[i] = 1.0 / (exp(-x[i]) + 1.0), each operation rounded; out may be x.
void sigmoid_elements(const double* x, double* out, std::uint64_t n) noexcept;

// Which implementation these use in this process: "vector-fma" or "vector" (the vector
// exponential, fused like the C library's FMA build or every operation rounded on its own),
// or "libm" (the C library's exp per element). Chosen at first use by a self-check.
const char* exp_path() noexcept;

}  // namespace tarnex
