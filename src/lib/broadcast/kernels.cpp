#include "lib/broadcast/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const BroadcastKernels& broadcast_kernels() noexcept {
    static const BroadcastKernels& table = cpu::by_level(
        baseline::broadcast_kernels, avx2::broadcast_kernels, avx512::broadcast_kernels);
    return table;
}

}  // namespace tarnex
