#include "lib/reductions/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const ReductionKernels& reduction_kernels() noexcept {
    static const ReductionKernels& table = cpu::by_level(
        baseline::reduction_kernels, avx2::reduction_kernels, avx512::reduction_kernels);
    return table;
}

}  // namespace tarnex
