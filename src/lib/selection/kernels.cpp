#include "lib/selection/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const MaskKernels& mask_kernels() noexcept {
    static const MaskKernels& table =
        cpu::by_level(baseline::mask_kernels, avx2::mask_kernels, avx512::mask_kernels);
    return table;
}

}  // namespace tarnex
