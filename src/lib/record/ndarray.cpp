#include "lib/record/ndarray.hpp"

#include "lib/record/messages.hpp"

namespace tarnex {

template <class E>
NDArray<E> NDArray<E>::new_(Buffer<E> data, Shape shape) {
    const std::uint64_t count = element_count(shape);
    if (data.size() != count) fail(messages::length_mismatch(data.size(), shape, count));
    Shape strides = row_major_strides(shape);
    return NDArray(std::move(data), std::move(shape), std::move(strides));
}

template <class E>
const E& NDArray<E>::get(const std::uint64_t* index, std::uint64_t index_len) const {
    if (index_len != shape_.size()) fail("length of the given index and shape must match.");
    std::uint64_t position = offset_;
    for (std::size_t d = 0; d < shape_.size(); ++d) {
        if (index[d] >= shape_[d]) fail(messages::index_out_of_bounds(d, index[d], shape_[d]));
        position += index[d] * strides_[d];
    }
    if (position >= data_.size()) {
        fail("index out of bounds: the len is " + std::to_string(data_.size()) +
             " but the index is " + std::to_string(position));
    }
    return data_[position];
}

template class NDArray<double>;
template class NDArray<Bool>;

}  // namespace tarnex
