// Stress test of the worker pool and the ordered map, meant to run under ThreadSanitizer:
// every output position is written through plain (unsynchronised) stores and counters, so
// overlapping pieces or a result read before its piece finished show up as data races.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "parallel/global_pool.hpp"
#include "parallel/lazy_pool.hpp"
#include "parallel/ordered_map.hpp"
#include "parallel/piece_plan.hpp"
#include "parallel/thread_count.hpp"

namespace tp = tarnex::parallel;

namespace {

std::uint64_t live_threads() {
    std::uint64_t count = 0;
    DIR* dir = opendir("/proc/self/task");
    while (dirent* entry = readdir(dir)) count += entry->d_name[0] != '.';
    closedir(dir);
    return count;
}

// The threads running now, after any helper thread the runtime starts with the first
// thread of the process (ThreadSanitizer has one) is up.
std::uint64_t baseline_threads() {
    std::thread([] {}).join();
    return live_threads();
}

// Joined threads can linger in /proc for a moment after pthread_join returns.
bool threads_drop_to(std::uint64_t expected) {
    for (int tries = 0; tries < 500; ++tries) {
        if (live_threads() == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return false;
}

std::vector<double> ramp(std::uint64_t n, double start) {
    std::vector<double> v(n);
    for (std::uint64_t i = 0; i < n; ++i) v[i] = start + 0.5 * static_cast<double>(i % 1000);
    return v;
}

const std::vector<std::uint64_t> sizes = {
    0, 1, 2, 3, 7, tp::inline_cutoff - 1, tp::inline_cutoff, tp::inline_cutoff + 1,
    2 * tp::min_piece + 5, 100003, std::uint64_t{1} << 20};

const std::vector<std::uint64_t> thread_counts = {1, 2, 3, 4, 7, 8, 16};

// ---------------------------------------------------------------- thread count rules

struct CountCase {
    const char* num_threads;
    const char* num_cpus;
    std::uint64_t expected;  // the default is 5 here
};

class ThreadCountRule : public testing::TestWithParam<CountCase> {};

TEST_P(ThreadCountRule, FollowsTheEnvironment) {
    const CountCase& c = GetParam();
    EXPECT_EQ(tp::choose_thread_count(c.num_threads, c.num_cpus, [] { return std::uint64_t{5}; }),
              c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ThreadCountRule,
    testing::Values(CountCase{"3", nullptr, 3}, CountCase{"+3", "9", 3}, CountCase{"007", nullptr, 7},
                    CountCase{"0", "7", 5}, CountCase{"+0", "7", 5}, CountCase{"abc", "7", 7},
                    CountCase{"-1", "7", 7}, CountCase{" 3", "7", 7}, CountCase{"3 ", "7", 7},
                    CountCase{"", "7", 7}, CountCase{"+", "7", 7}, CountCase{"++3", "7", 7},
                    CountCase{"18446744073709551616", "4", 4},
                    CountCase{"18446744073709551615", nullptr, UINT64_MAX},
                    CountCase{nullptr, nullptr, 5}, CountCase{nullptr, "0", 5},
                    CountCase{nullptr, "+2", 2}, CountCase{"x", "y", 5}));

TEST(AvailableCpus, DefaultIsPositive) {
    EXPECT_GE(tp::choose_thread_count(nullptr, nullptr, &tp::configured_thread_count), 1u);
}

// ---------------------------------------------------------------- piece plans

TEST(PiecePlan, PiecesCoverTheRangeOnLineBoundaries) {
    alignas(64) static double base[16];
    for (std::uint64_t n : {std::uint64_t{1}, std::uint64_t{40000}, std::uint64_t{1000003},
                            std::uint64_t{1} << 40}) {
        for (std::uint64_t threads : {1, 2, 3, 8, 64}) {
            for (int shift = 0; shift < 8; ++shift) {
                const double* out = base + shift;
                const tp::PiecePlan plan(n, threads, out);
                ASSERT_GE(plan.pieces(), 1u);
                ASSERT_LE(plan.helpers(threads), threads);
                ASSERT_EQ(plan.begin(0), 0u);
                ASSERT_EQ(plan.begin(plan.pieces()), n);
                for (std::uint64_t p = 1; p < plan.pieces(); ++p) {
                    ASSERT_LE(plan.begin(p - 1), plan.begin(p));
                    const std::uint64_t b = plan.begin(p);
                    if (b < n) {
                        ASSERT_EQ(reinterpret_cast<std::uintptr_t>(out + b) % 64, 0u);
                    }
                }
            }
        }
    }
}

// ---------------------------------------------------------------- ordered maps

class MapStress : public testing::TestWithParam<std::uint64_t> {};

TEST_P(MapStress, OneOperandWritesEveryPositionOnce) {
    tp::Pool pool(GetParam());
    for (int round = 0; round < 3; ++round) {
        for (std::uint64_t n : sizes) {
            const std::vector<double> in = ramp(n, 1.0 + round);
            std::vector<double> out(n, std::nan(""));
            std::vector<std::uint8_t> visits(n, 0);
            tp::ordered_map(pool, in.data(), n, out.data(),
                            [&](const double* x, double* o, std::uint64_t len) {
                                const std::uint64_t first = static_cast<std::uint64_t>(o - out.data());
                                if (x != in.data() + first) std::abort();
                                for (std::uint64_t k = 0; k < len; ++k) {
                                    o[k] = x[k] * 3.0 + 1.0;
                                    ++visits[first + k];
                                }
                            });
            for (std::uint64_t i = 0; i < n; ++i) {
                ASSERT_EQ(out[i], in[i] * 3.0 + 1.0) << "n=" << n << " i=" << i;
                ASSERT_EQ(visits[i], 1) << "n=" << n << " i=" << i;
            }
        }
    }
}

TEST_P(MapStress, TwoOperandsStopAtTheShorter) {
    tp::Pool pool(GetParam());
    for (std::uint64_t n : sizes) {
        for (std::uint64_t extra : {0, 1, 40000}) {
            const std::vector<double> a = ramp(n + extra, 2.0);
            const std::vector<double> b = ramp(n, -7.0);
            std::vector<double> out(n + 1, std::nan(""));
            const auto kernel = [](const double* x, const double* y, double* o, std::uint64_t len) {
                for (std::uint64_t k = 0; k < len; ++k) o[k] = x[k] + y[k];
            };
            ASSERT_EQ(tp::ordered_map(pool, a.data(), a.size(), b.data(), b.size(), out.data(), kernel), n);
            ASSERT_EQ(tp::ordered_map(pool, b.data(), b.size(), a.data(), a.size(), out.data(), kernel), n);
            for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(out[i], a[i] + b[i]);
            ASSERT_TRUE(std::isnan(out[n]));  // the position past n is never written
        }
    }
}

TEST_P(MapStress, ManySmallJobsInARow) {
    tp::Pool pool(GetParam());
    std::mt19937_64 random(GetParam());
    std::vector<std::uint64_t> hits(64);
    for (int job = 0; job < 20000; ++job) {
        const std::uint64_t pieces = 1 + random() % 64;
        const std::uint64_t helpers = 1 + random() % (GetParam() + 2);
        std::fill(hits.begin(), hits.end(), 0);
        pool.run(pieces, helpers,
                 [](void* context, std::uint64_t piece) {
                     ++static_cast<std::uint64_t*>(context)[piece];
                 },
                 hits.data());
        for (std::uint64_t p = 0; p < 64; ++p) ASSERT_EQ(hits[p], p < pieces ? 1u : 0u) << job;
    }
}

TEST_P(MapStress, ConcurrentSubmittersShareOnePool) {
    tp::Pool pool(GetParam());
    std::vector<std::thread> submitters;
    std::atomic<int> failures{0};
    for (int s = 0; s < 4; ++s) {
        submitters.emplace_back([&, s] {
            const std::uint64_t n = tp::inline_cutoff + 1000 * static_cast<std::uint64_t>(s);
            const std::vector<double> in = ramp(n, s);
            std::vector<double> out(n);
            for (int rep = 0; rep < 200; ++rep) {
                tp::ordered_map(pool, in.data(), n, out.data(),
                                [rep](const double* x, double* o, std::uint64_t len) {
                                    for (std::uint64_t k = 0; k < len; ++k) o[k] = x[k] + rep;
                                });
                for (std::uint64_t i = 0; i < n; ++i) failures += out[i] != in[i] + rep;
            }
        });
    }
    for (auto& t : submitters) t.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_P(MapStress, FailureOfAPieceReachesTheCaller) {
    tp::Pool pool(GetParam());
    const std::uint64_t n = 200000;
    const std::vector<double> in = ramp(n, 0.0);
    std::vector<double> out(n);
    for (int rep = 0; rep < 50; ++rep) {
        try {
            tp::ordered_map(pool, in.data(), n, out.data(),
                            [&](const double*, double* o, std::uint64_t) {
                                if (o == out.data()) throw std::runtime_error("first piece failed");
                            });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "first piece failed");
        }
        // The pool is usable afterwards.
        std::uint64_t hits = 0;
        pool.run(1, 1, [](void* c, std::uint64_t) { ++*static_cast<std::uint64_t*>(c); }, &hits);
        ASSERT_EQ(hits, 1u);
    }
}

TEST_P(MapStress, MapInsideAPieceRunsOnThatWorker) {
    tp::Pool pool(GetParam());
    const std::uint64_t n = 4 * tp::inline_cutoff;
    const std::vector<double> in = ramp(n, 0.0);
    std::vector<double> out(n);
    tp::ordered_map(pool, in.data(), n, out.data(), [&](const double* x, double* o, std::uint64_t len) {
        tp::ordered_map(pool, x, len, o, [](const double* xi, double* oi, std::uint64_t l) {
            for (std::uint64_t k = 0; k < l; ++k) oi[k] = -xi[k];
        });
    });
    for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(out[i], -in[i]);
}

INSTANTIATE_TEST_SUITE_P(Threads, MapStress, testing::ValuesIn(thread_counts));

// ---------------------------------------------------------------- start-up

std::atomic<std::uint64_t> lazy_count{1};

TEST(LazyStart, ConcurrentFirstCallsStartExactlyOnePool) {
    const std::uint64_t before = baseline_threads();
    for (int round = 0; round < 30; ++round) {
        const std::uint64_t threads = 1 + static_cast<std::uint64_t>(round) % 9;
        lazy_count = threads;
        {
            tp::LazyPool lazy([] { return lazy_count.load(); });
            std::atomic<int> ready{0};
            std::atomic<bool> go{false};
            std::vector<tp::Pool*> seen(6);
            std::vector<std::thread> callers;
            for (std::size_t c = 0; c < seen.size(); ++c) {
                callers.emplace_back([&, c] {
                    ++ready;
                    while (!go) std::this_thread::yield();
                    seen[c] = &lazy.get();
                    std::uint64_t hits = 0;
                    seen[c]->run(threads, threads,
                                 [](void* h, std::uint64_t) {
                                     static_cast<std::atomic<std::uint64_t>*>(h)->fetch_add(1);
                                 },
                                 reinterpret_cast<std::atomic<std::uint64_t>*>(&hits));
                });
            }
            while (ready < static_cast<int>(seen.size())) std::this_thread::yield();
            go = true;
            for (auto& t : callers) t.join();
            for (tp::Pool* p : seen) ASSERT_EQ(p, seen[0]);
            ASSERT_EQ(seen[0]->thread_count(), threads);
            ASSERT_EQ(live_threads(), before + threads);
        }
        ASSERT_TRUE(threads_drop_to(before)) << "round " << round;
    }
}

TEST(LazyStart, PoolsStartAndStopRepeatedly) {
    const std::uint64_t before = baseline_threads();
    for (int round = 0; round < 40; ++round) {
        const std::uint64_t threads = 1 + static_cast<std::uint64_t>(round) % 12;
        tp::Pool pool(threads);
        ASSERT_EQ(live_threads(), before + threads);
        const std::uint64_t n = tp::inline_cutoff * 3;
        const std::vector<double> in = ramp(n, round);
        std::vector<double> out(n);
        tp::ordered_map(pool, in.data(), n, out.data(), [](const double* x, double* o, std::uint64_t len) {
            for (std::uint64_t k = 0; k < len; ++k) o[k] = x[k] * x[k];
        });
        for (std::uint64_t i = 0; i < n; ++i) ASSERT_EQ(out[i], in[i] * in[i]);
    }
    EXPECT_TRUE(threads_drop_to(before));
}

TEST(GlobalPool, StartsOnFirstUseWithTheConfiguredCount) {
    setenv("RAYON_NUM_THREADS", "+3", 1);
    setenv("RAYON_RS_NUM_CPUS", "5", 1);
    const std::uint64_t before = baseline_threads();
    std::vector<std::thread> callers;
    std::vector<double> out(1);
    for (int c = 0; c < 4; ++c) {
        callers.emplace_back([] {
            double x = 2.0, y = 0.0;
            tp::ordered_map(tp::global_pool(), &x, 1, &y,
                            [](const double* a, double* o, std::uint64_t) { *o = *a; });
        });
    }
    for (auto& t : callers) t.join();
    EXPECT_EQ(tp::global_pool().thread_count(), 3u);
    EXPECT_EQ(live_threads(), before + 3);
}

}  // namespace
