#include "lib/elementwise/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(ElementwiseKernels, elementwise_kernels)

}  // namespace tarnex
