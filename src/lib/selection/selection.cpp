#include "lib/selection/selection.hpp"

#include <cstring>
#include <string>

#include "lib/record/messages.hpp"
#include "lib/selection/kernels.hpp"

namespace tarnex {
namespace {

// Requests every cache line of `count` elements from `line` ahead of its use.
void fetch_ahead(const double* line, std::uint64_t count) {
    const char* bytes = reinterpret_cast<const char*>(line);
    for (std::uint64_t b = 0; b < count * sizeof(double); b += 64) __builtin_prefetch(bytes + b);
}

// For each index before the axis, the chosen slices of `inner` elements.
void gather_rows(const FloatArray& self, std::uint64_t axis, const Shape& indices, double* out) {
    const Shape& shape = self.shape();
    std::uint64_t outer = 1;
    std::uint64_t inner = 1;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (d < axis) outer *= shape[d];
        if (d > axis) inner *= shape[d];
    }
    const std::uint64_t extent = shape[axis];
    const std::uint64_t n = indices.size();
    const double* src = self.data();
    if (inner != 1) {
        for (std::uint64_t o = 0; o < outer; ++o) {
            const double* block = src + o * extent * inner;
            for (std::uint64_t index : indices) {
                std::memcpy(out, block + index * inner, inner * sizeof(double));
                out += inner;
            }
        }
        return;
    }
    // Single elements picked along the last axis jump around inside each line, which the
    // hardware prefetchers do not foresee; when most of a short line will be read, the next
    // line is fetched while this one is copied.
    const bool ahead = extent <= 8192 && n * 8 >= extent;
    const std::uint64_t* picks = indices.data();
    for (std::uint64_t o = 0; o < outer; ++o) {
        const double* line = src + o * extent;
        if (ahead && o + 1 < outer) fetch_ahead(line + extent, extent);
        for (std::uint64_t t = 0; t < n; ++t) out[t] = line[picks[t]];
        out += n;
    }
}

}  // namespace

FloatArray gather(const FloatArray& self, std::uint64_t axis, const Shape& indices) {
    if (axis >= self.ndim()) fail(messages::axis_out_of_bounds(axis, self.ndim()));
    const std::uint64_t extent = self.shape()[axis];
    for (std::uint64_t index : indices) {
        if (index >= extent) {
            fail("index " + std::to_string(index) + " out of bounds for axis " +
                 std::to_string(axis) + " with shape " + std::to_string(extent));
        }
    }
    Shape result_shape = self.shape();
    result_shape[axis] = indices.size();
    const std::uint64_t count = allocation_count(result_shape);
    Buffer<double> out = Buffer<double>::uninitialized(count);
    if (count != 0) gather_rows(self, axis, indices, out.data());
    return FloatArray::new_(std::move(out), std::move(result_shape));
}

FloatArray fancy_index(const FloatArray& self, const Shape& indices) {
    if (self.ndim() != 1) {
        fail("fancy_index is only valid for 1D arrays, got " + std::to_string(self.ndim()) + "D");
    }
    Buffer<double> out = Buffer<double>::uninitialized(indices.size());
    const std::uint64_t length = self.size();
    const double* src = self.data();
    for (std::uint64_t t = 0; t < indices.size(); ++t) {
        const std::uint64_t index = indices[t];
        // The element access reports an index beyond the length.
        out[t] = index < length ? src[index] : self.get(&index, 1);
    }
    return FloatArray::new_(std::move(out), {indices.size()});
}

// Counting first lets the result be allocated once at its final length.
FloatArray boolean_mask(const FloatArray& self, const BoolArray& mask) {
    if (mask.shape() != self.shape()) {
        fail(messages::mask_shape_mismatch(mask.shape(), self.shape()));
    }
    const MaskKernels& kernels = mask_kernels();
    const std::uint64_t count = kernels.count_selected(mask.data(), self.size());
    Buffer<double> out = Buffer<double>::uninitialized(count);
    kernels.compress_selected(self.data(), mask.data(), self.size(), out.data());
    return FloatArray::new_(std::move(out), {count});
}

FloatArray where_(const FloatArray& self, const BoolArray& condition, const FloatArray& other) {
    if (condition.shape() != self.shape() || other.shape() != self.shape()) {
        fail("shape mismatch: self.shape " + format_shape(self.shape()) + ", condition.shape " +
             format_shape(condition.shape()) + ", other.shape " + format_shape(other.shape()));
    }
    Buffer<double> out = Buffer<double>::uninitialized(self.size());
    mask_kernels().choose_elements(condition.data(), self.data(), other.data(), self.size(),
                                   out.data());
    return FloatArray::new_(std::move(out), self.shape());
}

}  // namespace tarnex
