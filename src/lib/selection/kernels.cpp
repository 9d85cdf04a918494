#include "lib/selection/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(MaskKernels, mask_kernels)

}  // namespace tarnex
