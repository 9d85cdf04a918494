// The element-wise, mask, comparison and transpose kernels of every level this CPU can run, against
// plain loops over the same inputs: the same bits, lengths around every vector width.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "lib/compare/kernels.hpp"
#include "lib/elementwise/kernels.hpp"
#include "lib/selection/kernels.hpp"
#include "lib/views/kernels.hpp"
#include "native/levels.hpp"

namespace {

using tarnex::Bool;
using tarnex::cpu::Isa;

using levels::from_bits;

std::vector<double> values(std::uint64_t n, std::uint64_t seed) {
    const double specials[] = {from_bits(0x7FF8000000001234), from_bits(0xFFF0000000000042),
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), -0.0, 0.0, 5e-324};
    std::mt19937_64 rng(seed);
    const std::uniform_real_distribution<double> uniform(-10.0, 10.0);
    return levels::mixed_values(rng, n, specials, uniform, 12);
}

// Mask bytes: mostly 0 and 1, some other non-zero bytes (which also mean true).
std::vector<Bool> mask(std::uint64_t n, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    std::vector<Bool> out(n);
    for (Bool& b : out) {
        const std::uint64_t r = rng() % 8;
        b = static_cast<Bool>(r < 3 ? 0 : r < 7 ? 1 : 0x80);
    }
    return out;
}

bool same_bits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * 8) == 0);
}

struct Level {
    Isa isa;
    const tarnex::ElementwiseKernels* elementwise;
    const tarnex::MaskKernels* masks;
    tarnex::TransposeCopy transpose;
    const tarnex::CompareKernels* compares;
};

std::vector<Level> runnable_levels() {
    std::vector<Level> out;
    out.push_back({Isa::baseline, &tarnex::baseline::elementwise_kernels,
                   &tarnex::baseline::mask_kernels, tarnex::baseline::transpose_copy,
                   &tarnex::baseline::compare_kernels});
    if (levels::runs(Isa::avx2)) {
        out.push_back({Isa::avx2, &tarnex::avx2::elementwise_kernels, &tarnex::avx2::mask_kernels,
                       tarnex::avx2::transpose_copy, &tarnex::avx2::compare_kernels});
    }
    if (levels::runs(Isa::avx512)) {
        out.push_back({Isa::avx512, &tarnex::avx512::elementwise_kernels,
                       &tarnex::avx512::mask_kernels, tarnex::avx512::transpose_copy,
                       &tarnex::avx512::compare_kernels});
    }
    return out;
}

class EveryLength : public testing::TestWithParam<std::uint64_t> {};

TEST_P(EveryLength, ElementwiseKernels) {
    const std::uint64_t n = GetParam();
    const std::vector<double> a = values(n, 1 + n), b = values(n, 2 + n);
    std::vector<double> sum(n), product(n), scaled(n), rectified(n), divided = a;
    // When the left operand is NaN it is the result on every level (quieted, as the
    // hardware returns a signalling NaN), whatever the right one is.
    const auto nan_rule = [](double x, double r) {
        std::uint64_t u;
        std::memcpy(&u, &x, sizeof u);
        return std::isnan(x) ? from_bits(u | 0x0008000000000000) : r;
    };
    for (std::uint64_t i = 0; i < n; ++i) {
        sum[i] = nan_rule(a[i], a[i] + b[i]);
        product[i] = nan_rule(a[i], a[i] * b[i]);
        scaled[i] = a[i] * -1.5;
        rectified[i] = a[i] > 0.0 ? a[i] : 0.0;
        divided[i] = a[i] / 3.0;
    }
    for (const Level& level : runnable_levels()) {
        const auto& k = *level.elementwise;
        std::vector<double> out(n, 7.0);
        k.add(a.data(), b.data(), out.data(), n);
        EXPECT_TRUE(same_bits(out, sum)) << tarnex::cpu::isa_name(level.isa) << " add, n=" << n;
        k.mul(a.data(), b.data(), out.data(), n);
        EXPECT_TRUE(same_bits(out, product)) << tarnex::cpu::isa_name(level.isa) << " mul";
        k.scale(a.data(), -1.5, out.data(), n);
        EXPECT_TRUE(same_bits(out, scaled)) << tarnex::cpu::isa_name(level.isa) << " scale";
        k.relu(a.data(), out.data(), n);
        EXPECT_TRUE(same_bits(out, rectified)) << tarnex::cpu::isa_name(level.isa) << " relu";
        out = a;
        k.divide_in_place(out.data(), n, 3.0);
        EXPECT_TRUE(same_bits(out, divided)) << tarnex::cpu::isa_name(level.isa) << " divide";
        if (tarnex::cpu::fused_instructions(level.isa)) {
            out = a;
            k.divide_in_place_fused(out.data(), n, 3.0);
            EXPECT_TRUE(same_bits(out, divided))
                << tarnex::cpu::isa_name(level.isa) << " fused divide";
        }
    }
}

