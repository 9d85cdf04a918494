// Regions of a source file compiled for one instruction set.
//
// A per-level kernel file includes every header it needs first, then opens a region, then
// defines (or includes the generic body of) its kernels inside a namespace of that level's
// own, then closes the region:
//
//     #include <immintrin.h>
//     #include "lib/cpu/target.hpp"
//     ...
//     TARNEX_TARGET_AVX2
//     namespace tarnex::some_family::avx2 { ... }
//     TARNEX_TARGET_END
//
// Headers stay outside the region so that no inline function of theirs is compiled for the
// wider level (the linker could otherwise pick that copy for callers on any CPU), and the
// level's namespace keeps its functions apart from the other levels' under one name.
// GCC takes target pragmas; clang takes the same through an attribute applied to every
// function of the region.
#pragma once

#if defined(__clang__)
#define TARNEX_TARGET_REGION(features)                                                   \
    _Pragma(TARNEX_TARGET_STRINGIFY(clang attribute push(__attribute__((target(features))), \
                                                         apply_to = function)))
#define TARNEX_TARGET_END _Pragma("clang attribute pop")
#else
#define TARNEX_TARGET_REGION(features) \
    _Pragma("GCC push_options") _Pragma(TARNEX_TARGET_STRINGIFY(GCC target(features)))
#define TARNEX_TARGET_END _Pragma("GCC pop_options")
#endif
#define TARNEX_TARGET_STRINGIFY(x) #x

// The features of each level beyond the x86-64 baseline.
#define TARNEX_TARGET_AVX2 TARNEX_TARGET_REGION("avx2")
#define TARNEX_TARGET_AVX512 TARNEX_TARGET_REGION("avx512f")
