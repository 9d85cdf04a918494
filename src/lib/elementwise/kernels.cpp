#include "lib/elementwise/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const ElementwiseKernels& elementwise_kernels() noexcept {
    static const ElementwiseKernels& table = cpu::by_level(
        baseline::elementwise_kernels, avx2::elementwise_kernels, avx512::elementwise_kernels);
    return table;
}

}  // namespace tarnex
