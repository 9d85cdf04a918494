#include "lib/record/shape.hpp"

#include "lib/record/failure.hpp"

namespace tarnex {

std::optional<std::uint64_t> extent_product(const Shape& shape) noexcept {
    std::uint64_t count = 1;
    bool overflow = false;
    for (std::uint64_t extent : shape) {
        if (extent == 0) return 0;
        overflow |= __builtin_mul_overflow(count, extent, &count);
    }
    if (overflow) return std::nullopt;
    return count;
}

std::uint64_t element_count(const Shape& shape) {
    const auto count = extent_product(shape);
    if (!count) fail("element count of shape " + format_shape(shape) + " does not fit in 64 bits");
    return *count;
}

std::uint64_t allocation_count(const Shape& shape) {
    const auto count = extent_product(shape);
    if (!count) fail("capacity overflow");
    return *count;
}

Shape row_major_strides(const Shape& shape) {
    Shape strides(shape.size(), 0);
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
