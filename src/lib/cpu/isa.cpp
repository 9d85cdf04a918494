#include "lib/cpu/isa.hpp"

// TARNEX_ISA_CAP is set by the build: 0 baseline, 1 AVX2, 2 AVX-512 (the default).
#ifndef TARNEX_ISA_CAP
#define TARNEX_ISA_CAP 2
#endif
static_assert(TARNEX_ISA_CAP >= 0 && TARNEX_ISA_CAP <= 2, "TARNEX_ISA_CAP must be 0, 1 or 2");

namespace tarnex::cpu {

Isa detected_isa() noexcept {
    // The compiler's CPU model checks the operating system's register support too.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f")) return Isa::avx512;
    if (__builtin_cpu_supports("avx2")) return Isa::avx2;
    return Isa::baseline;
}

bool has_fma() noexcept {
    __builtin_cpu_init();
    return __builtin_cpu_supports("fma");
}

bool fused_instructions() noexcept {
    const Isa level = active_isa();
    return level == Isa::avx512 || (level == Isa::avx2 && has_fma());
}

Isa build_cap() noexcept { return static_cast<Isa>(TARNEX_ISA_CAP); }

Isa active_isa() noexcept {
    static const Isa level = [] {
        const Isa detected = detected_isa();
        return static_cast<int>(detected) < TARNEX_ISA_CAP ? detected : build_cap();
    }();
    return level;
}

const char* isa_name(Isa isa) noexcept {
    switch (isa) {
        case Isa::avx512: return "avx512";
        case Isa::avx2: return "avx2";
        case Isa::baseline: break;
    }
    return "baseline";
}

}  // namespace tarnex::cpu
