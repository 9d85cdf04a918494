#include "lib/matmul/matmul.hpp"

#include <string>

#include "lib/matmul/kernels.hpp"
#include "lib/record/failure.hpp"

namespace tarnex {

FloatArray matmul(const FloatArray& self, const FloatArray& other) {
    return matmul(self, other, Transposes{});
}

FloatArray matmul(const FloatArray& self, const FloatArray& other, Transposes transposes) {
    if (self.ndim() != 2 || other.ndim() != 2) {
        fail("matmul requires 2D arrays, got " + std::to_string(self.ndim()) + "D and " +
             std::to_string(other.ndim()) + "D");
    }
    // The sizes of op(self) and op(other).
    const std::uint64_t m = self.shape()[transposes.a ? 1 : 0];
    const std::uint64_t k = self.shape()[transposes.a ? 0 : 1];
    const std::uint64_t other_rows = other.shape()[transposes.b ? 1 : 0];
    const std::uint64_t n = other.shape()[transposes.b ? 0 : 1];
    if (k != other_rows) {
        fail("shape mismatch for matmul: self.shape[1] (" + std::to_string(k) +
             ") must equal other.shape[0] (" + std::to_string(other_rows) + ")");
    }
    // With k = 0 both operands are empty whatever m and n are, so m * n can wrap.
    std::uint64_t count = 0;
    if (__builtin_mul_overflow(m, n, &count)) fail("capacity overflow");

    if (k == 0 || count == 0) {
        return FloatArray::new_(Buffer<double>::zeroed(count), Shape{m, n});
    }
    // Every element is written by the product, so the zero fill is skipped.
    Buffer<double> result = Buffer<double>::uninitialized(count);
    multiply_matrices(self.data(), other.data(), result.data(), m, k, n, transposes);
    return FloatArray::new_(std::move(result), Shape{m, n});
}

}  // namespace tarnex
