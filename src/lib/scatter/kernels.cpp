#include "lib/scatter/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(ScatterKernels, scatter_kernels)

}  // namespace tarnex
