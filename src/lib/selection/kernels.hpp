// Flat loops over a buffer, and over a buffer and a boolean mask of the same length: the
// contiguous forms of the region writes and selections. A mask byte other than 0 means true.
// One table of them per instruction-set level, all giving the same bits.
#pragma once

#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

struct MaskKernels {
    // data[i] = value for every i < n.
    void (*fill_run)(double* data, std::uint64_t n, double value) noexcept;
    // data[i] = value wherever mask[i] is true; the other elements keep their bits.
    void (*fill_selected)(double* data, const Bool* mask, std::uint64_t n, double value) noexcept;
    // The number of true entries of mask[0..n).
    std::uint64_t (*count_selected)(const Bool* mask, std::uint64_t n) noexcept;
    // Writes src[i] for each true mask[i], in order, to out, which has room for exactly the
    // number of true entries; nothing is written beyond them.
    void (*compress_selected)(const double* src, const Bool* mask, std::uint64_t n,
                              double* out) noexcept;
    // out[i] = condition[i] ? chosen[i] : other[i].
    void (*choose_elements)(const Bool* condition, const double* chosen, const double* other,
                            std::uint64_t n, double* out) noexcept;
};

// The table for the active level.
const MaskKernels& mask_kernels() noexcept;

namespace baseline { extern const MaskKernels mask_kernels; }
namespace avx2 { extern const MaskKernels mask_kernels; }
namespace avx512 { extern const MaskKernels mask_kernels; }

}  // namespace tarnex
