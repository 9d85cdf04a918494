// The vector layer of the AVX-512 level: eight doubles a vector, lane masks in mask
// registers (see lanes.hpp).
#pragma once

#include <immintrin.h>

#include <cstdint>
#include <cstring>

#include "lib/simd/lanes.hpp"

namespace tarnex::avx512 {

struct Lanes {
    static constexpr std::uint64_t width = 8;
    using Vec = __m512d;
    using Mask = __mmask8;
    // The multiply reads *p itself, broadcast to every lane, as its memory operand.
    using Splat = const double*;
    using Cmp = simd::Cmp;

    // (Several operations below use the masked form with every lane selected, which is the
    // same instruction: the unmasked intrinsics trip a false uninitialised-value warning in
    // GCC 12.)
    static constexpr __mmask8 all = 0xFF;

    TARNEX_LANES_AVX512 Vec zero() { return _mm512_setzero_pd(); }
    TARNEX_LANES_AVX512 Vec splat(double x) { return _mm512_set1_pd(x); }
    TARNEX_LANES_AVX512 Vec load(const double* p) { return _mm512_loadu_pd(p); }
    TARNEX_LANES_AVX512 void store(double* p, Vec v) { _mm512_storeu_pd(p, v); }
    TARNEX_LANES_AVX512 Mask first_lanes(std::uint64_t n) {
        return static_cast<__mmask8>((1u << n) - 1);
    }
    TARNEX_LANES_AVX512 Vec load_prefix(const double* p, std::uint64_t n) {
        return _mm512_maskz_loadu_pd(first_lanes(n), p);
    }
    TARNEX_LANES_AVX512 void store_prefix(double* p, std::uint64_t n, Vec v) {
        _mm512_mask_storeu_pd(p, first_lanes(n), v);
    }

    // a op b with a as the first source (AT&T order: second source, first source, result),
    // `insn` on vectors or on one double. The {evex} prefix (%{evex%} in asm text) keeps the
    // operands where they are written: given the shorter encoding of an instruction on one
    // double, some assemblers (clang's) may swap the sources of a commutative one, which
    // changes which NaN the result carries.
#define TARNEX_AVX512_FIXED_ORDER(T, name, insn)                                                   \
    TARNEX_LANES_AVX512 T name(T a, T b) {                                                         \
        T r;                                                                                       \
        asm("%{evex%} " insn " %2, %1, %0" : "=v"(r) : "v"(a), "v"(b));                            \
        return r;                                                                                  \
    }
    TARNEX_AVX512_FIXED_ORDER(Vec, add, "vaddpd")
    TARNEX_AVX512_FIXED_ORDER(Vec, mul, "vmulpd")
    TARNEX_AVX512_FIXED_ORDER(double, add1, "vaddsd")
    TARNEX_AVX512_FIXED_ORDER(double, mul1, "vmulsd")
#undef TARNEX_AVX512_FIXED_ORDER
    // b * (*a in every lane), b as the first source; the broadcast operand must be the second.
    TARNEX_LANES_AVX512 Vec mul(Vec b, Splat a) {
        Vec r;
        asm("vmulpd %1%{1to8%}, %2, %0" : "=v"(r) : "m"(*a), "v"(b));
        return r;
    }
    TARNEX_LANES_AVX512 Vec sub(Vec a, Vec b) { return _mm512_sub_pd(a, b); }
    TARNEX_LANES_AVX512 Vec div(Vec a, Vec b) { return _mm512_div_pd(a, b); }
    TARNEX_LANES_AVX512 Vec sqrt(Vec a) { return _mm512_mask_sqrt_pd(a, all, a); }
    TARNEX_LANES_AVX512 Vec max(Vec a, Vec b) { return _mm512_mask_max_pd(b, all, a, b); }
    TARNEX_LANES_AVX512 Vec min(Vec a, Vec b) { return _mm512_mask_min_pd(b, all, a, b); }

