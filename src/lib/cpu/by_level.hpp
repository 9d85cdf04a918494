// Picking one of a kernel family's per-level implementations.
#pragma once

#include "lib/cpu/isa.hpp"

namespace tarnex::cpu {

// The implementation for the active level, chosen once per call site's static: each family
// keeps its tables (or functions) for the three levels and passes them here.
template <class T>
const T& by_level(const T& baseline, const T& avx2, const T& avx512) noexcept {
    switch (active_isa()) {
        case Isa::avx512: return avx512;
        case Isa::avx2: return avx2;
        case Isa::baseline: break;
    }
    return baseline;
}

}  // namespace tarnex::cpu

// Defines `const Table& name() noexcept` in the enclosing namespace: the active level's table
// among baseline::name, avx2::name and avx512::name, chosen on the first call. Each family's
// kernels.cpp is this one line over the tables its per-level files define.
#define TARNEX_KERNEL_TABLE(Table, name)                                                       \
    const Table& name() noexcept {                                                             \
        static const Table& table = ::tarnex::cpu::by_level(baseline::name, avx2::name,        \
                                                            avx512::name);                     \
        return table;                                                                          \
    }
