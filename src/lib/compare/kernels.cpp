#include "lib/compare/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const CompareKernels& compare_kernels() noexcept {
    static const CompareKernels& table =
        cpu::by_level(baseline::compare_kernels, avx2::compare_kernels, avx512::compare_kernels);
    return table;
}

}  // namespace tarnex
