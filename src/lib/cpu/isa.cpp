#include "lib/cpu/isa.hpp"

#include <cpuid.h>

#include <cstring>

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

bool halves_wide_vectors() noexcept {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(0, &eax, &ebx, &ecx, &edx) == 0) return false;
    char vendor[12];
    std::memcpy(vendor, &ebx, 4);
    std::memcpy(vendor + 4, &edx, 4);
    std::memcpy(vendor + 8, &ecx, 4);
    if (std::memcmp(vendor, "AuthenticAMD", 12) != 0) return false;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    // The family is the base field, plus the extended field when the base one is 0xF.
    const unsigned base = (eax >> 8) & 0xF;
    const unsigned family = base == 0xF ? base + ((eax >> 20) & 0xFF) : base;
    return family == 0x19;
}

bool fused_instructions(Isa level) noexcept {
    return level == Isa::avx512 || (level == Isa::avx2 && has_fma());
}

bool fused_instructions() noexcept { return fused_instructions(active_isa()); }

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
