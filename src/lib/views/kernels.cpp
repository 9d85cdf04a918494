#include "lib/views/kernels.hpp"

#include "lib/cpu/by_level.hpp"

namespace tarnex {

void transpose_copy(const double* src, std::uint64_t src_stride, std::uint64_t rows,
                    std::uint64_t cols, double* out) {
    static const TransposeCopy copy =
        cpu::by_level<TransposeCopy>(baseline::transpose_copy, avx2::transpose_copy,
                                     avx512::transpose_copy);
    copy(src, src_stride, rows, cols, out);
}

}  // namespace tarnex
