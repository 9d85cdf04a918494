// The element-wise loops, written once and compiled per instruction-set level: each level's
// file includes this inside its target region and namespace, and the compiler vectorises the
// loops for that level. Every loop does one IEEE operation per element at its own position,
// so every level gives the same bits. This file includes nothing itself.

namespace {

void add(const double* a, const double* b, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = a[i] + b[i];
}

void mul(const double* a, const double* b, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = a[i] * b[i];
}

void scale(const double* x, double scalar, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = x[i] * scalar;
}

// Compiles to a compare-and-mask (0.0 < x selects x, anything else, NaN included, the
// zero), so there is no branch and the zero is always +0.0.
void relu(const double* x, double* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = x[i] > 0.0 ? x[i] : 0.0;
}

void divide_in_place(double* x, std::uint64_t n, double s) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) x[i] = x[i] / s;
}

}  // namespace

const ElementwiseKernels elementwise_kernels = {add, mul, scale, relu, divide_in_place};
