#include "lib/compare/compare.hpp"

#include <string>

#include "lib/record/failure.hpp"

namespace tarnex {
namespace {

template <class A, class B>
void same_shape(const char* operation, const A& a, const B& b) {
    if (a.shape() != b.shape()) {
        fail(std::string("shape mismatch for ") + operation + ": " + format_shape(a.shape()) +
             " vs " + format_shape(b.shape()));
    }
}

// A result of a's shape whose bytes `fill` writes, every one of them.
template <class A, class Fill>
BoolArray mask_like(const A& a, Fill&& fill) {
    Buffer<Bool> out = Buffer<Bool>::uninitialized(a.size());
    fill(out.data());
    return BoolArray::new_(std::move(out), a.shape());
}

}  // namespace

BoolArray compare(const FloatArray& a, const FloatArray& b, Comparison op) {
    same_shape("comparison", a, b);
    const auto kernel = compare_kernels().arrays[static_cast<int>(op)];
    return mask_like(a, [&](Bool* out) { kernel(a.data(), b.data(), out, a.size()); });
}

BoolArray compare(const FloatArray& a, double b, Comparison op) {
    const auto kernel = compare_kernels().scalars[static_cast<int>(op)];
    return mask_like(a, [&](Bool* out) { kernel(a.data(), b, out, a.size()); });
}

BoolArray isnan(const FloatArray& a) {
    const auto kernel = compare_kernels().isnan;
    return mask_like(a, [&](Bool* out) { kernel(a.data(), out, a.size()); });
}

BoolArray logical_not(const BoolArray& m) {
    const auto kernel = compare_kernels().logical_not;
    return mask_like(m, [&](Bool* out) { kernel(m.data(), out, m.size()); });
}

BoolArray logical_and(const BoolArray& a, const BoolArray& b) {
    same_shape("logical and", a, b);
    const auto kernel = compare_kernels().logical_and;
    return mask_like(a, [&](Bool* out) { kernel(a.data(), b.data(), out, a.size()); });
}

BoolArray logical_or(const BoolArray& a, const BoolArray& b) {
    same_shape("logical or", a, b);
    const auto kernel = compare_kernels().logical_or;
    return mask_like(a, [&](Bool* out) { kernel(a.data(), b.data(), out, a.size()); });
}

}  // namespace tarnex
