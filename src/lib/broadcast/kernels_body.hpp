// The broadcast row kernels, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level.
//
// A row is processed four vectors a step, then a vector at a time, and its last positions
// (fewer than a vector) as one vector through the layer's prefix load and store, so that
// every element goes through the same instruction whatever its position. The layer's add
// and mul keep their left operand as the first source, so where both operands are NaN the
// left one's NaN wins on every level and for every cut of the work; subtraction and
// division do not commute, so the compiler keeps their order anyway. This file includes
// nothing itself.

namespace {

using Vec = typename Lanes::Vec;
constexpr std::uint64_t width = Lanes::width;

// One operand of a row: loaded position by position when unit, one splat when repeated.
template <bool unit>
struct Source {
    const double* p;
    Vec fixed;
    Source(const double* q, std::uint64_t n) noexcept
        : p(q), fixed(unit || n == 0 ? Lanes::zero() : Lanes::splat(*q)) {}
    Vec at(std::uint64_t i) const noexcept {
        if constexpr (unit) {
            return Lanes::load(p + i);
        } else {
            return fixed;
        }
    }
    Vec prefix(std::uint64_t i, std::uint64_t m) const noexcept {
        if constexpr (unit) {
            return Lanes::load_prefix(p + i, m);
        } else {
            return fixed;
        }
    }
};

// out[i] = Op::vec(sources at i...) for i < n.
template <class Op, class... S>
inline void map_row(double* out, std::uint64_t n, const S&... src) noexcept {
    std::uint64_t i = 0;
    for (; i + 4 * width <= n; i += 4 * width) {
        const Vec r0 = Op::vec(src.at(i)...);
        const Vec r1 = Op::vec(src.at(i + width)...);
        const Vec r2 = Op::vec(src.at(i + 2 * width)...);
        const Vec r3 = Op::vec(src.at(i + 3 * width)...);
        Lanes::store(out + i, r0);
        Lanes::store(out + i + width, r1);
        Lanes::store(out + i + 2 * width, r2);
        Lanes::store(out + i + 3 * width, r3);
    }
    for (; i + width <= n; i += width) Lanes::store(out + i, Op::vec(src.at(i)...));
    if (i < n) Lanes::store_prefix(out + i, n - i, Op::vec(src.prefix(i, n - i)...));
}

struct Add {
    static Vec vec(Vec a, Vec b) noexcept { return Lanes::add(a, b); }
};
struct Subtract {
    static Vec vec(Vec a, Vec b) noexcept { return Lanes::sub(a, b); }
};
struct Multiply {
    static Vec vec(Vec a, Vec b) noexcept { return Lanes::mul(a, b); }
};
struct Divide {
    static Vec vec(Vec a, Vec b) noexcept { return Lanes::div(a, b); }
};
// The layer's max and min give b where either is NaN or they are equal; a NaN a is put back.
struct Maximum {
    static Vec vec(Vec a, Vec b) noexcept {
        return Lanes::blend(Lanes::template compare<simd::Cmp::unord>(a, a), Lanes::max(a, b), a);
    }
};
struct Minimum {
    static Vec vec(Vec a, Vec b) noexcept {
        return Lanes::blend(Lanes::template compare<simd::Cmp::unord>(a, a), Lanes::min(a, b), a);
    }
};

struct Negative {
    static Vec vec(Vec x) noexcept { return Lanes::bit_xor(x, Lanes::splat(-0.0)); }
};
struct Abs {
    static Vec vec(Vec x) noexcept { return Lanes::and_not(Lanes::splat(-0.0), x); }
};
struct Square {
    static Vec vec(Vec x) noexcept { return Lanes::mul(x, x); }
};
struct Sqrt {
    static Vec vec(Vec x) noexcept { return Lanes::sqrt(x); }
};
struct Pass {
    static Vec vec(Vec x) noexcept { return x; }
};

struct Clip {
    static Vec vec(Vec a, Vec lo, Vec hi) noexcept {
        return Minimum::vec(Maximum::vec(a, lo), hi);
    }
};

template <class Op, bool ua, bool ub>
void binary_row(const double* a, const double* b, double* out, std::uint64_t n) noexcept {
    map_row<Op>(out, n, Source<ua>(a, n), Source<ub>(b, n));
}

// Indexed by the variant: (repeated, repeated), (repeated, unit), (unit, repeated), (unit, unit).
template <class Op>
constexpr BinaryRow binary_rows[4] = {binary_row<Op, false, false>, binary_row<Op, false, true>,
                                      binary_row<Op, true, false>, binary_row<Op, true, true>};

template <class Op>
void unary_row(const double* x, double* out, std::uint64_t n) noexcept {
    map_row<Op>(out, n, Source<true>(x, n));
}

template <bool ua, bool ul, bool uh>
void clip_row(const double* a, const double* lo, const double* hi, double* out,
              std::uint64_t n) noexcept {
    map_row<Clip>(out, n, Source<ua>(a, n), Source<ul>(lo, n), Source<uh>(hi, n));
}

template <bool ua, bool ub>
inline void where_unit_condition(const Bool* c, const double* a, const double* b, double* out,
                                 std::uint64_t n) noexcept {
    const Source<ua> sa(a, n);
    const Source<ub> sb(b, n);
    std::uint64_t i = 0;
    for (; i + width <= n; i += width) {
        Lanes::store(out + i, Lanes::blend(Lanes::selected(c + i), sb.at(i), sa.at(i)));
    }
    for (; i < n; ++i) out[i] = c[i] != 0 ? a[ua ? i : 0] : b[ub ? i : 0];
}

template <bool uc, bool ua, bool ub>
void where_row(const Bool* c, const double* a, const double* b, double* out,
               std::uint64_t n) noexcept {
    if constexpr (uc) {
        where_unit_condition<ua, ub>(c, a, b, out, n);
    } else if (n != 0) {
        // One condition for the whole row: a copy (or fill) of the chosen operand.
        if (*c != 0) {
            map_row<Pass>(out, n, Source<ua>(a, n));
        } else {
            map_row<Pass>(out, n, Source<ub>(b, n));
        }
    }
}

// The byte loops need no lanes of their own: the compiler vectorises them for the level.
template <LogicOp op, bool ua, bool ub>
void logic_row(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) {
        const Bool x = a[ua ? i : 0];
        const Bool y = b[ub ? i : 0];
        if constexpr (op == LogicOp::logical_and) {
            out[i] = (x != 0) & (y != 0);
        } else {
            out[i] = (x | y) != 0;
        }
    }
}

