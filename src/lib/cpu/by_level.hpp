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
