// Which exponential reproduces the C library's in this process.
//
// The C library's exp has two bit patterns (its builds with and without fused multiply-add,
// picked by the CPU), and its bits also depend on what the compiler that built it chose to
// fuse. So the vector exponential is trusted only after it has given the reference's bits on
// inputs chosen to tell the roundings apart; otherwise every exponential calls the library.
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/exp/kernels.hpp"

namespace tarnex {

enum class ExpPath : int { vector_fused, vector, libm };

// "vector-fma", "vector" or "libm".
const char* exp_path_name(ExpPath path) noexcept;

struct ExpCheckInput {
    std::uint64_t x;
    std::uint64_t fused;     // exp(x) from the library's FMA build
    std::uint64_t separate;  // exp(x) from its build without FMA
};
extern const ExpCheckInput exp_check_inputs[];
extern const std::size_t exp_check_input_count;

// The first offered variant (fused, then separate; nullptr when not offered) whose exp gives
// reference(x) bit for bit on every check input, run as one array (so its vector body and its
// tail both take part); libm when neither does.
ExpPath choose_exp_path(double (*reference)(double), const ExpVariant* fused,
                        const ExpVariant* separate) noexcept;

}  // namespace tarnex
