// The element count of a result about to be allocated.
#pragma once

#include <cstdint>

#include "lib/failure.hpp"
#include "lib/shape.hpp"

namespace tarnex {

// 0 when any extent is 0, otherwise the product of the extents. A product beyond 64 bits
// is beyond any allocation too, so it fails the way an oversized allocation does.
inline std::uint64_t allocation_count(const Shape& shape) {
    std::uint64_t count = 1;
    bool overflow = false;
    for (std::uint64_t extent : shape) {
        if (extent == 0) return 0;
        overflow |= __builtin_mul_overflow(count, extent, &count);
    }
    if (overflow) fail("capacity overflow");
    return count;
}

}  // namespace tarnex
