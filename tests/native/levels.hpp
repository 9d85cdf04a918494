// What the kernel tests share: which instruction-set levels they can run here (a level the
// CPU lacks is reported once, so a run on a smaller CPU says what it did not check), and
// their inputs of random values mixed with special ones.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "lib/cpu/isa.hpp"

namespace levels {

inline bool runs(tarnex::cpu::Isa level) {
    const bool ok = static_cast<int>(level) <= static_cast<int>(tarnex::cpu::detected_isa());
    static bool told[3] = {};
    if (!ok && !told[static_cast<int>(level)]) {
        told[static_cast<int>(level)] = true;
        std::printf("this CPU cannot run the %s kernels; they are not checked here\n",
                    tarnex::cpu::isa_name(level));
    }
    return ok;
}

// One kernel of each level this CPU runs, named by its level.
template <class Kernel>
struct Named {
    const char* name;
    Kernel kernel;
};
template <class Kernel>
std::vector<Named<Kernel>> runnable(Kernel baseline, Kernel avx2, Kernel avx512) {
    std::vector<Named<Kernel>> out{{"baseline", baseline}};
    if (runs(tarnex::cpu::Isa::avx2)) out.push_back({"avx2", avx2});
    if (runs(tarnex::cpu::Isa::avx512)) out.push_back({"avx512", avx512});
    return out;
}

inline double from_bits(std::uint64_t u) {
    double d;
    std::memcpy(&d, &u, sizeof d);
    return d;
}

// `count` values from `rng`: for each, one draw modulo `choices` picks one of the specials
// (a pick below their count), else the value is a draw of `uniform`.
template <std::size_t S>
std::vector<double> mixed_values(std::mt19937_64& rng, std::uint64_t count,
                                 const double (&specials)[S],
                                 std::uniform_real_distribution<double> uniform,
                                 std::uint64_t choices) {
    std::vector<double> out(count);
    for (double& x : out) {
        const std::uint64_t pick = rng() % choices;
        x = pick < S ? specials[pick] : uniform(rng);
    }
    return out;
}

}  // namespace levels
