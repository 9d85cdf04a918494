#include "lib/reductions/reductions.hpp"

#include "lib/reductions/kernels.hpp"

namespace tarnex {

double sum(const FloatArray& self) {
    const double* x = self.data();
    const std::uint64_t n = self.size();
    double s = -0.0;
    for (std::uint64_t i = 0; i < n; ++i) s += x[i];
    return s;
}

double mean(const FloatArray& self) {
    const std::uint64_t n = self.size();
    if (n == 0) return 0.0;
    return sum(self) / static_cast<double>(n);
}

std::uint64_t argmax(const FloatArray& self) {
    const double* x = self.data();
    const std::uint64_t n = self.size();
    if (n == 0) fail("argmax on empty array");
    return reduction_kernels().argmax(x, n);
}

}  // namespace tarnex
