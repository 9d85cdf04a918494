// The array record: a flat row-major buffer with its shape, strides and offset.
#pragma once

#include <cstdint>
#include <type_traits>

#include "lib/record/buffer.hpp"
#include "lib/record/shape.hpp"

namespace tarnex {

// Booleans are stored one byte each, 0 false and 1 true.
using Bool = std::uint8_t;

// Made only by `new_`, which checks the buffer length against the shape and gives
// row-major strides and offset 0; nothing can change the shape, strides, offset or buffer
// length afterwards. So element (i0, i1, ...) of every array is at data()[i0 * strides[0] +
// i1 * strides[1] + ...], which is its flat row-major number: kernels may walk the buffer
// in storage order and get exactly what reading every element by index would give.
template <class E>
class NDArray {
public:
    // Takes over `data` and `shape`. (Named with a trailing underscore because `new` is
    // reserved in C++.)
    static NDArray new_(Buffer<E> data, Shape shape);

    NDArray(NDArray&&) noexcept = default;
    NDArray& operator=(NDArray&&) noexcept = default;

    // Validating element access: index length, then each entry from dimension 0 up,
    // then the buffer position.
    const E& get(const std::uint64_t* index, std::uint64_t index_len) const;
    const E& get(const Shape& index) const { return get(index.data(), index.size()); }
    E& get_mut(const Shape& index)
        requires(!std::is_same_v<E, Bool>)
    {
        return const_cast<E&>(get(index.data(), index.size()));
    }

    const Shape& shape() const noexcept { return shape_; }
    const Shape& strides() const noexcept { return strides_; }
    std::uint64_t offset() const noexcept { return offset_; }
    std::uint64_t ndim() const noexcept { return shape_.size(); }
    // The buffer length, which is the element count of the shape.
    std::uint64_t size() const noexcept { return data_.size(); }

    // The elements in row-major order.
    const E* data() const noexcept { return data_.data(); }
    // The same for writing element values in place (for a boolean array only the
    // companion's out= parameter does, with every byte 0 or 1).
    E* mutable_data() noexcept { return data_.data(); }

private:
    NDArray(Buffer<E> data, Shape shape, Shape strides) noexcept
        : data_(std::move(data)), shape_(std::move(shape)), strides_(std::move(strides)) {}

    Buffer<E> data_;
    Shape shape_;
    Shape strides_;
    std::uint64_t offset_ = 0;
};

using FloatArray = NDArray<double>;
using BoolArray = NDArray<Bool>;

extern template class NDArray<double>;
extern template class NDArray<Bool>;

}  // namespace tarnex
