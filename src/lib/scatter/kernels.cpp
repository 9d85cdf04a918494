#include "lib/scatter/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

const ScatterKernels& scatter_kernels() noexcept {
    static const ScatterKernels& table =
        cpu::by_level(baseline::scatter_kernels, avx2::scatter_kernels, avx512::scatter_kernels);
    return table;
}

}  // namespace tarnex
