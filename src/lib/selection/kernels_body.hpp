// The mask loops, written once over the level's vector layer (`Lanes`, see
// lib/simd/lanes.hpp) and compiled for every instruction-set level.
//
// Elements are only moved, never computed, so every level gives the same bits. The tails
// shorter than a vector take the scalar loop. This file includes nothing itself.

namespace {

void fill_run(double* data, std::uint64_t n, double value) noexcept {
    for (std::uint64_t i = 0; i < n; ++i) data[i] = value;
}

void fill_selected(double* data, const Bool* mask, std::uint64_t n, double value) noexcept {
    const typename Lanes::Vec v = Lanes::splat(value);
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        Lanes::store_selected(data + i, Lanes::selected(mask + i), v);
    }
    for (; i < n; ++i) {
        if (mask[i] != 0) data[i] = value;
    }
}

std::uint64_t count_selected(const Bool* mask, std::uint64_t n) noexcept {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < n; ++i) count += mask[i] != 0;
    return count;
}

void compress_selected(const double* src, const Bool* mask, std::uint64_t n,
                       double* out) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        const typename Lanes::Mask keep = Lanes::selected(mask + i);
        Lanes::store_packed(out, keep, Lanes::load(src + i));
        out += Lanes::count(keep);
    }
    for (; i < n; ++i) {
        if (mask[i] != 0) *out++ = src[i];
    }
}

void choose_elements(const Bool* condition, const double* chosen, const double* other,
                     std::uint64_t n, double* out) noexcept {
    std::uint64_t i = 0;
    for (; i + Lanes::width <= n; i += Lanes::width) {
        Lanes::store(out + i, Lanes::blend(Lanes::selected(condition + i), Lanes::load(other + i),
                                           Lanes::load(chosen + i)));
    }
    for (; i < n; ++i) out[i] = condition[i] != 0 ? chosen[i] : other[i];
}

}  // namespace

const MaskKernels mask_kernels = {fill_run, fill_selected, count_selected, compress_selected,
                                  choose_elements};
