// The reduction loops, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level.
//
// argmax goes block by block. A block's largest non-NaN value is found with vector maxima
// (NaN lanes ignored, as the sequential scan never picks a NaN); only when it is strictly
// greater than the best so far does the sequential scan change its result inside the block,
// and then it ends on the block's first element equal to that value: each element it picks
// is greater than the one before, so its last pick is the first occurrence of the largest.
// A block whose elements are all NaN, or whose largest is not greater, leaves the result as
// it was. A NaN at position 0 is greater than nothing and smaller than nothing, so it stays.
// This file includes nothing itself.

namespace {

// Elements per block: small enough that the rescan for the first position of a new maximum
// reads from the level-1 cache.
constexpr std::uint64_t block = 512;
// Independent maxima per vector step: enough to cover the latency of a maximum times the
// number issued per cycle.
constexpr std::uint64_t chains = 8;

// The largest non-NaN element of x[0..count), or -infinity when there is none.
inline double largest(const double* x, std::uint64_t count) noexcept {
    constexpr std::uint64_t w = Lanes::width;
    const double lowest = -__builtin_inf();
    typename Lanes::Vec m[chains];
#pragma GCC unroll 8
    for (std::uint64_t c = 0; c < chains; ++c) m[c] = Lanes::splat(lowest);
    std::uint64_t i = 0;
    for (; i + chains * w <= count; i += chains * w) {
#pragma GCC unroll 8
        for (std::uint64_t c = 0; c < chains; ++c) {
            m[c] = Lanes::max(Lanes::load(x + i + c * w), m[c]);
        }
    }
    for (; i + w <= count; i += w) m[0] = Lanes::max(Lanes::load(x + i), m[0]);
#pragma GCC unroll 8
    for (std::uint64_t c = 1; c < chains; ++c) m[0] = Lanes::max(m[c], m[0]);
    alignas(64) double lanes[w];
    __builtin_memcpy(lanes, &m[0], sizeof lanes);
    double best = lowest;
    for (std::uint64_t k = 0; k < w; ++k) best = lanes[k] > best ? lanes[k] : best;
    for (; i < count; ++i) best = x[i] > best ? x[i] : best;
    return best;
}

// The first position in x[0..count) whose element equals `value`, which one of them does.
inline std::uint64_t first_equal(const double* x, std::uint64_t count, double value) noexcept {
    constexpr std::uint64_t w = Lanes::width;
    const typename Lanes::Vec v = Lanes::splat(value);
    std::uint64_t i = 0;
    for (; i + w <= count; i += w) {
        const unsigned bits = Lanes::bits(Lanes::template compare<simd::Cmp::eq>(Lanes::load(x + i), v));
        if (bits != 0) return i + static_cast<std::uint64_t>(__builtin_ctz(bits));
    }
    while (!(x[i] == value)) ++i;
    return i;
}

std::uint64_t argmax(const double* x, std::uint64_t n) noexcept {
    double best = x[0];
    if (best != best) return 0;
    std::uint64_t result = 0;
    for (std::uint64_t start = 0; start < n; start += block) {
        const std::uint64_t count = n - start < block ? n - start : block;
        const double top = largest(x + start, count);
        if (top > best) {
            best = top;
            result = start + first_equal(x + start, count, top);
        }
    }
    return result;
}

}  // namespace

const ReductionKernels reduction_kernels = {argmax};
