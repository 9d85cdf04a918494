#include "lib/axis/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const AxisKernels& axis_kernels() noexcept {
    static const AxisKernels& table =
        cpu::by_level(baseline::axis_kernels, avx2::axis_kernels, avx512::axis_kernels);
    return table;
}

}  // namespace tarnex
