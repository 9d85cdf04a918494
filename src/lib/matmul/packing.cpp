#include "lib/matmul/packing.hpp"

#include <cstdint>
#include <cstring>

namespace tarnex {
namespace {

constexpr std::uint64_t align_doubles = 8;  // 64 bytes, one cache line and one AVX-512 vector

}  // namespace

double* aligned_scratch(Buffer<double>& storage, std::uint64_t count) {
    storage = Buffer<double>::uninitialized(count + align_doubles);
    const auto address = reinterpret_cast<std::uintptr_t>(storage.data());
    const std::uintptr_t aligned = (address + 63) & ~std::uintptr_t{63};
    return reinterpret_cast<double*>(aligned);
}

void pack_panel(const double* b, std::uint64_t ldb, std::uint64_t depth, std::uint64_t valid,
                std::uint64_t cols, double* packed) {
    for (std::uint64_t p = 0; p < depth; ++p) {
        std::memcpy(packed, b, valid * sizeof(double));
        for (std::uint64_t col = valid; col < cols; ++col) packed[col] = 0.0;
        packed += cols;
        b += ldb;
    }
}

// Each step reads one value from every column's run of bt, so the `valid` runs are read side
// by side from their starts (a few streams the prefetcher follows) while the packed panel is
// written in order.
void pack_panel_transposed(const double* bt, std::uint64_t ldbt, std::uint64_t depth,
                           std::uint64_t valid, std::uint64_t cols, double* packed) {
    for (std::uint64_t p = 0; p < depth; ++p) {
        const double* from = bt + p;
        for (std::uint64_t col = 0; col < valid; ++col) packed[col] = from[col * ldbt];
        for (std::uint64_t col = valid; col < cols; ++col) packed[col] = 0.0;
        packed += cols;
    }
}

void transpose_into(const double* bt, std::uint64_t n, std::uint64_t k, double* out) {
    for (std::uint64_t p = 0; p < k; ++p) {
        for (std::uint64_t j = 0; j < n; ++j) out[p * n + j] = bt[j * k + p];
    }
}

}  // namespace tarnex
