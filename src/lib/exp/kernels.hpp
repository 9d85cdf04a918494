// The vector exponential and the two loops built on it, in the two roundings the C library's
// exp comes in: one table of them per instruction-set level.
//
// The algorithm is the C library's own (glibc 2.29 and later): k = round(x * 128 / ln 2) by
// adding a shift constant, r = x - k * ln 2 / 128 in two parts, 2^(k/128) from a table of 128
// pairs, a degree-5 polynomial in r, and the scale 2^(k/128) applied last; inputs with
// |x| >= 512 take its special cases. The library is compiled twice, and which build a process
// gets depends on the CPU: without fused multiply-add every product and sum is rounded on its
// own ("separate"); with it, nine multiply-adds are fused ("fused"), which changes the last bit
// of about 7 results in 10,000. Both are here, operation for operation, so that one of them
// gives exactly the bits of the exp the process runs; exp.cpp finds out which.
#pragma once

#include <bit>
#include <cstdint>

namespace tarnex {

using ExpLoop = void (*)(const double* x, double* out, std::uint64_t n) noexcept;
using ExpSumLoop = double (*)(const double* x, double* out, std::uint64_t n) noexcept;

struct ExpVariant {
    // out[i] = exp(x[i]); out may be x.
    ExpLoop exp;
    // The same, returning the left-to-right sum of out[0, n) from -0.0 (s = s + out[i]).
    ExpSumLoop exp_sum;
    // out[i] = 1.0 / (exp(-x[i]) + 1.0); out may be x.
    ExpLoop sigmoid;
};

// The fused variant's loops are TARNEX_FUSED_LOOPs (lib/simd/lanes.hpp). Every function they
// call is forced inline as well, since not every compiler's flatten reaches through
// templates and lambdas.
#define TARNEX_EXP_INLINE [[gnu::always_inline]] inline
#define TARNEX_EXP_INLINE_LAMBDA __attribute__((always_inline))

struct ExpKernels {
    // Every multiplication and addition rounded on its own.
    ExpVariant separate;
    // Fused where the C library's FMA build fuses; on the AVX2 level only for a CPU with FMA
    // (cpu::has_fma()), on the baseline through the C library's fma (exact, but slow).
    ExpVariant fused;
};

// The table of 2^(k/128) as (tail, scale bits - (k << 45)) pairs, k = 0 .. 127.
struct ExpTable {
    alignas(64) double pairs[256];
};
extern const ExpTable exp_table;

// The table for the active level.
const ExpKernels& exp_kernels() noexcept;

namespace baseline { extern const ExpKernels exp_kernels; }
namespace avx2 { extern const ExpKernels exp_kernels; }
namespace avx512 { extern const ExpKernels exp_kernels; }

}  // namespace tarnex
