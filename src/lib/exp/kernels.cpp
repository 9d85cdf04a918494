#include "lib/exp/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(ExpKernels, exp_kernels)

}  // namespace tarnex
