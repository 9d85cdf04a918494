#include "lib/ndarray.hpp"

#include <string>

namespace tarnex {

template <class E>
NDArray<E> NDArray<E>::new_(Buffer<E> data, Shape shape) {
    const std::uint64_t count = element_count(shape);
    if (data.size() != count) {
        fail("data length " + std::to_string(data.size()) + " does not match shape " +
                 format_shape(shape) + " (expected " + std::to_string(count) + ")");
    }
    NDArray array;
    array.strides = row_major_strides(shape);
    array.data = std::move(data);
    array.shape = std::move(shape);
    return array;
}

std::uint64_t checked_position(const Shape& shape, const Shape& strides, std::uint64_t offset,
                               std::uint64_t data_len, const std::uint64_t* index) {
    std::uint64_t position = offset;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (index[d] >= shape[d]) {
            fail("index out of bounds for dimension " + std::to_string(d) + ": index " +
                     std::to_string(index[d]) + ", shape " + std::to_string(shape[d]));
        }
        position += index[d] * strides[d];
    }
    if (position >= data_len) {
        fail("index out of bounds: the len is " + std::to_string(data_len) +
                 " but the index is " + std::to_string(position));
    }
    return position;
}

template <class E>
const E& NDArray<E>::get(const std::uint64_t* index, std::uint64_t index_len) const {
    if (index_len != shape.size()) fail("length of the given index and shape must match.");
    return data[checked_position(shape, strides, offset, data.size(), index)];
}

template struct NDArray<double>;
template struct NDArray<Bool>;

}  // namespace tarnex
