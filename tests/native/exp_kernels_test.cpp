// The vector exponential on every level this CPU can run: the variant a process picks gives
// the C library's exp bit for bit; each variant gives the same bits on every level and its own
// column of the self-check inputs; the sum and the logistic follow their sequential
// definitions; and the self-check refuses a variant that misses a single check input.
//
// TARNEX_EXP_INPUTS sets how many inputs the comparison with the C library takes (default
// 10^7; 1e9 for a long run), TARNEX_EXP_LEVEL_INPUTS how many the comparison of the levels
// takes (default 3 * 10^6). Both are read as numbers, so 1e9 is accepted.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/cpu/isa.hpp"
#include "lib/exp/exp.hpp"
#include "lib/exp/kernels.hpp"
#include "lib/exp/self_check.hpp"
#include "native/levels.hpp"

namespace {

using tarnex::ExpKernels;
using tarnex::ExpLoop;
using tarnex::ExpPath;
using tarnex::ExpVariant;
using tarnex::cpu::Isa;

constexpr double inf = std::numeric_limits<double>::infinity();

std::uint64_t bits(double d) { return std::bit_cast<std::uint64_t>(d); }
double from_bits(std::uint64_t u) { return std::bit_cast<double>(u); }

double library_exp(double x) noexcept { return std::exp(x); }

std::string show(double d) {
    char s[64];
    std::snprintf(s, sizeof s, "%016llx (%a)", static_cast<unsigned long long>(bits(d)), d);
    return s;
}

std::uint64_t count_from_environment(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return fallback;
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (*end != '\0' || !(v >= 0.0 && v < 1e15)) {
        ADD_FAILURE() << name << "=" << text << " is not a count";
        return fallback;
    }
    return static_cast<std::uint64_t>(v);
}

// ---- levels and variants ------------------------------------------------------------------

struct Level {
    Isa isa;
    const ExpKernels* kernels;
    bool fused_runs;  // the AVX2 level's fused variant needs the FMA instructions
    const char* name() const { return tarnex::cpu::isa_name(isa); }
};

std::vector<Level> runnable_levels() {
    std::vector<Level> out{{Isa::baseline, &tarnex::baseline::exp_kernels, true}};
    if (levels::runs(Isa::avx2)) {
        out.push_back({Isa::avx2, &tarnex::avx2::exp_kernels, tarnex::cpu::has_fma()});
    }
    if (levels::runs(Isa::avx512)) out.push_back({Isa::avx512, &tarnex::avx512::exp_kernels, true});
    return out;
}

// What the process picks when this level is the active one, offered as exp.cpp offers: the
// fused variant on AVX-512 and on AVX2 with FMA, the separate one everywhere.
ExpPath chosen_path(const Level& level) {
    const bool offer_fused = level.isa == Isa::avx512 || (level.isa == Isa::avx2 && level.fused_runs);
    return tarnex::choose_exp_path(library_exp, offer_fused ? &level.kernels->fused : nullptr,
                                   &level.kernels->separate);
}

const ExpVariant* variant_of(const Level& level, ExpPath path) {
    switch (path) {
        case ExpPath::vector_fused: return &level.kernels->fused;
        case ExpPath::vector: return &level.kernels->separate;
        case ExpPath::libm: break;
    }
    return nullptr;
}

struct Named {
    const char* name;
    bool fused;
};
constexpr Named variants[] = {{"separate", false}, {"fused", true}};

const ExpVariant& pick(const Level& level, bool fused) {
    return fused ? level.kernels->fused : level.kernels->separate;
}

// ---- inputs -------------------------------------------------------------------------------

// c and `ulps` neighbours on each side.
void around(std::vector<double>& v, double c, int ulps) {
    v.push_back(c);
    double lo = c, hi = c;
    for (int i = 0; i < ulps; ++i) {
        lo = std::nextafter(lo, -inf);
        hi = std::nextafter(hi, inf);
        v.push_back(lo);
        v.push_back(hi);
    }
}

void uniform(std::vector<double>& v, std::mt19937_64& rng, double lo, double hi, int count) {
    std::uniform_real_distribution<double> d(lo, hi);
    for (int i = 0; i < count; ++i) v.push_back(d(rng));
}

// The inputs where an exponential goes wrong first, about 2 * 10^6 of them.
std::vector<double> make_structured() {
    std::vector<double> v;
    std::mt19937_64 rng(20261210);
    // Zeros, infinities and NaNs, quiet and signalling, of both signs.
    for (std::uint64_t sign : {std::uint64_t{0}, std::uint64_t{1} << 63}) {
        for (std::uint64_t u : {0x0ULL, 0x7FF0000000000000ULL, 0x7FF8000000000000ULL,
                                0x7FF8000000000001ULL, 0x7FFFFFFFFFFFFFFFULL,
                                0x7FF80000DEADBEEFULL, 0x7FF0000000000001ULL,
                                0x7FF4000000000000ULL, 0x7FF7FFFFFFFFFFFFULL}) {
            v.push_back(from_bits(u | sign));
        }
    }
    for (int i = 0; i < 4000; ++i) {  // random payloads
        std::uint64_t u = 0x7FF0000000000000ULL | (rng() & 0x800FFFFFFFFFFFFFULL);
        if ((u & 0x000FFFFFFFFFFFFFULL) == 0) u |= 1;
        v.push_back(from_bits(u));
    }
    // Tiny inputs, where exp(x) = 1 + x rounds to 1 or its neighbours; subnormal inputs.
    for (double c : {0x1p-54, 0x1p-53, 0x1p-52, 0x1p-30, 5e-324, 0x1p-1022, 0x0.fffffffffffffp-1022}) {
        around(v, c, 64);
        around(v, -c, 64);
    }
    for (int i = 0; i < 20000; ++i) {
        const int e = -1074 + static_cast<int>(rng() % 1060);
        v.push_back(std::ldexp(1.0 + static_cast<double>(rng() >> 12) * 0x1p-52, e) *
                    (rng() % 2 ? 1.0 : -1.0));
    }
    // The thresholds: the largest finite result, the smallest normal and the smallest
    // subnormal one, where the special cases start and end, and 1.0.
    for (std::uint64_t u : {0x40862e42fefa39efULL, 0xc086232bdd7abcd2ULL, 0xc0874910d52d3051ULL}) {
        around(v, from_bits(u), 2000);
    }
    for (double c : {512.0, 708.0, 1024.0, 709.0, 745.0, 746.0, 1.0, 0.5}) {
        around(v, c, 2000);
        around(v, -c, 2000);
    }
    // Subnormal results, the underflow side's special case, and around 512.
    uniform(v, rng, -745.2, -708.3, 200000);
    uniform(v, rng, -708.5, -511.5, 100000);
    uniform(v, rng, 500.0, 524.0, 50000);
    uniform(v, rng, -524.0, -500.0, 50000);
    uniform(v, rng, 707.5, 710.0, 20000);
    uniform(v, rng, 1000.0, 1100.0, 2000);
    uniform(v, rng, -1100.0, -1000.0, 2000);
    // The grid k * ln2 / 128, where the table index changes, and the points half way, where
    // the rounding of k does; each with its neighbours.
    constexpr double step = 0x1.62e42fefa39efp-1 / 128;
    for (int k = -137800; k <= 131200; ++k) {
        around(v, k * step, 1);
        around(v, (k + 0.5) * step, 1);
    }
    return v;
}

const std::vector<double>& structured() {
    static const std::vector<double> v = make_structured();
    return v;
}

constexpr std::uint64_t chunk = std::uint64_t{1} << 20;

// Chunk `index` of the random inputs: uniform in value over [-746, 710] for even indices,
// uniform over all 2^64 bit patterns for odd ones.
void random_chunk(std::uint64_t index, std::uint64_t n, std::vector<double>& x) {
    std::mt19937_64 rng(0x9E3779B97F4A7C15ULL * (index + 1));
    x.resize(n);
    if (index % 2 == 0) {
        std::uniform_real_distribution<double> d(-746.0, 710.0);
        for (double& e : x) e = d(rng);
    } else {
        for (double& e : x) e = from_bits(rng());
    }
}

// f(block, seed) over the structured set and then random chunks, `total` inputs in all (the
// structured set whole even when it is more), in bounded memory.
template <class F>
std::uint64_t for_each_block(std::uint64_t total, F f) {
    f(structured(), 0);
    std::uint64_t done = structured().size();
    std::vector<double> x;
    for (std::uint64_t index = 0; done < total; ++index) {
        random_chunk(index, std::min(chunk, total - done), x);
        f(x, index + 1);
        done += x.size();
    }
    return done;
}

// ---- running and comparing ----------------------------------------------------------------

// loop over x in pieces: short ones (every length mod every vector width and block) and long
// ones, each starting where the last ended so that the starts take every alignment, every
// other piece in place.
void run_in_pieces(ExpLoop loop, const std::vector<double>& x, std::vector<double>& out,
                   std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    out.resize(x.size());
    bool in_place = (seed & 1) != 0;
    for (std::uint64_t i = 0; i < x.size(); in_place = !in_place) {
        const std::uint64_t len = std::min<std::uint64_t>(
            rng() % 4 == 0 ? 100 + rng() % 4000 : rng() % 100, x.size() - i);
        if (in_place) {
            std::memcpy(out.data() + i, x.data() + i, len * sizeof(double));
            loop(out.data() + i, out.data() + i, len);
        } else {
            loop(x.data() + i, out.data() + i, len);
        }
        i += len;
    }
}

// How many positions' bits differ; the first few are reported.
std::uint64_t mismatches(const std::vector<double>& x, const std::vector<double>& got,
                         const std::vector<double>& want, const std::string& what) {
    if (got.empty() || std::memcmp(got.data(), want.data(), got.size() * sizeof(double)) == 0) {
        return 0;
    }
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < got.size(); ++i) {
        if (bits(got[i]) == bits(want[i])) continue;
        if (++count <= 5) {
            ADD_FAILURE() << what << ": x = " << show(x[i]) << " gives " << show(got[i])
                          << ", expected " << show(want[i]);
        }
    }
    return count;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// ---- the C library's bits -----------------------------------------------------------------

TEST(ExpKernels, TheChosenVariantGivesTheLibrarysBits) {
    const std::uint64_t total = count_from_environment("TARNEX_EXP_INPUTS", 10'000'000);
    struct Run {
        const Level level;
        const ExpVariant* variant;
        const char* name;
        std::uint64_t wrong;
    };
    std::vector<Run> runs;
    for (const Level& level : runnable_levels()) {
        const ExpPath path = chosen_path(level);
        std::printf("%s level: the self-check picks %s\n", level.name(), tarnex::exp_path_name(path));
        if (const ExpVariant* v = variant_of(level, path)) {
            runs.push_back({level, v, tarnex::exp_path_name(path), 0});
        }
    }
    std::printf("this process (%s level): exp_path() = %s\n",
                tarnex::cpu::isa_name(tarnex::cpu::active_isa()), tarnex::exp_path());
    if (runs.empty()) GTEST_SKIP() << "no level's vector exponential reproduces this C library";

    const auto start = std::chrono::steady_clock::now();
    std::vector<double> want, got;
    const std::uint64_t done = for_each_block(total, [&](const std::vector<double>& x, std::uint64_t seed) {
        want.resize(x.size());
        for (std::uint64_t i = 0; i < x.size(); ++i) want[i] = std::exp(x[i]);
        for (Run& r : runs) {
            run_in_pieces(r.variant->exp, x, got, seed * 3 + static_cast<int>(r.level.isa));
            r.wrong += mismatches(x, got, want, std::string(r.level.name()) + " " + r.name);
        }
    });
    for (const Run& r : runs) {
        std::printf("%s %s: %llu of %llu inputs differ from the C library's exp (%.1f s in all)\n",
                    r.level.name(), r.name, static_cast<unsigned long long>(r.wrong),
                    static_cast<unsigned long long>(done), seconds_since(start));
        EXPECT_EQ(r.wrong, 0u) << r.level.name() << " " << r.name;
    }
}

// What the process itself uses: the path the self-check picks for its level (or libm when
// TARNEX_EXP=libm), and the library's bits from its three entry points.
TEST(ExpKernels, TheProcessEntryPointsGiveTheLibrarysBits) {
    const char* forced = std::getenv("TARNEX_EXP");
    std::string expected = "libm";
    if (forced == nullptr || std::strcmp(forced, "libm") != 0) {
        for (const Level& level : runnable_levels()) {
            if (level.isa == tarnex::cpu::active_isa()) {
                expected = tarnex::exp_path_name(chosen_path(level));
            }
        }
    }
    EXPECT_EQ(tarnex::exp_path(), expected);

    const std::vector<double>& x = structured();
    std::vector<double> want(x.size()), got(x.size()), sig(x.size());
    double s = -0.0;
    for (std::uint64_t i = 0; i < x.size(); ++i) {
        want[i] = std::exp(x[i]);
        s = std::isnan(s) ? s : s + want[i];
        sig[i] = 1.0 / (std::exp(-x[i]) + 1.0);
    }
    tarnex::exp_elements(x.data(), got.data(), x.size());
    EXPECT_EQ(mismatches(x, got, want, "exp_elements"), 0u);
    got.assign(x.size(), 0.0);
    EXPECT_EQ(bits(tarnex::exp_elements_sum(x.data(), got.data(), x.size())), bits(s));
    EXPECT_EQ(mismatches(x, got, want, "exp_elements_sum"), 0u);
    got = x;
    tarnex::sigmoid_elements(got.data(), got.data(), got.size());
    EXPECT_EQ(mismatches(x, got, sig, "sigmoid_elements"), 0u);
}

// ---- the levels agree ---------------------------------------------------------------------

// The baseline's variant over each block in one call is what every level gives in pieces,
// the exponential and the logistic both.
TEST(ExpKernels, EachVariantGivesTheSameBitsOnEveryLevel) {
    const std::uint64_t total = count_from_environment("TARNEX_EXP_LEVEL_INPUTS", 3'000'000);
    const std::vector<Level> all = runnable_levels();
    std::vector<double> want, got;
    std::uint64_t wrong = 0;
    for_each_block(total, [&](const std::vector<double>& x, std::uint64_t seed) {
        want.resize(x.size());
        for (const Named& v : variants) {
            for (bool logistic : {false, true}) {
                const auto loop = [&](const Level& l) {
                    return logistic ? pick(l, v.fused).sigmoid : pick(l, v.fused).exp;
                };
                loop(all[0])(x.data(), want.data(), x.size());
                for (const Level& level : all) {
                    if (v.fused && !level.fused_runs) continue;
                    run_in_pieces(loop(level), x, got, seed * 5 + static_cast<int>(level.isa));
                    wrong += mismatches(x, got, want,
                                        std::string(level.name()) + " " + v.name +
                                            (logistic ? " sigmoid" : " exp"));
                }
            }
        }
    });
    EXPECT_EQ(wrong, 0u);
}

TEST(ExpKernels, EachVariantReproducesItsColumnOfTheCheckInputs) {
    const std::uint64_t n = tarnex::exp_check_input_count;
    std::vector<double> x(n), fused(n), separate(n), got;
    for (std::uint64_t i = 0; i < n; ++i) {
        x[i] = from_bits(tarnex::exp_check_inputs[i].x);
        fused[i] = from_bits(tarnex::exp_check_inputs[i].fused);
        separate[i] = from_bits(tarnex::exp_check_inputs[i].separate);
    }
    std::uint64_t telling_apart = 0;
    for (std::uint64_t i = 0; i < n; ++i) telling_apart += bits(fused[i]) != bits(separate[i]);
    EXPECT_GT(telling_apart, 100u);
    for (const Level& level : runnable_levels()) {
        for (const Named& v : variants) {
            if (v.fused && !level.fused_runs) continue;
            const std::string what = std::string(level.name()) + " " + v.name;
            const ExpLoop exp = pick(level, v.fused).exp;
            got.assign(n, 0.0);
            exp(x.data(), got.data(), n);
            EXPECT_EQ(mismatches(x, got, v.fused ? fused : separate, what), 0u);
            for (std::uint64_t seed = 1; seed <= 8; ++seed) {
                run_in_pieces(exp, x, got, seed);
                EXPECT_EQ(mismatches(x, got, v.fused ? fused : separate, what + " in pieces"), 0u);
            }
        }
    }
}

// ---- lengths, starts, in place ------------------------------------------------------------

TEST(ExpKernels, EveryLengthAndStartWritesExactlyItsOutput) {
    const double specials[] = {from_bits(0x7FF8000000001234), from_bits(0xFFF4000000000042), inf,
                               -inf, -0.0, 0.0, -600.0, -709.5, -745.0, 709.9, 520.0, -520.0,
                               1e-20, 800.0, -2000.0, 5e-324};
    constexpr std::uint64_t guard = 24;
    const double sentinel = from_bits(0x7FF4DEADBEEF0001);
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> ordinary(-30.0, 30.0);
    const std::vector<Level> all = runnable_levels();
    for (std::uint64_t n = 0; n <= 80; ++n) {
        for (std::uint64_t start = 0; start < 8; ++start) {
            std::vector<double> x(n);
            const bool with_specials = (start % 2) == 1;
            for (double& e : x) {
                e = with_specials && rng() % 8 == 0 ? specials[rng() % std::size(specials)]
                                                    : ordinary(rng);
            }
            for (const Named& v : variants) {
                // Each element alone on the baseline: the reference for every length.
                std::vector<double> e(n), t(n), sig(n);
                double s = -0.0;
                for (std::uint64_t i = 0; i < n; ++i) {
                    pick(all[0], v.fused).exp(&x[i], &e[i], 1);
                    const double minus = from_bits(bits(x[i]) ^ (std::uint64_t{1} << 63));
                    pick(all[0], v.fused).exp(&minus, &t[i], 1);
                    sig[i] = 1.0 / (t[i] + 1.0);
                    s = std::isnan(s) ? s : s + e[i];
                }
                for (const Level& level : all) {
                    if (v.fused && !level.fused_runs) continue;
                    const ExpVariant& k = pick(level, v.fused);
                    for (int loop = 0; loop < 3; ++loop) {
                        for (bool in_place : {false, true}) {
                            std::vector<double> buf(n + start + 2 * guard, sentinel);
                            std::vector<double> src(n + start + guard, 0.5);
                            double* out = buf.data() + guard + start;
                            const double* in = in_place ? out : src.data() + start;
                            std::copy(x.begin(), x.end(), in_place ? out : src.data() + start);
                            double sum = 0.0;
                            if (loop == 0) k.exp(in, out, n);
                            if (loop == 1) sum = k.exp_sum(in, out, n);
                            if (loop == 2) k.sigmoid(in, out, n);
                            const std::vector<double> got(out, out + n);
                            const std::string what = std::string(level.name()) + " " + v.name +
                                                     " loop " + std::to_string(loop) + " n=" +
                                                     std::to_string(n) + " start " +
                                                     std::to_string(start) +
                                                     (in_place ? " in place" : "");
                            EXPECT_EQ(mismatches(x, got, loop == 2 ? sig : e, what), 0u);
                            if (loop == 1) {
                                EXPECT_EQ(bits(sum), bits(s)) << what;
                            }
                            for (std::uint64_t i = 0; i < guard + start; ++i) {
                                EXPECT_EQ(bits(buf[i]), bits(sentinel)) << what << " before";
                            }
                            for (std::uint64_t i = guard + start + n; i < buf.size(); ++i) {
                                EXPECT_EQ(bits(buf[i]), bits(sentinel)) << what << " after";
                            }
                        }
                    }
                }
            }
        }
    }
}

// ---- the sum and the logistic -------------------------------------------------------------

// For the variant the self-check picks, against std::exp: exp_sum's outputs are exp's and its
// result is s = -0.0; s = s + out[i] left to right (the running sum's NaN kept when both are
// NaN), sigmoid is 1.0 / (exp(-x) + 1.0), each operation rounded. The other variants are held
// to the same definitions over their own exp.
TEST(ExpKernels, TheSumAndTheLogisticFollowTheirSequentialDefinitions) {
    const std::vector<double>& pool = structured();
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> moderate(-30.0, 30.0), wide(-746.0, 710.0);
    std::uint64_t checked = 0;
    for (const Level& level : runnable_levels()) {
        const ExpVariant* chosen = variant_of(level, chosen_path(level));
        for (const Named& v : variants) {
            if (v.fused && !level.fused_runs) continue;
            const ExpVariant& k = pick(level, v.fused);
            const bool against_library = &k == chosen;
            for (int trial = 0; trial < 400; ++trial) {
                const std::uint64_t n = trial % 10 == 0 ? rng() % 20000 : rng() % 300;
                // Mostly moderate values, so that most sums stay finite and every last bit
                // of every term counts; now and then the whole range and the special cases.
                const int special_share = trial % 3;  // in eighths: none, 1/8, 2/8
                std::vector<double> x(n), e(n), sig(n), got(n);
                for (double& d : x) {
                    const std::uint64_t r = rng() % 8;
                    d = static_cast<int>(r) < special_share ? pool[rng() % pool.size()]
                        : r == 7                            ? wide(rng)
                                                            : moderate(rng);
                }
                std::vector<double> minus(n);
                for (std::uint64_t i = 0; i < n; ++i) {
                    minus[i] = from_bits(bits(x[i]) ^ (std::uint64_t{1} << 63));
                }
                if (against_library) {
                    for (std::uint64_t i = 0; i < n; ++i) {
                        e[i] = std::exp(x[i]);
                        sig[i] = 1.0 / (std::exp(-x[i]) + 1.0);
                    }
                } else {
                    k.exp(x.data(), e.data(), n);
                    k.exp(minus.data(), sig.data(), n);
                    for (double& t : sig) t = 1.0 / (t + 1.0);
                }
                double s = -0.0;
                for (double t : e) s = std::isnan(s) ? s : s + t;

                const std::string what = std::string(level.name()) + " " + v.name +
                                         " n=" + std::to_string(n);
                const bool in_place = trial % 2 == 1;
                if (in_place) got = x;
                const double sum = k.exp_sum(in_place ? got.data() : x.data(), got.data(), n);
                EXPECT_EQ(bits(sum), bits(s)) << what << " sum " << show(sum) << " vs " << show(s);
                EXPECT_EQ(mismatches(x, got, e, what + " exp_sum"), 0u);
                if (in_place) got = x;
                k.sigmoid(in_place ? got.data() : x.data(), got.data(), n);
                EXPECT_EQ(mismatches(x, got, sig, what + " sigmoid"), 0u);
                checked += against_library ? n : 0;
            }
        }
    }
    std::printf("%llu inputs against std::exp\n", static_cast<unsigned long long>(checked));
}

// ---- the self-check ------------------------------------------------------------------------

// References built from the table: one column, with the results of some check inputs
// altered (their bits xor `flip`).
struct TableReference {
    bool fused_column = true;
    std::vector<std::uint64_t> altered;
    std::uint64_t flip = 0;
};
const TableReference* reference_now = nullptr;

double table_reference(double x) noexcept {
    static const std::unordered_map<std::uint64_t, std::size_t> index = [] {
        std::unordered_map<std::uint64_t, std::size_t> m;
        for (std::size_t i = 0; i < tarnex::exp_check_input_count; ++i) {
            m.emplace(tarnex::exp_check_inputs[i].x, i);
        }
        return m;
    }();
    const auto found = index.find(bits(x));
    if (found == index.end()) return std::exp(x);  // not a check input: never asked
    const tarnex::ExpCheckInput& in = tarnex::exp_check_inputs[found->second];
    std::uint64_t r = reference_now->fused_column ? in.fused : in.separate;
    if (std::find(reference_now->altered.begin(), reference_now->altered.end(), in.x) !=
        reference_now->altered.end()) {
        r ^= reference_now->flip;
    }
    return from_bits(r);
}

ExpPath choose_with(const TableReference& ref, const ExpVariant* fused, const ExpVariant* separate) {
    reference_now = &ref;
    return tarnex::choose_exp_path(table_reference, fused, separate);
}

TEST(ExpKernels, TheSelfCheckPicksTheVariantThatMatchesOrTheLibrary) {
    const TableReference fused_column{true, {}, 0}, separate_column{false, {}, 0};
    for (const Level& level : runnable_levels()) {
        const ExpVariant* f = &level.kernels->fused;
        const ExpVariant* s = &level.kernels->separate;
        if (!level.fused_runs) f = nullptr;
        const char* name = level.name();
        if (f != nullptr) {
            EXPECT_EQ(choose_with(fused_column, f, s), ExpPath::vector_fused) << name;
            EXPECT_EQ(choose_with(fused_column, f, nullptr), ExpPath::vector_fused) << name;
            EXPECT_EQ(choose_with(separate_column, f, nullptr), ExpPath::libm) << name;
            EXPECT_EQ(choose_with(separate_column, f, s), ExpPath::vector) << name;
        }
        EXPECT_EQ(choose_with(fused_column, nullptr, s), ExpPath::libm) << name;
        EXPECT_EQ(choose_with(separate_column, nullptr, s), ExpPath::vector) << name;
        EXPECT_EQ(choose_with(fused_column, nullptr, nullptr), ExpPath::libm) << name;

        // One check input's result off by its last bit, or by its sign, in either column:
        // neither variant is trusted, nor with a few altered at once.
        std::mt19937_64 rng(3);
        for (bool fused : {true, false}) {
            for (std::uint64_t flip : {std::uint64_t{1}, std::uint64_t{1} << 63}) {
                for (std::size_t i = 0; i < tarnex::exp_check_input_count; ++i) {
                    TableReference ref{fused, {tarnex::exp_check_inputs[i].x}, flip};
                    if (i % 16 == 0) {
                        for (int j = 0; j < 3; ++j) {
                            ref.altered.push_back(
                                tarnex::exp_check_inputs[rng() % tarnex::exp_check_input_count].x);
                        }
                    }
                    EXPECT_EQ(choose_with(ref, f, s), ExpPath::libm)
                        << name << (fused ? " fused" : " separate") << " column, input " << i
                        << " altered by " << flip;
                    EXPECT_EQ(choose_with(ref, nullptr, s), ExpPath::libm) << name << " " << i;
                }
            }
        }
    }
}

}  // namespace
