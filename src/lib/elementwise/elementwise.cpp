#include "lib/elementwise/elementwise.hpp"

#include <string>

#include "lib/elementwise/kernels.hpp"
#include "lib/elementwise/pooled_map.hpp"
#include "lib/record/failure.hpp"

namespace tarnex {
namespace {

std::string mismatch(const char* operation, const FloatArray& self, const FloatArray& other) {
    return std::string("shape mismatch for ") + operation + ": " + format_shape(self.shape()) +
           " vs " + format_shape(other.shape());
}

using PairKernel = decltype(ElementwiseKernels::add);

FloatArray pooled_pair(const FloatArray& self, const FloatArray& other, PairKernel kernel) {
    Buffer<double> data =
        pooled_map(self.data(), self.size(), other.data(), other.size(), kernel);
    return FloatArray::new_(std::move(data), self.shape());
}

}  // namespace

FloatArray add(const FloatArray& self, const FloatArray& other) {
    if (self.shape() != other.shape()) fail(mismatch("addition", self, other));
    return pooled_pair(self, other, elementwise_kernels().add);
}

FloatArray mul(const FloatArray& self, const FloatArray& other) {
    if (self.shape() != other.shape()) fail(mismatch("multiplication", self, other));
    return pooled_pair(self, other, elementwise_kernels().mul);
}

FloatArray scale(const FloatArray& self, double scalar) {
    const auto kernel = elementwise_kernels().scale;
    Buffer<double> data = pooled_map(self.data(), self.size(),
                                     [kernel, scalar](const double* x, double* out,
                                                      std::uint64_t len) {
                                         kernel(x, scalar, out, len);
                                     });
    return FloatArray::new_(std::move(data), self.shape());
}

}  // namespace tarnex
