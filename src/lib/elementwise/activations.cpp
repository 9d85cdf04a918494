#include "lib/elementwise/activations.hpp"

#include <cstdint>

#include "lib/elementwise/kernels.hpp"
#include "lib/exp/exp.hpp"
#include "lib/elementwise/pooled_map.hpp"

namespace tarnex {

FloatArray relu(const FloatArray& self) {
    Buffer<double> data = pooled_map(self.data(), self.size(), elementwise_kernels().relu);
    return FloatArray::new_(std::move(data), self.shape());
}

FloatArray sigmoid(const FloatArray& self) {
    const std::uint64_t n = self.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    sigmoid_elements(self.data(), data.data(), n);
    return FloatArray::new_(std::move(data), self.shape());
}

FloatArray softmax(const FloatArray& self) {
    const std::uint64_t n = self.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    double* out = data.data();
    const double s = exp_elements_sum(self.data(), out, n);
    divide_in_place(out, n, s);
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
