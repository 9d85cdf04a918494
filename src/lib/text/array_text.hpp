// Arrays as text: nested brackets, one per axis, elements in row-major order.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "lib/record/ndarray.hpp"

namespace tarnex {

struct TextLayout {
    std::string_view separator;  // between neighbouring elements: " " or ", "
    std::size_t prefix_width;    // columns taken before the opening bracket on the first line
    std::size_t suffix_width;    // columns the caller adds after the closing bracket
};

// The lines are at most 75 columns wide where elements allow it: a row of the last axis too
// long for one line continues on the next, indented to just inside its bracket. Rows of the
// second-to-last axis end a line each, higher axes add one blank line per axis between their
// blocks. An array of more than 1000 elements shows, along every axis longer than 6, only its
// first and last 3 entries with "..." between. Each element is float_text(value) for floats,
// True or False for booleans, padded on the left to the width of the widest element shown.
// A 0-d array is its element alone; an empty array is "[]".
template <class E>
std::string array_text(const NDArray<E>& array, const TextLayout& layout);

inline constexpr std::size_t text_line_width = 75;
inline constexpr std::uint64_t text_threshold = 1000;
inline constexpr std::uint64_t text_edge_items = 3;

}  // namespace tarnex
