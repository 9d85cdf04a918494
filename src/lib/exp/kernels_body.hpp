// The exponential, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level; the algorithm and its two
// roundings are described in kernels.hpp. This file includes nothing itself.
//
// The C library branches on the size of x; here every lane takes the ordinary computation and
// the lanes that need more are patched by blends:
//   |x| < 2^-54            the library returns 1.0 + x; the ordinary computation gives the same
//   -512 < x < 708         the ordinary computation (the library's own path below 512; from
//                          512 up it scales by 2^1009 in a special case, which is exact there
//                          and so gives the same bits)
//   -708 < x <= -512       the library's underflow-side special case, which never fuses:
//                          s + s * tmp at the exponent raised by 1022, then times 2^-1022
//   |x| >= 708, inf, NaN   rare: both special cases in full, and the results of |x| >= 1024
// Blocks of four vectors whose lanes all lie in (-512, 708) skip the patches.

namespace {

using Vec = Lanes::Vec;

constexpr double inv_ln2_n = 0x1.71547652b82fep0 * 128;
constexpr double shift = 0x1.8p52;
constexpr double neg_ln2_hi_n = -0x1.62e42fefa0000p-8;
constexpr double neg_ln2_lo_n = -0x1.cf79abc9e3b3ap-47;
constexpr double c2 = 0x1.ffffffffffdbdp-2;
constexpr double c3 = 0x1.555555555543cp-3;
constexpr double c4 = 0x1.55555cf172b91p-5;
constexpr double c5 = 0x1.1111167a4d017p-7;

constexpr std::uint64_t full_lanes = (std::uint64_t{1} << Lanes::width) - 1;

inline Vec splat_bits(std::uint64_t bits) noexcept {
    return Lanes::splat(std::bit_cast<double>(bits));
}

// a * b + c: rounded once, or the product and the sum each rounded.
template <bool fused>
TARNEX_EXP_INLINE Vec madd(Vec a, Vec b, Vec c) noexcept {
    if constexpr (fused) {
        return Lanes::fma(a, b, c);
    } else {
        return Lanes::add(Lanes::mul(a, b), c);
    }
}

// What every lane computes: tmp, with exp(x) = s * (1 + tmp) for the scale s whose bits are
// `scale`, which are only meaningful where the exponent field did not wrap (|x| < 708).
template <bool fused>
TARNEX_EXP_INLINE void reduce(Vec x, Vec& tmp, Vec& scale) noexcept {
    const Vec shifter = Lanes::splat(shift);
    Vec kd = madd<fused>(Lanes::splat(inv_ln2_n), x, shifter);
    const Vec ki = kd;  // k in the low bits
    kd = Lanes::sub(kd, shifter);
    Vec r = madd<fused>(kd, Lanes::splat(neg_ln2_hi_n), x);
    r = madd<fused>(kd, Lanes::splat(neg_ln2_lo_n), r);
    Vec tail, scale_base;
    Lanes::table_pairs(exp_table.pairs, Lanes::bit_and(ki, splat_bits(127)), tail, scale_base);
    scale = Lanes::add_bits(scale_base, Lanes::shift_bits_left<45>(ki));
    const Vec r2 = Lanes::mul(r, r);
    const Vec p23 = madd<fused>(r, Lanes::splat(c3), Lanes::splat(c2));
    const Vec p45 = madd<fused>(r, Lanes::splat(c5), Lanes::splat(c4));
    const Vec t1 = Lanes::add(tail, r);
    const Vec t2 = madd<fused>(r2, p23, t1);
    const Vec r4 = Lanes::mul(r2, r2);
    tmp = madd<fused>(r4, p45, t2);
}

// exp(x) for lanes that all lie in (-512, 708).
template <bool fused>
TARNEX_EXP_INLINE Vec exp_ordinary(Vec x) noexcept {
    Vec tmp, scale;
    reduce<fused>(x, tmp, scale);
    return madd<fused>(scale, tmp, scale);
}

// The library's special cases in full, for lanes with 708 <= |x| < 1024 (k has the sign of x
// there); `scale` as reduce() left it.
template <bool fused>
TARNEX_EXP_INLINE Vec exp_special(Vec x, Vec tmp, Vec scale) noexcept {
    const Vec one = Lanes::splat(1.0);
    // Overflow side: the exponent lowered by 1009, the result raised again.
    const Vec s1 = Lanes::add_bits(scale, splat_bits(0 - (std::uint64_t{1009} << 52)));
    const Vec high = Lanes::mul(Lanes::splat(0x1p1009), madd<fused>(s1, tmp, s1));
    // Underflow side: the exponent raised by 1022; a result below 2^-1022 is rounded once,
    // to a subnormal, through the sum with 1.0 taken in two parts.
    const Vec s2 = Lanes::add_bits(scale, splat_bits(std::uint64_t{1022} << 52));
    const Vec st = Lanes::mul(s2, tmp);
    Vec y = Lanes::add(s2, st);
    const auto below_one = Lanes::compare<simd::Cmp::lt>(y, one);
    Vec lo = Lanes::add(Lanes::sub(s2, y), st);
    const Vec hi = Lanes::add(one, y);
    lo = Lanes::add(Lanes::add(Lanes::sub(one, hi), y), lo);
    Vec tiny = Lanes::sub(Lanes::add(hi, lo), one);
    tiny = Lanes::blend(Lanes::compare<simd::Cmp::eq>(tiny, Lanes::zero()), tiny, Lanes::zero());
    y = Lanes::blend(below_one, y, tiny);
    const Vec low = Lanes::mul(Lanes::splat(0x1p-1022), y);
    return Lanes::blend(Lanes::compare<simd::Cmp::lt>(x, Lanes::zero()), high, low);
}

// exp(x) for any lanes.
template <bool fused>
TARNEX_EXP_INLINE Vec exp_any(Vec x) noexcept {
    Vec tmp, scale;
    reduce<fused>(x, tmp, scale);
    Vec result = madd<fused>(scale, tmp, scale);
    // x <= -512: the unfused special case; the other lanes scale 2.0, a harmless normal
    // number (a wrapped exponent there could be subnormal, which is slow).
    const auto underflow_side = Lanes::compare<simd::Cmp::le>(x, Lanes::splat(-512.0));
    const Vec s2 = Lanes::blend(underflow_side, Lanes::splat(2.0),
                                Lanes::add_bits(scale, splat_bits(std::uint64_t{1022} << 52)));
    const Vec y = Lanes::add(s2, Lanes::mul(s2, tmp));
    result = Lanes::blend(underflow_side, result, Lanes::mul(Lanes::splat(0x1p-1022), y));

    const Vec ax = Lanes::bit_and(x, splat_bits(0x7FFFFFFFFFFFFFFF));
    const auto usual = Lanes::compare<simd::Cmp::lt>(ax, Lanes::splat(708.0));
    if (__builtin_expect(Lanes::bits(usual) != full_lanes, 0)) {
        // |x| >= 1024: +0.0 below (-inf included), +inf above; NaN gives 1.0 + x, which is
        // the NaN made quiet, its payload and sign kept.
        const Vec limit = Lanes::blend(Lanes::compare<simd::Cmp::gt>(x, Lanes::zero()),
                                       Lanes::zero(), Lanes::splat(__builtin_inf()));
        const Vec big = Lanes::blend(Lanes::compare<simd::Cmp::unord>(x, x), limit,
                                     Lanes::add(Lanes::splat(1.0), x));
        const Vec rare = Lanes::blend(Lanes::compare<simd::Cmp::lt>(ax, Lanes::splat(1024.0)), big,
                                      exp_special<fused>(x, tmp, scale));
        result = Lanes::blend(usual, rare, result);
    }
    return result;
}

// Whether every lane of the four vectors lies in (-512, 708).
inline bool ordinary(const Vec v[4]) noexcept {
    std::uint64_t in = full_lanes;
    for (int j = 0; j < 4; ++j) {
        in &= Lanes::bits(Lanes::compare<simd::Cmp::gt>(v[j], Lanes::splat(-512.0))) &
              Lanes::bits(Lanes::compare<simd::Cmp::lt>(v[j], Lanes::splat(708.0)));
    }
    return in == full_lanes;
}

// The loop every kernel shares: out[i] = finish(exp(prepare(x[i]))) four vectors at a time,
// then single vectors and a prefix; `consume(i, count)` runs after out[i, i + count) is
// written, in order.
template <bool fused, class Prepare, class Finish, class Consume>
TARNEX_EXP_INLINE void exp_loop(const double* x, double* out, std::uint64_t n,
                                Prepare prepare, Finish finish, Consume consume) noexcept {
    constexpr std::uint64_t w = Lanes::width;
    std::uint64_t i = 0;
    for (; i + 4 * w <= n; i += 4 * w) {
        Vec v[4];
        for (int j = 0; j < 4; ++j) v[j] = prepare(Lanes::load(x + i + j * w));
        if (__builtin_expect(ordinary(v), 1)) {
            for (int j = 0; j < 4; ++j) {
                Lanes::store(out + i + j * w, finish(exp_ordinary<fused>(v[j])));
            }
        } else {
            for (int j = 0; j < 4; ++j) Lanes::store(out + i + j * w, finish(exp_any<fused>(v[j])));
        }
        consume(i, 4 * w);
    }
    for (; i + w <= n; i += w) {
        Lanes::store(out + i, finish(exp_any<fused>(prepare(Lanes::load(x + i)))));
        consume(i, w);
    }
    if (i < n) {
        // The lanes past the end hold +0.0, whose exponential is harmless.
        const Vec v = Lanes::load_prefix(x + i, n - i);
        Lanes::store_prefix(out + i, n - i, finish(exp_any<fused>(prepare(v))));
        consume(i, n - i);
    }
}

// The steps around the exponential, as types so that every loop is compiled with its own.
struct Same {
    TARNEX_EXP_INLINE Vec operator()(Vec v) const noexcept { return v; }
};
struct Nothing {
    TARNEX_EXP_INLINE void operator()(std::uint64_t, std::uint64_t) const noexcept {}
};

template <bool fused>
TARNEX_EXP_INLINE void exp_elements(const double* x, double* out, std::uint64_t n) noexcept {
    exp_loop<fused>(x, out, n, Same{}, Same{}, Nothing{});
}

// The sum's dependent additions read back what was just stored; they are the critical path,
// and the exponentials of the following vectors run beside them.
template <bool fused>
TARNEX_EXP_INLINE double exp_sum(const double* x, double* out, std::uint64_t n) noexcept {
    double s = -0.0;
    const auto consume = [&](std::uint64_t i, std::uint64_t count) TARNEX_EXP_INLINE_LAMBDA {
        for (std::uint64_t k = i; k < i + count; ++k) s = Lanes::add1(s, out[k]);
    };
    exp_loop<fused>(x, out, n, Same{}, Same{}, consume);
    return s;
}

struct Negated {
    TARNEX_EXP_INLINE Vec operator()(Vec v) const noexcept {
        return Lanes::bit_xor(v, Lanes::splat(-0.0));
    }
};
struct Logistic {
    TARNEX_EXP_INLINE Vec operator()(Vec t) const noexcept {
        const Vec one = Lanes::splat(1.0);
        return Lanes::div(one, Lanes::add(t, one));
    }
};

// exp(-x) with -x by its sign bit, then u = t + 1.0 and 1.0 / u, each rounded.
template <bool fused>
TARNEX_EXP_INLINE void sigmoid(const double* x, double* out, std::uint64_t n) noexcept {
    exp_loop<fused>(x, out, n, Negated{}, Logistic{}, Nothing{});
}

// The fused loops, each with everything it calls inlined into it, in a section of their own.
TARNEX_FUSED_LOOP void exp_elements_fused(const double* x, double* out,
                                              std::uint64_t n) noexcept {
    exp_elements<true>(x, out, n);
}
TARNEX_FUSED_LOOP double exp_sum_fused(const double* x, double* out,
                                           std::uint64_t n) noexcept {
    return exp_sum<true>(x, out, n);
}
TARNEX_FUSED_LOOP void sigmoid_fused(const double* x, double* out,
                                         std::uint64_t n) noexcept {
    sigmoid<true>(x, out, n);
}

}  // namespace

const ExpKernels exp_kernels = {
    .separate = {.exp = exp_elements<false>, .exp_sum = exp_sum<false>, .sigmoid = sigmoid<false>},
    .fused = {.exp = exp_elements_fused, .exp_sum = exp_sum_fused, .sigmoid = sigmoid_fused},
};
