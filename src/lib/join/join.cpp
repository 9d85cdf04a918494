#include "lib/join/join.hpp"

#include <cstring>
#include <vector>

#include "lib/record/failure.hpp"

namespace tarnex {
namespace {

std::uint64_t product(const Shape& shape, std::size_t from, std::size_t to) {
    std::uint64_t p = 1;
    for (std::size_t d = from; d < to; ++d) p *= shape[d];
    return p;
}

// Writes, for each of `outer` blocks in turn, the next run of chunk[k] elements of every
// array k in order: out = a0[block 0], a1[block 0], ..., a0[block 1], ... which is the
// row-major order of both a concatenation and a stack.
template <class E>
void interleave(const NDArray<E>* const* arrays, std::size_t count,
                const std::uint64_t* chunks, std::uint64_t outer, E* out) {
    for (std::uint64_t o = 0; o < outer; ++o) {
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint64_t n = chunks[k];
            if (n != 0) std::memcpy(out, arrays[k]->data() + o * n, n * sizeof(E));
            out += n;
        }
    }
}

template <class E>
NDArray<E> joined(const NDArray<E>* const* arrays, std::size_t count,
                  const std::vector<std::uint64_t>& chunks, std::uint64_t outer, Shape shape) {
    const std::uint64_t total = allocation_count(shape);
    Buffer<E> data = Buffer<E>::uninitialized(total);
    if (total != 0) interleave(arrays, count, chunks.data(), outer, data.data());
    return NDArray<E>::new_(std::move(data), std::move(shape));
}

}  // namespace

template <class E>
NDArray<E> concatenate(const NDArray<E>* const* arrays, std::size_t count, std::size_t axis) {
    if (count == 0) fail("need at least one array to concatenate");
    const Shape& first = arrays[0]->shape();
    if (axis >= first.size()) fail("concatenation axis out of range");
    Shape shape = first;
    shape[axis] = 0;
    std::vector<std::uint64_t> chunks(count);
    const std::uint64_t inner = product(first, axis + 1, first.size());
    for (std::size_t k = 0; k < count; ++k) {
        const Shape& s = arrays[k]->shape();
        if (s.size() != first.size()) fail("concatenation of arrays of different ranks");
        for (std::size_t d = 0; d < s.size(); ++d) {
            if (d != axis && s[d] != first[d]) fail("concatenation of mismatched shapes");
        }
        if (__builtin_add_overflow(shape[axis], s[axis], &shape[axis])) fail("capacity overflow");
        chunks[k] = s[axis] * inner;
    }
    return joined(arrays, count, chunks, product(first, 0, axis), std::move(shape));
}

template <class E>
NDArray<E> concatenate_flat(const NDArray<E>* const* arrays, std::size_t count) {
    std::vector<std::uint64_t> chunks(count);
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < count; ++k) {
        chunks[k] = arrays[k]->size();
        if (__builtin_add_overflow(total, chunks[k], &total)) fail("capacity overflow");
    }
    return joined(arrays, count, chunks, 1, Shape{total});
}

template <class E>
NDArray<E> stack(const NDArray<E>* const* arrays, std::size_t count, std::size_t axis) {
    if (count == 0) fail("need at least one array to stack");
    const Shape& first = arrays[0]->shape();
    if (axis > first.size()) fail("stacking axis out of range");
    for (std::size_t k = 1; k < count; ++k) {
        if (arrays[k]->shape() != first) fail("all input arrays must have the same shape");
    }
    Shape shape;
    for (std::size_t d = 0; d < axis; ++d) shape.push_back(first[d]);
    shape.push_back(count);
    for (std::size_t d = axis; d < first.size(); ++d) shape.push_back(first[d]);
    const std::vector<std::uint64_t> chunks(count, product(first, axis, first.size()));
    return joined(arrays, count, chunks, product(first, 0, axis), std::move(shape));
}

template <class E>
NDArray<E> reshaped(const NDArray<E>& array, Shape shape) {
    const auto count = extent_product(shape);
    if (!count || *count != array.size()) fail("reshape to a different element count");
    Buffer<E> data = Buffer<E>::uninitialized(array.size());
    if (array.size() != 0) std::memcpy(data.data(), array.data(), array.size() * sizeof(E));
    return NDArray<E>::new_(std::move(data), std::move(shape));
}

#define TARNEX_JOIN_FOR(E)                                                                   \
    template NDArray<E> concatenate(const NDArray<E>* const*, std::size_t, std::size_t);   \
    template NDArray<E> concatenate_flat(const NDArray<E>* const*, std::size_t);            \
    template NDArray<E> stack(const NDArray<E>* const*, std::size_t, std::size_t);         \
    template NDArray<E> reshaped(const NDArray<E>&, Shape);
TARNEX_JOIN_FOR(double)
TARNEX_JOIN_FOR(Bool)
#undef TARNEX_JOIN_FOR

}  // namespace tarnex
