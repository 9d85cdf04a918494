// The scatter-add loops, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level. Lanes hold different
// target elements, each getting one addition, so every level gives the same bits. This file
// includes nothing itself.

namespace {

void add_run(double* target, const double* values, std::uint64_t n) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        Lanes::store(target + i, Lanes::add(Lanes::load(target + i), Lanes::load(values + i)));
    }
    for (; i < n; ++i) target[i] = Lanes::add1(target[i], values[i]);
}

// One pick after the other: a place picked twice in a row needs the first sum before the
// second addition, so the picks are not spread across lanes.
void add_picked(double* line, const std::uint64_t* picks, const double* values,
                std::uint64_t n) noexcept {
    for (std::uint64_t t = 0; t < n; ++t) line[picks[t]] = Lanes::add1(line[picks[t]], values[t]);
}

}  // namespace

const ScatterKernels scatter_kernels = {.add_run = add_run, .add_picked = add_picked};
