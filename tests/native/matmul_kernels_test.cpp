// Every matrix-product kernel this CPU can run, against the sums written out one by one.
// Python only reaches the kernels of the level its build runs at; this holds every level to
// the same bits, NaN payloads included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "lib/matmul/kernels.hpp"
#include "native/levels.hpp"

namespace {

using tarnex::TileKernel;

// b's NaN wins in a * b and the accumulator's in acc + product, as the kernels promise.
double times(double a, double b) { return std::isnan(a) && std::isnan(b) ? b : a * b; }
double plus(double acc, double product) {
    return std::isnan(acc) && std::isnan(product) ? acc : acc + product;
}

std::vector<double> reference(const std::vector<double>& a, const std::vector<double>& b,
                              std::uint64_t m, std::uint64_t k, std::uint64_t n) {
    std::vector<double> c(m * n);
    for (std::uint64_t i = 0; i < m; ++i) {
        for (std::uint64_t j = 0; j < n; ++j) {
            double acc = 0.0;
            for (std::uint64_t p = 0; p < k; ++p) {
                acc = plus(acc, times(a[i * k + p], b[p * n + j]));
            }
            c[i * n + j] = acc;
        }
    }
    return c;
}

using levels::from_bits;

std::vector<double> random_values(std::mt19937_64& rng, std::uint64_t count) {
    const double specials[] = {
        from_bits(0x7FF8000000001234), from_bits(0xFFF8000000000042),
        std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
        -0.0, 5e-324, 1e308, -1e308,
    };
    const std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    return levels::mixed_values(rng, count, specials, uniform, 16);
}

// The tile kernels' getters: a level's getter runs only where the CPU has that level.
using TileGetter = TileKernel (*)();
std::vector<levels::Named<TileGetter>> runnable_kernels() {
    return levels::runnable<TileGetter>(tarnex::baseline::tile_kernel, tarnex::avx2::tile_kernel,
                                        tarnex::avx512::tile_kernel);
}

std::vector<levels::Named<tarnex::NarrowFn>> runnable_narrow_kernels() {
    return levels::runnable<tarnex::NarrowFn>(tarnex::baseline::multiply_narrow,
                                              tarnex::avx2::multiply_narrow,
                                              tarnex::avx512::multiply_narrow);
}

std::vector<levels::Named<tarnex::RowFn>> runnable_row_kernels() {
    return levels::runnable<tarnex::RowFn>(tarnex::baseline::multiply_row,
                                           tarnex::avx2::multiply_row,
                                           tarnex::avx512::multiply_row);
}

class EveryKernel : public testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(EveryKernel, SameBitsAsSequentialSums) {
    const auto [m, k, n] = GetParam();
    std::mt19937_64 rng(m * 1000003 + k * 1009 + n);
    const std::vector<double> a = random_values(rng, m * k);
    const std::vector<double> b = random_values(rng, k * n);
    const std::vector<double> expected = reference(a, b, m, k, n);
    for (const auto& named : runnable_kernels()) {
        std::vector<double> c(m * n, 12345.0);
        tarnex::multiply_blocked(a.data(), b.data(), c.data(), m, k, n, named.kernel());
        EXPECT_EQ(0, std::memcmp(c.data(), expected.data(), c.size() * sizeof(double)))
            << named.name << " kernel, " << m << "x" << k << " times " << k << "x" << n;
    }
    if (m == 1) {
        for (const auto& named : runnable_row_kernels()) {
            std::vector<double> c(n, 12345.0);
            named.kernel(a.data(), b.data(), c.data(), k, n);
            EXPECT_EQ(0, std::memcmp(c.data(), expected.data(), c.size() * sizeof(double)))
                << named.name << " row kernel, 1x" << k << " times " << k << "x" << n;
        }
    }
    if (static_cast<std::uint64_t>(n) > tarnex::narrow_max_cols) return;
    for (const auto& named : runnable_narrow_kernels()) {
        std::vector<double> c(m * n, 12345.0);
        named.kernel(a.data(), b.data(), c.data(), m, k, n);
        EXPECT_EQ(0, std::memcmp(c.data(), expected.data(), c.size() * sizeof(double)))
            << named.name << " narrow kernel, " << m << "x" << k << " times " << k << "x" << n;
    }
}

// Heights and widths around every kernel's tile, with and without packing of b (one row
// tile or several), depths of one and several blocks, and results of several column blocks;
// for the narrow kernels, heights and depths around 2, 4 and 8 rows or steps per block; for
// the one-row kernels, widths around a vector and a wide tile and depths around a block.
INSTANTIATE_TEST_SUITE_P(Shapes, EveryKernel,
                         testing::Values(std::make_tuple(1, 1, 1), std::make_tuple(1, 5, 3),
                                         std::make_tuple(2, 3, 4), std::make_tuple(3, 5, 7),
                                         std::make_tuple(4, 300, 13), std::make_tuple(5, 257, 9),
                                         std::make_tuple(6, 1, 32), std::make_tuple(7, 13, 9),
                                         std::make_tuple(9, 24, 31), std::make_tuple(13, 37, 70),
                                         std::make_tuple(40, 3, 1), std::make_tuple(2, 600, 70),
                                         std::make_tuple(8, 520, 300),
                                         std::make_tuple(31, 257, 65), std::make_tuple(17, 9, 2),
                                         std::make_tuple(8, 16, 4), std::make_tuple(25, 31, 3),
                                         std::make_tuple(9, 7, 1), std::make_tuple(3, 4, 2),
                                         std::make_tuple(5, 10, 4), std::make_tuple(6, 8, 1),
                                         std::make_tuple(12, 17, 3), std::make_tuple(7, 1, 4),
                                         std::make_tuple(11, 301, 1), std::make_tuple(33, 20, 4),
                                         std::make_tuple(50, 9, 2), std::make_tuple(1, 3, 5),
                                         std::make_tuple(1, 9, 70), std::make_tuple(1, 601, 137),
                                         std::make_tuple(1, 4, 64)));

}  // namespace
