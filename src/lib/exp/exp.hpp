// The exponential of many doubles at once, with exactly the bits the C library's exp
// returns in this process.
#pragma once

#include <cstdint>

namespace tarnex {

// out[i] = exp(x[i]) for i in [0, n), each result bit for bit the C library's exp(x[i]);
// out may be x.
void exp_elements(const double* x, double* out, std::uint64_t n) noexcept;

// Which implementation exp_elements uses in this process, e.g. "libm".
const char* exp_path() noexcept;

}  // namespace tarnex
