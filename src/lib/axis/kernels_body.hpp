// The axis loops, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level.
//
// Sums: every slice is one chain of additions in increasing index, so the vector lanes run
// different slices side by side, never parts of one slice. Along columns a lane is a column
// and whole rows are added lane-wise into the running sums; along rows `width` rows are
// loaded transposed, so that lane r holds row r's next element. The layer's add keeps the
// running sum as the first source, so when both are NaN the sum's NaN stays, as in the
// sequential chain.
//
// Maxima and minima under the order -0.0 < +0.0 do not depend on the order of the
// comparisons, so a row's maximum is found across the whole row at once; NaN is handled
// apart: a slice holding one gives its first NaN. Along columns the running value carries
// the first NaN forward through an addition (which returns its NaN operand, the earlier one
// when both are). Positions follow the sequential scan: the first largest by ordered
// comparison, or the first NaN. This file includes nothing itself.

namespace {

using Vec = typename Lanes::Vec;
using Cmp = simd::Cmp;
constexpr std::uint64_t w = Lanes::width;

// ---- shared pieces -------------------------------------------------------------------------

inline double bits_and(double a, double b) noexcept {
    return __builtin_bit_cast(double, __builtin_bit_cast(std::uint64_t, a) &
                                          __builtin_bit_cast(std::uint64_t, b));
}
inline double bits_or(double a, double b) noexcept {
    return __builtin_bit_cast(double, __builtin_bit_cast(std::uint64_t, a) |
                                          __builtin_bit_cast(std::uint64_t, b));
}

// The larger (smaller) of two non-NaN values, +0.0 above -0.0: where they compare equal the
// bits are the same or the two zeros, whose AND is +0.0 and OR -0.0.
template <bool largest>
inline Vec pick(Vec a, Vec b) noexcept {
    if constexpr (largest) return Lanes::bit_and(Lanes::max(a, b), Lanes::max(b, a));
    else return Lanes::bit_or(Lanes::min(a, b), Lanes::min(b, a));
}
template <bool largest>
inline double pick1(double a, double b) noexcept {
    if (largest ? a > b : a < b) return a;
    if (largest ? b > a : b < a) return b;
    return largest ? bits_and(a, b) : bits_or(a, b);
}

// One step of an in-order chain: the running value m and the next element x.
template <bool largest>
inline Vec chain_step(Vec m, Vec x) noexcept {
    return Lanes::blend(Lanes::template compare<Cmp::unord>(m, x), pick<largest>(x, m),
                        Lanes::add(m, x));
}

// `nan` with x's lanes where x is NaN (a NaN lane, once there, stays).
inline Vec mark_nan(Vec nan, Vec x) noexcept {
    return Lanes::blend(Lanes::template compare<Cmp::unord>(x, x), nan, x);
}
inline bool any_nan(Vec v) noexcept {
    return Lanes::bits(Lanes::template compare<Cmp::unord>(v, v)) != 0;
}

// The first position of a NaN in p[0..n), or n.
inline std::uint64_t first_nan(const double* p, std::uint64_t n) noexcept {
    std::uint64_t i = 0;
    for (; i + w <= n; i += w) {
        const Vec x = Lanes::load(p + i);
        const unsigned bits = Lanes::bits(Lanes::template compare<Cmp::unord>(x, x));
        if (bits != 0) return i + static_cast<std::uint64_t>(__builtin_ctz(bits));
    }
    for (; i < n; ++i) {
        if (p[i] != p[i]) return i;
    }
    return n;
}

// The first position in p[0..n) whose element equals `value`, which one of them does.
inline std::uint64_t first_equal(const double* p, std::uint64_t n, double value) noexcept {
    const Vec v = Lanes::splat(value);
    std::uint64_t i = 0;
    for (; i + w <= n; i += w) {
        const unsigned bits = Lanes::bits(Lanes::template compare<Cmp::eq>(Lanes::load(p + i), v));
        if (bits != 0) return i + static_cast<std::uint64_t>(__builtin_ctz(bits));
    }
    while (!(p[i] == value)) ++i;
    return i;
}

// ---- sums ----------------------------------------------------------------------------------

// The sums of G * w consecutive rows of n elements starting at p, G groups of w rows
// loaded transposed, their chains independent of each other.
template <std::uint64_t G>
inline void sum_row_groups(const double* p, std::uint64_t n, double* out) noexcept {
    Vec acc[G];
#pragma GCC unroll 2
    for (std::uint64_t g = 0; g < G; ++g) acc[g] = Lanes::splat(-0.0);
    std::uint64_t j = 0;
    for (; j + w <= n; j += w) {
#pragma GCC unroll 2
        for (std::uint64_t g = 0; g < G; ++g) {
            Vec cols[w];
            Lanes::load_transposed(p + g * w * n + j, n, cols);
#pragma GCC unroll 8
            for (std::uint64_t q = 0; q < w; ++q) acc[g] = Lanes::add(acc[g], cols[q]);
        }
    }
    alignas(64) double s[G * w];
#pragma GCC unroll 2
    for (std::uint64_t g = 0; g < G; ++g) Lanes::store(s + g * w, acc[g]);
    for (std::uint64_t r = 0; r < G * w; ++r) {
        const double* row = p + r * n;
        double t = s[r];
        for (std::uint64_t q = j; q < n; ++q) t = Lanes::add1(t, row[q]);
        out[r] = t;
    }
}

void sum_rows(const double* x, std::uint64_t rows, std::uint64_t n, double* out) noexcept {
    std::uint64_t r = 0;
    for (; r + 2 * w <= rows; r += 2 * w) sum_row_groups<2>(x + r * n, n, out + r);
    for (; r + w <= rows; r += w) sum_row_groups<1>(x + r * n, n, out + r);
    const std::uint64_t left = rows - r;
    if (left == 0) return;
    // Fewer than w rows: their chains interleaved element by element.
    const double* p = x + r * n;
    double s[w];
    for (std::uint64_t q = 0; q < left; ++q) s[q] = -0.0;
    for (std::uint64_t j = 0; j < n; ++j) {
        for (std::uint64_t q = 0; q < left; ++q) s[q] = Lanes::add1(s[q], p[q * n + j]);
    }
    for (std::uint64_t q = 0; q < left; ++q) out[r + q] = s[q];
}

// acc[j] = step(acc[j], p[0][j]), then with p[1][j], ... for R rows of `inner` elements:
// the running values are read and written once per R rows.
template <Vec (*step)(Vec, Vec), std::uint64_t R>
inline void fold_rows(const double* p, std::uint64_t inner, double* acc) noexcept {
    std::uint64_t j = 0;
    for (; j + w <= inner; j += w) {
        Vec a = Lanes::load(acc + j);
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < R; ++r) a = step(a, Lanes::load(p + r * inner + j));
        Lanes::store(acc + j, a);
    }
    if (j < inner) {
        const std::uint64_t t = inner - j;
        Vec a = Lanes::load_prefix(acc + j, t);
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < R; ++r) a = step(a, Lanes::load_prefix(p + r * inner + j, t));
        Lanes::store_prefix(acc + j, t, a);
    }
}