template <LogicOp op>
constexpr LogicRow logic_rows[4] = {logic_row<op, false, false>, logic_row<op, false, true>,
                                    logic_row<op, true, false>, logic_row<op, true, true>};

}  // namespace

const BroadcastKernels broadcast_kernels = {
    .binary = {{binary_rows<Add>[0], binary_rows<Add>[1], binary_rows<Add>[2], binary_rows<Add>[3]},
               {binary_rows<Subtract>[0], binary_rows<Subtract>[1], binary_rows<Subtract>[2],
                binary_rows<Subtract>[3]},
               {binary_rows<Multiply>[0], binary_rows<Multiply>[1], binary_rows<Multiply>[2],
                binary_rows<Multiply>[3]},
               {binary_rows<Divide>[0], binary_rows<Divide>[1], binary_rows<Divide>[2],
                binary_rows<Divide>[3]},
               {binary_rows<Maximum>[0], binary_rows<Maximum>[1], binary_rows<Maximum>[2],
                binary_rows<Maximum>[3]},
               {binary_rows<Minimum>[0], binary_rows<Minimum>[1], binary_rows<Minimum>[2],
                binary_rows<Minimum>[3]}},
    .unary = {unary_row<Negative>, unary_row<Abs>, unary_row<Square>, unary_row<Sqrt>},
    .clip = {clip_row<false, false, false>, clip_row<false, false, true>,
             clip_row<false, true, false>, clip_row<false, true, true>,
             clip_row<true, false, false>, clip_row<true, false, true>,
             clip_row<true, true, false>, clip_row<true, true, true>},
    .where = {where_row<false, false, false>, where_row<false, false, true>,
              where_row<false, true, false>, where_row<false, true, true>,
              where_row<true, false, false>, where_row<true, false, true>,
              where_row<true, true, false>, where_row<true, true, true>},
    .logic = {{logic_rows<LogicOp::logical_and>[0], logic_rows<LogicOp::logical_and>[1],
               logic_rows<LogicOp::logical_and>[2], logic_rows<LogicOp::logical_and>[3]},
              {logic_rows<LogicOp::logical_or>[0], logic_rows<LogicOp::logical_or>[1],
               logic_rows<LogicOp::logical_or>[2], logic_rows<LogicOp::logical_or>[3]}},
};
