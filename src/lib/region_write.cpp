#include "lib/region_write.hpp"

#include <string>

#include "lib/index_counter.hpp"
#include "lib/layout.hpp"
#include "lib/mask_kernels.hpp"
#include "lib/view.hpp"

namespace tarnex {
namespace {

// The slab of a row-major buffer: `outer` blocks, one per index of the dimensions before
// the axis, each holding a contiguous run of (end - start) x `inner` elements.
void fill_slab(FloatArray& array, std::uint64_t axis, std::uint64_t start, std::uint64_t end,
               double value) {
    std::uint64_t outer = 1;
    std::uint64_t inner = 1;
    for (std::size_t d = 0; d < array.shape.size(); ++d) {
        if (d == axis) continue;
        // Another empty dimension leaves nothing to write (and the other products unbounded).
        if (array.shape[d] == 0) return;
        (d < axis ? outer : inner) *= array.shape[d];
    }
    const std::uint64_t extent = array.shape[axis];
    const std::uint64_t run = (end - start) * inner;
    double* data = array.data.data();
    for (std::uint64_t o = 0; o < outer; ++o) {
        fill_run(data + (o * extent + start) * inner, run, value);
    }
}

// Any layout: every element of the slab through the validating element access.
void fill_slab_by_index(FloatArray& array, std::uint64_t axis, std::uint64_t start,
                        std::uint64_t end, double value) {
    Shape low(array.shape.size(), 0);
    Shape high = array.shape;
    low[axis] = start;
    high[axis] = end;
    for (std::size_t d = 0; d < high.size(); ++d) {
        if (low[d] == high[d]) return;
    }
    Shape counter = low;
    do {
        array.get_mut(counter) = value;
        advance_counter(counter, low, high);
    } while (counter != low);
}

void fill_masked_by_index(FloatArray& array, const BoolArray& mask, double value) {
    for (std::uint64_t extent : array.shape) {
        if (extent == 0) return;
    }
    const Shape zero(array.shape.size(), 0);
    Shape counter = zero;
    do {
        if (mask.get(counter) != 0) array.get_mut(counter) = value;
        advance_counter(counter, array.shape);
    } while (counter != zero);
}

}  // namespace

void set_slice(FloatArray& array, std::uint64_t axis, std::uint64_t start, std::uint64_t end,
               double value) {
    check_axis_range(array.shape, axis, start, end);
    if (has_standard_layout(array)) {
        fill_slab(array, axis, start, end, value);
    } else {
        fill_slab_by_index(array, axis, start, end, value);
    }
}

void masked_fill(FloatArray& array, const BoolArray& mask, double value) {
    if (mask.shape != array.shape) {
        fail("mask shape " + format_shape(mask.shape) + " must equal self shape " +
             format_shape(array.shape));
    }
    if (has_standard_layout(array) && has_standard_layout(mask)) {
        fill_selected(array.data.data(), mask.data.data(), array.data.size(), value);
    } else {
        fill_masked_by_index(array, mask, value);
    }
}

}  // namespace tarnex
