#include "lib/axis/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(AxisKernels, axis_kernels)

}  // namespace tarnex