template <Vec (*step)(Vec, Vec)>
inline void fold_all_rows(const double* x, std::uint64_t k, std::uint64_t inner,
                          double* acc) noexcept {
    std::uint64_t q = 0;
    for (; q + 4 <= k; q += 4) fold_rows<step, 4>(x + q * inner, inner, acc);
    for (; q < k; ++q) fold_rows<step, 1>(x + q * inner, inner, acc);
}

inline Vec add_step(Vec a, Vec x) noexcept { return Lanes::add(a, x); }

void sum_columns(const double* x, std::uint64_t k, std::uint64_t inner, double* out) noexcept {
    for (std::uint64_t j = 0; j < inner; ++j) out[j] = -0.0;
    fold_all_rows<add_step>(x, k, inner, out);
}

// ---- maxima and minima ---------------------------------------------------------------------

template <bool largest>
inline double row_extreme(const double* p, std::uint64_t n) noexcept {
    constexpr std::uint64_t chains = 4;
    double best = p[0];
    bool has_nan = false;
    std::uint64_t i = 0;
    if (n >= w) {
        Vec acc[chains], nan[chains];
#pragma GCC unroll 4
        for (std::uint64_t c = 0; c < chains; ++c) {
            acc[c] = Lanes::load(p);
            nan[c] = Lanes::zero();
        }
        for (; i + chains * w <= n; i += chains * w) {
#pragma GCC unroll 4
            for (std::uint64_t c = 0; c < chains; ++c) {
                const Vec v = Lanes::load(p + i + c * w);
                acc[c] = pick<largest>(acc[c], v);
                nan[c] = mark_nan(nan[c], v);
            }
        }
        for (; i + w <= n; i += w) {
            const Vec v = Lanes::load(p + i);
            acc[0] = pick<largest>(acc[0], v);
            nan[0] = mark_nan(nan[0], v);
        }
#pragma GCC unroll 4
        for (std::uint64_t c = 1; c < chains; ++c) {
            acc[0] = pick<largest>(acc[0], acc[c]);
            nan[0] = mark_nan(nan[0], nan[c]);
        }
        has_nan = any_nan(nan[0]);
        alignas(64) double lanes[w];
        Lanes::store(lanes, acc[0]);
        best = lanes[0];
        for (std::uint64_t k = 1; k < w; ++k) best = pick1<largest>(best, lanes[k]);
    }
    for (; i < n; ++i) {
        has_nan |= p[i] != p[i];
        best = pick1<largest>(best, p[i]);
    }
    return has_nan ? p[first_nan(p, n)] : best;
}

