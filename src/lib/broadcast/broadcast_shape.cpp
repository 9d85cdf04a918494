#include "lib/broadcast/broadcast_shape.hpp"

namespace tarnex {

std::optional<ShapeConflict> broadcast_shapes(const Shape* const* shapes, std::size_t count,
                                              Shape& result) {
    std::size_t ndim = 0;
    for (std::size_t k = 0; k < count; ++k) ndim = shapes[k]->size() > ndim ? shapes[k]->size() : ndim;
    result = Shape(ndim, 1);
    // Axis `back` from the end: the first operand whose extent there is not 1 sets it.
    for (std::size_t back = 1; back <= ndim; ++back) {
        std::uint64_t extent = 1;
        std::size_t setter = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const Shape& s = *shapes[k];
            if (s.size() < back) continue;
            const std::uint64_t e = s[s.size() - back];
            if (e == 1) continue;
            if (extent == 1) {
                extent = e;
                setter = k;
            } else if (e != extent) {
                return ShapeConflict{.operand = k, .against = setter};
            }
        }
        result[ndim - back] = extent;
    }
    return std::nullopt;
}

}  // namespace tarnex
