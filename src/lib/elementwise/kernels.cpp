#include "lib/elementwise/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(ElementwiseKernels, elementwise_kernels)

void divide_in_place(double* x, std::uint64_t n, double s) noexcept {
    static const auto loop = cpu::fused_instructions()
                                 ? elementwise_kernels().divide_in_place_fused
                                 : elementwise_kernels().divide_in_place;
    loop(x, n, s);
}

}  // namespace tarnex
