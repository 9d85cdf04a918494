// Cache-blocked copy of a strided matrix into its transpose.
#pragma once

#include <cstdint>

namespace tarnex {

// out[i * cols + j] = src[j * src_stride + i] for every i < rows and j < cols: the source
// holds `cols` lines of at least `rows` elements, `src_stride` apart, and each line becomes
// one column of the row-major result. The copy works in square tiles so that both sides
// are read and written a cache line at a time.
void transpose_copy(const double* src, std::uint64_t src_stride, std::uint64_t rows,
                    std::uint64_t cols, double* out);

// The same on one instruction-set level (for every level the CPU has; tests compare them).
using TransposeCopy = void (*)(const double*, std::uint64_t, std::uint64_t, std::uint64_t,
                               double*);
namespace baseline { void transpose_copy(const double*, std::uint64_t, std::uint64_t, std::uint64_t, double*); }
namespace avx2 { void transpose_copy(const double*, std::uint64_t, std::uint64_t, std::uint64_t, double*); }
namespace avx512 { void transpose_copy(const double*, std::uint64_t, std::uint64_t, std::uint64_t, double*); }

}  // namespace tarnex
