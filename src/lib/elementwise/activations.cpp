#include "lib/elementwise/activations.hpp"

#include <cmath>
#include <cstdint>

#include "lib/elementwise/kernels.hpp"
#include "lib/elementwise/pooled_map.hpp"

namespace tarnex {

FloatArray relu(const FloatArray& self) {
    Buffer<double> data = pooled_map(self.data(), self.size(), elementwise_kernels().relu);
    return FloatArray::new_(std::move(data), self.shape());
}

FloatArray sigmoid(const FloatArray& self) {
    const std::uint64_t n = self.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    const double* x = self.data();
    double* out = data.data();
    for (std::uint64_t i = 0; i < n; ++i) {
        const double t = std::exp(-x[i]);
        const double u = t + 1.0;
        out[i] = 1.0 / u;
    }
    return FloatArray::new_(std::move(data), self.shape());
}

FloatArray softmax(const FloatArray& self) {
    const std::uint64_t n = self.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    const double* x = self.data();
    double* out = data.data();
    // The sum is taken in the same pass as the exponentials: the same additions in the
    // same order, but their latency hides behind the exp calls.
    double s = -0.0;
    for (std::uint64_t i = 0; i < n; ++i) {
        out[i] = std::exp(x[i]);
        s = s + out[i];
    }
    elementwise_kernels().divide_in_place(out, n, s);
    return FloatArray::new_(std::move(data), self.shape());
}

// The buffer holds the elements in row-major order, which is the order of the running sum.
FloatArray cumsum(const FloatArray& self) {
    const std::uint64_t count = self.size();
    Buffer<double> data = Buffer<double>::uninitialized(count);
    const double* x = self.data();
    double* out = data.data();
    double t = 0.0;
    for (std::uint64_t k = 0; k < count; ++k) {
        t = t + x[k];
        out[k] = t;
    }
    return FloatArray::new_(std::move(data), Shape{count});
}

}  // namespace tarnex
