#include "lib/mask_kernels.hpp"

#include <immintrin.h>

#include <cstring>

namespace tarnex {
namespace {

bool has_avx512() {
    static const bool supported = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") != 0;
    }();
    return supported;
}

// Eight mask bytes as a lane mask: bit k set when byte k is not zero.
__attribute__((target("avx512f"), always_inline)) inline __mmask8 lanes_of(const Bool* mask) {
    std::uint64_t bytes;
    std::memcpy(&bytes, mask, sizeof bytes);
    // The zero-masking form: the plain one draws a spurious uninitialised-value warning
    // from some compilers.
    const __m512i wide = _mm512_maskz_cvtepu8_epi64(
        static_cast<__mmask8>(0xFF), _mm_cvtsi64_si128(static_cast<long long>(bytes)));
    return _mm512_test_epi64_mask(wide, wide);
}

__attribute__((target("avx512f"))) void fill_avx512(double* data, const Bool* mask,
                                                    std::uint64_t n, double value) {
    const __m512d v = _mm512_set1_pd(value);
    std::uint64_t i = 0;
    for (; i + 8 <= n; i += 8) _mm512_mask_storeu_pd(data + i, lanes_of(mask + i), v);
    for (; i < n; ++i) {
        if (mask[i] != 0) data[i] = value;
    }
}

// Branch-free, so that it vectorises as a blend: an unselected element is stored back
// unchanged, bit for bit.
__attribute__((target_clones("avx2", "default"))) void fill_plain(double* data, const Bool* mask,
                                                                  std::uint64_t n, double value) {
    for (std::uint64_t i = 0; i < n; ++i) data[i] = mask[i] != 0 ? value : data[i];
}

// Branch-free (the mask is often unpredictable): every element is stored at the next free
// place, which only advances past a kept element; once every kept element is placed, the
// dropped ones left go to a scratch slot instead of past the end of `out`.
void compress_plain(const double* src, const Bool* mask, std::uint64_t n, double* out,
                    std::uint64_t count) {
    double spill;
    std::uint64_t k = 0;
    for (std::uint64_t i = 0; i < n; ++i) {
        double* place = k < count ? out + k : &spill;
        *place = src[i];
        k += mask[i] != 0;
    }
}

// Compressing inside a register and storing the packed lanes with a masked store (the
// compressing store straight to memory is far slower on some processors).
__attribute__((target("avx512f"))) void compress_avx512(const double* src, const Bool* mask,
                                                        std::uint64_t n, double* out,
                                                        std::uint64_t count) {
    std::uint64_t i = 0;
    std::uint64_t k = 0;
    for (; i + 8 <= n; i += 8) {
        const __mmask8 keep = lanes_of(mask + i);
        const unsigned kept = static_cast<unsigned>(__builtin_popcount(keep));
        const __m512d packed = _mm512_maskz_compress_pd(keep, _mm512_loadu_pd(src + i));
        _mm512_mask_storeu_pd(out + k, static_cast<__mmask8>((1u << kept) - 1), packed);
        k += kept;
    }
    compress_plain(src + i, mask + i, n - i, out + k, count - k);
}

__attribute__((target("avx512f"))) void choose_avx512(const Bool* condition, const double* chosen,
                                                      const double* other, std::uint64_t n,
                                                      double* out) {
    std::uint64_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m512d picked = _mm512_mask_blend_pd(lanes_of(condition + i),
                                                    _mm512_loadu_pd(other + i),
                                                    _mm512_loadu_pd(chosen + i));
        _mm512_storeu_pd(out + i, picked);
    }
    for (; i < n; ++i) out[i] = condition[i] != 0 ? chosen[i] : other[i];
}

__attribute__((target_clones("avx2", "default"))) void choose_plain(const Bool* condition,
                                                                    const double* chosen,
                                                                    const double* other,
                                                                    std::uint64_t n, double* out) {
    for (std::uint64_t i = 0; i < n; ++i) out[i] = condition[i] != 0 ? chosen[i] : other[i];
}

}  // namespace

// Whole-vector stores: the compiler's generic form stores 16 bytes at a time, which leaves
// much of the cache bandwidth unused.
__attribute__((target_clones("avx512f", "avx2", "default"))) void fill_run(double* data,
                                                                           std::uint64_t n,
                                                                           double value) {
    for (std::uint64_t i = 0; i < n; ++i) data[i] = value;
}

void fill_selected(double* data, const Bool* mask, std::uint64_t n, double value) {
    if (has_avx512()) {
        fill_avx512(data, mask, n, value);
    } else {
        fill_plain(data, mask, n, value);
    }
}

__attribute__((target_clones("avx512f", "avx2", "default"))) std::uint64_t count_selected(
    const Bool* mask, std::uint64_t n) {
    std::uint64_t count = 0;
    for (std::uint64_t i = 0; i < n; ++i) count += mask[i] != 0;
    return count;
}

void compress_selected(const double* src, const Bool* mask, std::uint64_t n, double* out,
                       std::uint64_t count) {
    if (has_avx512()) {
        compress_avx512(src, mask, n, out, count);
    } else {
        compress_plain(src, mask, n, out, count);
    }
}

void choose_elements(const Bool* condition, const double* chosen, const double* other,
                     std::uint64_t n, double* out) {
    if (has_avx512()) {
        choose_avx512(condition, chosen, other, n, out);
    } else {
        choose_plain(condition, chosen, other, n, out);
    }
}

}  // namespace tarnex
