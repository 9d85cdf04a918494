// The vector layer of the baseline level: SSE2, two doubles a vector (see lanes.hpp).
#pragma once

#include <emmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "lib/simd/lanes.hpp"

namespace tarnex::baseline {

struct Lanes {
    static constexpr std::uint64_t width = 2;
    using Vec = __m128d;
    using Mask = __m128d;  // each lane all ones or all zeros
    using Splat = __m128d;
    using Cmp = simd::Cmp;

    TARNEX_LANES_BASELINE Vec zero() { return _mm_setzero_pd(); }
    TARNEX_LANES_BASELINE Vec splat(double x) { return _mm_set1_pd(x); }
    TARNEX_LANES_BASELINE Vec load(const double* p) { return _mm_loadu_pd(p); }
    TARNEX_LANES_BASELINE void store(double* p, Vec v) { _mm_storeu_pd(p, v); }
    TARNEX_LANES_BASELINE Vec load_prefix(const double* p, std::uint64_t) { return _mm_load_sd(p); }
    TARNEX_LANES_BASELINE void store_prefix(double* p, std::uint64_t, Vec v) { _mm_store_sd(p, v); }

    // The two-operand forms write their first source: a op b into a copy of a, `insn` on
    // vectors or on one double.
#define TARNEX_BASELINE_FIXED_ORDER(T, name, insn)                                                 \
    TARNEX_LANES_BASELINE T name(T a, T b) {                                                       \
        asm(insn " %1, %0" : "+x"(a) : "x"(b));                                                    \
        return a;                                                                                  \
    }
    TARNEX_BASELINE_FIXED_ORDER(Vec, add, "addpd")
    TARNEX_BASELINE_FIXED_ORDER(Vec, mul, "mulpd")
    TARNEX_BASELINE_FIXED_ORDER(double, add1, "addsd")
    TARNEX_BASELINE_FIXED_ORDER(double, mul1, "mulsd")
#undef TARNEX_BASELINE_FIXED_ORDER
    TARNEX_LANES_BASELINE Vec sub(Vec a, Vec b) { return _mm_sub_pd(a, b); }
    TARNEX_LANES_BASELINE Vec div(Vec a, Vec b) { return _mm_div_pd(a, b); }
    TARNEX_LANES_BASELINE Vec sqrt(Vec a) { return _mm_sqrt_pd(a); }
    TARNEX_LANES_BASELINE Vec max(Vec a, Vec b) { return _mm_max_pd(a, b); }
    TARNEX_LANES_BASELINE Vec min(Vec a, Vec b) { return _mm_min_pd(a, b); }

    TARNEX_LANES_BASELINE Vec bit_and(Vec a, Vec b) { return _mm_and_pd(a, b); }
    TARNEX_LANES_BASELINE Vec bit_or(Vec a, Vec b) { return _mm_or_pd(a, b); }
    TARNEX_LANES_BASELINE Vec bit_xor(Vec a, Vec b) { return _mm_xor_pd(a, b); }
    TARNEX_LANES_BASELINE Vec and_not(Vec a, Vec b) { return _mm_andnot_pd(a, b); }

    // SSE2's cmpneq is the unordered not-equal; the others are ordered.
    template <Cmp op>
    TARNEX_LANES_BASELINE Mask compare(Vec a, Vec b) {
        if constexpr (op == Cmp::gt) return _mm_cmpgt_pd(a, b);
        if constexpr (op == Cmp::ge) return _mm_cmpge_pd(a, b);
        if constexpr (op == Cmp::lt) return _mm_cmplt_pd(a, b);
        if constexpr (op == Cmp::le) return _mm_cmple_pd(a, b);
        if constexpr (op == Cmp::eq) return _mm_cmpeq_pd(a, b);
        if constexpr (op == Cmp::ne) return _mm_cmpneq_pd(a, b);
        if constexpr (op == Cmp::unord) return _mm_cmpunord_pd(a, b);
    }
    TARNEX_LANES_BASELINE unsigned bits(Mask m) { return static_cast<unsigned>(_mm_movemask_pd(m)); }
    TARNEX_LANES_BASELINE unsigned count(Mask m) {
        const unsigned b = bits(m);
        return (b & 1) + (b >> 1);
    }
    TARNEX_LANES_BASELINE Mask selected(const std::uint8_t* mask) {
        const __m128i lanes = _mm_set_epi64x(-static_cast<long long>(mask[1] != 0),
                                             -static_cast<long long>(mask[0] != 0));
        return _mm_castsi128_pd(lanes);
    }
    TARNEX_LANES_BASELINE Vec blend(Mask m, Vec if_clear, Vec if_set) {
        return _mm_or_pd(_mm_and_pd(m, if_set), _mm_andnot_pd(m, if_clear));
    }
    // Lane by lane: a store of the unselected lane would write memory the mask leaves alone.
    TARNEX_LANES_BASELINE void store_selected(double* p, Mask m, Vec v) {
        const unsigned b = bits(m);
        if ((b & 1) != 0) _mm_storel_pd(p, v);
        if ((b & 2) != 0) _mm_storeh_pd(p + 1, v);
    }
    TARNEX_LANES_BASELINE void store_packed(double* p, Mask m, Vec v) {
        const unsigned b = bits(m);
        if ((b & 1) != 0) _mm_storel_pd(p++, v);
        if ((b & 2) != 0) _mm_storeh_pd(p, v);
    }

    TARNEX_LANES_BASELINE Splat splat_at(const double* p) { return _mm_load1_pd(p); }

    TARNEX_LANES_BASELINE void transpose(const Vec rows[2], Vec cols[2]) {
        cols[0] = _mm_unpacklo_pd(rows[0], rows[1]);
        cols[1] = _mm_unpackhi_pd(rows[0], rows[1]);
    }
    TARNEX_LANES_BASELINE void load_transposed(const double* src, std::uint64_t stride,
                                               Vec cols[2]) {
        const Vec rows[2] = {load(src), load(src + stride)};
        transpose(rows, cols);
    }

    TARNEX_LANES_BASELINE Vec fma(Vec a, Vec b, Vec c) {
        const double low = std::fma(_mm_cvtsd_f64(a), _mm_cvtsd_f64(b), _mm_cvtsd_f64(c));
        const double high = std::fma(_mm_cvtsd_f64(_mm_unpackhi_pd(a, a)),
                                     _mm_cvtsd_f64(_mm_unpackhi_pd(b, b)),
                                     _mm_cvtsd_f64(_mm_unpackhi_pd(c, c)));
        return _mm_set_pd(high, low);
    }
    TARNEX_LANES_BASELINE Vec add_bits(Vec a, Vec b) {
        return _mm_castsi128_pd(_mm_add_epi64(_mm_castpd_si128(a), _mm_castpd_si128(b)));
    }
    template <int count>
    TARNEX_LANES_BASELINE Vec shift_bits_left(Vec a) {
        return _mm_castsi128_pd(_mm_slli_epi64(_mm_castpd_si128(a), count));
    }
    TARNEX_LANES_BASELINE void table_pairs(const double* table, Vec k, Vec& even, Vec& odd) {
        const __m128i index = _mm_castpd_si128(k);
        const Vec first = _mm_load_pd(table + 2 * _mm_cvtsi128_si64(index));
        const Vec second = _mm_load_pd(table + 2 * _mm_cvtsi128_si64(_mm_unpackhi_epi64(index, index)));
        even = _mm_unpacklo_pd(first, second);
        odd = _mm_unpackhi_pd(first, second);
    }
};

}  // namespace tarnex::baseline