TEST_P(EveryLength, MaskKernels) {
    const std::uint64_t n = GetParam();
    const std::vector<double> a = values(n, 3 + n), b = values(n, 4 + n);
    const std::vector<Bool> m = mask(n, 5 + n);
    std::vector<double> filled = a, kept, chosen(n);
    for (std::uint64_t i = 0; i < n; ++i) {
        if (m[i] != 0) filled[i] = -2.5;
        if (m[i] != 0) kept.push_back(a[i]);
        chosen[i] = m[i] != 0 ? a[i] : b[i];
    }
    for (const Level& level : runnable_levels()) {
        const auto& k = *level.masks;
        const char* name = tarnex::cpu::isa_name(level.isa);
        std::vector<double> out(n, 0.0);
        k.fill_run(out.data(), n, 4.0);
        EXPECT_TRUE(same_bits(out, std::vector<double>(n, 4.0))) << name << " fill_run, n=" << n;
        out = a;
        k.fill_selected(out.data(), m.data(), n, -2.5);
        EXPECT_TRUE(same_bits(out, filled)) << name << " fill_selected, n=" << n;
        EXPECT_EQ(k.count_selected(m.data(), n), kept.size()) << name << " count_selected";
        // One guard element after the room for the kept ones must stay untouched.
        std::vector<double> packed(kept.size() + 1, 99.0);
        k.compress_selected(a.data(), m.data(), n, packed.data());
        EXPECT_EQ(packed.back(), 99.0) << name << " compress_selected wrote past its room";
        packed.pop_back();
        EXPECT_TRUE(same_bits(packed, kept)) << name << " compress_selected, n=" << n;
        k.choose_elements(m.data(), a.data(), b.data(), n, out.data());
        EXPECT_TRUE(same_bits(out, chosen)) << name << " choose_elements, n=" << n;
    }
}

// Each comparison's plain C++ form, by tarnex::Comparison.
bool holds(int op, double a, double b) {
    switch (op) {
        case 0: return a > b;
        case 1: return a >= b;
        case 2: return a < b;
        case 3: return a <= b;
        case 4: return a == b;
        default: return a != b;
    }
}

TEST_P(EveryLength, CompareKernels) {
    const std::uint64_t n = GetParam();
    // Every other b is a copy of a's element, so that equal pairs (and NaN with NaN) occur.
    const std::vector<double> a = values(n, 6 + n);
    std::vector<double> b = values(n, 7 + n);
    for (std::uint64_t i = 0; i < n; i += 2) b[i] = a[i];
    const std::vector<Bool> p = mask(n, 8 + n), q = mask(n, 9 + n);
    const double scalars[] = {0.0, -0.0, from_bits(0x7FF8000000000001), 1.5};
    for (const Level& level : runnable_levels()) {
        const auto& k = *level.compares;
        const char* name = tarnex::cpu::isa_name(level.isa);
        // One guard byte after the n outputs must stay untouched.
        std::vector<Bool> out(n + 1, 7);
        for (int op = 0; op < tarnex::comparison_count; ++op) {
            k.arrays[op](a.data(), b.data(), out.data(), n);
            for (std::uint64_t i = 0; i < n; ++i) {
                ASSERT_EQ(out[i], holds(op, a[i], b[i]) ? 1 : 0)
                    << name << " arrays op " << op << " n=" << n << " i=" << i;
            }
            for (double s : scalars) {
                k.scalars[op](a.data(), s, out.data(), n);
                for (std::uint64_t i = 0; i < n; ++i) {
                    ASSERT_EQ(out[i], holds(op, a[i], s) ? 1 : 0)
                        << name << " scalar op " << op << " n=" << n << " i=" << i;
                }
            }
        }
        k.isnan(a.data(), out.data(), n);
        for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(out[i], a[i] != a[i] ? 1 : 0) << name;
        k.logical_not(p.data(), out.data(), n);
        for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(out[i], p[i] == 0 ? 1 : 0) << name;
        k.logical_and(p.data(), q.data(), out.data(), n);
        for (std::uint64_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[i], p[i] != 0 && q[i] != 0 ? 1 : 0) << name << " and";
        }
        k.logical_or(p.data(), q.data(), out.data(), n);
        for (std::uint64_t i = 0; i < n; ++i) {
            ASSERT_EQ(out[i], p[i] != 0 || q[i] != 0 ? 1 : 0) << name << " or";
        }
        EXPECT_EQ(out[n], 7) << name << " wrote past its output";
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, EveryLength,
                         testing::Values(0, 1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 33, 100, 1001));

