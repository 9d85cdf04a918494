#include "lib/exp/exp.hpp"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "lib/cpu/isa.hpp"
#include "lib/exp/kernels.hpp"
#include "lib/exp/library_math.hpp"
#include "lib/exp/self_check.hpp"
#include "lib/simd/baseline.hpp"

namespace tarnex {

namespace {

struct Active {
    ExpPath path;
    const ExpVariant* variant;  // nullptr for the library
};

// The fused variant is offered where it is an instruction: on AVX-512, and on AVX2 when the
// CPU has FMA (the baseline's fma is a library call, slower than the library's exp; a CPU
// whose library fuses has AVX2 anyway, so only a build capped at the baseline meets this).
// TARNEX_EXP=libm in the environment, read once, keeps the library's exp for the process
// (results are the same; for timing the library's loop).
Active choose() noexcept {
    const char* forced = std::getenv("TARNEX_EXP");
    if (forced != nullptr && std::strcmp(forced, "libm") == 0) return {ExpPath::libm, nullptr};
    const ExpKernels& kernels = exp_kernels();
    const bool fused = cpu::fused_instructions();
    const ExpPath path =
        choose_exp_path(library_exp(), fused ? &kernels.fused : nullptr, &kernels.separate);
    switch (path) {
        case ExpPath::vector_fused: return {path, &kernels.fused};
        case ExpPath::vector: return {path, &kernels.separate};
        case ExpPath::libm: break;
    }
    return {ExpPath::libm, nullptr};
}

// Chosen once, at first use; the initialisation of a local static is thread-safe.
const Active& active() noexcept {
    static const Active chosen = choose();
    return chosen;
}

}  // namespace

void exp_elements(const double* x, double* out, std::uint64_t n) noexcept {
    if (const ExpVariant* v = active().variant) return v->exp(x, out, n);
    const MathFunction exp = library_exp();
    for (std::uint64_t i = 0; i < n; ++i) out[i] = exp(x[i]);
}

double exp_elements_sum(const double* x, double* out, std::uint64_t n) noexcept {
    if (const ExpVariant* v = active().variant) return v->exp_sum(x, out, n);
    const MathFunction exp = library_exp();
    double s = -0.0;
    for (std::uint64_t i = 0; i < n; ++i) {
        out[i] = exp(x[i]);
        s = baseline::Lanes::add1(s, out[i]);
    }
    return s;
}

void sigmoid_elements(const double* x, double* out, std::uint64_t n) noexcept {
    if (const ExpVariant* v = active().variant) return v->sigmoid(x, out, n);
    const MathFunction exp = library_exp();
    for (std::uint64_t i = 0; i < n; ++i) {
        const double t = exp(-x[i]);
        const double u = baseline::Lanes::add1(t, 1.0);
        out[i] = 1.0 / u;
    }
}

const char* exp_path() noexcept { return exp_path_name(active().path); }

}  // namespace tarnex