template <bool largest>
void extreme_rows(const double* x, std::uint64_t rows, std::uint64_t n, double* out) noexcept {
    for (std::uint64_t r = 0; r < rows; ++r) out[r] = row_extreme<largest>(x + r * n, n);
}

template <bool largest>
void extreme_columns(const double* x, std::uint64_t k, std::uint64_t inner,
                     double* out) noexcept {
    for (std::uint64_t j = 0; j < inner; ++j) out[j] = x[j];
    fold_all_rows<chain_step<largest>>(x + inner, k - 1, inner, out);
}

// ---- positions -----------------------------------------------------------------------------

// Elements per block of a row's position scan: small enough that the rescan for the first
// position of a new extreme reads from the level-1 cache.
constexpr std::uint64_t block = 512;

// The largest (smallest) non-NaN element of p[0..n), or -inf (+inf) when there is none;
// `nan` tells whether there was a NaN.
template <bool largest>
inline double block_extreme(const double* p, std::uint64_t n, bool* nan_seen) noexcept {
    constexpr std::uint64_t chains = 4;
    const double none = largest ? -__builtin_inf() : __builtin_inf();
    Vec acc[chains], nan[chains];
#pragma GCC unroll 4
    for (std::uint64_t c = 0; c < chains; ++c) {
        acc[c] = Lanes::splat(none);
        nan[c] = Lanes::zero();
    }
    std::uint64_t i = 0;
    for (; i + chains * w <= n; i += chains * w) {
#pragma GCC unroll 4
        for (std::uint64_t c = 0; c < chains; ++c) {
            const Vec v = Lanes::load(p + i + c * w);
            acc[c] = largest ? Lanes::max(v, acc[c]) : Lanes::min(v, acc[c]);
            nan[c] = mark_nan(nan[c], v);
        }
    }
    for (; i + w <= n; i += w) {
        const Vec v = Lanes::load(p + i);
        acc[0] = largest ? Lanes::max(v, acc[0]) : Lanes::min(v, acc[0]);
        nan[0] = mark_nan(nan[0], v);
    }
#pragma GCC unroll 4
    for (std::uint64_t c = 1; c < chains; ++c) {
        acc[0] = largest ? Lanes::max(acc[c], acc[0]) : Lanes::min(acc[c], acc[0]);
        nan[0] = mark_nan(nan[0], nan[c]);
    }
    bool seen = any_nan(nan[0]);
    alignas(64) double lanes[w];
    Lanes::store(lanes, acc[0]);
    double best = none;
    for (std::uint64_t k = 0; k < w; ++k) {
        best = (largest ? lanes[k] > best : lanes[k] < best) ? lanes[k] : best;
    }
    for (; i < n; ++i) {
        seen |= p[i] != p[i];
        best = (largest ? p[i] > best : p[i] < best) ? p[i] : best;
    }
    *nan_seen = seen;
    return best;
}

// Block by block: a block with a NaN ends the scan at its first NaN; otherwise only a block
// whose extreme beats the best so far moves the result, to the first element equal to it.
template <bool largest>
inline std::uint64_t row_position(const double* p, std::uint64_t n) noexcept {
    if (p[0] != p[0]) return 0;
    double best = p[0];
    std::uint64_t result = 0;
    for (std::uint64_t start = 0; start < n; start += block) {
        const std::uint64_t count = n - start < block ? n - start : block;
        bool nan = false;
        const double top = block_extreme<largest>(p + start, count, &nan);
        if (nan) return start + first_nan(p + start, count);
        if (largest ? top > best : top < best) {
            best = top;
            result = start + first_equal(p + start, count, top);
        }
    }
    return result;
}

template <bool largest>
void position_rows(const double* x, std::uint64_t rows, std::uint64_t n, double* out) noexcept {
    for (std::uint64_t r = 0; r < rows; ++r) {
        out[r] = static_cast<double>(row_position<largest>(x + r * n, n));
    }
}

// One in-order step of a column's scan: x at position `at` replaces the best unless it
// compares no better, or the best is already a NaN.
template <bool largest>
inline void position_step(Vec& best, Vec& index, Vec x, Vec at) noexcept {
    const auto keep = largest ? Lanes::template compare<Cmp::le>(x, best)
                              : Lanes::template compare<Cmp::ge>(x, best);
    const auto stuck = Lanes::template compare<Cmp::unord>(best, best);
    const Vec new_best = Lanes::blend(stuck, Lanes::blend(keep, x, best), best);
    index = Lanes::blend(stuck, Lanes::blend(keep, at, index), index);
    best = new_best;
}

