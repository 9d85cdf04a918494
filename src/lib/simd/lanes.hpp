// What the three per-level vector layers (baseline.hpp, avx2.hpp, avx512.hpp) share: the
// predicates of their compares and the attribute their operations carry.
//
// Each layer is a struct `Lanes` in its level's namespace (tarnex::baseline, tarnex::avx2,
// tarnex::avx512) with the same members, so that a kernel body written once over `Lanes`
// compiles for every level:
//
//   width, Vec, Mask              doubles per vector, a vector, a set of its lanes
//   zero(), splat(x), load(p), store(p, v)
//   load_prefix(p, n)             p[0..n) in the first n lanes (n < width), +0.0 after them;
//                                 nothing past p[n - 1] is read
//   store_prefix(p, n, v)         the first n lanes (n < width) to p[0..n); nothing else written
//   add(a, b), mul(a, b)          one rounded operation per lane, `a` as the first source
//   add1(a, b), mul1(a, b)        the same on one double
//   sub(a, b), div(a, b), sqrt(a) one rounded operation per lane
//   max(a, b), min(a, b)          per lane a > b ? a : b and a < b ? a : b (so b where either
//                                 is NaN, and b where they are equal, -0.0 and +0.0 included)
//   bit_and, bit_or, bit_xor, and_not(a, b)   bitwise on the lanes' bits; and_not is ~a & b
//   compare<Cmp::..>(a, b)        the lanes where the predicate holds
//   bits(m)                       lane k's bit set for the lanes of m
//   count(m)                      how many lanes m holds
//   selected(mask)                the lanes whose byte mask[0..width) is not 0
//   blend(m, if_clear, if_set)    per lane if_set where m holds it, else if_clear
//   store_selected(p, m, v)       p[k] = v[k] for the lanes of m; the others untouched
//   store_packed(p, m, v)         the lanes of m of v, in order, to p[0..count(m))
//   Splat, splat_at(p), mul(b, s) *p in every lane, in the form mul takes as its second
//                                 source (on AVX-512 a memory operand broadcast by the
//                                 multiply itself); b stays the first source
//   transpose(rows, cols)         cols[q][r] = rows[r][q], width x width in registers
//   load_transposed(src, stride, cols)   cols[q][r] = src[r * stride + q]
//   fma(a, b, c)                  a * b + c rounded once per lane. On AVX2 it is the FMA
//                                 instruction, which AVX2 does not imply: call it only where
//                                 cpu::has_fma() holds. On the baseline it is the C library's
//                                 fma per lane (exact, but a call, not an instruction)
//   add_bits(a, b)                the lanes' bits as 64-bit integers, a + b modulo 2^64
//   shift_bits_left<count>(a)     the lanes' bits shifted left as 64-bit integers
//   table_pairs(table, k, even, odd)     per lane, with k's bits read as an integer i:
//                                 even = table[2i], odd = table[2i + 1]; table is 16-byte
//                                 aligned and i must index it
//
// When both operands of an addition or multiplication are NaN, the hardware returns the
// first source's NaN, and a compiler may swap the operands of these commutative operations
// as it likes, differently in a vector body and in its scalar tail. The layers therefore
// write those four operations as instructions with a fixed operand order, here and nowhere
// else, in an encoding that leaves the assembler no operands to swap either, so that a kernel's NaN results are the same on every level and for every split of
// the work. Subtraction, division, maximum and minimum do not commute, so compilers keep
// their order.
//
// Every operation is always inlined and carries its level's target, so a layer header is
// included like any header, before a kernel file's target region opens, and its operations
// can only be used from code compiled for that level.
#pragma once

#include <cstdint>

#include "lib/cpu/target.hpp"

namespace tarnex::simd {

// The compares: ordered (false where either side is NaN) except `ne`, which is true there,
// and `unord`, true exactly where either side is NaN. -0.0 and +0.0 are equal.
enum class Cmp : int { gt, ge, lt, le, eq, ne, unord };

}  // namespace tarnex::simd

// The loops meant to hold fused multiply-adds (the layer's fma) are the only code that may:
// they are compiled into a section of their own, every call inside them inlined, so that a
// check of the built module can tell them from a multiply-add the compiler contracted
// anywhere else.
#define TARNEX_FUSED_LOOP [[gnu::section("tarnex_fused"), gnu::flatten]]

#define TARNEX_LANES_BASELINE __attribute__((always_inline)) static inline
#define TARNEX_LANES_AVX2 __attribute__((always_inline, target("avx2"))) static inline
#define TARNEX_LANES_AVX512 __attribute__((always_inline, target("avx512f"))) static inline
