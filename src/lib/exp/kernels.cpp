#include "lib/exp/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const ExpKernels& exp_kernels() noexcept {
    static const ExpKernels& table =
        cpu::by_level(baseline::exp_kernels, avx2::exp_kernels, avx512::exp_kernels);
    return table;
}

}  // namespace tarnex
