// The vector layer of the AVX2 level: four doubles a vector (see lanes.hpp).
#pragma once

#include <immintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "lib/simd/lanes.hpp"

namespace tarnex::avx2 {

struct Lanes {
    static constexpr std::uint64_t width = 4;
    using Vec = __m256d;
    using Mask = __m256d;  // each lane all ones or all zeros
    using Splat = __m256d;
    using Cmp = simd::Cmp;

    TARNEX_LANES_AVX2 Vec zero() { return _mm256_setzero_pd(); }
    TARNEX_LANES_AVX2 Vec splat(double x) { return _mm256_set1_pd(x); }
    TARNEX_LANES_AVX2 Vec load(const double* p) { return _mm256_loadu_pd(p); }
    TARNEX_LANES_AVX2 void store(double* p, Vec v) { _mm256_storeu_pd(p, v); }
    TARNEX_LANES_AVX2 __m256i first_lanes(std::uint64_t n) {
        return _mm256_cmpgt_epi64(_mm256_set1_epi64x(static_cast<long long>(n)),
                                  _mm256_setr_epi64x(0, 1, 2, 3));
    }
    TARNEX_LANES_AVX2 Vec load_prefix(const double* p, std::uint64_t n) {
        return _mm256_maskload_pd(p, first_lanes(n));
    }
    TARNEX_LANES_AVX2 void store_prefix(double* p, std::uint64_t n, Vec v) {
        _mm256_maskstore_pd(p, first_lanes(n), v);
    }

    // a op b with a as the first source (AT&T order: second source, first source, result),
    // `insn` on vectors or on one double. The {vex3} prefix (%{vex3%} in asm text) keeps the
    // operands where they are written: some assemblers (clang's) otherwise swap the sources
    // of a commutative instruction when that gives the shorter two-byte encoding, which
    // changes which NaN the result carries.
#define TARNEX_AVX2_FIXED_ORDER(T, name, insn)                                                     \
    TARNEX_LANES_AVX2 T name(T a, T b) {                                                           \
        T r;                                                                                       \
        asm("%{vex3%} " insn " %2, %1, %0" : "=x"(r) : "x"(a), "x"(b));                            \
        return r;                                                                                  \
    }
    TARNEX_AVX2_FIXED_ORDER(Vec, add, "vaddpd")
    TARNEX_AVX2_FIXED_ORDER(Vec, mul, "vmulpd")
    TARNEX_AVX2_FIXED_ORDER(double, add1, "vaddsd")
    TARNEX_AVX2_FIXED_ORDER(double, mul1, "vmulsd")
#undef TARNEX_AVX2_FIXED_ORDER
    TARNEX_LANES_AVX2 Vec sub(Vec a, Vec b) { return _mm256_sub_pd(a, b); }
    TARNEX_LANES_AVX2 Vec div(Vec a, Vec b) { return _mm256_div_pd(a, b); }
    TARNEX_LANES_AVX2 Vec sqrt(Vec a) { return _mm256_sqrt_pd(a); }
    TARNEX_LANES_AVX2 Vec max(Vec a, Vec b) { return _mm256_max_pd(a, b); }
    TARNEX_LANES_AVX2 Vec min(Vec a, Vec b) { return _mm256_min_pd(a, b); }

    TARNEX_LANES_AVX2 Vec bit_and(Vec a, Vec b) { return _mm256_and_pd(a, b); }
    TARNEX_LANES_AVX2 Vec bit_or(Vec a, Vec b) { return _mm256_or_pd(a, b); }
    TARNEX_LANES_AVX2 Vec bit_xor(Vec a, Vec b) { return _mm256_xor_pd(a, b); }
    TARNEX_LANES_AVX2 Vec and_not(Vec a, Vec b) { return _mm256_andnot_pd(a, b); }

