// Arrays made by copying others whole: joined along an axis, stacked along a new one, or
// given another shape of the same element count. The caller has checked the shapes (every
// function here fails with a core failure on a mismatch, before anything is allocated).
#pragma once

#include <cstddef>
#include <cstdint>

#include "lib/record/ndarray.hpp"

namespace tarnex {

// The arrays joined along `axis`: equal ranks (at least 1) and extents except along `axis`.
template <class E>
NDArray<E> concatenate(const NDArray<E>* const* arrays, std::size_t count, std::size_t axis);

// The arrays' elements one after another, as one 1-D array (any ranks and shapes).
template <class E>
NDArray<E> concatenate_flat(const NDArray<E>* const* arrays, std::size_t count);

// The arrays (equal shapes, at least one) stacked along a new axis `axis` (0..rank).
template <class E>
NDArray<E> stack(const NDArray<E>* const* arrays, std::size_t count, std::size_t axis);

// A copy of `array` with the shape `shape`, whose element count must be the array's.
template <class E>
NDArray<E> reshaped(const NDArray<E>& array, Shape shape);

}  // namespace tarnex
