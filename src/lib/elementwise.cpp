#include "lib/elementwise.hpp"

#include <string>

#include "lib/elementwise_kernels.hpp"
#include "lib/failure.hpp"
#include "lib/pooled_map.hpp"

namespace tarnex {
namespace {

std::string mismatch(const char* operation, const FloatArray& self, const FloatArray& other) {
    return std::string("shape mismatch for ") + operation + ": " + format_shape(self.shape) +
           " vs " + format_shape(other.shape);
}

}  // namespace

FloatArray add(const FloatArray& self, const FloatArray& other) {
    if (self.shape != other.shape) fail(mismatch("addition", self, other));
    Buffer<double> data = pooled_map(self.data, other.data, kernels::add);
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

FloatArray mul(const FloatArray& self, const FloatArray& other) {
    if (self.shape != other.shape) fail(mismatch("multiplication", self, other));
    Buffer<double> data = pooled_map(self.data, other.data, kernels::mul);
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

FloatArray scale(const FloatArray& self, double scalar) {
    Buffer<double> data =
        pooled_map(self.data, [scalar](const double* x, double* out, std::uint64_t len) {
            kernels::scale(x, scalar, out, len);
        });
    return FloatArray::new_(std::move(data), Shape(self.shape));
}

}  // namespace tarnex
