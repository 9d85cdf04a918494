// The layout test behind the direct-buffer kernels.
#pragma once

#include <cstdint>

#include "lib/ndarray.hpp"

namespace tarnex {

// True when `array` has the layout the constructor gives: row-major strides, offset 0 and a
// buffer of exactly the element count. Then the element with flat row-major number i is
// data[i], and kernels may address the buffer directly with results identical to reading
// every element through `get`. Any other record takes the element-by-element walk.
template <class E>
bool has_standard_layout(const NDArray<E>& array) noexcept {
    if (array.offset != 0 || array.strides.size() != array.shape.size()) return false;
    std::uint64_t step = 1;
    bool overflow = false;
    bool empty = false;
    for (std::size_t k = array.shape.size(); k-- > 0;) {
        if (array.strides[k] != step) return false;
        overflow |= __builtin_mul_overflow(step, array.shape[k], &step);
        empty |= array.shape[k] == 0;
    }
    if (empty) return array.data.size() == 0;
    return !overflow && array.data.size() == step;
}

}  // namespace tarnex
