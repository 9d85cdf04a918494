// The mask loops, written once over a level's vector operations and compiled per
// instruction-set level. Each level's file includes this inside its target region and
// namespace, after a struct `Lanes` with
//
//   Lanes::width                       doubles per vector
//   Lanes::Vec, Lanes::Mask            a vector, and a set of its lanes
//   Lanes::load(p), store(p, v), splat(x)
//   Lanes::selected(mask)              the lanes whose mask byte (mask[0..width)) is not 0
//   Lanes::count(m)                    how many lanes m holds
//   Lanes::store_selected(p, m, v)     p[k] = v[k] for the lanes of m; the others untouched
//   Lanes::blend(m, if_clear, if_set)  per lane, if_set where m holds it, else if_clear
//   Lanes::store_packed(p, m, v)       the lanes of m of v, in order, to p[0..count(m))
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
