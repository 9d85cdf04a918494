// NDArrayView::to_owned: the copy of a view into a new array, in the row-major order of the
// view's shape. The view's dimensions are first reduced to the fewest that describe the same
// walk; then a transposed matrix goes through the cache-blocked transpose and anything else
// is copied line by line along its last dimension.
#include <cstring>

#include "lib/record/shape.hpp"
#include "lib/views/kernels.hpp"
#include "lib/views/view.hpp"

namespace tarnex {
namespace {

struct Axis {
    std::uint64_t extent;
    std::uint64_t stride;
};

using Axes = SmallList<Axis, 6>;

// The view's dimensions with the extent-1 ones dropped (they never move the position) and
// each run of dimensions that step through memory as one merged into one.
Axes merged_axes(const Shape& shape, const Shape& strides) {
    Axes axes;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (shape[d] == 1) continue;
        const Axis next{shape[d], strides[d]};
        if (!axes.empty() && axes[axes.size() - 1].stride == next.extent * next.stride) {
            Axis& last = axes[axes.size() - 1];
            last = Axis{last.extent * next.extent, next.stride};
        } else {
            axes.push_back(next);
        }
    }
    return axes;
}

// Copies `count` elements `stride` apart (short contiguous lines without a library call).
void copy_line(const double* src, std::uint64_t count, std::uint64_t stride, double* out) {
    if (stride == 1 && count >= 16) {
        std::memcpy(out, src, count * sizeof(double));
    } else {
        for (std::uint64_t j = 0; j < count; ++j) out[j] = src[j * stride];
    }
}

// Every line along the last merged axis, the outer axes walked in row-major order.
void copy_lines(const double* base, const Axes& axes, double* out) {
    const Axis inner = axes[axes.size() - 1];
    const std::size_t outer = axes.size() - 1;
    Shape counter(outer, 0);
    const double* src = base;
    for (;;) {
        copy_line(src, inner.extent, inner.stride, out);
        out += inner.extent;
        // Step to the next line: the last outer axis first, carrying into earlier ones.
        std::size_t d = outer;
        for (;;) {
            if (d == 0) return;
            --d;
            if (++counter[d] < axes[d].extent) {
                src += axes[d].stride;
                break;
            }
            counter[d] = 0;
            src -= (axes[d].extent - 1) * axes[d].stride;
        }
    }
}

}  // namespace

FloatArray NDArrayView::to_owned() const {
    const std::uint64_t total = allocation_count(shape_);
    Buffer<double> out = Buffer<double>::uninitialized(total);
    if (total != 0) {
        // Every extent is at least 1 here, so the products in merged_axes stay within the
        // buffer's span and cannot overflow.
        const double* base = data_ + offset_;
        const Axes axes = merged_axes(shape_, strides_);
        if (axes.empty()) {
            out[0] = base[0];
        } else if (axes.size() == 2 && axes[0].stride == 1) {
            // A transposed matrix: result row i is source line i read across the lines.
            transpose_copy(base, axes[1].stride, axes[0].extent, axes[1].extent, out.data());
        } else {
            copy_lines(base, axes, out.data());
        }
    }
    return FloatArray::new_(std::move(out), shape_);
}

}  // namespace tarnex
