// The comparison and logic loops, written once over a level's vector operations and
// compiled per instruction-set level. Each level's file includes this inside its target
// region and namespace, after a struct `Lanes` with
//
//   Lanes::width                 doubles per vector (2, 4 or 8)
//   Lanes::Vec                   a vector of doubles
//   Lanes::load(p), splat(x)
//   Lanes::bits<op>(a, b)        lane k's bit set where a[k] op b[k] holds (IEEE predicates:
//                                ordered for all but not_equal, which is unordered)
//   Lanes::unordered(a, b)       lane k's bit set where a[k] or b[k] is NaN
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
        store_bits(out + i, Lanes::template bits<op>(Lanes::load(a + i), Lanes::load(b + i)));
    }
    for (; i < n; ++i) out[i] = holds<op>(a[i], b[i]);
}

template <Comparison op>
void compare_scalar(const double* a, double b, Bool* out, std::uint64_t n) noexcept {
    const typename Lanes::Vec v = Lanes::splat(b);
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        store_bits(out + i, Lanes::template bits<op>(Lanes::load(a + i), v));
    }
    for (; i < n; ++i) out[i] = holds<op>(a[i], b);
}

void isnan(const double* a, Bool* out, std::uint64_t n) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        const typename Lanes::Vec x = Lanes::load(a + i);
        store_bits(out + i, Lanes::unordered(x, x));
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
