// Flat loops over a buffer, and over a buffer and a boolean mask of the same length: the
// contiguous forms of the region writes and selections. A mask byte other than 0 means true.
#pragma once

#include <cstdint>

#include "lib/ndarray.hpp"

namespace tarnex {

// data[i] = value for every i < n.
void fill_run(double* data, std::uint64_t n, double value);

// data[i] = value wherever mask[i] is true; the other elements are not touched.
void fill_selected(double* data, const Bool* mask, std::uint64_t n, double value);

// The number of true entries of mask[0..n).
std::uint64_t count_selected(const Bool* mask, std::uint64_t n);

// Writes src[i] for each true mask[i], in order, to out, which has room for exactly
// `count` = count_selected(mask, n) elements.
void compress_selected(const double* src, const Bool* mask, std::uint64_t n, double* out,
                       std::uint64_t count);

// out[i] = condition[i] ? chosen[i] : other[i].
void choose_elements(const Bool* condition, const double* chosen, const double* other,
                     std::uint64_t n, double* out);

}  // namespace tarnex