template <bool largest, std::uint64_t R>
inline void position_fold(const double* p, std::uint64_t first, std::uint64_t inner,
                          double* best, double* index) noexcept {
    Vec at[R];
#pragma GCC unroll 8
    for (std::uint64_t r = 0; r < R; ++r) at[r] = Lanes::splat(static_cast<double>(first + r));
    std::uint64_t j = 0;
    for (; j + w <= inner; j += w) {
        Vec b = Lanes::load(best + j), ix = Lanes::load(index + j);
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < R; ++r) {
            position_step<largest>(b, ix, Lanes::load(p + r * inner + j), at[r]);
        }
        Lanes::store(best + j, b);
        Lanes::store(index + j, ix);
    }
    if (j < inner) {
        const std::uint64_t t = inner - j;
        Vec b = Lanes::load_prefix(best + j, t), ix = Lanes::load_prefix(index + j, t);
#pragma GCC unroll 8
        for (std::uint64_t r = 0; r < R; ++r) {
            position_step<largest>(b, ix, Lanes::load_prefix(p + r * inner + j, t), at[r]);
        }
        Lanes::store_prefix(best + j, t, b);
        Lanes::store_prefix(index + j, t, ix);
    }
}

template <bool largest>
void position_columns(const double* x, std::uint64_t k, std::uint64_t inner, double* best,
                      double* out) noexcept {
    for (std::uint64_t j = 0; j < inner; ++j) {
        best[j] = x[j];
        out[j] = 0.0;
    }
    std::uint64_t q = 1;
    for (; q + 4 <= k; q += 4) position_fold<largest, 4>(x + q * inner, q, inner, best, out);
    for (; q < k; ++q) position_fold<largest, 1>(x + q * inner, q, inner, best, out);
}

// ---- the softmax pieces --------------------------------------------------------------------

template <SliceOp op>
inline Vec apply(Vec x, Vec a, Vec b) noexcept {
    if constexpr (op == SliceOp::subtract) return Lanes::sub(x, a);
    if constexpr (op == SliceOp::divide) return Lanes::div(x, a);
    if constexpr (op == SliceOp::subtract_twice) return Lanes::sub(Lanes::sub(x, a), b);
}
// Subtraction and division do not commute, so the compiler keeps x as the first source.
template <SliceOp op>
inline double apply1(double x, double a, double b) noexcept {
    if constexpr (op == SliceOp::subtract) return x - a;
    if constexpr (op == SliceOp::divide) return x / a;
    if constexpr (op == SliceOp::subtract_twice) return (x - a) - b;
}

template <SliceOp op>
void rows_op(const double* x, std::uint64_t rows, std::uint64_t n, const double* a,
             const double* b, double* out) noexcept {
    for (std::uint64_t r = 0; r < rows; ++r) {
        const double* xr = x + r * n;
        double* o = out + r * n;
        const double ar = a[r];
        const double br = op == SliceOp::subtract_twice ? b[r] : 0.0;
        const Vec va = Lanes::splat(ar), vb = Lanes::splat(br);
        std::uint64_t i = 0;
        for (; i + w <= n; i += w) Lanes::store(o + i, apply<op>(Lanes::load(xr + i), va, vb));
        for (; i < n; ++i) o[i] = apply1<op>(xr[i], ar, br);
    }
}

template <SliceOp op>
void columns_op(const double* x, std::uint64_t rows, std::uint64_t n, const double* a,
                const double* b, double* out) noexcept {
    const bool two = op == SliceOp::subtract_twice;
    for (std::uint64_t r = 0; r < rows; ++r) {
        const double* xr = x + r * n;
        double* o = out + r * n;
        std::uint64_t i = 0;
        for (; i + w <= n; i += w) {
            const Vec vb = two ? Lanes::load(b + i) : Lanes::zero();
            Lanes::store(o + i, apply<op>(Lanes::load(xr + i), Lanes::load(a + i), vb));
        }
        for (; i < n; ++i) o[i] = apply1<op>(xr[i], a[i], two ? b[i] : 0.0);
    }
}

}  // namespace

const AxisKernels axis_kernels = {
    .sum_rows = sum_rows,
    .sum_columns = sum_columns,
    .max_rows = extreme_rows<true>,
    .min_rows = extreme_rows<false>,
    .max_columns = extreme_columns<true>,
    .min_columns = extreme_columns<false>,
    .argmax_rows = position_rows<true>,
    .argmin_rows = position_rows<false>,
    .argmax_columns = position_columns<true>,
    .argmin_columns = position_columns<false>,
    .rows_op = {rows_op<SliceOp::subtract>, rows_op<SliceOp::divide>,
                rows_op<SliceOp::subtract_twice>},
    .columns_op = {columns_op<SliceOp::subtract>, columns_op<SliceOp::divide>,
                   columns_op<SliceOp::subtract_twice>},
};
