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

}  // namespace tarnex