    template <Cmp op>
    TARNEX_LANES_AVX2 Mask compare(Vec a, Vec b) {
        if constexpr (op == Cmp::gt) return _mm256_cmp_pd(a, b, _CMP_GT_OQ);
        if constexpr (op == Cmp::ge) return _mm256_cmp_pd(a, b, _CMP_GE_OQ);
        if constexpr (op == Cmp::lt) return _mm256_cmp_pd(a, b, _CMP_LT_OQ);
        if constexpr (op == Cmp::le) return _mm256_cmp_pd(a, b, _CMP_LE_OQ);
        if constexpr (op == Cmp::eq) return _mm256_cmp_pd(a, b, _CMP_EQ_OQ);
        if constexpr (op == Cmp::ne) return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ);
        if constexpr (op == Cmp::unord) return _mm256_cmp_pd(a, b, _CMP_UNORD_Q);
    }
    TARNEX_LANES_AVX2 unsigned bits(Mask m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
    TARNEX_LANES_AVX2 unsigned count(Mask m) {
        return static_cast<unsigned>(__builtin_popcount(bits(m)));
    }
    TARNEX_LANES_AVX2 Mask selected(const std::uint8_t* mask) {
        std::uint32_t bytes;
        std::memcpy(&bytes, mask, sizeof bytes);
        const __m256i wide = _mm256_cvtepu8_epi64(_mm_cvtsi32_si128(static_cast<int>(bytes)));
        const __m256i zero = _mm256_cmpeq_epi64(wide, _mm256_setzero_si256());
        return _mm256_castsi256_pd(_mm256_xor_si256(zero, _mm256_set1_epi64x(-1)));
    }
    TARNEX_LANES_AVX2 Vec blend(Mask m, Vec if_clear, Vec if_set) {
        return _mm256_blendv_pd(if_clear, if_set, m);
    }
    TARNEX_LANES_AVX2 void store_selected(double* p, Mask m, Vec v) {
        _mm256_maskstore_pd(p, _mm256_castpd_si256(m), v);
    }
    // The lanes brought to the front by a permutation from a table (one per set of lanes),
    // then the first count(m) lanes stored.
    TARNEX_LANES_AVX2 void store_packed(double* p, Mask m, Vec v) {
        static constexpr std::array<std::array<int, 8>, 16> pack_order = [] {
            std::array<std::array<int, 8>, 16> order{};
            for (int set = 0; set < 16; ++set) {
                int to = 0;
                for (int lane = 0; lane < 4; ++lane) {
                    if ((set >> lane & 1) != 0) {
                        order[set][2 * to] = 2 * lane;
                        order[set][2 * to + 1] = 2 * lane + 1;
                        ++to;
                    }
                }
            }
            return order;
        }();
        const unsigned set = bits(m);
        const __m256i order =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pack_order[set].data()));
        const __m256d packed =
            _mm256_castps_pd(_mm256_permutevar8x32_ps(_mm256_castpd_ps(v), order));
        _mm256_maskstore_pd(p, first_lanes(__builtin_popcount(set)), packed);
    }

    TARNEX_LANES_AVX2 Splat splat_at(const double* p) { return _mm256_broadcast_sd(p); }

    TARNEX_LANES_AVX2 void transpose(const Vec rows[4], Vec cols[4]) {
        const Vec t0 = _mm256_unpacklo_pd(rows[0], rows[1]);
        const Vec t1 = _mm256_unpackhi_pd(rows[0], rows[1]);
        const Vec t2 = _mm256_unpacklo_pd(rows[2], rows[3]);
        const Vec t3 = _mm256_unpackhi_pd(rows[2], rows[3]);
        cols[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
        cols[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
        cols[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
        cols[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
    }
    // From memory the block is read as 128-bit halves, rows 0 and 2 (1 and 3) side by side,
    // so that one unpack per column turns it around.
    TARNEX_LANES_AVX2 Vec halves(const double* low, const double* high) {
        return _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_loadu_pd(low)),
                                    _mm_loadu_pd(high), 1);
    }
    TARNEX_LANES_AVX2 void load_transposed(const double* src, std::uint64_t stride, Vec cols[4]) {
        const Vec front02 = halves(src, src + 2 * stride);
        const Vec front13 = halves(src + stride, src + 3 * stride);
        const Vec back02 = halves(src + 2, src + 2 * stride + 2);
        const Vec back13 = halves(src + stride + 2, src + 3 * stride + 2);
        cols[0] = _mm256_unpacklo_pd(front02, front13);
        cols[1] = _mm256_unpackhi_pd(front02, front13);
        cols[2] = _mm256_unpacklo_pd(back02, back13);
        cols[3] = _mm256_unpackhi_pd(back02, back13);
    }

    // c + a * b into c's register (AT&T order: b, a, c); the instruction needs the CPU's FMA.
    TARNEX_LANES_AVX2 Vec fma(Vec a, Vec b, Vec c) {
        asm("vfmadd231pd %2, %1, %0" : "+x"(c) : "x"(a), "x"(b));
        return c;
    }
    TARNEX_LANES_AVX2 Vec add_bits(Vec a, Vec b) {
        return _mm256_castsi256_pd(_mm256_add_epi64(_mm256_castpd_si256(a), _mm256_castpd_si256(b)));
    }
    template <int count>
    TARNEX_LANES_AVX2 Vec shift_bits_left(Vec a) {
        return _mm256_castsi256_pd(_mm256_slli_epi64(_mm256_castpd_si256(a), count));
    }
    // Four 16-byte loads of the pairs and two unpacks: faster than two gathers.
    TARNEX_LANES_AVX2 void table_pairs(const double* table, Vec k, Vec& even, Vec& odd) {
        alignas(32) std::uint64_t index[4];
        _mm256_store_si256(reinterpret_cast<__m256i*>(index), _mm256_castpd_si256(k));
        const Vec a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(table + 2 * index[0])),
                                           _mm_load_pd(table + 2 * index[2]), 1);
        const Vec b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(table + 2 * index[1])),
                                           _mm_load_pd(table + 2 * index[3]), 1);
        even = _mm256_unpacklo_pd(a, b);
        odd = _mm256_unpackhi_pd(a, b);
    }
};

}  // namespace tarnex::avx2
