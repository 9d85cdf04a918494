// The comparison and logic loops, written once over the level's vector layer (`Lanes`,
// see lib/simd/lanes.hpp) and compiled for every instruction-set level.
//
// A vector's lane bits become its bytes through a table of the 256 byte patterns. The tails
// shorter than a vector take the scalar loop, whose C++ comparisons are the same IEEE
// predicates. This file includes nothing itself.

namespace {

// Byte k of lane_bytes[m] is bit k of m (little-endian: the first byte is lane 0).
struct LaneBytes {
    std::uint64_t value[256];
    constexpr LaneBytes() : value() {
        for (unsigned m = 0; m < 256; ++m) {
            std::uint64_t bytes = 0;
            for (unsigned k = 0; k < 8; ++k) bytes |= std::uint64_t{(m >> k) & 1u} << (8 * k);
            value[m] = bytes;
        }
    }
};
constexpr LaneBytes lane_bytes;

inline void store_bits(Bool* out, unsigned bits) noexcept {
    __builtin_memcpy(out, &lane_bytes.value[bits], Lanes::width);
}

// The layer's compare for each comparison: ordered, except not_equal.
template <Comparison op>
constexpr simd::Cmp predicate() noexcept {
    if constexpr (op == Comparison::greater) return simd::Cmp::gt;
    if constexpr (op == Comparison::greater_equal) return simd::Cmp::ge;
    if constexpr (op == Comparison::less) return simd::Cmp::lt;
    if constexpr (op == Comparison::less_equal) return simd::Cmp::le;
    if constexpr (op == Comparison::equal) return simd::Cmp::eq;
    if constexpr (op == Comparison::not_equal) return simd::Cmp::ne;
}

template <Comparison op>
inline unsigned lane_bits(typename Lanes::Vec a, typename Lanes::Vec b) noexcept {
    return Lanes::bits(Lanes::template compare<predicate<op>()>(a, b));
}

template <Comparison op>
constexpr bool holds(double a, double b) noexcept {
    if constexpr (op == Comparison::greater) return a > b;
    if constexpr (op == Comparison::greater_equal) return a >= b;
    if constexpr (op == Comparison::less) return a < b;
    if constexpr (op == Comparison::less_equal) return a <= b;
    if constexpr (op == Comparison::equal) return a == b;
    if constexpr (op == Comparison::not_equal) return a != b;
}

template <Comparison op>
void compare_arrays(const double* a, const double* b, Bool* out, std::uint64_t n) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        store_bits(out + i, lane_bits<op>(Lanes::load(a + i), Lanes::load(b + i)));
    }
    for (; i < n; ++i) out[i] = holds<op>(a[i], b[i]);
}

template <Comparison op>
void compare_scalar(const double* a, double b, Bool* out, std::uint64_t n) noexcept {
    const typename Lanes::Vec v = Lanes::splat(b);
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        store_bits(out + i, lane_bits<op>(Lanes::load(a + i), v));
    }
    for (; i < n; ++i) out[i] = holds<op>(a[i], b);
}

void isnan(const double* a, Bool* out, std::uint64_t n) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        const typename Lanes::Vec x = Lanes::load(a + i);
        store_bits(out + i, Lanes::bits(Lanes::template compare<simd::Cmp::unord>(x, x)));
    }
    for (; i < n; ++i) out[i] = a[i] != a[i];
}

// The byte loops need no lanes of their own: the compiler vectorises them for the level.
void logical_not(const Bool* a, Bool* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = a[i] == 0;
}

void logical_and(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = (a[i] != 0) & (b[i] != 0);
}

void logical_or(const Bool* a, const Bool* b, Bool* out, std::uint64_t n) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = (a[i] | b[i]) != 0;
}

}  // namespace

const CompareKernels compare_kernels = {
    {compare_arrays<Comparison::greater>, compare_arrays<Comparison::greater_equal>,
     compare_arrays<Comparison::less>, compare_arrays<Comparison::less_equal>,
     compare_arrays<Comparison::equal>, compare_arrays<Comparison::not_equal>},
    {compare_scalar<Comparison::greater>, compare_scalar<Comparison::greater_equal>,
     compare_scalar<Comparison::less>, compare_scalar<Comparison::less_equal>,
     compare_scalar<Comparison::equal>, compare_scalar<Comparison::not_equal>},
    isnan,
    logical_not,
    logical_and,
    logical_or,
};
