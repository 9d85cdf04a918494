// Index counters: one entry per dimension, walking every index of a box in row-major order
// (last dimension fastest). The element-by-element walks of the core use them.
#pragma once

#include <cstdint>

#include "lib/shape.hpp"

namespace tarnex {

// Steps `counter` to the next index of the box low[d] <= index[d] < high[d]: the last entry
// goes up by one; an entry that reaches its upper bound returns to its lower bound and the
// entry before it goes up instead. After the box's last index the counter is back at `low`.
inline void advance_counter(Shape& counter, const Shape& low, const Shape& high) noexcept {
    for (std::size_t d = counter.size(); d-- > 0;) {
        if (++counter[d] < high[d]) return;
        counter[d] = low[d];
    }
}

// The same over a whole shape (every lower bound 0).
inline void advance_counter(Shape& counter, const Shape& extents) noexcept {
    for (std::size_t d = counter.size(); d-- > 0;) {
        if (++counter[d] < extents[d]) return;
        counter[d] = 0;
    }
}

}  // namespace tarnex
