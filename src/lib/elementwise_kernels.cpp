#include "lib/elementwise_kernels.hpp"

#include <cstdint>

// One build runs on every x86-64; the loader picks the widest vector unit at start-up.
#define TARNEX_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))

namespace tarnex::kernels {

TARNEX_VECTOR_CLONES
void add(const double* a, const double* b, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = a[i] + b[i];
}

TARNEX_VECTOR_CLONES
void mul(const double* a, const double* b, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = a[i] * b[i];
}

TARNEX_VECTOR_CLONES
void scale(const double* x, double scalar, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = x[i] * scalar;
}

// Compiles to a compare-and-mask (0.0 < x selects x, anything else, NaN included, the
// zero), so there is no branch and the zero is always +0.0.
TARNEX_VECTOR_CLONES
void relu(const double* x, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = x[i] > 0.0 ? x[i] : 0.0;
}

}  // namespace tarnex::kernels
