#include "lib/shape.hpp"

#include "lib/failure.hpp"

namespace tarnex {

std::uint64_t element_count(const Shape& shape) {
    std::uint64_t count = 1;
    bool overflow = false;
    for (std::uint64_t extent : shape) {
        overflow |= __builtin_mul_overflow(count, extent, &count);
    }
    // Any zero extent makes the count 0, even when an earlier partial product overflowed.
    if (overflow) {
        for (std::uint64_t extent : shape) {
            if (extent == 0) return 0;
        }
        fail("element count of shape " + format_shape(shape) + " does not fit in 64 bits");
    }
    return count;
}

Shape row_major_strides(const Shape& shape) {
    Shape strides(shape.size());
    std::uint64_t p = 1;
    for (std::size_t k = shape.size(); k-- > 0;) {
        strides[k] = p;
        p *= shape[k];
    }
    return strides;
}

std::string format_shape(const Shape& shape) {
    std::string out = "[";
    for (std::size_t i = 0; i < shape.size(); ++i) {
        if (i != 0) out += ", ";
        out += std::to_string(shape[i]);
    }
    out += ']';
    return out;
}

}  // namespace tarnex
