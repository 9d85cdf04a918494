#include "lib/compare/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(CompareKernels, compare_kernels)

}  // namespace tarnex
