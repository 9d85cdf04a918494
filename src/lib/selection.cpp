#include "lib/selection.hpp"

#include <cstring>
#include <string>

#include "lib/allocation_count.hpp"
#include "lib/index_counter.hpp"
#include "lib/layout.hpp"
#include "lib/mask_kernels.hpp"

namespace tarnex {
namespace {

// Requests every cache line of `count` elements from `line` ahead of its use.
void fetch_ahead(const double* line, std::uint64_t count) {
    const char* bytes = reinterpret_cast<const char*>(line);
    for (std::uint64_t b = 0; b < count * sizeof(double); b += 64) __builtin_prefetch(bytes + b);
}

// Row-major buffer: for each index before the axis, the chosen slices of `inner` elements.
void gather_rows(const FloatArray& self, std::uint64_t axis, const Shape& indices, double* out) {
    std::uint64_t outer = 1;
    std::uint64_t inner = 1;
    for (std::size_t d = 0; d < self.shape.size(); ++d) {
        if (d < axis) outer *= self.shape[d];
        if (d > axis) inner *= self.shape[d];
    }
    const std::uint64_t extent = self.shape[axis];
    const std::uint64_t n = indices.size();
    const double* src = self.data.data();
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

// Any layout: every result position through the validating element access.
void gather_by_index(const FloatArray& self, std::uint64_t axis, const Shape& indices,
                     const Shape& result_shape, std::uint64_t count, double* out) {
    Shape counter(result_shape.size(), 0);
    Shape source(result_shape.size(), 0);
    for (std::uint64_t k = 0; k < count; ++k) {
        source = counter;
        source[axis] = indices[counter[axis]];
        out[k] = self.get(source);
        advance_counter(counter, result_shape);
    }
}

}  // namespace

FloatArray gather(const FloatArray& self, std::uint64_t axis, const Shape& indices) {
    if (axis >= self.ndim()) {
        fail("axis " + std::to_string(axis) + " is out of bounds for NDArray with " +
             std::to_string(self.ndim()) + " dimensions");
    }
    const std::uint64_t extent = self.shape[axis];
    for (std::uint64_t index : indices) {
        if (index >= extent) {
            fail("index " + std::to_string(index) + " out of bounds for axis " +
                 std::to_string(axis) + " with shape " + std::to_string(extent));
        }
    }
    Shape result_shape = self.shape;
    result_shape[axis] = indices.size();
    const std::uint64_t count = allocation_count(result_shape);
    Buffer<double> out = Buffer<double>::uninitialized(count);
    if (count != 0) {
        if (has_standard_layout(self)) {
            gather_rows(self, axis, indices, out.data());
        } else {
            gather_by_index(self, axis, indices, result_shape, count, out.data());
        }
    }
    return FloatArray::new_(std::move(out), std::move(result_shape));
}

FloatArray fancy_index(const FloatArray& self, const Shape& indices) {
    if (self.ndim() != 1) {
        fail("fancy_index is only valid for 1D arrays, got " + std::to_string(self.ndim()) + "D");
    }
    Buffer<double> out = Buffer<double>::uninitialized(indices.size());
    const std::uint64_t length = self.shape[0];
    const bool direct = has_standard_layout(self);
    for (std::uint64_t t = 0; t < indices.size(); ++t) {
        const std::uint64_t index = indices[t];
        if (direct && index < length) {
            out[t] = self.data[index];
        } else {
            // The element access reports an index beyond the length.
            out[t] = self.get(&index, 1);
        }
    }
    return FloatArray::new_(std::move(out), {indices.size()});
}

FloatArray boolean_mask(const FloatArray& self, const BoolArray& mask) {
    if (mask.shape != self.shape) {
        fail("mask shape " + format_shape(mask.shape) + " must equal self shape " +
             format_shape(self.shape));
    }
    if (has_standard_layout(self) && has_standard_layout(mask)) {
        // Counting first lets the result be allocated once at its final length.
        const std::uint64_t n = self.data.size();
        const std::uint64_t count = count_selected(mask.data.data(), n);
        Buffer<double> out = Buffer<double>::uninitialized(count);
        compress_selected(self.data.data(), mask.data.data(), n, out.data(), count);
        return FloatArray::new_(std::move(out), {count});
    }
    Buffer<double> out;
    bool empty = false;
    for (std::uint64_t extent : self.shape) empty |= extent == 0;
    if (!empty) {
        const Shape zero(self.shape.size(), 0);
        Shape counter = zero;
        do {
            if (mask.get(counter) != 0) out.push_back(self.get(counter));
            advance_counter(counter, self.shape);
        } while (counter != zero);
    }
    const std::uint64_t count = out.size();
    return FloatArray::new_(std::move(out), {count});
}

FloatArray where_(const FloatArray& self, const BoolArray& condition, const FloatArray& other) {
    if (condition.shape != self.shape || other.shape != self.shape) {
        fail("shape mismatch: self.shape " + format_shape(self.shape) + ", condition.shape " +
             format_shape(condition.shape) + ", other.shape " + format_shape(other.shape));
    }
    const std::uint64_t count = element_count(self.shape);
    Buffer<double> out = Buffer<double>::uninitialized(count);
    if (has_standard_layout(self) && has_standard_layout(condition) &&
        has_standard_layout(other)) {
        choose_elements(condition.data.data(), self.data.data(), other.data.data(), count,
                        out.data());
    } else if (count != 0) {
        Shape counter(self.shape.size(), 0);
        for (std::uint64_t k = 0; k < count; ++k) {
            out[k] = condition.get(counter) != 0 ? self.get(counter) : other.get(counter);
            advance_counter(counter, self.shape);
        }
    }
    return FloatArray::new_(std::move(out), self.shape);
}

}  // namespace tarnex
