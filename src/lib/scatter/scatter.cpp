#include "lib/scatter/scatter.hpp"

#include <string>

#include "lib/record/failure.hpp"
#include "lib/record/messages.hpp"
#include "lib/scatter/kernels.hpp"

namespace tarnex {
namespace {

// 2^64 as a double: every double in [0, 2^64) converts to an unsigned 64-bit integer.
constexpr double two_to_64 = 18446744073709551616.0;

// Whether v is an integer in [0, classes). The comparisons are false for NaN; the
// integer comparison avoids rounding `classes` to a double.
bool is_label(double v, std::uint64_t classes) {
    if (!(v >= 0.0 && v < two_to_64)) return false;
    const auto whole = static_cast<std::uint64_t>(v);
    return static_cast<double>(whole) == v && whole < classes;
}

}  // namespace

std::optional<std::uint64_t> first_invalid_label(const FloatArray& labels,
                                                 std::uint64_t classes) {
    const double* data = labels.data();
    const std::uint64_t n = labels.size();
    for (std::uint64_t i = 0; i < n; ++i) {
        if (!is_label(data[i], classes)) return i;
    }
    return std::nullopt;
}

FloatArray one_hot(const FloatArray& labels, std::uint64_t classes) {
    if (const auto bad = first_invalid_label(labels, classes)) {
        fail("label " + std::to_string(labels.data()[*bad]) + " at position " +
             std::to_string(*bad) + " is not an integer in [0, " + std::to_string(classes) + ")");
    }
    Shape shape = labels.shape();
    shape.push_back(classes);
    const std::uint64_t count = allocation_count(shape);
    Buffer<double> out = Buffer<double>::zeroed(count);
    const double* data = labels.data();
    double* rows = out.data();
    for (std::uint64_t i = 0; i < labels.size(); ++i) {
        rows[i * classes + static_cast<std::uint64_t>(data[i])] = 1.0;
    }
    return FloatArray::new_(std::move(out), std::move(shape));
}

std::optional<std::uint64_t> first_index_outside(const Shape& indices, std::uint64_t extent) {
    for (std::uint64_t t = 0; t < indices.size(); ++t) {
        if (indices[t] >= extent) return t;
    }
    return std::nullopt;
}

Shape gathered_shape(const Shape& target, std::uint64_t axis, std::uint64_t count) {
    Shape shape = target;
    shape[axis] = count;
    return shape;
}

void add_at(FloatArray& target, std::uint64_t axis, const Shape& indices,
            const FloatArray& values) {
    const Shape& shape = target.shape();
    if (axis >= shape.size()) fail(messages::axis_out_of_bounds(axis, shape.size()));
    const std::uint64_t extent = shape[axis];
    if (const auto bad = first_index_outside(indices, extent)) {
        fail("index " + std::to_string(indices[*bad]) + " out of bounds for axis " +
             std::to_string(axis) + " with shape " + std::to_string(extent));
    }
    if (values.shape() != gathered_shape(shape, axis, indices.size())) {
        fail("values.shape " + format_shape(values.shape()) + " does not match " +
             format_shape(gathered_shape(shape, axis, indices.size())));
    }
    if (values.size() == 0) return;
    // values is not empty, so neither is any extent but the axis's (now known to be 1 or
    // more, as indices is not empty either), and these products are bounded by its size.
    std::uint64_t outer = 1;
    std::uint64_t inner = 1;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (d < axis) outer *= shape[d];
        if (d > axis) inner *= shape[d];
    }
    const ScatterKernels& kernels = scatter_kernels();
    const std::uint64_t n = indices.size();
    const double* from = values.data();
    double* data = target.mutable_data();
    for (std::uint64_t o = 0; o < outer; ++o) {
        double* block = data + o * extent * inner;
        if (inner == 1) {
            kernels.add_picked(block, indices.data(), from, n);
            from += n;
            continue;
        }
        for (std::uint64_t t = 0; t < n; ++t) {
            kernels.add_run(block + indices[t] * inner, from, inner);
            from += inner;
        }
    }
}

}  // namespace tarnex
