// The instruction-set level the kernels run at: the one place that knows the CPU.
//
// Every kernel family keeps one implementation per level, compiled from one generic body,
// and takes the one for `active_isa()`. All of them give the same bits; the level only
// changes speed. A build can cap the level (CMake option TARNEX_ISA), so that a test build
// runs every kernel on a lower path; a released build always detects.
#pragma once

namespace tarnex::cpu {

enum class Isa : int {
    baseline = 0,  // any x86-64 (SSE2)
    avx2 = 1,      // AVX2
    avx512 = 2,    // AVX-512 Foundation
};

// The widest level this CPU (and the operating system, which must save the wider
// registers) supports.
Isa detected_isa() noexcept;

// The highest level this build allows: `avx512` unless the build was pinned lower.
Isa build_cap() noexcept;

// The level the kernels use: the lower of the two, fixed once per process.
Isa active_isa() noexcept;

// "baseline", "avx2" or "avx512".
const char* isa_name(Isa isa) noexcept;

// Whether this CPU (and the operating system) runs the fused multiply-add instructions.
// AVX2 does not imply them, so a kernel of the AVX2 level that fuses asks here first;
// AVX-512 Foundation has its own.
bool has_fma() noexcept;

// Whether the CPU executes each 512-bit operation as two 256-bit halves (AMD's family 19h:
// Zen 4; Zen 3, of the same family, has no 512-bit operations at all). Loops that stream
// memory through one add or multiply per element move more bytes per cycle there at 256 bits.
bool halves_wide_vectors() noexcept;

// Whether a level's kernels may use the fused multiply-add as an instruction on this CPU: on
// AVX-512, and on AVX2 when the CPU has FMA (the baseline's is a library call). Without an
// argument, for the active level.
bool fused_instructions(Isa level) noexcept;
bool fused_instructions() noexcept;

}  // namespace tarnex::cpu
