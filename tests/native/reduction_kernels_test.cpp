// argmax on every level this CPU can run, against the sequential scan, on inputs built to
// catch a vectorised search that loses the first position or lets a NaN through.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "lib/reductions/kernels.hpp"
#include "native/levels.hpp"

namespace {

using tarnex::cpu::Isa;

constexpr double inf = std::numeric_limits<double>::infinity();
const double nan = std::nan("");

std::uint64_t sequential(const std::vector<double>& x) {
    double best = x[0];
    std::uint64_t result = 0;
    for (std::uint64_t i = 1; i < x.size(); ++i) {
        if (x[i] > best) {
            best = x[i];
            result = i;
        }
    }
    return result;
}

struct Level {
    Isa isa;
    const tarnex::ReductionKernels* kernels;
};

std::vector<Level> runnable_levels() {
    std::vector<Level> out{{Isa::baseline, &tarnex::baseline::reduction_kernels}};
    if (levels::runs(Isa::avx2)) out.push_back({Isa::avx2, &tarnex::avx2::reduction_kernels});
    if (levels::runs(Isa::avx512)) {
        out.push_back({Isa::avx512, &tarnex::avx512::reduction_kernels});
    }
    return out;
}

void expect_every_level(const std::vector<double>& x, const std::string& what) {
    const std::uint64_t expected = sequential(x);
    for (const Level& level : runnable_levels()) {
        EXPECT_EQ(level.kernels->argmax(x.data(), x.size()), expected)
            << tarnex::cpu::isa_name(level.isa) << ": " << what << ", n=" << x.size();
    }
}

// Inputs of one length: each names how its values are made from the position and a random
// draw from a small set, so that ties, signed zeros, infinities and NaNs are common.
using Maker = std::vector<double> (*)(std::uint64_t n, std::mt19937_64& rng);

std::vector<double> draws(std::uint64_t n, std::mt19937_64& rng, std::vector<double> pool) {
    std::vector<double> x(n);
    for (double& v : x) v = pool[rng() % pool.size()];
    return x;
}

const std::vector<std::pair<const char*, Maker>> makers = {
    {"few distinct values with NaNs",
     [](std::uint64_t n, std::mt19937_64& rng) {
         return draws(n, rng, {1.0, 2.0, 2.0, -1.0, nan, 0.0, -0.0, 3.0});
     }},
    {"signed zeros and NaNs",
     [](std::uint64_t n, std::mt19937_64& rng) { return draws(n, rng, {-0.0, 0.0, nan, -inf}); }},
    {"all NaN", [](std::uint64_t n, std::mt19937_64&) { return std::vector<double>(n, nan); }},
    {"NaN at 0, larger values after",
     [](std::uint64_t n, std::mt19937_64& rng) {
         std::vector<double> x = draws(n, rng, {1.0, inf, 5.0});
         x[0] = nan;
         return x;
     }},
    {"NaN then a maximum at the end",
     [](std::uint64_t n, std::mt19937_64& rng) {
         std::vector<double> x = draws(n, rng, {nan, -inf, 1.0});
         if (n > 1) x[n - 1] = inf;
         return x;
     }},
    {"infinities only",
     [](std::uint64_t n, std::mt19937_64& rng) { return draws(n, rng, {-inf, inf, -inf}); }},
    {"all minus infinity",
     [](std::uint64_t n, std::mt19937_64&) { return std::vector<double>(n, -inf); }},
    {"increasing", [](std::uint64_t n, std::mt19937_64&) {
         std::vector<double> x(n);
         for (std::uint64_t i = 0; i < n; ++i) x[i] = static_cast<double>(i) - 3.0;
         return x;
     }},
    {"decreasing", [](std::uint64_t n, std::mt19937_64&) {
         std::vector<double> x(n);
         for (std::uint64_t i = 0; i < n; ++i) x[i] = -static_cast<double>(i);
         return x;
     }},
    {"-0.0 first, 0.0 later", [](std::uint64_t n, std::mt19937_64& rng) {
         std::vector<double> x = draws(n, rng, {-1.0, nan, 0.0});
         x[0] = -0.0;
         return x;
     }},
    {"uniform", [](std::uint64_t n, std::mt19937_64& rng) {
         std::uniform_real_distribution<double> u(-1.0, 1.0);
         std::vector<double> x(n);
         for (double& v : x) v = u(rng);
         return x;
     }},
};

class ArgmaxLength : public testing::TestWithParam<std::uint64_t> {};

TEST_P(ArgmaxLength, MatchesSequentialScan) {
    const std::uint64_t n = GetParam();
    for (const auto& [what, make] : makers) {
        for (std::uint64_t seed = 0; seed < 4; ++seed) {
            std::mt19937_64 rng(n * 31 + seed);
            expect_every_level(make(n, rng), what);
        }
    }
}

// Every length up to a few vectors and chains, and lengths around the block of 512 and its
// multiples.
std::vector<std::uint64_t> lengths() {
    std::vector<std::uint64_t> out;
    for (std::uint64_t n = 1; n <= 70; ++n) out.push_back(n);
    for (std::uint64_t base : {511u, 1023u, 1535u, 4095u}) {
        for (std::uint64_t d = 0; d < 3; ++d) out.push_back(base + d);
    }
    return out;
}

INSTANTIATE_TEST_SUITE_P(Lengths, ArgmaxLength, testing::ValuesIn(lengths()));

// One maximum planted at every position of a length spanning several blocks, with a tie
// later, a NaN just before and just after it, and -0.0 / 0.0 as the runners-up.
TEST(Argmax, PlantedMaximumAtEveryPosition) {
    const std::uint64_t n = 1100;
    for (std::uint64_t at = 0; at < n; ++at) {
        std::vector<double> x(n);
        for (std::uint64_t i = 0; i < n; ++i) x[i] = i % 2 == 0 ? -0.0 : 0.0;
        x[at] = 7.0;
        if (at > 0) x[at - 1] = nan;
        if (at + 1 < n) x[at + 1] = nan;
        x[(at + 600) % n] = 7.0;
        expect_every_level(x, "planted at " + std::to_string(at));
    }
}

}  // namespace
