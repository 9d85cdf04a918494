// The array record: a flat row-major buffer with its shape, strides and offset.
#pragma once

#include <cstdint>


#include "lib/buffer.hpp"
#include "lib/shape.hpp"

namespace tarnex {

// Booleans are stored one byte each, 0 false and 1 true.
using Bool = std::uint8_t;

template <class E>
struct NDArray {
    Buffer<E> data;
    Shape shape;
    Shape strides;
    std::uint64_t offset = 0;

    // The only way to make an array: takes over `data` and `shape`, checks that the
    // buffer length equals the element count, and gives row-major strides and offset 0.
    // (Named with a trailing underscore because `new` is reserved in C++.)
    static NDArray new_(Buffer<E> data, Shape shape);

    // Validating element access: index length, then each entry from dimension 0 up,
    // then the buffer position.
    const E& get(const std::uint64_t* index, std::uint64_t index_len) const;
    const E& get(const Shape& index) const {
        return get(index.data(), index.size());
    }
    E& get_mut(const Shape& index)
        requires(!std::is_same_v<E, Bool>)
    {
        return const_cast<E&>(get(index.data(), index.size()));
    }

    std::uint64_t ndim() const noexcept { return shape.size(); }
    std::uint64_t size() const noexcept { return data.size(); }
};

// The buffer position of `index`, with every test of the element access; the index
// length must already match the number of dimensions.
std::uint64_t checked_position(const Shape& shape, const Shape& strides, std::uint64_t offset,
                               std::uint64_t data_len, const std::uint64_t* index);

using FloatArray = NDArray<double>;
using BoolArray = NDArray<Bool>;

extern template struct NDArray<double>;
extern template struct NDArray<Bool>;

}  // namespace tarnex