// Matrices around the tile widths (2, 4, 8) and the cache block (64), read from lines of
// a longer stride, as the view copy passes them.
class EveryMatrix : public testing::TestWithParam<std::pair<std::uint64_t, std::uint64_t>> {};

TEST_P(EveryMatrix, TransposeCopies) {
    const auto [rows, cols] = GetParam();
    const std::uint64_t stride = rows + 3;
    const std::vector<double> src = values(cols * stride, rows * 131 + cols);
    std::vector<double> expected(rows * cols);
    for (std::uint64_t i = 0; i < rows; ++i) {
        for (std::uint64_t j = 0; j < cols; ++j) expected[i * cols + j] = src[j * stride + i];
    }
    for (const Level& level : runnable_levels()) {
        std::vector<double> out(rows * cols, 1.0);
        level.transpose(src.data(), stride, rows, cols, out.data());
        EXPECT_TRUE(same_bits(out, expected))
            << tarnex::cpu::isa_name(level.isa) << " transpose " << rows << "x" << cols;
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, EveryMatrix,
                         testing::Values(std::pair{1ul, 1ul}, std::pair{2ul, 3ul},
                                         std::pair{8ul, 8ul}, std::pair{9ul, 7ul},
                                         std::pair{64ul, 64ul}, std::pair{65ul, 130ul},
                                         std::pair{200ul, 17ul}, std::pair{3ul, 300ul}));

// The fused division against the divider on 2 * 10^7 quotients: divisors of every exponent
// (those outside the fused range included) with random or short significands (3, 5, 7, ...
// times a power of two, whose quotients repeat bit patterns), dividends from far below to
// far above the divisor, and now and then a zero, a subnormal, an infinity or a NaN.
TEST(FusedDivision, GivesTheDividersQuotients) {
    std::mt19937_64 rng(17);
    const double specials[] = {0.0, -0.0, 5e-324, 0x1p-1022,
                               std::numeric_limits<double>::infinity(),
                               from_bits(0x7FF8000000000001)};
    constexpr std::uint64_t length = 1000, rounds = 20000;
    std::vector<double> a(length), want(length), got(length);
    for (const Level& level : runnable_levels()) {
        if (!tarnex::cpu::fused_instructions(level.isa)) continue;
        std::uint64_t mismatches = 0;
        for (std::uint64_t round = 0; round < rounds; ++round) {
            const std::uint64_t exponent = 1023 + rng() % 1400 - 700;
            const std::uint64_t significand =
                round % 3 == 0 ? (rng() % 64) << 46 : rng() & 0x000FFFFFFFFFFFFF;
            const double s = from_bits(exponent << 52 | significand);
            for (double& x : a) {
                const std::uint64_t pick = rng() % 200;
                const double factor = from_bits((1023 + rng() % 1160 - 950) << 52 |
                                                (rng() & 0x000FFFFFFFFFFFFF));
                x = pick < std::size(specials) ? specials[pick] : s * factor;
            }
            for (std::uint64_t i = 0; i < length; ++i) want[i] = a[i] / s;
            got = a;
            const std::uint64_t n = length - round % 9;
            level.elementwise->divide_in_place_fused(got.data(), n, s);
            for (std::uint64_t i = n; i < length; ++i) got[i] = want[i];
            mismatches += !same_bits(got, want);
        }
        EXPECT_EQ(mismatches, 0u) << tarnex::cpu::isa_name(level.isa);
    }
}

TEST(ActiveLevel, IsTheDetectedOneCappedByTheBuild) {
    const int detected = static_cast<int>(tarnex::cpu::detected_isa());
    const int cap = static_cast<int>(tarnex::cpu::build_cap());
    EXPECT_EQ(static_cast<int>(tarnex::cpu::active_isa()), detected < cap ? detected : cap);
}

}  // namespace
