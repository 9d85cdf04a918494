#include "lib/build/build.hpp"

#include <algorithm>
#include <bit>

namespace tarnex {

FloatArray filled(Shape shape, double value) {
    const std::uint64_t count = allocation_count(shape);
    if (std::bit_cast<std::uint64_t>(value) == 0) {
        return FloatArray::new_(Buffer<double>::zeroed(count), std::move(shape));
    }
    Buffer<double> data = Buffer<double>::uninitialized(count);
    std::fill_n(data.data(), count, value);
    return FloatArray::new_(std::move(data), std::move(shape));
}

FloatArray arange(double start, double step, std::uint64_t count) {
    Buffer<double> data = Buffer<double>::uninitialized(count);
    double* out = data.data();
    // The indices are carried as doubles, four at a time, so that the loop vectorises on
    // every level; adding 4.0 to an integer-valued double below 2**53 is exact, so each
    // index is the same double a conversion would give.
    constexpr std::uint64_t block = 4;
    double index[block] = {0.0, 1.0, 2.0, 3.0};
    std::uint64_t i = 0;
    for (; i + block <= count; i += block) {
        for (std::uint64_t j = 0; j < block; ++j) {
            out[i + j] = start + index[j] * step;
            index[j] += static_cast<double>(block);
        }
    }
    for (; i < count; ++i) out[i] = start + static_cast<double>(i) * step;
    Shape shape{count};
    return FloatArray::new_(std::move(data), std::move(shape));
}

FloatArray eye(std::uint64_t rows, std::uint64_t cols, std::int64_t diagonal) {
    Shape shape{rows, cols};
    const std::uint64_t count = allocation_count(shape);
    Buffer<double> data = Buffer<double>::zeroed(count);
    double* out = data.data();
    // Row r holds its 1.0 at column r + diagonal when that column exists.
    const std::uint64_t first_row = diagonal < 0 ? static_cast<std::uint64_t>(-(diagonal + 1)) + 1 : 0;
    for (std::uint64_t r = first_row; r < rows; ++r) {
        const std::uint64_t c = diagonal < 0 ? r - first_row : r + static_cast<std::uint64_t>(diagonal);
        if (diagonal >= 0 && c < r) break;  // r + diagonal wrapped
        if (c >= cols) break;
        out[r * cols + c] = 1.0;
    }
    return FloatArray::new_(std::move(data), std::move(shape));
}

}  // namespace tarnex
