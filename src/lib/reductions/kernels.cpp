#include "lib/reductions/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(ReductionKernels, reduction_kernels)

}  // namespace tarnex
