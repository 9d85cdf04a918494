#include "lib/exp/self_check.hpp"

#include <bit>
#include <iterator>

namespace tarnex {

const ExpCheckInput exp_check_inputs[] = {
#include "lib/exp/self_check_inputs.inc"
};
const std::size_t exp_check_input_count = std::size(exp_check_inputs);

const char* exp_path_name(ExpPath path) noexcept {
    switch (path) {
        case ExpPath::vector_fused: return "vector-fma";
        case ExpPath::vector: return "vector";
        case ExpPath::libm: break;
    }
    return "libm";
}

namespace {

constexpr std::size_t count = std::size(exp_check_inputs);

bool reproduces(const ExpVariant& variant, const double (&x)[count], const double (&expected)[count]) {
    double got[count];
    variant.exp(x, got, count);
    for (std::size_t i = 0; i < count; ++i) {
        if (std::bit_cast<std::uint64_t>(got[i]) != std::bit_cast<std::uint64_t>(expected[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

ExpPath choose_exp_path(double (*reference)(double), const ExpVariant* fused,
                        const ExpVariant* separate) noexcept {
    double x[count];
    double expected[count];
    for (std::size_t i = 0; i < count; ++i) {
        x[i] = std::bit_cast<double>(exp_check_inputs[i].x);
        expected[i] = reference(x[i]);
    }
    if (fused != nullptr && reproduces(*fused, x, expected)) return ExpPath::vector_fused;
    if (separate != nullptr && reproduces(*separate, x, expected)) return ExpPath::vector;
    return ExpPath::libm;
}

}  // namespace tarnex