    // Bitwise operations on the integer view (the floating-point forms need AVX-512 DQ).
    TARNEX_LANES_AVX512 Vec bit_and(Vec a, Vec b) {
        return _mm512_castsi512_pd(_mm512_and_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    TARNEX_LANES_AVX512 Vec bit_or(Vec a, Vec b) {
        return _mm512_castsi512_pd(_mm512_or_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    TARNEX_LANES_AVX512 Vec bit_xor(Vec a, Vec b) {
        return _mm512_castsi512_pd(_mm512_xor_si512(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    TARNEX_LANES_AVX512 Vec and_not(Vec a, Vec b) {
        const __m512i bb = _mm512_castpd_si512(b);
        return _mm512_castsi512_pd(_mm512_mask_andnot_epi64(bb, all, _mm512_castpd_si512(a), bb));
    }

    template <Cmp op>
    TARNEX_LANES_AVX512 Mask compare(Vec a, Vec b) {
        if constexpr (op == Cmp::gt) return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ);
        if constexpr (op == Cmp::ge) return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ);
        if constexpr (op == Cmp::lt) return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ);
        if constexpr (op == Cmp::le) return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ);
        if constexpr (op == Cmp::eq) return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ);
        if constexpr (op == Cmp::ne) return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ);
        if constexpr (op == Cmp::unord) return _mm512_cmp_pd_mask(a, b, _CMP_UNORD_Q);
    }
    TARNEX_LANES_AVX512 unsigned bits(Mask m) { return static_cast<unsigned>(m); }
    TARNEX_LANES_AVX512 unsigned count(Mask m) { return static_cast<unsigned>(__builtin_popcount(m)); }
    TARNEX_LANES_AVX512 Mask selected(const std::uint8_t* mask) {
        std::uint64_t bytes;
        std::memcpy(&bytes, mask, sizeof bytes);
        const __m512i wide = _mm512_maskz_cvtepu8_epi64(
            all, _mm_cvtsi64_si128(static_cast<long long>(bytes)));
        return _mm512_test_epi64_mask(wide, wide);
    }
    TARNEX_LANES_AVX512 Vec blend(Mask m, Vec if_clear, Vec if_set) {
        return _mm512_mask_blend_pd(m, if_clear, if_set);
    }
    TARNEX_LANES_AVX512 void store_selected(double* p, Mask m, Vec v) { _mm512_mask_storeu_pd(p, m, v); }
    // Compressing inside a register and storing the packed lanes with a masked store (the
    // compressing store straight to memory is far slower on some processors).
    TARNEX_LANES_AVX512 void store_packed(double* p, Mask m, Vec v) {
        _mm512_mask_storeu_pd(p, first_lanes(count(m)), _mm512_maskz_compress_pd(m, v));
    }

    TARNEX_LANES_AVX512 Splat splat_at(const double* p) { return p; }

    // Written with vector shuffles, which let the compiler pick single-cycle unpack and
    // lane-shuffle instructions (the unmasked shuffle intrinsics also trip a false
    // uninitialised-value warning in GCC 12).
    TARNEX_LANES_AVX512 void transpose(const Vec rows[8], Vec cols[8]) {
        Vec t[8];
#pragma GCC unroll 4
        for (int r = 0; r < 8; r += 2) {
            // Pairs of rows interleaved: t[r] holds q = 0, 2, 4, 6 and t[r + 1] q = 1, 3, 5, 7.
            t[r] = __builtin_shufflevector(rows[r], rows[r + 1], 0, 8, 2, 10, 4, 12, 6, 14);
            t[r + 1] = __builtin_shufflevector(rows[r], rows[r + 1], 1, 9, 3, 11, 5, 13, 7, 15);
        }
#pragma GCC unroll 2
        for (int odd = 0; odd < 2; ++odd) {
            // Then 128-bit pieces: even pieces of two vectors, then odd pieces.
            const Vec low0 = __builtin_shufflevector(t[odd], t[2 + odd], 0, 1, 4, 5, 8, 9, 12, 13);
            const Vec high0 =
                __builtin_shufflevector(t[odd], t[2 + odd], 2, 3, 6, 7, 10, 11, 14, 15);
            const Vec low1 =
                __builtin_shufflevector(t[4 + odd], t[6 + odd], 0, 1, 4, 5, 8, 9, 12, 13);
            const Vec high1 =
                __builtin_shufflevector(t[4 + odd], t[6 + odd], 2, 3, 6, 7, 10, 11, 14, 15);
            cols[0 + odd] = __builtin_shufflevector(low0, low1, 0, 1, 4, 5, 8, 9, 12, 13);
            cols[4 + odd] = __builtin_shufflevector(low0, low1, 2, 3, 6, 7, 10, 11, 14, 15);
            cols[2 + odd] = __builtin_shufflevector(high0, high1, 0, 1, 4, 5, 8, 9, 12, 13);
            cols[6 + odd] = __builtin_shufflevector(high0, high1, 2, 3, 6, 7, 10, 11, 14, 15);
        }
    }
    TARNEX_LANES_AVX512 void load_transposed(const double* src, std::uint64_t stride, Vec cols[8]) {
        Vec rows[8];
#pragma GCC unroll 8
        for (int r = 0; r < 8; ++r) rows[r] = load(src + r * stride);
        transpose(rows, cols);
    }

    // c + a * b into c's register (AT&T order: b, a, c).
    TARNEX_LANES_AVX512 Vec fma(Vec a, Vec b, Vec c) {
        asm("vfmadd231pd %2, %1, %0" : "+v"(c) : "v"(a), "v"(b));
        return c;
    }
    TARNEX_LANES_AVX512 Vec add_bits(Vec a, Vec b) {
        return _mm512_castsi512_pd(_mm512_add_epi64(_mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
    template <int count>
    TARNEX_LANES_AVX512 Vec shift_bits_left(Vec a) {
        return _mm512_castsi512_pd(_mm512_maskz_slli_epi64(all, _mm512_castpd_si512(a), count));
    }
    // Eight 16-byte loads of the pairs and two unpacks: faster than two gathers.
    TARNEX_LANES_AVX512 void table_pairs(const double* table, Vec k, Vec& even, Vec& odd) {
        alignas(64) std::uint64_t index[8];
        _mm512_store_si512(index, _mm512_castpd_si512(k));
        const auto pair = [&](int lane) { return _mm_load_pd(table + 2 * index[lane]); };
        __m512d a = _mm512_castpd128_pd512(pair(0));
        __m512d b = _mm512_castpd128_pd512(pair(1));
        a = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(a), _mm_castpd_si128(pair(2)), 1));
        b = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(b), _mm_castpd_si128(pair(3)), 1));
        a = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(a), _mm_castpd_si128(pair(4)), 2));
        b = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(b), _mm_castpd_si128(pair(5)), 2));
        a = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(a), _mm_castpd_si128(pair(6)), 3));
        b = _mm512_castsi512_pd(_mm512_inserti32x4(_mm512_castpd_si512(b), _mm_castpd_si128(pair(7)), 3));
        even = _mm512_castsi512_pd(
            _mm512_maskz_unpacklo_epi64(all, _mm512_castpd_si512(a), _mm512_castpd_si512(b)));
        odd = _mm512_castsi512_pd(
            _mm512_maskz_unpackhi_epi64(all, _mm512_castpd_si512(a), _mm512_castpd_si512(b)));
    }
};

}  // namespace tarnex::avx512
