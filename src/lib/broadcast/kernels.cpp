#include "lib/broadcast/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

TARNEX_KERNEL_TABLE(BroadcastKernels, broadcast_kernels)

}  // namespace tarnex
