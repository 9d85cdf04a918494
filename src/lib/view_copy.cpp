// NDArrayView::to_owned: the copy of a view into a new array, in the row-major order of the
// view's shape. Views whose every position lies inside the buffer (all the views the shape
// transforms and slices make) are copied by layout-specific loops; any other view is walked
// element by element with the tests of the element access, failing at the first position
// outside the buffer.
#include <cstring>
#include <string>
#include <vector>

#include "lib/allocation_count.hpp"
#include "lib/index_counter.hpp"
#include "lib/transpose_kernel.hpp"
#include "lib/view.hpp"

namespace tarnex {
namespace {

// True when the last position of a non-empty view, and so every position (strides are
// unsigned), lies inside the buffer.
bool within_buffer(const NDArrayView& view) {
    std::uint64_t last = view.offset;
    for (std::size_t d = 0; d < view.shape.size(); ++d) {
        std::uint64_t step;
        if (__builtin_mul_overflow(view.shape[d] - 1, view.strides[d], &step) ||
            __builtin_add_overflow(last, step, &last)) {
            return false;
        }
    }
    return last < view.data_len;
}

void copy_checked(const NDArrayView& view, std::uint64_t total, double* out) {
    Shape counter(view.shape.size(), 0);
    for (std::uint64_t k = 0; k < total; ++k) {
        out[k] = view.data[checked_position(view.shape, view.strides, view.offset,
                                            view.data_len, counter.data())];
        advance_counter(counter, view.shape);
    }
}

struct Axis {
    std::uint64_t extent;
    std::uint64_t stride;
};

// The view's dimensions with the extent-1 ones dropped (they never move the position) and
// each run of dimensions that step through memory as one merged into one.
std::vector<Axis> merged_axes(const NDArrayView& view) {
    std::vector<Axis> axes;
    for (std::size_t d = 0; d < view.shape.size(); ++d) {
        if (view.shape[d] == 1) continue;
        const Axis next{view.shape[d], view.strides[d]};
        std::uint64_t span;
        if (!axes.empty() && !__builtin_mul_overflow(next.extent, next.stride, &span) &&
            axes.back().stride == span) {
            axes.back() = Axis{axes.back().extent * next.extent, next.stride};
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
void copy_lines(const double* base, const std::vector<Axis>& axes, double* out) {
    const Axis inner = axes.back();
    const std::size_t outer = axes.size() - 1;
    std::vector<std::uint64_t> counter(outer, 0);
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

void copy_in_bounds(const NDArrayView& view, double* out) {
    const double* base = view.data + view.offset;
    const std::vector<Axis> axes = merged_axes(view);
    if (axes.empty()) {
        out[0] = base[0];
    } else if (axes.size() == 2 && axes[0].stride == 1) {
        // A transposed matrix: result row i is source line i read across the lines.
        transpose_copy(base, axes[1].stride, axes[0].extent, axes[1].extent, out);
    } else {
        copy_lines(base, axes, out);
    }
}

}  // namespace

FloatArray NDArrayView::to_owned() const {
    const std::uint64_t total = allocation_count(shape);
    Buffer<double> out = Buffer<double>::uninitialized(total);
    if (total != 0) {
        if (within_buffer(*this)) {
            copy_in_bounds(*this, out.data());
        } else {
            copy_checked(*this, total, out.data());
        }
    }
    return FloatArray::new_(std::move(out), shape);
}

}  // namespace tarnex
