#include "lib/exp/exp.hpp"

#include <cmath>

namespace tarnex {

void exp_elements(const double* x, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = std::exp(x[i]);
}

const char* exp_path() noexcept { return "libm"; }

}  // namespace tarnex
