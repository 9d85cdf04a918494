#include "lib/activations.hpp"

#include <cmath>
#include <cstdint>

#include "lib/elementwise_kernels.hpp"
#include "lib/index_counter.hpp"
#include "lib/layout.hpp"
#include "lib/pooled_map.hpp"

namespace tarnex {
namespace {

// out[i] = out[i] / s: true divisions, independent per element, so they vectorise.
__attribute__((target_clones("avx512f", "avx2", "default")))
void divide_in_place(double* out, std::uint64_t n, double s) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = out[i] / s;
}

// The running sum read through the validating element access, index by index in
// row-major order: for records whose layout is not the plain one.
void cumsum_by_index(const FloatArray& self, std::uint64_t count, Buffer<double>& out) {
    Shape index(self.shape.size(), 0);
    double t = 0.0;
    for (std::uint64_t k = 0; k < count; ++k) {
        t = t + self.get(index);
        out.push_back_unchecked(t);
        advance_counter(index, self.shape);
    }
}

}  // namespace

FloatArray relu(const FloatArray& self) {
    Buffer<double> data = pooled_map(self.data, kernels::relu);
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

FloatArray sigmoid(const FloatArray& self) {
    const std::uint64_t n = self.data.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    const double* x = self.data.data();
    double* out = data.data();
    for (std::uint64_t i = 0; i < n; ++i) {
        const double t = std::exp(-x[i]);
        const double u = t + 1.0;
        out[i] = 1.0 / u;
    }
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

FloatArray softmax(const FloatArray& self) {
    const std::uint64_t n = self.data.size();
    Buffer<double> data = Buffer<double>::uninitialized(n);
    const double* x = self.data.data();
    double* out = data.data();
    // The sum is taken in the same pass as the exponentials: the same additions in the
    // same order, but their latency hides behind the exp calls.
    double s = -0.0;
    for (std::uint64_t i = 0; i < n; ++i) {
        out[i] = std::exp(x[i]);
        s = s + out[i];
    }
    divide_in_place(out, n, s);
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

FloatArray cumsum(const FloatArray& self) {
    const std::uint64_t count = element_count(self.shape);
    Buffer<double> data = Buffer<double>::with_capacity(count);
    if (has_standard_layout(self)) {
        const double* x = self.data.data();
        double* out = data.data();
        double t = 0.0;
        for (std::uint64_t k = 0; k < count; ++k) {
            t = t + x[k];
            out[k] = t;
        }
        data.set_size(count);
    } else {
        cumsum_by_index(self, count, data);
    }
    return FloatArray::new_(std::move(data), Shape{count});
}

}  // namespace tarnex
