#include "lib/selection/region_write.hpp"

#include "lib/record/messages.hpp"
#include "lib/selection/kernels.hpp"
#include "lib/views/view.hpp"

namespace tarnex {

// The slab of a row-major buffer: `outer` blocks, one per index of the dimensions before
// the axis, each holding a contiguous run of (end - start) x `inner` elements.
void set_slice(FloatArray& array, std::uint64_t axis, std::uint64_t start, std::uint64_t end,
               double value) {
    const Shape& shape = array.shape();
    check_axis_range(shape, axis, start, end);
    std::uint64_t outer = 1;
    std::uint64_t inner = 1;
    for (std::size_t d = 0; d < shape.size(); ++d) {
        if (d == axis) continue;
        // Another empty dimension leaves nothing to write (and the other products unbounded).
        if (shape[d] == 0) return;
        (d < axis ? outer : inner) *= shape[d];
    }
    const std::uint64_t extent = shape[axis];
    const std::uint64_t run = (end - start) * inner;
    const auto fill_run = mask_kernels().fill_run;
    double* data = array.mutable_data();
    for (std::uint64_t o = 0; o < outer; ++o) fill_run(data + (o * extent + start) * inner, run, value);
}

void masked_fill(FloatArray& array, const BoolArray& mask, double value) {
    if (mask.shape() != array.shape()) {
        fail(messages::mask_shape_mismatch(mask.shape(), array.shape()));
    }
    mask_kernels().fill_selected(array.mutable_data(), mask.data(), array.size(), value);
}

}  // namespace tarnex
